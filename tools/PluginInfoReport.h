#pragma once

#include <string>

class ParameterCatalogue;
class PluginInstance;

/// What a host shows of an open instance: its identity (names, vendor, versions, unique ID, inputs and outputs,
/// flags, category, programs, tail size) and every parameter with its normalised value, display text and label,
/// as a generic editor shows them, plus the entries of each choice.
class PluginInfoReport
{
public:
    /// The report as aligned text lines.
    static std::string text(PluginInstance& plugin, const ParameterCatalogue& catalogue);
    /// The same as one JSON object.
    static std::string json(PluginInstance& plugin, const ParameterCatalogue& catalogue);
};

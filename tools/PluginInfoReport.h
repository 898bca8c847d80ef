#pragma once

#include <nlohmann/json_fwd.hpp>

#include <string>

class ParameterCatalogue;
class PluginInstance;

/// What a host shows of an open instance: its identity (names, vendor, versions, unique ID, inputs and outputs,
/// flags, category, programs, tail size) and every parameter with its normalised value, display text and label,
/// as a generic editor shows them, plus the entries of each choice.
class PluginInfoReport
{
public:
    /// The report as one JSON object.
    static nlohmann::ordered_json json(PluginInstance& plugin, const ParameterCatalogue& catalogue);
    /// The same as aligned text lines.
    static std::string text(PluginInstance& plugin, const ParameterCatalogue& catalogue);
};

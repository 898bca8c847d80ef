#pragma once

#include "tools/FrequencyScale.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class PluginInstance;

/// One entry of a choice parameter: its name and the normalised value that selects it.
struct ChoiceEntry
{
    std::string name;
    float value = 0.0f;
};

/// What a host knows of one parameter: index, name and label as the plug-in reports them, and its entries when it
/// is a choice.
struct ParameterInfo
{
    int32_t index = 0;
    std::string name;
    std::string label;
    std::vector<ChoiceEntry> entries; // empty unless the parameter is a choice
    // How the parameter shows a number, learnt for the parameters named: a frequency, or a linear range from the
    // number shown at 0 to the one shown at 1. Neither: a bare number is taken as the normalised value.
    bool showsFrequency = false;
    bool showsLinearRange = false;
    double shownAtZero = 0.0;
    double shownAtOne = 1.0;
};

/// The plug-in's parameters as learnt from the plug-in itself. Names and labels come from effGetParamName and
/// effGetParamLabel. Whether a parameter is a choice, and its entries, come from its display texts: the knob is swept
/// over 1025 evenly spaced positions; unless the texts along the way are all numbers with the same words around them
/// (a continuous parameter), the distinct texts in order are the entries. Entry k of n is then selected with k/n when
/// the plug-in shows it there, else with the middle of the positions that showed it. Every probed value is put back
/// afterwards. The sweep is the costly part of learning (1025 display texts a parameter), so a render learns the
/// entries of the parameters it is given only.
class ParameterCatalogue
{
public:
    ParameterCatalogue() = default;
    /// A catalogue of known parameters (for tests and other plug-ins' descriptions).
    explicit ParameterCatalogue(std::vector<ParameterInfo> parameters);

    /// Learns the parameters of the open instance. The probing calls are summarised in the call log, not listed.
    static ParameterCatalogue probe(PluginInstance& plugin);
    /// Learns the names and labels of all parameters and the entries of those named in names only (compared like
    /// find()). The instance must outlive the catalogue: frequencyCondition() asks it.
    static ParameterCatalogue probe(PluginInstance& plugin, const std::vector<std::string>& names);
    /// How the parameter at index takes a frequency: nothing when it shows none with any entry of the other
    /// parameters, "" when it shows one now, else the setting that makes it show one ("LFO Sync=Free"). Every probed
    /// value is put back afterwards.
    static std::optional<std::string> frequencyCondition(PluginInstance& plugin, int32_t index);
    /// The same for a catalogue learnt from an instance; nothing for a catalogue of known parameters.
    std::optional<std::string> frequencyCondition(int32_t index) const;
    /// The frequency law the parameter shows now (its displays at 0, 0.5 and 1); nothing when it shows no
    /// frequency. The parameter's value is put back afterwards.
    static std::optional<FrequencyScale> probeFrequencyScale(PluginInstance& plugin, int32_t index);

    /// The parameter with this name, compared ignoring case and surrounding spaces; null when there is none.
    const ParameterInfo* find(const std::string& name) const;
    /// All parameters in index order.
    const std::vector<ParameterInfo>& parameters() const { return all; }
    /// The names, quoted, for messages.
    std::string nameList() const;

private:
    std::vector<ParameterInfo> all;
    PluginInstance* source = nullptr; // the instance probed, if any
};

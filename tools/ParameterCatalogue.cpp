#include "tools/ParameterCatalogue.h"

#include "tools/PluginInstance.h"
#include "tools/TextUtilities.h"

#include <cmath>
#include <optional>
#include <set>
#include <utility>

namespace
{

constexpr int kSweepSteps = 1024; // fine enough to see every entry of a 128-entry choice at least 8 times

// Entries in order of first appearance, with the first and last sweep step that showed each.
struct SweptEntry
{
    std::string name;
    int firstStep = 0;
    int lastStep = 0;
};

// A continuous parameter shows numbers with the same words around them all along the knob ("0.25", " 632",
// "0.49 Hz"); a choice shows names, which may hold numbers too ("1/16 bar", "2 bars").
bool showsOneQuantity(const std::vector<SweptEntry>& swept)
{
    std::optional<FrequencyScale::DisplayParts> first;
    for (const SweptEntry& entry : swept)
    {
        const auto parts = FrequencyScale::parseDisplay(entry.name);
        if (!parts)
            return false;
        if (!first)
            first = parts;
        else if (parts->prefix != first->prefix || parts->unit != first->unit)
            return false;
    }
    return true;
}

std::vector<ChoiceEntry> probeEntries(PluginInstance& plugin, int32_t index)
{
    std::vector<SweptEntry> swept;
    for (int step = 0; step <= kSweepSteps; ++step)
    {
        plugin.setParameter(index, static_cast<float>(step) / kSweepSteps);
        const std::string text = plugin.dispatchText(effGetParamDisplay, index);
        if (text.empty())
            return {};
        if (swept.empty() || swept.back().name != text)
            swept.push_back(SweptEntry{text, step, step});
        else
            swept.back().lastStep = step;
    }
    if (showsOneQuantity(swept))
        return {};
    // A knob whose texts come back (A, B, A) is no list of entries.
    std::set<std::string> distinct;
    for (const SweptEntry& entry : swept)
    {
        if (!distinct.insert(entry.name).second)
            return {};
    }
    std::vector<ChoiceEntry> entries;
    const float count = static_cast<float>(swept.size());
    for (size_t k = 0; k < swept.size(); ++k)
    {
        // k/n, the plug-in's own convention, unless it shows another entry there: then the middle of the sweep's run.
        float value = static_cast<float>(k) / count;
        plugin.setParameter(index, value);
        if (plugin.dispatchText(effGetParamDisplay, index) != swept[k].name)
            value = static_cast<float>(swept[k].firstStep + swept[k].lastStep) / (2.0f * kSweepSteps);
        entries.push_back(ChoiceEntry{swept[k].name, value});
    }
    return entries;
}

// The number shown at a position, when the display is a plain number ("1.00", "0.25").
std::optional<double> shownNumber(PluginInstance& plugin, int32_t index, float position)
{
    plugin.setParameter(index, position);
    const auto parts = FrequencyScale::parseDisplay(plugin.dispatchText(effGetParamDisplay, index));
    if (!parts || !parts->prefix.empty() || !parts->unit.empty())
        return std::nullopt;
    return parts->number;
}

// How a continuous parameter shows its value: a frequency, or numbers along a straight line.
void learnShownRange(PluginInstance& plugin, ParameterInfo& info)
{
    if (!info.entries.empty())
        return;
    if (ParameterCatalogue::probeFrequencyScale(plugin, info.index))
    {
        info.showsFrequency = true;
        return;
    }
    const float original = plugin.getParameter(info.index);
    const auto low = shownNumber(plugin, info.index, 0.0f);
    const auto middle = shownNumber(plugin, info.index, 0.5f);
    const auto high = shownNumber(plugin, info.index, 1.0f);
    plugin.setParameter(info.index, original);
    if (low && middle && high && *high != *low &&
        std::fabs(*middle - (*low + *high) / 2.0) <= 0.01 * std::fabs(*high - *low))
    {
        info.showsLinearRange = true;
        info.shownAtZero = *low;
        info.shownAtOne = *high;
    }
}

// The entries of one parameter and how it shows numbers, its value put back, the probing summarised in the call log.
void learn(PluginInstance& plugin, ParameterInfo& info)
{
    const float original = plugin.getParameter(info.index);
    plugin.log().note("probing the display texts of parameter " + std::to_string(info.index) + " over " +
                      std::to_string(kSweepSteps + 1) + " positions (calls not listed)");
    plugin.log().mute();
    info.entries = probeEntries(plugin, info.index);
    plugin.log().resume();
    plugin.setParameter(info.index, original);
    plugin.log().mute();
    learnShownRange(plugin, info);
    plugin.log().resume();
}

} // namespace

ParameterCatalogue::ParameterCatalogue(std::vector<ParameterInfo> parameters) : all(std::move(parameters))
{
}

ParameterCatalogue ParameterCatalogue::probe(PluginInstance& plugin)
{
    ParameterCatalogue catalogue = probe(plugin, {});
    for (ParameterInfo& info : catalogue.all)
        learn(plugin, info);
    return catalogue;
}

ParameterCatalogue ParameterCatalogue::probe(PluginInstance& plugin, const std::vector<std::string>& names)
{
    std::vector<ParameterInfo> parameters;
    for (int32_t index = 0; index < plugin.parameterCount(); ++index)
    {
        ParameterInfo info;
        info.index = index;
        info.name = plugin.dispatchText(effGetParamName, index);
        info.label = plugin.dispatchText(effGetParamLabel, index);
        for (const std::string& name : names)
        {
            if (equalsIgnoringCase(trimmed(info.name), trimmed(name)))
            {
                learn(plugin, info);
                break;
            }
        }
        parameters.push_back(std::move(info));
    }
    ParameterCatalogue catalogue(std::move(parameters));
    catalogue.source = &plugin;
    return catalogue;
}

std::optional<std::string> ParameterCatalogue::frequencyCondition(PluginInstance& plugin, int32_t index)
{
    if (probeFrequencyScale(plugin, index))
        return std::string();
    plugin.log().mute();
    std::optional<std::string> condition;
    for (int32_t other = 0; other < plugin.parameterCount() && !condition; ++other)
    {
        if (other == index)
            continue;
        const float original = plugin.getParameter(other);
        for (const ChoiceEntry& entry : probeEntries(plugin, other))
        {
            plugin.setParameter(other, entry.value);
            if (probeFrequencyScale(plugin, index))
            {
                condition = plugin.dispatchText(effGetParamName, other) + "=" + entry.name;
                break;
            }
        }
        plugin.setParameter(other, original);
    }
    plugin.log().resume();
    return condition;
}

std::optional<std::string> ParameterCatalogue::frequencyCondition(int32_t index) const
{
    if (source == nullptr)
        return std::nullopt;
    return frequencyCondition(*source, index);
}

std::optional<FrequencyScale> ParameterCatalogue::probeFrequencyScale(PluginInstance& plugin, int32_t index)
{
    const float original = plugin.getParameter(index);
    std::string texts[3];
    const float positions[3] = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 3; ++i)
    {
        plugin.setParameter(index, positions[i]);
        texts[i] = plugin.dispatchText(effGetParamDisplay, index);
    }
    plugin.setParameter(index, original);
    return FrequencyScale::fromDisplays(texts[0], texts[1], texts[2], plugin.dispatchText(effGetParamLabel, index));
}

const ParameterInfo* ParameterCatalogue::find(const std::string& name) const
{
    const std::string wanted = trimmed(name);
    for (const ParameterInfo& info : all)
    {
        if (equalsIgnoringCase(trimmed(info.name), wanted))
            return &info;
    }
    return nullptr;
}

std::string ParameterCatalogue::nameList() const
{
    std::vector<std::string> names;
    for (const ParameterInfo& info : all)
        names.push_back(info.name);
    return quotedList(names);
}

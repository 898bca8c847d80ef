#include "tools/HostSession.h"

#include "tools/PluginInstance.h"
#include "tools/TextUtilities.h"

#include <fmt/format.h>

HostSession::HostSession(PluginInstance& pluginIn, const TransportSettings& settings, int32_t blockSize)
    : plugin(pluginIn), transport(settings), rate(settings.sampleRate), maxBlock(blockSize)
{
    plugin.setTimeInfo(&transport.timeInfo());
}

void HostSession::open()
{
    plugin.dispatch(effOpen);
    plugin.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    plugin.dispatch(effSetBlockSize, 0, maxBlock);
}

std::vector<std::string> HostSession::applyAssignments(std::vector<ParameterAssignment>& assignments)
{
    std::vector<float> before; // each assigned parameter's value before any is written
    for (const ParameterAssignment& assignment : assignments)
        before.push_back(plugin.getParameter(assignment.index()));
    for (const ParameterAssignment& assignment : assignments)
    {
        if (!assignment.needsFrequencyScale())
            plugin.setParameter(assignment.index(), assignment.points().front().normalised);
    }
    for (ParameterAssignment& assignment : assignments)
    {
        if (!assignment.needsFrequencyScale())
            continue;
        const auto scale = ParameterCatalogue::probeFrequencyScale(plugin, assignment.index());
        if (scale)
            assignment.resolveFrequencies(&*scale);
        else
            assignment.resolveFrequencies(nullptr, ParameterCatalogue::frequencyCondition(plugin, assignment.index()));
        plugin.setParameter(assignment.index(), assignment.points().front().normalised);
    }
    automations.clear();
    lastWritten.clear();
    for (const ParameterAssignment& assignment : assignments)
    {
        if (!assignment.automated())
            continue;
        automations.push_back(assignment);
        lastWritten.push_back(assignment.points().front().normalised);
    }
    const std::vector<std::string> warnings = checkEntries(assignments, before);
    for (int32_t index = 0; index < plugin.parameterCount(); ++index)
        plugin.dispatchText(effGetParamDisplay, index);
    return warnings;
}

std::vector<std::string> HostSession::checkEntries(const std::vector<ParameterAssignment>& assignments,
                                                   const std::vector<float>& before)
{
    std::vector<std::string> warnings;
    plugin.log().mute();
    for (const ParameterAssignment& assignment : assignments)
    {
        const int32_t index = assignment.index();
        for (const ParameterAssignment::Point& point : assignment.points())
        {
            if (!point.entry)
                continue;
            plugin.setParameter(index, point.normalised);
            const std::string shown = plugin.dispatchText(effGetParamDisplay, index);
            if (equalsIgnoringCase(trimmed(shown), point.entryName))
                continue;
            // The other setting that, put back, lets the entry show again.
            std::string cause;
            for (size_t j = 0; j < assignments.size() && cause.empty(); ++j)
            {
                const int32_t other = assignments[j].index();
                if (other == index)
                    continue;
                const float now = plugin.getParameter(other);
                plugin.setParameter(other, before[j]);
                if (equalsIgnoringCase(trimmed(plugin.dispatchText(effGetParamDisplay, index)), point.entryName))
                {
                    plugin.setParameter(other, now);
                    cause = assignments[j].name() + "=" + trimmed(plugin.dispatchText(effGetParamDisplay, other));
                }
                plugin.setParameter(other, now);
            }
            warnings.push_back("\"" + assignment.name() + "=" + point.text +
                               "\": " + (cause.empty() ? "with the settings given" : "with \"" + cause + "\"") +
                               " the plug-in shows \"" + trimmed(shown) +
                               "\" for this value, not the entry, so the entry means nothing there");
        }
        plugin.setParameter(index, assignment.points().front().normalised);
    }
    plugin.log().resume();
    return warnings;
}

void HostSession::start()
{
    plugin.dispatch(effMainsChanged, 0, 1);
}

void HostSession::process(const Block& block, float* const inputs[2], float* const outputs[2])
{
    const double seconds = static_cast<double>(block.start) / rate;
    for (size_t i = 0; i < automations.size(); ++i)
    {
        const float value = automations[i].valueAt(seconds);
        if (value == lastWritten[i])
            continue;
        plugin.setParameter(automations[i].index(), value);
        plugin.dispatchText(effGetParamDisplay, automations[i].index());
        lastWritten[i] = value;
    }
    transport.beginBlock(block.start, block.preroll);
    if (plugin.log().enabled())
        plugin.log().note(fmt::format("block at frame {}, {} frames{}, transport {}", block.start, block.frames,
                                      block.preroll ? " (pre-roll)" : "",
                                      transport.rolling() ? "rolling" : "standing"));
    plugin.processReplacing(inputs, outputs, block.frames);
}

void HostSession::stop()
{
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.close();
}

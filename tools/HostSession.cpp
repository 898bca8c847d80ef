#include "tools/HostSession.h"

#include "tools/PluginInstance.h"

#include <cstdio>

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

void HostSession::applyAssignments(std::vector<ParameterAssignment>& assignments)
{
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
        assignment.resolveFrequencies(scale ? &*scale : nullptr);
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
    AEffect* const effect = plugin.effect();
    for (int32_t index = 0; effect != nullptr && index < effect->numParams; ++index)
        plugin.dispatchText(effGetParamDisplay, index);
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
    {
        char text[160];
        std::snprintf(text, sizeof(text), "block at frame %lld, %d frames%s, transport %s",
                      static_cast<long long>(block.start), static_cast<int>(block.frames),
                      block.preroll ? " (pre-roll)" : "", transport.rolling() ? "rolling" : "standing");
        plugin.log().note(text);
    }
    plugin.processReplacing(inputs, outputs, block.frames);
}

void HostSession::stop()
{
    plugin.dispatch(effMainsChanged, 0, 0);
    plugin.close();
}

#pragma once

#include "tools/BlockSchedule.h"
#include "tools/ParameterAssignment.h"
#include "tools/Transport.h"

#include <cstdint>
#include <string>
#include <vector>

class PluginInstance;

/// The host's side of one run of an instance, in the order a DAW makes its calls: effOpen, effSetSampleRate,
/// effSetBlockSize; the parameter values; effMainsChanged 1; per block the automation writes, the transport's time
/// information and processReplacing; effMainsChanged 0 and effClose.
class HostSession
{
public:
    /// A session for plugin (loaded, not yet opened) at the transport's sample rate, with blocks of at most
    /// blockSize frames.
    HostSession(PluginInstance& plugin, const TransportSettings& transport, int32_t blockSize);

    /// effOpen, effSetSampleRate and effSetBlockSize.
    void open();
    /// Writes each assignment's first value (fixed values first, then frequencies, each mapped through the law the
    /// parameter shows once the others are set), keeps the automated ones for the blocks, and asks for the display
    /// text of every parameter as a host's generic editor does (that request is what carries a free LFO rate into
    /// the plug-in). Throws ToolError (usage) when a frequency cannot be mapped, saying which setting would make
    /// the parameter show one. Answers a warning for each entry name the plug-in does not show for its value with
    /// the settings given (an entry learnt in another mode, such as a note length with a free-running LFO).
    std::vector<std::string> applyAssignments(std::vector<ParameterAssignment>& assignments);
    /// effMainsChanged 1.
    void start();
    /// One block: every automated parameter whose value at the block's start differs from the last one written is
    /// written and its display text requested; the transport answers for the block; then processReplacing.
    void process(const Block& block, float* const inputs[2], float* const outputs[2]);
    /// effMainsChanged 0 and effClose.
    void stop();

    /// The rendered audio's sample rate in Hz.
    double sampleRate() const { return rate; }
    /// The largest block length announced to the plug-in.
    int32_t blockSize() const { return maxBlock; }

private:
    std::vector<std::string> checkEntries(const std::vector<ParameterAssignment>& assignments,
                                          const std::vector<float>& before);

    PluginInstance& plugin;
    Transport transport;
    double rate = 44100.0;
    int32_t maxBlock = 512;
    std::vector<ParameterAssignment> automations;
    std::vector<float> lastWritten; // per automation
};

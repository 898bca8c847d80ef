#pragma once

#include "host/VstInterface.h"

#if defined(TESSALOOM_LV2_HOST)
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>
#endif

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

/// The differential cases of the LV2 tests: the same input, block lengths, control values and transport rendered
/// through the LV2 plug-in and through the VST plug-in driven by its record (TestHost), which must agree bit for bit.
///
/// Transport: the cases that move the position use rates and tempi whose quarter notes per frame are binary
/// fractions (32768 Hz at 1.5 or 2 quarter notes per second), so that the host's position is exact whatever order
/// the arithmetic takes; the comparison then checks the conversions, not the rounding.
namespace Lv2Scenarios
{

/// A control port set to a plain value from block on, from frame frameOffset of that block (the LV2 plug-in takes
/// control ports at block starts only: the LV2 tests leave out scenarios with settings inside blocks).
struct PortSetting
{
    int block;
    uint32_t port;
    float value;
    uint32_t frameOffset = 0;
};

/// A time:Position the host sends at frame offset of block: a jump to a position in quarter notes, or (NaN) the
/// position the transport has reached, with the metre, tempo (in beats per minute) and speed from then on.
struct PositionEvent
{
    int block;
    uint32_t frameOffset;
    double jumpToQuarters;
    double beatsPerBar;
    int32_t beatUnit;
    double beatsPerMinute;
    double speed;
};

struct Scenario
{
    std::string name;
    double sampleRate;                 // Hz
    std::vector<int32_t> blockLengths; // frames, repeated in turn
    int blocks;
    std::vector<PortSetting> settings;
    std::vector<PositionEvent> events; // none: the LV2 plug-in runs on its own 120 BPM, the VST host answers that
};

/// Every case, covering the parameter classes, saturation and mix, the dual filter, tempo sync and the free LFO rate,
/// and (for hosts with sample-accurate events) settings and position events inside blocks.
std::vector<Scenario> differentialScenarios();
/// True when every setting of scenario falls on a block start.
bool settingsAtBlockStarts(const Scenario& scenario);

/// What the host does in one block: the block's parts, each from a frame offset to the next part (or the block's
/// end), with the effect parameters written at its start and the time information the host answers during it.
struct BlockPlan
{
    struct Part
    {
        uint32_t offset;
        std::vector<std::pair<int32_t, float>> parameters; // effect index, normalised value
        bool positionEvent;                                // a position event falls on this part's start
        VstTimeInfo time;
    };
    int32_t frames;
    std::vector<Part> parts;
};

/// The scenario block by block. splitAtEvents: a block is split at each setting and position event inside it (a
/// host with sample-accurate events); otherwise a position event inside a block holds from the next block on.
std::vector<BlockPlan> hostPlan(const Scenario& scenario, bool splitAtEvents);

struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;
};

/// A deterministic input (noise and a saw, different on each side) as long as the scenario's blocks.
Stereo scenarioInput(const Scenario& scenario);

/// Renders through the VST plug-in at pluginPath, loaded by a TestHost, one processing call per part of
/// hostPlan(scenario, splitAtEvents). error says why when it could not.
Stereo renderVst(const Scenario& scenario, const Stereo& input, const std::string& pluginPath, std::string& error,
                 bool splitAtEvents = false);

#if defined(TESSALOOM_LV2_HOST) // built where the LV2 headers are
/// A host's side of LV2 rendering: URID map, options (the longest block as maxBlockLength) and the features to pass
/// to instantiate; then render() drives an instance through its descriptor.
class Lv2Host
{
public:
    /// withFeatures false passes no features at all, as lv2apply does.
    Lv2Host(const Scenario& scenario, bool withFeatures);
    ~Lv2Host();

    /// The features for instantiate (null without features).
    const LV2_Feature* const* features() const;
    /// Connects, activates, runs every block, deactivates. The caller instantiates and cleans up.
    Stereo render(const LV2_Descriptor* descriptor, LV2_Handle handle, const Stereo& input);

private:
    struct State;
    std::unique_ptr<State> state;
};

#endif

/// Empty when a and b are equal bit for bit, else where and how they first differ.
std::string firstDifference(const Stereo& a, const Stereo& b);
/// True when some sample differs from the input (the render did something) and some sample is not zero.
bool isProcessed(const Stereo& output, const Stereo& input);

} // namespace Lv2Scenarios

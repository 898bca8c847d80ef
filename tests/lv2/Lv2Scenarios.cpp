#include "Lv2Scenarios.h"

#include "effect/FilterEffect.h"
#include "lv2/PortTable.h"
#include "support/TestHost.h"

#if defined(TESSALOOM_LV2_HOST)
#include <lv2/atom/forge.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace Lv2Scenarios
{

namespace
{

using namespace PortTable;
constexpr double kContinue = std::numeric_limits<double>::quiet_NaN();

int32_t blockLength(const Scenario& s, int block)
{
    return s.blockLengths[static_cast<size_t>(block) % s.blockLengths.size()];
}

int64_t totalFrames(const Scenario& s)
{
    int64_t frames = 0;
    for (int b = 0; b < s.blocks; ++b)
        frames += blockLength(s, b);
    return frames;
}

int32_t longestBlock(const Scenario& s)
{
    return *std::max_element(s.blockLengths.begin(), s.blockLengths.end());
}

/// The host's transport as a VST host reports it: quarter notes from an anchor, at a tempo in quarter notes per
/// minute. Without events it plays from 0 at 120 in 4/4, as the LV2 plug-in does on its own.
class HostTransport
{
public:
    explicit HostTransport(double rate) : sampleRate(rate) {}

    double quartersAt(int64_t frame) const
    {
        return anchorQuarters + static_cast<double>(frame - anchorFrame) * speed * tempoQpm / (60.0 * sampleRate);
    }
    double quartersPerBar() const { return beatsPerBar * 4.0 / beatUnit; }

    /// Applies event at frame; returns the bar and beat the host sends for it.
    void apply(const PositionEvent& e, int64_t frame, int64_t& bar, double& barBeat)
    {
        const double q = std::isnan(e.jumpToQuarters) ? quartersAt(frame) : e.jumpToQuarters;
        beatsPerBar = e.beatsPerBar;
        beatUnit = e.beatUnit;
        tempoQpm = e.beatsPerMinute * 4.0 / e.beatUnit;
        speed = e.speed;
        anchorQuarters = q;
        anchorFrame = frame;
        bar = static_cast<int64_t>(std::floor(q / quartersPerBar()));
        barBeat = (q - static_cast<double>(bar) * quartersPerBar()) / (4.0 / e.beatUnit);
    }

    VstTimeInfo timeInfo(int64_t frame) const
    {
        VstTimeInfo info{};
        info.samplePos = static_cast<double>(frame);
        info.sampleRate = sampleRate;
        info.ppqPos = quartersAt(frame);
        info.tempo = tempoQpm;
        info.barStartPos = std::floor(info.ppqPos / quartersPerBar()) * quartersPerBar();
        info.timeSigNumerator = static_cast<int32_t>(beatsPerBar);
        info.timeSigDenominator = beatUnit;
        info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
        if (speed != 0.0)
            info.flags |= kVstTransportPlaying;
        return info;
    }

private:
    double sampleRate;
    double anchorQuarters = 0.0;
    int64_t anchorFrame = 0;
    double beatsPerBar = 4.0;
    int32_t beatUnit = 4;
    double tempoQpm = 120.0;
    double speed = 1.0;
};

/// Plain port values as a host holds them: the defaults, then the settings up to the current block.
struct PortValues
{
    float value[kPortCount] = {};

    PortValues()
    {
        for (const ControlPort& c : kControlPorts)
            value[c.port] = c.defaultValue;
    }
    void take(const Scenario& s, int block, uint32_t offset = 0)
    {
        for (const PortSetting& setting : s.settings)
        {
            if (setting.block == block && setting.frameOffset == offset)
                value[setting.port] = setting.value;
        }
    }
    /// Every parameter as the host writes it: "LFO Freq" from the port that the LFO Sync entry uses.
    std::vector<std::pair<int32_t, float>> parameters() const
    {
        std::vector<std::pair<int32_t, float>> list;
        const bool free = lfoSyncEntry(value[kLfoSync]) == FilterEffect::kSyncFree;
        for (const ControlPort& c : kControlPorts)
        {
            if (c.port != (free ? kLfoLength : kLfoRate))
                list.emplace_back(c.parameter, normalisedValue(c, value[c.port]));
        }
        return list;
    }
};

} // namespace

std::vector<Scenario> differentialScenarios()
{
    std::vector<Scenario> cases;

    cases.push_back({"no position events: a synced LFO at the plug-in's own 120 BPM",
                     44100.0,
                     {256, 1, 700, 1024, 33},
                     120,
                     {{0, kLfoAmount, 0.8f},
                      {0, kFilterFreq, 2000.0f},
                      {0, kFilterReso, 2.5f},
                      {0, kLfoLength, 2.0f},
                      {0, kLfoShape, 1.0f}},
                     {}});

    cases.push_back({"float parameters, saturation and mix, changed while running",
                     48000.0,
                     {512, 128, 1000},
                     60,
                     {{0, kPreSaturation, 0.7f},
                      {0, kPostSaturation, 0.5f},
                      {0, kMix, 0.6f},
                      {0, kFilterReso, 3.3f},
                      {0, kFilterType, 1.0f},
                      {0, kFilterFreq, 900.0f},
                      {30, kMix, 0.2f},
                      {30, kPreSaturation, 0.1f},
                      {30, kFilterFreq, 3000.0f},
                      {45, kFilterType, 0.0f},
                      {45, kFilterReso, 1.2f},
                      {45, kMix, 1.0f}},
                     {}});

    cases.push_back({"Dual LP/HP crossing the middle of the knob, modulated upwards",
                     44100.0,
                     {300, 64},
                     80,
                     {{0, kFilterType, 2.0f},
                      {0, kFilterFreq, 150.0f},
                      {0, kFilterReso, 1.8f},
                      {20, kFilterFreq, 8000.0f},
                      {40, kFilterFreq, 400.0f},
                      {40, kLfoAmount, 0.5f},
                      {40, kLfoDirection, 1.0f},
                      {40, kLfoShape, 4.0f}},
                     {}});

    cases.push_back({"tempo sync in 6/8: tempo change, jump mid-block, stop, start, metre change",
                     32768.0,
                     {2048, 1024, 4096, 512},
                     90,
                     {{0, kLfoAmount, 1.0f},
                      {0, kLfoLength, 4.0f}, // 1 bar, Dotted: 0.375 cycles a quarter note, so bar starts show
                      {0, kLfoSync, 1.0f},
                      {0, kLfoDirection, 1.0f},
                      {0, kLfoShape, 2.0f},
                      {0, kLfoPhase, 0.3f},
                      {0, kFilterFreq, 500.0f},
                      {0, kFilterReso, 2.0f},
                      {50, kLfoPhase, 0.8f}},
                     {{0, 0, 0.0, 6.0, 8, 180.0, 1.0},
                      {20, 0, kContinue, 6.0, 8, 240.0, 1.0},
                      {35, 100, 34.5, 6.0, 8, 240.0, 1.0}, // into bar 11, which starts on quarter note 33
                      {50, 0, kContinue, 6.0, 8, 240.0, 0.0},
                      {60, 0, kContinue, 6.0, 8, 240.0, 1.0},
                      {70, 0, kContinue, 3.0, 4, 90.0, 1.0}}});

    cases.push_back({"free LFO rate and LFO Sync switching between the two LFO Freq ports",
                     32768.0,
                     {480, 97},
                     70,
                     {{0, kLfoAmount, 0.9f},
                      {0, kLfoSync, 3.0f},
                      {0, kLfoRate, 3.5f},
                      {0, kFilterFreq, 1200.0f},
                      {10, kLfoLength, 7.0f},
                      {20, kLfoRate, 0.5f},
                      {30, kLfoSync, 2.0f},
                      {40, kLfoRate, 10.0f},
                      {50, kLfoSync, 3.0f},
                      {60, kLfoSync, 0.0f}},
                     {{0, 0, 0.0, 4.0, 4, 120.0, 1.0}}});

    cases.push_back({"settings and position events inside blocks: tempo change, jump, stop and start mid-block",
                     32768.0,
                     {1024, 333, 2048},
                     48,
                     {{0, kLfoAmount, 0.7f},
                      {0, kLfoLength, 3.0f},
                      {0, kFilterReso, 3.0f},
                      {0, kFilterFreq, 1500.0f},
                      {0, kMix, 0.8f},
                      {3, kFilterFreq, 300.0f, 1},
                      {3, kFilterFreq, 5000.0f, 1023},
                      {7, kMix, 0.3f, 100},
                      {7, kPreSaturation, 0.9f, 100},
                      {12, kFilterType, 1.0f, 700},
                      {16, kLfoPhase, 0.5f, 5},
                      {20, kFilterType, 2.0f, 17},
                      {20, kFilterFreq, 9000.0f, 17},
                      {33, kLfoDirection, 1.0f, 250},
                      {40, kMix, 1.0f, 1}},
                     {{0, 0, 0.0, 4.0, 4, 120.0, 1.0},
                      {5, 512, kContinue, 4.0, 4, 90.0, 1.0},
                      {10, 100, 21.0, 4.0, 4, 90.0, 1.0},
                      {22, 64, kContinue, 4.0, 4, 90.0, 0.0},
                      {26, 1000, kContinue, 4.0, 4, 90.0, 1.0},
                      {31, 200, kContinue, 6.0, 8, 180.0, 1.0}}});
    return cases;
}

Stereo scenarioInput(const Scenario& scenario)
{
    const size_t frames = static_cast<size_t>(totalFrames(scenario));
    Stereo input;
    input.left.resize(frames);
    input.right.resize(frames);
    uint32_t seed = 12345u;
    for (size_t i = 0; i < frames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
        const double saw = std::fmod(static_cast<double>(i) * 110.0 / scenario.sampleRate, 1.0) - 0.5;
        input.left[i] = static_cast<float>(0.6 * noise + 0.5 * saw);
        input.right[i] = static_cast<float>(0.4 * noise - 0.6 * saw);
    }
    return input;
}

bool settingsAtBlockStarts(const Scenario& scenario)
{
    for (const PortSetting& setting : scenario.settings)
    {
        if (setting.frameOffset != 0)
            return false;
    }
    return true;
}

std::vector<BlockPlan> hostPlan(const Scenario& scenario, bool splitAtEvents)
{
    std::vector<BlockPlan> plan;
    HostTransport transport(scenario.sampleRate);
    PortValues ports;
    int64_t start = 0;
    for (int b = 0; b < scenario.blocks; ++b)
    {
        const int32_t n = blockLength(scenario, b);
        BlockPlan block{n, {}};
        // The parts' starts: the block's, then (split) each setting or position event inside it.
        std::vector<uint32_t> offsets = {0};
        for (const PortSetting& setting : scenario.settings)
        {
            if (splitAtEvents && setting.block == b && setting.frameOffset > 0)
                offsets.push_back(setting.frameOffset);
        }
        for (const PositionEvent& e : scenario.events)
        {
            if (splitAtEvents && e.block == b && e.frameOffset > 0)
                offsets.push_back(e.frameOffset);
        }
        std::sort(offsets.begin(), offsets.end());
        offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());

        for (const uint32_t offset : offsets)
        {
            // Every parameter at the block's start (writing an unchanged value changes nothing), the changed ones
            // inside it.
            const PortValues before = ports;
            ports.take(scenario, b, offset);
            BlockPlan::Part part{offset, {}, false, {}};
            const auto all = ports.parameters();
            const auto previous = before.parameters();
            for (size_t k = 0; k < all.size(); ++k)
            {
                if (offset == 0 || all[k] != previous[k])
                    part.parameters.push_back(all[k]);
            }
            int64_t bar = 0;
            double barBeat = 0.0;
            for (const PositionEvent& e : scenario.events)
            {
                if (e.block == b && e.frameOffset == offset)
                {
                    transport.apply(e, start + offset, bar, barBeat);
                    part.positionEvent = true;
                }
            }
            part.time = transport.timeInfo(start + offset);
            block.parts.push_back(part);
        }
        if (!splitAtEvents)
        {
            for (const PositionEvent& e : scenario.events)
            {
                int64_t bar = 0;
                double barBeat = 0.0;
                if (e.block == b && e.frameOffset > 0)
                    transport.apply(e, start + e.frameOffset, bar, barBeat);
            }
        }
        plan.push_back(block);
        start += n;
    }
    return plan;
}

Stereo renderVst(const Scenario& scenario, const Stereo& input, const std::string& pluginPath, std::string& error,
                 bool splitAtEvents)
{
    Stereo output;
    TestHost host(pluginPath);
    if (!host.isLoaded() || host.create() == nullptr)
    {
        error = "the VST plug-in did not load: " + host.loadError();
        return output;
    }
    host.dispatch(effOpen);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(scenario.sampleRate));
    host.dispatch(effSetBlockSize, 0, longestBlock(scenario));
    host.dispatch(effMainsChanged, 0, 1);

    output = input;
    size_t start = 0;
    for (const BlockPlan& block : hostPlan(scenario, splitAtEvents))
    {
        for (size_t k = 0; k < block.parts.size(); ++k)
        {
            const BlockPlan::Part& part = block.parts[k];
            for (const auto& parameter : part.parameters)
                host.setParameter(parameter.first, parameter.second);
            host.timeInfo() = part.time;
            const uint32_t end = k + 1 < block.parts.size() ? block.parts[k + 1].offset : block.frames;
            const size_t at = start + part.offset;
            host.processReplacing(&output.left[at], &output.right[at], &output.left[at], &output.right[at],
                                  static_cast<int32_t>(end - part.offset));
        }
        start += static_cast<size_t>(block.frames);
    }
    host.dispatch(effMainsChanged, 0, 0);
    return output;
}

#if defined(TESSALOOM_LV2_HOST)
struct Lv2Host::State
{
    const Scenario& scenario;
    std::vector<std::string> uris; // URID n is uris[n - 1]
    LV2_URID_Map map{};
    LV2_Feature mapFeature{};
    int32_t maxBlock = 0;
    LV2_Options_Option options[2] = {};
    LV2_Feature optionsFeature{};
    LV2_Feature boundedFeature{};
    const LV2_Feature* featureList[4] = {};
    bool withFeatures;
    LV2_Atom_Forge forge{};
    alignas(8) uint8_t sequence[8192] = {};

    State(const Scenario& s, bool features) : scenario(s), withFeatures(features) {}

    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri)
    {
        auto& list = static_cast<State*>(handle)->uris;
        for (size_t i = 0; i < list.size(); ++i)
        {
            if (list[i] == uri)
                return static_cast<LV2_URID>(i + 1);
        }
        list.push_back(uri);
        return static_cast<LV2_URID>(list.size());
    }
    LV2_URID id(const char* uri) { return mapUri(this, uri); }

    /// The position events of block as one atom sequence.
    void writeEvents(int block, HostTransport& transport, int64_t start)
    {
        lv2_atom_forge_set_buffer(&forge, sequence, sizeof(sequence));
        LV2_Atom_Forge_Frame sequenceFrame;
        lv2_atom_forge_sequence_head(&forge, &sequenceFrame, 0);
        for (const PositionEvent& e : scenario.events)
        {
            if (e.block != block)
                continue;
            int64_t bar = 0;
            double barBeat = 0.0;
            transport.apply(e, start + e.frameOffset, bar, barBeat);
            lv2_atom_forge_frame_time(&forge, e.frameOffset);
            LV2_Atom_Forge_Frame objectFrame;
            lv2_atom_forge_object(&forge, &objectFrame, 0, id(LV2_TIME__Position));
            lv2_atom_forge_key(&forge, id(LV2_TIME__bar));
            lv2_atom_forge_long(&forge, bar);
            lv2_atom_forge_key(&forge, id(LV2_TIME__barBeat));
            lv2_atom_forge_float(&forge, static_cast<float>(barBeat));
            lv2_atom_forge_key(&forge, id(LV2_TIME__beatsPerBar));
            lv2_atom_forge_float(&forge, static_cast<float>(e.beatsPerBar));
            lv2_atom_forge_key(&forge, id(LV2_TIME__beatUnit));
            lv2_atom_forge_int(&forge, e.beatUnit);
            lv2_atom_forge_key(&forge, id(LV2_TIME__beatsPerMinute));
            lv2_atom_forge_float(&forge, static_cast<float>(e.beatsPerMinute));
            lv2_atom_forge_key(&forge, id(LV2_TIME__speed));
            lv2_atom_forge_float(&forge, static_cast<float>(e.speed));
            lv2_atom_forge_pop(&forge, &objectFrame);
        }
        lv2_atom_forge_pop(&forge, &sequenceFrame);
    }
};

Lv2Host::Lv2Host(const Scenario& scenario, bool withFeatures) : state(std::make_unique<State>(scenario, withFeatures))
{
    State& s = *state;
    s.map.handle = &s;
    s.map.map = State::mapUri;
    s.mapFeature = {LV2_URID__map, &s.map};
    s.maxBlock = longestBlock(scenario);
    s.options[0] = {LV2_OPTIONS_INSTANCE, 0,          s.id(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
                    s.id(LV2_ATOM__Int),  &s.maxBlock};
    s.options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    s.optionsFeature = {LV2_OPTIONS__options, s.options};
    s.boundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    s.featureList[0] = &s.mapFeature;
    s.featureList[1] = &s.optionsFeature;
    s.featureList[2] = &s.boundedFeature;
    s.featureList[3] = nullptr;
    lv2_atom_forge_init(&s.forge, &s.map);
}

Lv2Host::~Lv2Host() = default;

const LV2_Feature* const* Lv2Host::features() const
{
    return state->withFeatures ? state->featureList : nullptr;
}

Stereo Lv2Host::render(const LV2_Descriptor* descriptor, LV2_Handle handle, const Stereo& input)
{
    State& s = *state;
    const Scenario& scenario = s.scenario;
    Stereo output;
    output.left.resize(input.left.size());
    output.right.resize(input.right.size());
    // Separate buffers for each port, filled per block, as a host's graph hands them over.
    const size_t longest = static_cast<size_t>(s.maxBlock);
    std::vector<float> inL(longest), inR(longest), outL(longest), outR(longest);
    PortValues ports;
    descriptor->connect_port(handle, kInLeft, inL.data());
    descriptor->connect_port(handle, kInRight, inR.data());
    descriptor->connect_port(handle, kOutLeft, outL.data());
    descriptor->connect_port(handle, kOutRight, outR.data());
    descriptor->connect_port(handle, kTimeEvents, s.withFeatures ? s.sequence : nullptr);
    for (const ControlPort& c : kControlPorts)
        descriptor->connect_port(handle, c.port, &ports.value[c.port]);
    if (descriptor->activate != nullptr)
        descriptor->activate(handle);

    HostTransport transport(scenario.sampleRate);
    int64_t start = 0;
    for (int b = 0; b < scenario.blocks; ++b)
    {
        const int32_t n = blockLength(scenario, b);
        const size_t at = static_cast<size_t>(start);
        ports.take(scenario, b);
        std::copy_n(&input.left[at], n, inL.data());
        std::copy_n(&input.right[at], n, inR.data());
        // The block's events in one sequence, in order (those at its start first, as the table lists them).
        s.writeEvents(b, transport, start);
        descriptor->run(handle, static_cast<uint32_t>(n));
        std::copy_n(outL.data(), n, &output.left[at]);
        std::copy_n(outR.data(), n, &output.right[at]);
        start += n;
    }
    if (descriptor->deactivate != nullptr)
        descriptor->deactivate(handle);
    return output;
}

#endif

std::string firstDifference(const Stereo& a, const Stereo& b)
{
    if (a.left.size() != b.left.size() || a.right.size() != b.right.size())
        return "lengths differ";
    for (size_t i = 0; i < a.left.size(); ++i)
    {
        for (int side = 0; side < 2; ++side)
        {
            const float x = side == 0 ? a.left[i] : a.right[i];
            const float y = side == 0 ? b.left[i] : b.right[i];
            if (std::memcmp(&x, &y, sizeof(float)) != 0)
            {
                char text[160];
                std::snprintf(text, sizeof(text), "frame %zu (%s): %.9g vs %.9g", i, side == 0 ? "left" : "right",
                              static_cast<double>(x), static_cast<double>(y));
                return text;
            }
        }
    }
    return std::string();
}

bool isProcessed(const Stereo& output, const Stereo& input)
{
    bool differs = false;
    bool sound = false;
    for (size_t i = 0; i < output.left.size(); ++i)
    {
        differs = differs || output.left[i] != input.left[i] || output.right[i] != input.right[i];
        sound = sound || output.left[i] != 0.0f || output.right[i] != 0.0f;
    }
    return differs && sound;
}

} // namespace Lv2Scenarios

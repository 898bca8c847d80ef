// Bit-exact regression lock on the effect's output: fixed scenarios run through the built library, as a host runs
// them, and the output bits of each are reduced to one checksum that must not change unnoticed.
//
// The maths library picks FMA or plain versions of exp, log, sin and cos by processor, and a small share of their
// results differ in the last bit; ctest runs this test with GLIBC_TUNABLES=glibc.cpu.hwcaps=-FMA,-AVX2 so that the
// plain versions are used on every x86-64 machine. The 32-bit build has its own maths library and its own checksums.
//
// The end-of-block guards leave these checksums as they were: they act only on a section whose history is not finite
// or above 1e6 in magnitude (cleared), on subnormal or negative-zero history values (set to +0, which can change at
// most the sign of a zero output sample), and on non-finite output samples (set to 0). Nor does the per-sample guard
// of the filter routines (a section output above 1e5 or not finite: silence, history cleared), which came later and
// left every checksum below unchanged on the 64-bit, 32-bit and 64-bit Windows builds. None of the scenarios below
// reaches any of these; a scenario that did would change its checksum only there.
//
// When a change of output is intended, run with TESSALOOM_PRINT_GOLDEN=1 to print fresh checksums, and replace the
// table below only once the reason for every changed scenario is understood.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace
{
enum : int32_t
{
    kPreSaturation = 0,
    kFilterType,
    kFilterFreq,
    kFilterReso,
    kLfoAmount,
    kLfoFreq,
    kLfoSync,
    kLfoDirection,
    kLfoShape,
    kLfoPhase,
    kPostSaturation,
    kMix,
};

/// A parameter write before block `block` (0: before the first block).
struct ParameterChange
{
    int block;
    int32_t index;
    float value;
};

/// What the host's transport does during a scenario.
struct Transport
{
    bool available = false;    // whether the host answers time requests
    double tempo = 120.0;      // BPM
    int tempoChangeBlock = -1; // block from which newTempo holds
    double newTempo = 120.0;
    int stopBlock = -1;     // block from which the position stands still
    int jumpBackBlock = -1; // block at which the position jumps back by two bars
    int32_t numerator = 4;
};

struct Scenario
{
    const char* name;
    float sampleRate;
    std::vector<int32_t> blockLengths; // taken in turn
    int32_t frames;
    std::vector<ParameterChange> changes;
    Transport transport;
    uint32_t seed;
    float amplitude;
    int32_t silenceFrom = -1; // input frames from here on are silent (-1: none)
};

Transport running(double tempo, int32_t numerator = 4)
{
    Transport transport;
    transport.available = true;
    transport.tempo = tempo;
    transport.newTempo = tempo;
    transport.numerator = numerator;
    return transport;
}

std::vector<Scenario> scenarios()
{
    std::vector<Scenario> list;
    list.push_back({"low-pass-defaults", 44100.0f, {512}, 6000, {}, Transport{}, 1u, 0.8f});
    list.push_back({"high-pass-resonant",
                    44100.0f,
                    {256},
                    6000,
                    {{0, kFilterType, 0.5f}, {0, kFilterFreq, 0.35f}, {0, kFilterReso, 0.9f}},
                    Transport{},
                    2u,
                    0.8f});
    list.push_back({"dual-crossing-the-middle",
                    44100.0f,
                    {300},
                    7200,
                    {{0, kFilterType, 1.0f},
                     {0, kFilterFreq, 0.3f},
                     {0, kLfoAmount, 0.25f},
                     {5, kFilterFreq, 0.7f},
                     {9, kFilterFreq, 0.5f},
                     {13, kFilterFreq, 0.52f},
                     {18, kFilterFreq, 0.1f}},
                    running(120.0),
                    3u,
                    0.8f});
    list.push_back({"sine-whole-quarter-bar",
                    44100.0f,
                    {256},
                    8192,
                    {{0, kLfoShape, 0.1f}, {0, kLfoFreq, 0.25f}, {0, kLfoAmount, 0.9f}, {0, kFilterFreq, 0.7f}},
                    running(128.0),
                    4u,
                    0.8f});
    list.push_back({"triangle-dotted-eighth-up-dual",
                    44100.0f,
                    {256},
                    8192,
                    {{0, kLfoShape, 0.3f},
                     {0, kLfoSync, 0.375f},
                     {0, kLfoFreq, 0.15f},
                     {0, kLfoDirection, 1.0f},
                     {0, kLfoAmount, 0.7f},
                     {0, kFilterType, 1.0f},
                     {0, kFilterFreq, 0.45f},
                     {0, kFilterReso, 0.5f}},
                    running(100.0),
                    5u,
                    0.8f});
    list.push_back({"sawtooth-triplet-sixteenth-high-pass",
                    44100.0f,
                    {128},
                    8192,
                    {{0, kLfoShape, 0.5f},
                     {0, kLfoSync, 0.625f},
                     {0, kLfoFreq, 0.05f},
                     {0, kLfoAmount, 1.0f},
                     {0, kFilterType, 0.5f},
                     {0, kFilterFreq, 0.6f}},
                    running(140.0),
                    6u,
                    0.8f});
    list.push_back({"square-free-rate",
                    44100.0f,
                    {200},
                    8000,
                    {{0, kLfoShape, 0.7f},
                     {0, kLfoSync, 0.875f},
                     {0, kLfoFreq, 0.8f},
                     {0, kLfoAmount, 0.6f},
                     {0, kFilterFreq, 0.5f},
                     {20, kLfoFreq, 0.6f}},
                    running(120.0),
                    7u,
                    0.8f});
    Transport stopping = running(110.0);
    stopping.stopBlock = 12;
    list.push_back({"exponent-phase-offset-gliding",
                    44100.0f,
                    {256},
                    8192,
                    {{0, kLfoShape, 0.9f},
                     {0, kLfoPhase, 0.3f},
                     {0, kLfoDirection, 1.0f},
                     {0, kLfoAmount, 0.8f},
                     {0, kFilterFreq, 0.35f},
                     {6, kLfoPhase, 0.9f}},
                    stopping,
                    8u,
                    0.8f});
    list.push_back({"saturation-and-mix-gliding",
                    44100.0f,
                    {256},
                    8192,
                    {{0, kPreSaturation, 0.9f},
                     {0, kPostSaturation, 0.7f},
                     {0, kMix, 0.35f},
                     {0, kFilterFreq, 0.6f},
                     {8, kPreSaturation, 0.2f},
                     {8, kPostSaturation, 1.0f},
                     {8, kMix, 0.8f},
                     {20, kMix, 1.0f},
                     {20, kPreSaturation, 0.0f}},
                    Transport{},
                    9u,
                    1.6f});
    Transport changing = running(90.0, 6);
    changing.tempoChangeBlock = 6;
    changing.newTempo = 150.0;
    changing.jumpBackBlock = 14;
    list.push_back({"tempo-change-six-eight",
                    44100.0f,
                    {256},
                    8192,
                    {{0, kLfoAmount, 0.75f}, {0, kLfoFreq, 0.35f}, {0, kFilterFreq, 0.55f}, {0, kFilterReso, 0.3f}},
                    changing,
                    10u,
                    0.8f});
    list.push_back({"odd-block-lengths",
                    44100.0f,
                    {1, 7, 33, 128, 5, 511, 2},
                    6000,
                    {{0, kFilterType, 1.0f},
                     {0, kFilterFreq, 0.48f},
                     {0, kLfoAmount, 0.5f},
                     {0, kLfoSync, 0.875f},
                     {0, kLfoFreq, 0.7f},
                     {0, kMix, 0.6f},
                     {0, kPreSaturation, 0.4f},
                     {40, kFilterFreq, 0.53f}},
                    running(120.0),
                    11u,
                    1.1f});
    list.push_back({"dual-at-48000",
                    48000.0f,
                    {480},
                    9600,
                    {{0, kFilterType, 1.0f},
                     {0, kFilterFreq, 0.65f},
                     {0, kLfoAmount, 0.4f},
                     {0, kLfoSync, 0.875f},
                     {0, kLfoFreq, 0.55f},
                     {4, kFilterFreq, 0.35f},
                     {12, kFilterFreq, 0.8f}},
                    Transport{},
                    12u,
                    0.8f});
    // The configurations whose cost the benchmarks measure (bench/ProcessingBench.cpp), and the mix over block lengths
    // that change, with a block of no frames among them.
    list.push_back({"steady-low-pass", 44100.0f, {512}, 16384, {{0, kFilterFreq, 0.55f}}, running(120.0), 13u, 0.8f});
    list.push_back({"steady-dual",
                    44100.0f,
                    {512},
                    16384,
                    {{0, kFilterType, 1.0f}, {0, kFilterFreq, 0.3f}, {0, kFilterReso, 0.4f}},
                    running(120.0),
                    14u,
                    0.8f});
    list.push_back({"lfo-sixteenth-up-low-pass",
                    44100.0f,
                    {512},
                    16384,
                    {{0, kLfoFreq, 0.0f}, {0, kLfoAmount, 1.0f}, {0, kLfoDirection, 1.0f}, {0, kFilterFreq, 0.3f}},
                    running(120.0),
                    15u,
                    0.8f});
    list.push_back({"lfo-sixteenth-up-dual",
                    44100.0f,
                    {512},
                    16384,
                    {{0, kFilterType, 1.0f},
                     {0, kLfoFreq, 0.0f},
                     {0, kLfoAmount, 1.0f},
                     {0, kLfoDirection, 1.0f},
                     {0, kFilterFreq, 0.4f},
                     {0, kFilterReso, 0.6f}},
                    running(120.0),
                    16u,
                    0.8f});
    list.push_back({"all-stages-steady",
                    44100.0f,
                    {512},
                    16384,
                    {{0, kFilterType, 1.0f},
                     {0, kFilterFreq, 0.7f},
                     {0, kPreSaturation, 1.0f},
                     {0, kPostSaturation, 1.0f},
                     {0, kMix, 0.5f}},
                    running(120.0),
                    17u,
                    1.3f});
    list.push_back({"all-stages-lfo-bar",
                    44100.0f,
                    {512},
                    16384,
                    {{0, kFilterType, 1.0f},
                     {0, kFilterFreq, 0.45f},
                     {0, kLfoAmount, 1.0f},
                     {0, kPreSaturation, 1.0f},
                     {0, kPostSaturation, 1.0f},
                     {0, kMix, 0.5f},
                     {24, kFilterFreq, 0.6f}},
                    running(120.0),
                    18u,
                    1.3f});
    list.push_back({"mix-changing-block-length",
                    44100.0f,
                    {512, 64, 0, 1000, 3, 512, 257},
                    12000,
                    {{0, kFilterFreq, 0.5f}, {0, kMix, 0.5f}, {0, kPostSaturation, 0.3f}, {10, kMix, 0.2f}},
                    running(120.0),
                    19u,
                    1.0f});
    // A burst into a 20 Hz low-pass at maximum resonance, then silence for long enough that the history decays into
    // subnormal numbers (about two million frames), where the end-of-block guard sets it to zero.
    list.push_back({"subnormal-tail",
                    44100.0f,
                    {512},
                    2200000,
                    {{0, kFilterFreq, 0.0f}, {0, kFilterReso, 1.0f}},
                    Transport{},
                    20u,
                    1.6f,
                    4096});
    return list;
}

/// Seeded noise plus a rising sweep, different on the two channels, made without the maths library.
void makeInput(uint32_t seed, float amplitude, std::vector<float>& left, std::vector<float>& right)
{
    double phase = 0.0; // -1..1
    double increment = 0.0005;
    for (size_t i = 0; i < left.size(); ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        const double sweep = 4.0 * phase * (1.0 - std::fabs(phase));
        phase += increment;
        if (phase >= 1.0)
            phase -= 2.0;
        increment += 0.000004;
        left[i] = static_cast<float>(amplitude * (0.6 * noise + 0.4 * sweep));
        right[i] = static_cast<float>(amplitude * (0.7 * sweep - 0.3 * noise));
    }
}

/// FNV-1a over the bytes of the samples' bit patterns, least significant byte first.
uint64_t checksum(const std::vector<float>& left, const std::vector<float>& right)
{
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const std::vector<float>* channel : {&left, &right})
    {
        for (float sample : *channel)
        {
            uint32_t bits;
            std::memcpy(&bits, &sample, sizeof(bits));
            for (int byte = 0; byte < 4; ++byte)
            {
                hash ^= (bits >> (8 * byte)) & 0xFFu;
                hash *= 0x100000001b3ull;
            }
        }
    }
    return hash;
}

uint64_t render(const Scenario& scenario)
{
    TestHost host;
    EXPECT_TRUE(host.isLoaded()) << host.loadError();
    if (host.create() == nullptr)
        return 0;
    host.dispatch(effSetSampleRate, 0, 0, nullptr, scenario.sampleRate);
    host.setTimeInfoAvailable(scenario.transport.available);

    std::vector<float> inLeft(static_cast<size_t>(scenario.frames));
    std::vector<float> inRight(inLeft.size());
    makeInput(scenario.seed, scenario.amplitude, inLeft, inRight);
    if (scenario.silenceFrom >= 0)
    {
        std::fill(inLeft.begin() + scenario.silenceFrom, inLeft.end(), 0.0f);
        std::fill(inRight.begin() + scenario.silenceFrom, inRight.end(), 0.0f);
    }
    std::vector<float> outLeft(inLeft.size());
    std::vector<float> outRight(inLeft.size());

    const Transport& transport = scenario.transport;
    double position = 0.0; // quarter notes
    int32_t done = 0;
    for (int block = 0; done < scenario.frames; ++block)
    {
        for (const ParameterChange& change : scenario.changes)
        {
            if (change.block == block)
                host.setParameter(change.index, change.value);
        }
        const double tempo = transport.tempoChangeBlock >= 0 && block >= transport.tempoChangeBlock ? transport.newTempo
                                                                                                    : transport.tempo;
        if (block == transport.jumpBackBlock)
            position = position > 8.0 ? position - 8.0 : 0.0;
        VstTimeInfo& time = host.timeInfo();
        time.sampleRate = scenario.sampleRate;
        time.tempo = tempo;
        time.ppqPos = position;
        time.barStartPos = std::floor(position / transport.numerator) * transport.numerator;
        time.timeSigNumerator = transport.numerator;
        time.timeSigDenominator = transport.numerator == 6 ? 8 : 4;
        time.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

        const int32_t length = std::min(
            scenario.blockLengths[static_cast<size_t>(block) % scenario.blockLengths.size()], scenario.frames - done);
        host.processReplacing(inLeft.data() + done, inRight.data() + done, outLeft.data() + done,
                              outRight.data() + done, length);
        done += length;
        if (transport.stopBlock < 0 || block + 1 < transport.stopBlock)
            position += length * (tempo / 60.0) / scenario.sampleRate;
    }
    // A checksum of silence or of non-finite samples would lock in a broken chain.
    float peak = 0.0f;
    for (const std::vector<float>* channel : {&outLeft, &outRight})
    {
        for (float sample : *channel)
        {
            EXPECT_TRUE(std::isfinite(sample)) << scenario.name;
            peak = std::max(peak, std::fabs(sample));
        }
    }
    EXPECT_GT(peak, 0.05f) << scenario.name;
    return checksum(outLeft, outRight);
}

struct GoldenChecksum
{
    const char* scenario;
    uint64_t checksum;
};

#if defined(__x86_64__)
constexpr GoldenChecksum kGolden[] = {
    {"low-pass-defaults", 0x150199f148dff6aeull},
    {"high-pass-resonant", 0x249e51f2ec472df5ull},
    {"dual-crossing-the-middle", 0x2ebcb8fab97c6c0bull},
    {"sine-whole-quarter-bar", 0xee6659b8644b08acull},
    {"triangle-dotted-eighth-up-dual", 0x07d1361b42a8fd08ull},
    {"sawtooth-triplet-sixteenth-high-pass", 0x98f25727466069b1ull},
    {"square-free-rate", 0x2d823d29ce3192c6ull},
    {"exponent-phase-offset-gliding", 0x752d5c94d420332dull},
    {"saturation-and-mix-gliding", 0x4ff28a871f1d64f0ull},
    {"tempo-change-six-eight", 0x32e6f994209101ffull},
    {"odd-block-lengths", 0x8e4a4a4a441a1fbaull},
    {"dual-at-48000", 0x850139c658c43a32ull},
    {"steady-low-pass", 0xba3cac58ead1959full},
    {"steady-dual", 0x4f63c64141b08e55ull},
    {"lfo-sixteenth-up-low-pass", 0xcb1ee42f80c2fc95ull},
    {"lfo-sixteenth-up-dual", 0xd1c5f6581d62a780ull},
    {"all-stages-steady", 0x04506751115a11a6ull},
    {"all-stages-lfo-bar", 0xaaae5b13aadf13ceull},
    {"mix-changing-block-length", 0xd3c57b526b0874ccull},
    {"subnormal-tail", 0xf15103d3696d01cfull},
};
#elif defined(__i386__)
constexpr GoldenChecksum kGolden[] = {
    {"low-pass-defaults", 0x150199f148dff6aeull},
    {"high-pass-resonant", 0x249e51f2ec472df5ull},
    {"dual-crossing-the-middle", 0x2ebcb8fab97c6c0bull},
    {"sine-whole-quarter-bar", 0xee6659b8644b08acull},
    {"triangle-dotted-eighth-up-dual", 0x07d1361b42a8fd08ull},
    {"sawtooth-triplet-sixteenth-high-pass", 0x98f25727466069b1ull},
    {"square-free-rate", 0x2d823d29ce3192c6ull},
    {"exponent-phase-offset-gliding", 0x752d5c94d420332dull},
    {"saturation-and-mix-gliding", 0x4ff28a871f1d64f0ull},
    {"tempo-change-six-eight", 0x32e6f994209101ffull},
    {"odd-block-lengths", 0x8e4a4a4a441a1fbaull},
    {"dual-at-48000", 0x850139c658c43a32ull},
    {"steady-low-pass", 0xba3cac58ead1959full},
    {"steady-dual", 0x4f63c64141b08e55ull},
    {"lfo-sixteenth-up-low-pass", 0xcb1ee42f80c2fc95ull},
    {"lfo-sixteenth-up-dual", 0xd1c5f6581d62a780ull},
    {"all-stages-steady", 0x04506751115a11a6ull},
    {"all-stages-lfo-bar", 0xaaae5b13aadf13ceull},
    {"mix-changing-block-length", 0xd3c57b526b0874ccull},
    {"subnormal-tail", 0xf15103d3696d01cfull},
};
#endif

TEST(GoldenOutputTest, EveryScenarioKeepsItsOutputBits)
{
#if !defined(__x86_64__) && !defined(__i386__)
    GTEST_SKIP() << "checksums are kept for x86 only";
#else
    const bool print = std::getenv("TESSALOOM_PRINT_GOLDEN") != nullptr;
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    const std::string hint = tunables != nullptr ? std::string("GLIBC_TUNABLES=") + tunables
                                                 : std::string("GLIBC_TUNABLES not set: run through ctest");
    for (const Scenario& scenario : scenarios())
    {
        const uint64_t actual = render(scenario);
        if (print)
            std::printf("    {\"%s\", 0x%016llxull},\n", scenario.name, static_cast<unsigned long long>(actual));
        const GoldenChecksum* expected = nullptr;
        for (const GoldenChecksum& golden : kGolden)
        {
            if (std::strcmp(golden.scenario, scenario.name) == 0)
                expected = &golden;
        }
        if (expected == nullptr)
        {
            ADD_FAILURE() << "no checksum for " << scenario.name;
            continue;
        }
        EXPECT_EQ(actual, expected->checksum) << scenario.name << " changed its output (" << hint << ")";
    }
#endif
}

TEST(GoldenOutputTest, RenderingIsRepeatable)
{
    const std::vector<Scenario> list = scenarios();
    EXPECT_EQ(render(list[2]), render(list[2]));
    EXPECT_NE(render(list[0]), render(list[1]));
}
} // namespace

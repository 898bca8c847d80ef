// Unit tests of FilterEffect built directly, with a fake host callback, looking at its per-block state.

#include "effect/FilterEffect.h"

#include "dsp/Biquad.h"
#include "modulation/Lfo.h"
#include "modulation/TempoLaws.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace
{
using Index = FilterEffect::ParameterIndex;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

/// The host side of the tests: answers the time request with `time` while `timeAvailable`, and counts requests.
struct FakeHost
{
    VstTimeInfo time{};
    bool timeAvailable = false;
    int timeRequests = 0;
    intptr_t lastTimeMask = 0;
    int otherRequests = 0;
};

FakeHost* activeHost = nullptr;

intptr_t VSTCALLBACK fakeHostCallback(AEffect*, int32_t opcode, int32_t, intptr_t value, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (activeHost == nullptr)
        return 0;
    if (opcode == audioMasterGetTime)
    {
        ++activeHost->timeRequests;
        activeHost->lastTimeMask = value;
        return activeHost->timeAvailable ? reinterpret_cast<intptr_t>(&activeHost->time) : 0;
    }
    ++activeHost->otherRequests;
    return 0;
}

/// The normalised value that selects entry of a choice with count entries (the middle of its band).
float entryValue(int entry, int count)
{
    return (static_cast<float>(entry) + 0.5f) / static_cast<float>(count);
}

/// The cutoff the filter routines derive from a position on the 20 Hz..20 kHz axis.
double cutoffHzAt(double position)
{
    const double lo = std::log(20.0);
    double hz = std::exp(lo + (std::log(20000.0) - lo) * position);
    if (hz > 20000.0)
        hz = 20000.0;
    else if (hz < 20.0)
        hz = 20.0;
    return hz;
}

/// The phase register an Lfo holds after setPhase(positionCycles).
uint32_t phaseFor(double positionCycles)
{
    Lfo reference(44100.0f);
    reference.setPhase(positionCycles);
    return reference.getPhase();
}

/// The increment an Lfo at sampleRate holds after setRate(hz).
uint32_t incrementFor(double hz, float sampleRate = 44100.0f)
{
    Lfo reference(sampleRate);
    reference.setRate(hz);
    return reference.getIncrement();
}

/// Host tempo (BPM) as quarter notes per second.
double beatsPerSecondAt(double tempo)
{
    return tempo * 0.016666666666666666;
}

class FilterEffectTest : public ::testing::Test
{
protected:
    FilterEffectTest() { activeHost = &host; }
    ~FilterEffectTest() override { activeHost = nullptr; }

    /// Processes one block: the given left and right samples (or silence), outputs into outLeft and outRight.
    void processBlock(FilterEffect& target, int32_t frames, float leftValue = 0.0f, float rightValue = 0.0f)
    {
        const size_t size = static_cast<size_t>(frames > 0 ? frames : 1);
        inLeft.assign(size, leftValue);
        inRight.assign(size, rightValue);
        outLeft.assign(size, 0.0f);
        outRight.assign(size, 0.0f);
        float* inputs[2] = {inLeft.data(), inRight.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        target.processReplacing(inputs, outputs, frames);
    }
    void processBlock(int32_t frames, float leftValue = 0.0f, float rightValue = 0.0f)
    {
        processBlock(effect, frames, leftValue, rightValue);
    }

    FilterEffect::ProcessingState state() const { return effect.getProcessingState(); }

    std::string display(int32_t index)
    {
        char text[64];
        std::memset(text, 'x', sizeof(text));
        effect.getParameterDisplay(index, text);
        return text;
    }

    /// A time record at tempo (BPM) and position (quarter notes) with the given flags and bar information.
    void setTime(double tempo, double position, int32_t flags = 0, double barStart = 0.0, int32_t numerator = 4)
    {
        host.timeAvailable = true;
        host.time.tempo = tempo;
        host.time.ppqPos = position;
        host.time.barStartPos = barStart;
        host.time.timeSigNumerator = numerator;
        host.time.timeSigDenominator = 4;
        host.time.flags = flags | kVstTempoValid | kVstPpqPosValid;
    }

    FakeHost host;
    FilterEffect effect{&fakeHostCallback};
    std::vector<float> inLeft, inRight, outLeft, outRight;
};

// ---------------------------------------------------------------------------------------------------------------------
// Construction, identity, parameter access

TEST_F(FilterEffectTest, RecordAndStartingStateAfterConstruction)
{
    const AEffect* record = effect.getEffectRecord();
    EXPECT_EQ(record->numInputs, 2);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, effFlagsCanReplacing);
    EXPECT_EQ(record->uniqueID, fourCharCode('W', 'r', 'y', 'x'));
    EXPECT_EQ(record->numParams, 12);
    EXPECT_EQ(record->numPrograms, 1);

    const FilterEffect::ProcessingState s = state();
    EXPECT_EQ(s.preSaturation, 0.0);
    EXPECT_EQ(s.postSaturation, 0.0);
    EXPECT_EQ(s.mix, 1.0);
    EXPECT_EQ(s.cutoffPosition, 1.0);
    EXPECT_EQ(s.resonance, 1.0);
    EXPECT_EQ(s.lfoRate, 0.0);
    EXPECT_EQ(s.beatsPerSecond, 2.0);
    EXPECT_EQ(s.dryCapacity, 0);
    EXPECT_EQ(s.processingRate, 44100.0f);
    EXPECT_EQ(effect.getPrimaryBiquad().getSampleRate(), 44100.0);
    EXPECT_EQ(effect.getLfo().getIncrement(), 24347u);
    EXPECT_EQ(host.timeRequests + host.otherRequests, 0); // construction asks the host nothing
}

TEST_F(FilterEffectTest, DefaultNormalisedValues)
{
    const float expected[12] = {0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 4.0f / 10.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f};
    for (int32_t i = 0; i < 12; ++i)
        EXPECT_EQ(effect.getParameter(i), expected[i]) << "parameter " << i;
}

TEST_F(FilterEffectTest, IdentityTextsAreBoundedAndZeroFilled)
{
    char text[80];
    std::memset(text, 'x', sizeof(text));
    EXPECT_TRUE(effect.getEffectName(text));
    EXPECT_STREQ(text, "Tessaloom");
    for (int i = 9; i <= 32; ++i)
        EXPECT_EQ(text[i], '\0') << i;
    EXPECT_EQ(text[33], 'x'); // nothing beyond the limit and its terminator

    std::memset(text, 'x', sizeof(text));
    EXPECT_TRUE(effect.getVendorString(text));
    EXPECT_STREQ(text, "Vornmark");
    EXPECT_EQ(text[64], '\0');
    EXPECT_EQ(text[65], 'x');

    std::memset(text, 'x', sizeof(text));
    EXPECT_TRUE(effect.getProductString(text));
    EXPECT_STREQ(text, "Tessaloom");
    EXPECT_EQ(effect.getVendorVersion(), 1001);
}

TEST_F(FilterEffectTest, ProgramNameKeepsAtMost24Characters)
{
    char text[40];
    std::memset(text, 'x', sizeof(text));
    effect.getProgramName(text);
    EXPECT_STREQ(text, "Default");

    char longName[] = "abcdefghijklmnopqrstuvwxyz0123"; // 30 characters
    effect.setProgramName(longName);
    std::memset(text, 'x', sizeof(text));
    effect.getProgramName(text);
    EXPECT_EQ(std::string(text), "abcdefghijklmnopqrstuvwx");
    EXPECT_EQ(text[25], 'x');
}

TEST_F(FilterEffectTest, NamesAndLabels)
{
    const char* names[12] = {"Pre Saturation", "Filter Type", "Filter Freq",     "Filter Reso",
                             "LFO Amount",     "LFO Freq",    "LFO Sync",        "LFO Direction",
                             "LFO Shape",      "LFO Phase",   "Post Saturation", "Mix"};
    for (int32_t i = 0; i < 12; ++i)
    {
        char text[32] = {};
        effect.getParameterName(i, text);
        EXPECT_STREQ(text, names[i]);
        char label[32] = {};
        effect.getParameterLabel(i, label);
        EXPECT_STREQ(label, i == Index::kFilterFreq ? "Hz" : "");
    }
}

TEST_F(FilterEffectTest, UnknownIndicesAreRefused)
{
    for (int32_t index : {-1, 12, 1000})
    {
        effect.setParameter(index, 0.5f);
        EXPECT_EQ(effect.getParameter(index), 0.0f);
        char text[8];
        std::memset(text, 'x', sizeof(text));
        effect.getParameterName(index, text);
        EXPECT_EQ(text[0], '\0');
        std::memset(text, 'x', sizeof(text));
        effect.getParameterLabel(index, text);
        EXPECT_EQ(text[0], '\0');
        std::memset(text, 'x', sizeof(text));
        effect.getParameterDisplay(index, text);
        EXPECT_EQ(text[0], '\0');
    }
    EXPECT_EQ(effect.getParameter(0), 0.0f); // nothing landed on a neighbour
    EXPECT_EQ(effect.getParameter(11), 1.0f);
}

TEST_F(FilterEffectTest, NonFiniteParameterValuesChangeNothing)
{
    effect.setParameter(Index::kFilterReso, 0.25f);
    for (float bad : {kNaN, kInfinity, -kInfinity})
    {
        effect.setParameter(Index::kFilterReso, bad);
        EXPECT_EQ(effect.getParameter(Index::kFilterReso), 0.25f);
    }
    processBlock(4);
    EXPECT_EQ(state().resonance, 1.75);
}

TEST_F(FilterEffectTest, PlainValuesAreClampedToTheirRangeBeforeUse)
{
    effect.setParameter(Index::kFilterReso, -5.0f); // plain -14: an unstable design
    effect.setParameter(Index::kLfoAmount, 7.0f);
    effect.setParameter(Index::kMix, -3.0f);
    effect.setParameter(Index::kPreSaturation, -2.0f);
    effect.setParameter(Index::kLfoPhase, 3.0f);
    processBlock(4);
    EXPECT_EQ(effect.getParameter(Index::kFilterReso), -5.0f); // the stored value is the host's
    const FilterEffect::ProcessingState s = state();
    EXPECT_EQ(s.resonance, 1.0);
    EXPECT_EQ(s.lfoAmount, 1.0);
    EXPECT_EQ(s.mix, 1.0 + (0.0 - 1.0) * 0.3); // first step towards 0
    EXPECT_EQ(s.preSaturation, 0.0);           // target 0: no step
    EXPECT_EQ(s.lfoPhase, 0.2);                // first step towards 1

    effect.setParameter(Index::kFilterReso, 1000.0f);
    processBlock(4);
    EXPECT_EQ(state().resonance, 4.0);

    // Loud noise through the clamped filter stays bounded.
    effect.setParameter(Index::kFilterReso, -5.0f);
    effect.setParameter(Index::kFilterFreq, 0.3f);
    uint32_t seed = 1;
    for (int block = 0; block < 50; ++block)
    {
        seed = seed * 1664525u + 1013904223u;
        const float value = static_cast<float>(seed >> 8) / 16777216.0f * 2.0f - 1.0f;
        processBlock(64, value, -value);
        for (float sample : outLeft)
            ASSERT_LT(std::fabs(sample), 100.0f);
    }
}

// ---------------------------------------------------------------------------------------------------------------------
// Display texts

TEST_F(FilterEffectTest, CutoffDisplayInSingleModes)
{
    EXPECT_EQ(display(Index::kFilterFreq), " 20000");
    effect.setParameter(Index::kFilterFreq, 0.0f);
    EXPECT_EQ(display(Index::kFilterFreq), " 20");
    effect.setParameter(Index::kFilterFreq, 0.5f);
    EXPECT_EQ(display(Index::kFilterFreq), " 633");
    effect.setParameter(Index::kFilterType, entryValue(1, 3));
    EXPECT_EQ(display(Index::kFilterFreq), " 633");
}

TEST_F(FilterEffectTest, CutoffDisplayInDualModeShowsTheHeardSection)
{
    effect.setParameter(Index::kFilterType, 1.0f);
    const struct
    {
        float position;
        const char* text;
    } cases[] = {{0.0f, "LP 20"}, {0.25f, "LP 633"}, {0.5f, "LP 20000"}, {0.75f, "HP 633"}, {1.0f, "HP 20000"}};
    for (const auto& c : cases)
    {
        effect.setParameter(Index::kFilterFreq, c.position);
        EXPECT_EQ(display(Index::kFilterFreq), c.text) << c.position;
    }
}

TEST_F(FilterEffectTest, LfoFreqDisplayFollowsTheSyncMode)
{
    EXPECT_EQ(display(Index::kLfoFreq), "1 bar");
    effect.setParameter(Index::kLfoFreq, entryValue(0, 10));
    EXPECT_EQ(display(Index::kLfoFreq), "1/16 bar");

    effect.setParameter(Index::kLfoSync, entryValue(3, 4));
    const struct
    {
        float position;
        const char* text;
    } cases[] = {{0.0f, "0.01 Hz"}, {0.4f, "0.22 Hz"}, {0.5f, "0.49 Hz"}, {1.0f, "24.00 Hz"}};
    for (const auto& c : cases)
    {
        effect.setParameter(Index::kLfoFreq, c.position);
        EXPECT_EQ(display(Index::kLfoFreq), c.text) << c.position;
    }
    EXPECT_EQ(state().lfoRate, 0.0); // showing the rate sets nothing
}

TEST_F(FilterEffectTest, OtherDisplaysComeFromTheParameters)
{
    EXPECT_EQ(display(Index::kFilterType), "Low Pass");
    EXPECT_EQ(display(Index::kLfoShape), "Triangle");
    EXPECT_EQ(display(Index::kLfoSync), "Whole");
    EXPECT_EQ(display(Index::kMix), "1.00");
    effect.setParameter(Index::kFilterReso, 0.5f);
    EXPECT_EQ(display(Index::kFilterReso), "2.50");
}

TEST_F(FilterEffectTest, DisplayTextsNeverExceed24Bytes)
{
    // Far outside 0..1 the composed texts would run to over a hundred characters.
    effect.setParameter(Index::kFilterFreq, 44.0f);
    std::string text = display(Index::kFilterFreq);
    EXPECT_LE(text.size(), 23u);
    char buffer[64];
    std::memset(buffer, 'x', sizeof(buffer));
    effect.getParameterDisplay(Index::kFilterFreq, buffer);
    EXPECT_EQ(buffer[23], '\0');
    EXPECT_EQ(buffer[24], 'x');

    effect.setParameter(Index::kLfoSync, 1.0f);
    effect.setParameter(Index::kLfoFreq, 40.0f);
    std::memset(buffer, 'x', sizeof(buffer));
    effect.getParameterDisplay(Index::kLfoFreq, buffer);
    EXPECT_EQ(buffer[23], '\0');
    EXPECT_EQ(buffer[24], 'x');
}

// ---------------------------------------------------------------------------------------------------------------------
// Per-block parameter update

TEST_F(FilterEffectTest, SaturationAndMixGlideOneStepPerBlock)
{
    effect.setParameter(Index::kPreSaturation, 1.0f);
    effect.setParameter(Index::kPostSaturation, 1.0f);
    effect.setParameter(Index::kMix, 0.0f);
    const double saturation[] = {0.2, 0.36, 0.488};
    const double mix[] = {0.7, 0.49, 0.343};
    double previous = 0.0;
    for (int block = 0; block < 3; ++block)
    {
        processBlock(16);
        const FilterEffect::ProcessingState s = state();
        EXPECT_EQ(s.preSaturation, previous + (1.0 - previous) * 0.2);
        EXPECT_NEAR(s.preSaturation, saturation[block], 1e-15);
        EXPECT_EQ(s.postSaturation, s.preSaturation);
        EXPECT_NEAR(s.mix, mix[block], 1e-15);
        previous = s.preSaturation;
    }
}

TEST_F(FilterEffectTest, GlidesSettleExactlyOnTheirTargets)
{
    effect.setParameter(Index::kPreSaturation, 1.0f);
    effect.setParameter(Index::kPostSaturation, 1.0f);
    effect.setParameter(Index::kMix, 0.0f);
    for (int block = 0; block < 100; ++block)
        processBlock(8);
    EXPECT_EQ(state().preSaturation, 1.0);
    EXPECT_EQ(state().postSaturation, 1.0);
    EXPECT_EQ(state().mix, 0.0);

    // On the way back an unsettled glide would stop a hair short of 0 and 1 and keep every stage running.
    effect.setParameter(Index::kPreSaturation, 0.0f);
    effect.setParameter(Index::kPostSaturation, 0.0f);
    effect.setParameter(Index::kMix, 1.0f);
    for (int block = 0; block < 100; ++block)
        processBlock(8);
    EXPECT_EQ(state().preSaturation, 0.0);
    EXPECT_EQ(state().postSaturation, 0.0);
    EXPECT_EQ(state().mix, 1.0);

    // The stages are off: the output equals that of an effect that never saturated or mixed, unclamped.
    FilterEffect fresh(&fakeHostCallback);
    processBlock(fresh, 8);
    processBlock(64, 3.0f, -2.5f);
    const std::vector<float> settledLeft = outLeft;
    const std::vector<float> settledRight = outRight;
    processBlock(fresh, 64, 3.0f, -2.5f);
    EXPECT_EQ(settledLeft, outLeft);
    EXPECT_EQ(settledRight, outRight);
    EXPECT_GT(settledLeft.back(), 1.5f);
}

TEST_F(FilterEffectTest, SettlingSnapsOnlyWithinAMillionth)
{
    effect.setParameter(Index::kPreSaturation, 1.0f);
    double expected = 0.0;
    int settledAt = -1;
    for (int block = 0; block < 80 && settledAt < 0; ++block)
    {
        processBlock(1);
        const double step = expected + (1.0 - expected) * 0.2;
        expected = std::fabs(1.0 - step) < 1e-6 ? 1.0 : step;
        ASSERT_EQ(state().preSaturation, expected) << "block " << block;
        if (expected == 1.0)
            settledAt = block;
    }
    EXPECT_EQ(settledAt, 61); // 0.8^62 is the first power below 1e-6
}

TEST_F(FilterEffectTest, CrossingTheMiddleStartsA5MillisecondCrossfade)
{
    const struct
    {
        float rate;
        int32_t length;
    } cases[] = {{44100.0f, 220}, {48000.0f, 240}, {96000.0f, 480}, {150.0f, 1}, {0.0f, 1}, {kNaN, 1}};
    for (const auto& c : cases)
    {
        FilterEffect fx(&fakeHostCallback);
        fx.setSampleRate(c.rate);
        fx.setParameter(Index::kFilterFreq, 0.6f);
        processBlock(fx, 32);
        EXPECT_EQ(fx.getProcessingState().crossfadeLength, 0);
        fx.setParameter(Index::kFilterFreq, 0.55f);
        processBlock(fx, 32);
        EXPECT_EQ(fx.getProcessingState().crossfadeLength, 0) << "no crossing, no crossfade";
        fx.setParameter(Index::kFilterFreq, 0.4f);
        processBlock(fx, 32);
        EXPECT_EQ(fx.getProcessingState().crossfadeLength, c.length) << c.rate;
        EXPECT_EQ(fx.getProcessingState().crossfadeCounter, c.length) << "single mode leaves the counter";
    }
}

TEST_F(FilterEffectTest, DualModeRunsTheCrossfadeCounterDown)
{
    effect.setParameter(Index::kFilterType, 1.0f);
    effect.setParameter(Index::kFilterFreq, 0.6f);
    processBlock(16);
    effect.setParameter(Index::kFilterFreq, 0.5f); // exactly the middle belongs to the low-pass half
    processBlock(100);
    EXPECT_EQ(state().crossfadeLength, 220);
    EXPECT_EQ(state().crossfadeCounter, 120);
    processBlock(200);
    EXPECT_EQ(state().crossfadeCounter, 0);
}

TEST_F(FilterEffectTest, ShapeChangesReachTheOscillator)
{
    effect.setParameter(Index::kLfoShape, entryValue(3, 5));
    processBlock(0);
    EXPECT_EQ(state().lfoShape, 3);
    Lfo reference(44100.0f);
    reference.setShape(3);
    for (int i = 0; i < Lfo::kTableSize; ++i)
        ASSERT_EQ(effect.getLfo().tableEntry(i), reference.tableEntry(i)) << i;
}

// ---------------------------------------------------------------------------------------------------------------------
// Host sample rate, bad samples, dry buffers, bad buffers

TEST_F(FilterEffectTest, SectionsAndOscillatorFollowTheHostSampleRate)
{
    effect.setSampleRate(48000.0f);
    processBlock(8);
    EXPECT_EQ(effect.getPrimaryBiquad().getSampleRate(), 48000.0);
    EXPECT_EQ(effect.getSecondaryBiquad().getSampleRate(), 48000.0);
    EXPECT_EQ(effect.getLfo().getSampleRate(), 48000.0f);
    EXPECT_EQ(state().processingRate, 48000.0f);

    Biquad reference(48000.0);
    reference.update(LowPass, cutoffHzAt(1.0), 1.0);
    const Biquad::Coefficients expected = reference.getCoefficients();
    const Biquad::Coefficients actual = effect.getPrimaryBiquad().getCoefficients();
    EXPECT_EQ(actual.b0, expected.b0);
    EXPECT_EQ(actual.b1, expected.b1);
    EXPECT_EQ(actual.b2, expected.b2);
    EXPECT_EQ(actual.a1, expected.a1);
    EXPECT_EQ(actual.a2, expected.a2);

    for (float rate : {0.0f, -44100.0f, kNaN, kInfinity})
    {
        effect.setSampleRate(rate);
        processBlock(8);
        EXPECT_EQ(effect.getPrimaryBiquad().getSampleRate(), 48000.0) << rate;
        EXPECT_EQ(effect.getLfo().getSampleRate(), 48000.0f) << rate;
    }
}

TEST_F(FilterEffectTest, CutoffStaysBelowHalfTheSampleRate)
{
    // At 8000 Hz the top of the 20 Hz..20 kHz range lies far above half the rate, where a design turns unstable.
    effect.setSampleRate(8000.0f);
    for (float position : {1.0f, 0.9f})
    {
        effect.setParameter(FilterEffect::kFilterFreq, position);
        float peak = 0.0f;
        for (int block = 0; block < 50; ++block)
        {
            processBlock(256, block % 2 ? 0.5f : -0.5f, 0.25f);
            for (float sample : outLeft)
                peak = std::max(peak, std::fabs(sample));
        }
        EXPECT_EQ(effect.getPrimaryBiquad().getFrequency(), 0.49 * 8000.0) << position;
        EXPECT_TRUE(std::isfinite(peak)) << position;
        EXPECT_LT(peak, 2.0f) << position;
    }

    // Where the range fits below half the rate, the cutoff is the range's own.
    effect.setSampleRate(44100.0f);
    effect.setParameter(FilterEffect::kFilterFreq, 1.0f);
    processBlock(8);
    EXPECT_EQ(effect.getPrimaryBiquad().getFrequency(), cutoffHzAt(1.0));
}

TEST_F(FilterEffectTest, ANonFiniteSampleDoesNotSilenceTheFilter)
{
    for (int type = 0; type < 3; ++type)
    {
        for (float bad : {kNaN, kInfinity})
        {
            FilterEffect fx(&fakeHostCallback);
            fx.setParameter(Index::kFilterType, entryValue(type, 3));
            fx.setParameter(Index::kFilterFreq, 0.3f);
            processBlock(fx, 16, bad, 0.25f);
            EXPECT_TRUE(fx.getPrimaryBiquad().historyIsFinite());
            EXPECT_TRUE(fx.getSecondaryBiquad().historyIsFinite());
            processBlock(fx, 16, 0.5f, 0.25f);
            for (int i = 0; i < 16; ++i)
            {
                ASSERT_TRUE(std::isfinite(outLeft[i])) << "type " << type << " sample " << i;
                ASSERT_TRUE(std::isfinite(outRight[i])) << "type " << type << " sample " << i;
            }
        }
    }
}

TEST_F(FilterEffectTest, DryBuffersAreSizedWhenAnnouncedAndOnlyGrowWhileMixing)
{
    for (int32_t frames : {256, 512, 256})
    {
        processBlock(frames);
        EXPECT_EQ(state().dryCapacity, 0) << "mix 1 allocates nothing";
    }
    effect.setParameter(Index::kMix, 0.5f);
    const int32_t lengths[][2] = {{256, 256}, {512, 512}, {256, 512}, {0, 512}, {513, 513}};
    for (const auto& [frames, capacity] : lengths)
    {
        processBlock(frames);
        EXPECT_EQ(state().dryCapacity, capacity) << frames;
    }

    // Off the audio thread the buffers take the announced block size, at effSetBlockSize and at resume.
    FilterEffect announced(&fakeHostCallback);
    AEffect* record = announced.getEffectRecord();
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(announced.getProcessingState().dryCapacity, 1024) << "resume sizes for the base's block size";
    record->dispatcher(record, effSetBlockSize, 0, 4096, nullptr, 0.0f);
    EXPECT_EQ(announced.getProcessingState().dryCapacity, 4096);
    record->dispatcher(record, effSetBlockSize, 0, 64, nullptr, 0.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(announced.getProcessingState().dryCapacity, 4096) << "never shrunk";

    // Absurd announcements reserve at most the ceiling (2^16 frames), quickly; zero and negative ones nothing new.
    // The interface cuts a 64-bit value to 32 bits: -3456106496 becomes 838860800 frames.
    const intptr_t absurd[][2] = {{0, 4096},
                                  {-5, 4096},
                                  {INT32_MIN, 4096},
                                  {INT32_MAX, 65536},
                                  {static_cast<intptr_t>(-3456106496LL), 65536},
                                  {1 << 20, 65536}};
    for (const auto& [size, capacity] : absurd)
    {
        if (sizeof(intptr_t) < 8 && size != static_cast<int32_t>(size))
            continue;
        const auto start = std::chrono::steady_clock::now();
        record->dispatcher(record, effSetBlockSize, 0, size, nullptr, 0.0f);
        record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(announced.getProcessingState().dryCapacity, capacity) << size;
        EXPECT_LT(took, 1e-3) << size << ": announcement and resume took " << took << " s";
    }
}

TEST_F(FilterEffectTest, BadBuffersOrFrameCountsDoNoHarm)
{
    effect.setParameter(Index::kPreSaturation, 1.0f);
    float left[8], right[8];
    float* good[2] = {left, right};
    float* halfNull[2] = {left, nullptr};
    effect.processReplacing(nullptr, good, 8);
    effect.processReplacing(good, nullptr, 8);
    effect.processReplacing(halfNull, good, 8);
    effect.processReplacing(good, halfNull, 8);
    EXPECT_EQ(state().preSaturation, 0.0) << "refused calls run nothing";

    for (float& sample : left)
        sample = 7.0f;
    for (float& sample : right)
        sample = 7.0f;
    float outL[8], outR[8];
    for (int i = 0; i < 8; ++i)
        outL[i] = outR[i] = -3.0f;
    float* outputs[2] = {outL, outR};
    const uint32_t phase = effect.getLfo().getPhase();
    effect.processReplacing(good, outputs, -5);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(outL[i], -3.0f);
    EXPECT_EQ(effect.getLfo().getPhase(), phase);
}

TEST_F(FilterEffectTest, AnEmptyBlockChangesNoSignalState)
{
    effect.setParameter(Index::kFilterType, 1.0f);
    processBlock(32, 0.5f, -0.5f);
    const uint32_t phase = effect.getLfo().getPhase();
    std::vector<double> history(effect.getPrimaryBiquad().getHistory(), effect.getPrimaryBiquad().getHistory() + 8);
    processBlock(0);
    EXPECT_EQ(effect.getLfo().getPhase(), phase);
    EXPECT_EQ(std::vector<double>(effect.getPrimaryBiquad().getHistory(), effect.getPrimaryBiquad().getHistory() + 8),
              history);
}

// ---------------------------------------------------------------------------------------------------------------------
// Tempo sync

TEST_F(FilterEffectTest, SyncedRatesAt120Bpm)
{
    const struct
    {
        int noteLength;
        int sync;
        double cyclesPerQuarterNote;
    } cases[] = {{4, 0, 0.25}, {0, 2, 4.0 * 0.6666666666666666}, {4, 1, 0.375}, {9, 0, 0.0078125}, {0, 0, 4.0}};
    for (const auto& c : cases)
    {
        FilterEffect fx(&fakeHostCallback);
        fx.setParameter(Index::kLfoFreq, entryValue(c.noteLength, 10));
        fx.setParameter(Index::kLfoSync, entryValue(c.sync, 4));
        setTime(120.0, 1.0);
        processBlock(fx, 0);
        EXPECT_EQ(fx.syncedLfoRate(), c.cyclesPerQuarterNote);
        EXPECT_EQ(fx.getProcessingState().lfoRate, c.cyclesPerQuarterNote);
        EXPECT_EQ(fx.getLfo().getIncrement(), incrementFor(beatsPerSecondAt(120.0) * c.cyclesPerQuarterNote));
    }
    EXPECT_EQ(incrementFor(2.0 * 0.25), 48695u);                  // 0.5 Hz
    EXPECT_NEAR(2.0 * 4.0 * 0.6666666666666666, 5.3333333, 1e-6); // 5.333 Hz
}

TEST_F(FilterEffectTest, PhaseIsAlignedToTheBar)
{
    setTime(120.0, 13.5, kVstBarsValid | kVstTimeSigValid, 12.0, 4);
    processBlock(0);
    EXPECT_EQ(effect.getLfo().getPhase(), phaseFor(0.375));
    EXPECT_EQ(host.lastTimeMask, 0x2E01);
}

TEST_F(FilterEffectTest, WithoutBarsThePositionIsReducedByWholeBars)
{
    setTime(120.0, 13.5, 0, 12.5); // 13.5 - 3 * 4 = 1.5 quarter notes into the bar; the bar start is not valid
    processBlock(0);
    EXPECT_EQ(effect.getLfo().getPhase(), phaseFor(0.375));
}

TEST_F(FilterEffectTest, APositionOnABarLineCountsAsAWholeBar)
{
    effect.setParameter(Index::kLfoSync, entryValue(1, 4)); // "Dotted", "1 bar": 0.375 cycles per quarter note
    setTime(120.0, 8.0);
    processBlock(0);
    EXPECT_EQ(effect.getLfo().getPhase(), phaseFor(4.0 * 0.375));
    EXPECT_EQ(effect.getLfo().getPhase(), 2147483647u); // half a cycle
}

TEST_F(FilterEffectTest, TheTimeSignatureNumeratorSetsTheBarLength)
{
    setTime(120.0, 10.0, kVstTimeSigValid, 0.0, 6);
    processBlock(0);
    EXPECT_EQ(effect.getLfo().getPhase(), phaseFor(4.0 * 0.25)); // 10 - 6

    FilterEffect fourFour(&fakeHostCallback);
    setTime(120.0, 10.0, kVstTimeSigValid, 0.0, 4);
    processBlock(fourFour, 0);
    EXPECT_EQ(fourFour.getLfo().getPhase(), phaseFor(2.0 * 0.25)); // 10 - 2 * 4

    FilterEffect withoutFlag(&fakeHostCallback);
    setTime(120.0, 10.0, 0, 0.0, 6); // numerator without its flag: bars of 4
    processBlock(withoutFlag, 0);
    EXPECT_EQ(withoutFlag.getLfo().getPhase(), phaseFor(2.0 * 0.25));
}

TEST_F(FilterEffectTest, FarPositionsFromTheHostAreHandledPromptly)
{
    setTime(120.0, 1e18, kVstBarsValid, -1e18, 4);
    processBlock(0);
    EXPECT_EQ(state().lastPpqPosition, 1e18);
    setTime(120.0, 1e300);
    processBlock(0);
    EXPECT_EQ(state().lastPpqPosition, 1e300);
}

TEST_F(FilterEffectTest, RequestRhythmWhileTheTransportRuns)
{
    double position = 0.0;
    std::vector<int> requestBlocks;
    for (int block = 1; block <= 26; ++block)
    {
        setTime(120.0, position);
        const int before = host.timeRequests;
        processBlock(64);
        if (host.timeRequests != before)
            requestBlocks.push_back(block);
        EXPECT_LE(host.timeRequests - before, 1);
        position += 64.0 * 2.0 / 44100.0;
    }
    // The first block aligns, the second finds nothing changed; then one request in eight blocks.
    EXPECT_EQ(requestBlocks, (std::vector<int>{1, 2, 10, 18, 26}));
}

TEST_F(FilterEffectTest, ReachingPositionZeroRealigns)
{
    effect.setParameter(Index::kLfoPhase, 0.0f);
    setTime(120.0, -1.0); // a pre-roll before the start
    processBlock(0);
    setTime(120.0, 0.0);
    processBlock(64); // advancing, but at the very start: aligned
    const uint32_t aligned = phaseFor(0.0);
    EXPECT_EQ(effect.getLfo().getPhase(), aligned + 64u * incrementFor(beatsPerSecondAt(120.0) * 0.25));
    setTime(120.0, 0.1);
    processBlock(0); // nothing changed, yet asked: the block before aligned
    setTime(120.0, 0.2);
    processBlock(0); // steady: counting down
    EXPECT_EQ(host.timeRequests, 3);
    EXPECT_EQ(state().syncCountdown, 7);
}

TEST_F(FilterEffectTest, AStoppedTransportRealignsEveryBlock)
{
    setTime(120.0, 5.0);
    for (int block = 0; block < 12; ++block)
    {
        processBlock(64);
        // Aligned at 5 - 4 = 1 quarter note, then 64 samples run on.
        const uint32_t aligned = phaseFor(0.25);
        EXPECT_EQ(effect.getLfo().getPhase(), aligned + 64u * incrementFor(beatsPerSecondAt(120.0) * 0.25)) << block;
    }
    EXPECT_EQ(host.timeRequests, 12);
}

TEST_F(FilterEffectTest, ChangingTempoIsAskedForEveryBlock)
{
    double position = 0.0;
    setTime(120.0, position);
    processBlock(64);
    for (int block = 0; block < 10; ++block)
    {
        position += 0.1;
        setTime(120.0 + block + 1, position);
        processBlock(64);
    }
    // Block 2 notices the first new tempo; from then on every request sees another and asks again next block.
    EXPECT_EQ(host.timeRequests, 11);
    EXPECT_EQ(state().beatsPerSecond, beatsPerSecondAt(130.0));
}

TEST_F(FilterEffectTest, PhaseOffsetGlidesAndRealignsEveryBlock)
{
    effect.setParameter(Index::kLfoPhase, 1.0f);
    double position = 1.0;
    const double expected[] = {0.2, 0.36, 0.488};
    for (int block = 0; block < 3; ++block)
    {
        setTime(120.0, position);
        processBlock(0);
        EXPECT_NEAR(state().lfoPhase, expected[block], 1e-15);
        EXPECT_EQ(effect.getLfo().getPhase(), phaseFor(position * 0.25 + state().lfoPhase));
        position += 0.5;
    }
    EXPECT_EQ(host.timeRequests, 3);

    // It settles on exactly 1 and the requests fall back to one in eight blocks.
    for (int block = 0; block < 100; ++block)
    {
        setTime(120.0, position);
        processBlock(0);
        position += 0.5;
    }
    EXPECT_EQ(state().lfoPhase, 1.0);
    const int before = host.timeRequests;
    for (int block = 0; block < 16; ++block)
    {
        setTime(120.0, position);
        processBlock(0);
        position += 0.5;
    }
    EXPECT_EQ(host.timeRequests - before, 2);
}

TEST_F(FilterEffectTest, WithoutTimeInformationTheOscillatorRunsFreely)
{
    processBlock(64);
    EXPECT_EQ(effect.getLfo().getIncrement(), 24347u); // the rate it was built with
    EXPECT_EQ(effect.getLfo().getPhase(), 64u * 24347u);

    setTime(150.0, 2.0);
    processBlock(64);
    const uint32_t increment = incrementFor(beatsPerSecondAt(150.0) * 0.25);
    EXPECT_EQ(effect.getLfo().getIncrement(), increment);
    host.timeAvailable = false;
    for (int block = 0; block < 20; ++block)
        processBlock(64);
    EXPECT_EQ(effect.getLfo().getIncrement(), increment); // the last rate stays
}

TEST_F(FilterEffectTest, NonFiniteTimeRecordsCountAsNone)
{
    setTime(120.0, 4.5);
    processBlock(0);
    const FilterEffect::ProcessingState before = state();
    const uint32_t increment = effect.getLfo().getIncrement();
    effect.setParameter(Index::kLfoPhase, 0.5f); // keeps every block asking

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    setTime(nan, 5.0);
    processBlock(0);
    setTime(90.0, inf);
    processBlock(0);
    setTime(90.0, 5.0, kVstBarsValid, nan);
    processBlock(0);
    EXPECT_EQ(state().beatsPerSecond, before.beatsPerSecond);
    EXPECT_EQ(state().lastPpqPosition, before.lastPpqPosition);
    EXPECT_EQ(effect.getLfo().getIncrement(), increment);

    setTime(90.0, 5.0, 0, nan); // an invalid bar start is not read
    processBlock(0);
    EXPECT_EQ(state().beatsPerSecond, beatsPerSecondAt(90.0));
    EXPECT_EQ(state().lastPpqPosition, 5.0);
}

TEST_F(FilterEffectTest, FreeRateFollowsTheKnobWithoutADisplayRequest)
{
    effect.setParameter(Index::kLfoSync, entryValue(3, 4));
    effect.setParameter(Index::kLfoFreq, 0.4f);
    setTime(120.0, 1.0);
    processBlock(16);
    const double rate = freeLfoRateHz(0.4f);
    EXPECT_NEAR(rate, 0.2249, 1e-4);
    EXPECT_EQ(state().lfoRate, rate);
    EXPECT_EQ(effect.getLfo().getIncrement(), incrementFor(rate));

    effect.setParameter(Index::kLfoFreq, 1.0f);
    processBlock(16);
    EXPECT_NEAR(state().lfoRate, 24.0, 1e-12);
    EXPECT_EQ(effect.getLfo().getIncrement(), incrementFor(freeLfoRateHz(1.0f)));
    EXPECT_EQ(host.timeRequests, 0) << "Free mode asks the host nothing";

    // The display shows the very rate the oscillator runs at.
    char text[32];
    effect.getParameterDisplay(Index::kLfoFreq, text);
    char expected[32];
    std::snprintf(expected, sizeof(expected), "%.2f Hz", state().lfoRate);
    EXPECT_STREQ(text, expected);

    // Back to a synced entry: the rate changes, so the phase re-aligns at once.
    effect.setParameter(Index::kLfoSync, 0.0f);
    effect.setParameter(Index::kLfoFreq, entryValue(4, 10));
    processBlock(0);
    EXPECT_EQ(state().lfoRate, 0.25);
    EXPECT_EQ(host.timeRequests, 1);
    EXPECT_EQ(effect.getLfo().getPhase(), phaseFor(1.0 * 0.25));
}

// ---------------------------------------------------------------------------------------------------------------------
// Hostile signals: runaway sections, huge finite input, the subnormal tail

/// Seeded white noise at ±amplitude on both channels (different on each).
void fillNoise(std::vector<float>& left, std::vector<float>& right, uint32_t& seed, float amplitude)
{
    for (size_t i = 0; i < left.size(); ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        left[i] = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
        seed = seed * 1664525u + 1013904223u;
        right[i] = amplitude * (static_cast<float>(seed >> 8) / 8388608.0f - 1.0f);
    }
}

/// The largest history magnitude of a section (infinity for a NaN).
double historyPeak(const Biquad& section)
{
    double peak = 0.0;
    for (int i = 0; i < 8; ++i)
    {
        const double v = std::fabs(section.getHistory()[i]);
        peak = std::isnan(v) ? std::numeric_limits<double>::infinity() : std::max(peak, v);
    }
    return peak;
}

TEST_F(FilterEffectTest, FastModulationNeverRunsTheSectionsAway)
{
    // A square oscillator at 48 Hz and more, at full depth and maximum resonance, redesigns the section every sample
    // between far-apart cutoffs; its history once grew into infinities after a few seconds of loud noise, and within
    // a block its output grew to 1e7 and more (up to the largest float at 8 kHz) before the per-sample guard.
    struct Case
    {
        const char* name;
        double tempo;     // BPM
        float filterType; // normalised "Filter Type"
        float rate;       // Hz
        int32_t frames;   // per block
    };
    const Case cases[] = {
        {"480 BPM low-pass", 480.0, entryValue(0, 3), 44100.0f, 512},
        {"999 BPM low-pass", 999.0, entryValue(0, 3), 44100.0f, 512},
        {"480 BPM high-pass", 480.0, entryValue(1, 3), 44100.0f, 512},
        {"600 BPM dual", 600.0, entryValue(2, 3), 44100.0f, 512},
        {"880 BPM low-pass", 880.0, entryValue(0, 3), 44100.0f, 512},
        {"880 BPM low-pass, 8192-frame blocks", 880.0, entryValue(0, 3), 44100.0f, 8192},
        {"480 BPM low-pass at 8 kHz, 8192-frame blocks", 480.0, entryValue(0, 3), 8000.0f, 8192},
    };
    for (const Case& c : cases)
    {
        FilterEffect fx(&fakeHostCallback);
        fx.getEffectRecord()->dispatcher(fx.getEffectRecord(), effSetSampleRate, 0, 0, nullptr, c.rate);
        fx.setParameter(Index::kLfoAmount, 1.0f);
        fx.setParameter(Index::kLfoFreq, entryValue(0, 10)); // "1/16 bar"
        fx.setParameter(Index::kLfoSync, entryValue(1, 4));  // "Dotted"
        fx.setParameter(Index::kLfoShape, entryValue(3, 5)); // "Square"
        fx.setParameter(Index::kFilterReso, 1.0f);
        fx.setParameter(Index::kFilterType, c.filterType);
        fx.setParameter(Index::kFilterFreq, 0.2f);
        std::vector<float> left(static_cast<size_t>(c.frames)), right(left.size());
        float* channels[2] = {left.data(), right.data()};
        uint32_t seed = 11u;
        double position = 0.0; // quarter notes
        int nonFinite = 0;
        double worstHistory = 0.0;
        float peak = 0.0f;
        for (int block = 0; block < static_cast<int>(6.0f * c.rate) / c.frames; ++block) // 6 s
        {
            setTime(c.tempo, position, kVstTransportPlaying);
            fillNoise(left, right, seed, 1.0f);
            fx.processReplacing(channels, channels, c.frames);
            position += c.frames * (c.tempo / 60.0) / c.rate;
            for (size_t i = 0; i < left.size(); ++i)
            {
                nonFinite += !std::isfinite(left[i]) + !std::isfinite(right[i]);
                peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
            }
            worstHistory =
                std::max({worstHistory, historyPeak(fx.getPrimaryBiquad()), historyPeak(fx.getSecondaryBiquad())});
        }
        EXPECT_EQ(nonFinite, 0) << c.name;
        EXPECT_LE(worstHistory, 1e6) << c.name << ": a block ended with a runaway history";
        EXPECT_LE(peak, 1e5f) << c.name << ": a sample above the per-sample bound left";
    }
}

TEST_F(FilterEffectTest, HugeFiniteInputIsForgottenAfterItsBlock)
{
    // ±1e37 is finite, but the filtered samples overflow single precision and the double history (about 1e39) kept
    // producing infinities for many blocks of ordinary input. Now that block costs zeros and the next one starts
    // from a cleared history: it sounds exactly like a fresh instance.
    constexpr int32_t kFrames = 256;
    for (int type = 0; type < 3; ++type)
    {
        for (float mix : {1.0f, 0.5f})
        {
            FilterEffect poisoned(&fakeHostCallback);
            FilterEffect fresh(&fakeHostCallback);
            for (FilterEffect* fx : {&poisoned, &fresh})
            {
                fx->setParameter(Index::kFilterType, entryValue(type, 3));
                fx->setParameter(Index::kFilterFreq, 0.7f); // no crossing of the middle, so no crossfade
                fx->setParameter(Index::kFilterReso, 1.0f);
                fx->setParameter(Index::kMix, mix);
            }
            std::vector<float> left(kFrames), right(kFrames), freshLeft(kFrames), freshRight(kFrames);
            float* channels[2] = {left.data(), right.data()};
            float* freshChannels[2] = {freshLeft.data(), freshRight.data()};
            uint32_t seed = 5u;
            fillNoise(left, right, seed, 1e37f);
            poisoned.processReplacing(channels, channels, kFrames);
            fresh.processReplacing(freshChannels, freshChannels, 0); // the same glide steps for both
            for (int i = 0; i < kFrames; ++i)
            {
                ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << "type " << type << " mix " << mix;
            }
            for (int block = 0; block < 20; ++block)
            {
                fillNoise(left, right, seed, 1.0f);
                freshLeft = left;
                freshRight = right;
                poisoned.processReplacing(channels, channels, kFrames);
                fresh.processReplacing(freshChannels, freshChannels, kFrames);
                ASSERT_EQ(left, freshLeft) << "type " << type << " mix " << mix << " block " << block;
                ASSERT_EQ(right, freshRight) << "type " << type << " mix " << mix << " block " << block;
            }
        }
    }
}

TEST_F(FilterEffectTest, TheSilentTailEndsInExactZeros)
{
    // After a loud burst into a 20 Hz low-pass at maximum resonance the double history decays towards zero for
    // about 45 s and then would stay in a subnormal limit cycle for ever, each step costing many times a normal one.
    effect.setParameter(Index::kFilterFreq, 0.0f);
    effect.setParameter(Index::kFilterReso, 1.0f);
    constexpr int32_t kFrames = 1024;
    std::vector<float> left(kFrames), right(kFrames);
    float* channels[2] = {left.data(), right.data()};
    uint32_t seed = 3u;
    for (int block = 0; block < 44100 / kFrames; ++block) // 1 s of noise at ±1
    {
        fillNoise(left, right, seed, 1.0f);
        effect.processReplacing(channels, channels, kFrames);
    }
    int subnormalBlocks = 0;
    for (int block = 0; block < 60 * 44100 / kFrames; ++block) // 60 s of silence
    {
        std::fill(left.begin(), left.end(), 0.0f);
        std::fill(right.begin(), right.end(), 0.0f);
        effect.processReplacing(channels, channels, kFrames);
        for (int i = 0; i < kFrames; ++i)
            ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i])) << "block " << block;
        for (int i = 0; i < 8; ++i)
            subnormalBlocks += std::fpclassify(effect.getPrimaryBiquad().getHistory()[i]) == FP_SUBNORMAL;
    }
    EXPECT_EQ(subnormalBlocks, 0) << "history values left subnormal at the end of a block";
    for (int i = 0; i < 8; ++i)
    {
        const double v = effect.getPrimaryBiquad().getHistory()[i];
        EXPECT_TRUE(v == 0.0 && !std::signbit(v)) << "history " << i << " is " << v;
    }
}
} // namespace

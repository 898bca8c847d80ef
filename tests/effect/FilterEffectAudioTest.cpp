// The effect's audio as a host hears it, through the built library's exported entry point. Each test isolates a
// stage by comparing the output with reference sections, oscillators and shapers driven in the test the way the
// effect drives its own.

#include "dsp/Biquad.h"
#include "dsp/Waveshaper.h"
#include "modulation/Lfo.h"
#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace
{
constexpr int32_t kPreSaturation = 0;
constexpr int32_t kFilterType = 1;
constexpr int32_t kFilterFreq = 2;
constexpr int32_t kFilterReso = 3;
constexpr int32_t kLfoAmount = 4;
constexpr int32_t kLfoFreq = 5;
constexpr int32_t kLfoSync = 6;
constexpr int32_t kLfoDirection = 7;
constexpr int32_t kLfoShape = 8;
constexpr int32_t kLfoPhase = 9;
constexpr int32_t kPostSaturation = 10;
constexpr int32_t kMix = 11;

constexpr float kDualType = 1.0f;
constexpr float kFreeSync = 1.0f;

/// Two channels of samples.
struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;
};

/// Seeded noise plus a rising sweep, different on the two channels, made without the maths library so that it is
/// the same on every machine.
Stereo testSignal(int32_t frames, uint32_t seed, float amplitude = 0.8f)
{
    Stereo signal{std::vector<float>(static_cast<size_t>(frames)), std::vector<float>(static_cast<size_t>(frames))};
    double phase = 0.0; // -1..1, one sweep cycle per 2
    double increment = 0.001;
    for (int32_t i = 0; i < frames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
        const double sweep = 4.0 * phase * (1.0 - std::fabs(phase)); // a parabola shaped like a sine
        phase += increment;
        if (phase >= 1.0)
            phase -= 2.0;
        increment += 0.00002;
        signal.left[i] = static_cast<float>(amplitude * (0.5 * noise + 0.5 * sweep));
        signal.right[i] = static_cast<float>(amplitude * (0.5 * sweep - 0.3 * noise));
    }
    return signal;
}

Stereo silence(int32_t frames)
{
    return Stereo{std::vector<float>(static_cast<size_t>(frames)), std::vector<float>(static_cast<size_t>(frames))};
}

Stereo constant(int32_t frames, float left, float right)
{
    return Stereo{std::vector<float>(static_cast<size_t>(frames), left),
                  std::vector<float>(static_cast<size_t>(frames), right)};
}

/// Runs one block through the host's instance; returns the output.
Stereo process(TestHost& host, Stereo input)
{
    Stereo output = silence(static_cast<int32_t>(input.left.size()));
    host.processReplacing(input.left.data(), input.right.data(), output.left.data(), output.right.data(),
                          static_cast<int32_t>(input.left.size()));
    return output;
}

/// The cutoff the filter derives from a position on the 20 Hz..20 kHz axis.
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

/// One saturation stage as the chain applies it.
float saturated(float x, double amount)
{
    const Waveshaper shaper(2);
    double y = shaper.shape(x) * (amount * 0.5) + (1.0 - amount * 0.7) * x;
    if (y > 1.0)
        y = 1.0;
    else if (y < -1.0)
        y = -1.0;
    return static_cast<float>(y);
}

/// The smoothing of the saturation amounts (factor 0.2) and the mix (0.3), one step per block.
double glided(double value, double target, double factor)
{
    if (value == target)
        return value;
    value = value + (target - value) * factor;
    return std::fabs(target - value) < 1e-6 ? target : value;
}

/// A section filtering in place as the single-mode routine does with a steady cutoff.
void filterSteady(Biquad& section, int32_t type, double hz, double q, Stereo& block)
{
    for (size_t i = 0; i < block.left.size(); ++i)
    {
        section.update(type, hz, q);
        block.left[i] = static_cast<float>(section.process(0, block.left[i]));
        block.right[i] = static_cast<float>(section.process(1, block.right[i]));
    }
}

void expectSameSamples(const Stereo& actual, const Stereo& expected, const char* what)
{
    ASSERT_EQ(actual.left.size(), expected.left.size());
    for (size_t i = 0; i < actual.left.size(); ++i)
    {
        ASSERT_EQ(actual.left[i], expected.left[i]) << what << ", left sample " << i;
        ASSERT_EQ(actual.right[i], expected.right[i]) << what << ", right sample " << i;
    }
}

class FilterEffectAudioTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.isLoaded()) << host.loadError();
        ASSERT_NE(host.create(), nullptr);
        host.setTimeInfoAvailable(false);
    }

    TestHost host;
    const double openHz = cutoffHzAt(1.0); // the default "Filter Freq"
};

TEST_F(FilterEffectAudioTest, DefaultParametersGiveTheLowPassOutput)
{
    Biquad reference(44100.0);
    for (int block = 0; block < 6; ++block)
    {
        const Stereo input = testSignal(256, 100u + static_cast<uint32_t>(block));
        Stereo expected = input;
        filterSteady(reference, LowPass, openHz, 1.0, expected);
        expectSameSamples(process(host, input), expected, "default chain");
    }
}

TEST_F(FilterEffectAudioTest, TheFilterFollowsTheHostSampleRate)
{
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    host.setParameter(kFilterFreq, 0.5f);
    host.setParameter(kFilterReso, 0.5f);
    Biquad reference(48000.0);
    for (int block = 0; block < 4; ++block)
    {
        const Stereo input = testSignal(128, 7u + static_cast<uint32_t>(block));
        Stereo expected = input;
        filterSteady(reference, LowPass, cutoffHzAt(0.5), 2.5, expected);
        expectSameSamples(process(host, input), expected, "48000 Hz");
    }
}

TEST_F(FilterEffectAudioTest, PreSaturationGlidesAndShapesBeforeTheFilter)
{
    host.setParameter(kPreSaturation, 1.0f);
    Biquad reference(44100.0);
    double amount = 0.0;
    const double firstAmounts[] = {0.2, 0.36, 0.488};
    for (int block = 0; block < 80; ++block)
    {
        amount = glided(amount, 1.0, 0.2);
        if (block < 3)
        {
            EXPECT_NEAR(amount, firstAmounts[block], 1e-15);
        }
        const Stereo input = block < 3 ? testSignal(64, 5u + static_cast<uint32_t>(block), 1.5f) : silence(64);
        Stereo expected = input;
        for (size_t i = 0; i < input.left.size(); ++i)
        {
            expected.left[i] = saturated(input.left[i], amount);
            expected.right[i] = saturated(input.right[i], amount);
        }
        filterSteady(reference, LowPass, openHz, 1.0, expected);
        expectSameSamples(process(host, input), expected, "gliding pre-saturation");
    }
    ASSERT_EQ(amount, 1.0);

    // Settled at 1: 0.5 becomes 0.5 * shape(0.5) + 0.15 and 2 is clamped to 1 before the filter.
    const float shapedHalf = saturated(0.5f, 1.0);
    EXPECT_NEAR(shapedHalf, 0.5 * Waveshaper(2).shape(0.5) + 0.15, 1e-7);
    EXPECT_EQ(saturated(2.0f, 1.0), 1.0f);
    EXPECT_EQ(saturated(-2.0f, 1.0), -1.0f);
    Stereo expected = constant(64, shapedHalf, 1.0f);
    filterSteady(reference, LowPass, openHz, 1.0, expected);
    expectSameSamples(process(host, constant(64, 0.5f, 2.0f)), expected, "settled pre-saturation");
}

TEST_F(FilterEffectAudioTest, PostSaturationShapesTheFilteredSignal)
{
    host.setParameter(kPostSaturation, 0.75f);
    Biquad reference(44100.0);
    double amount = 0.0;
    for (int block = 0; block < 6; ++block)
    {
        amount = glided(amount, 0.75, 0.2);
        const Stereo input = testSignal(100, 40u + static_cast<uint32_t>(block), 1.4f);
        Stereo expected = input;
        filterSteady(reference, LowPass, openHz, 1.0, expected);
        for (size_t i = 0; i < expected.left.size(); ++i)
        {
            expected.left[i] = saturated(expected.left[i], amount);
            expected.right[i] = saturated(expected.right[i], amount);
        }
        expectSameSamples(process(host, input), expected, "post-saturation");
    }
}

TEST_F(FilterEffectAudioTest, MixBlendsTheDrySignalIn)
{
    host.setParameter(kMix, 0.5f);
    host.setParameter(kFilterFreq, 0.3f);
    const double hz = cutoffHzAt(0.3f);
    Biquad reference(44100.0);
    double mix = 1.0;
    for (int block = 0; block < 70; ++block)
    {
        if (block == 60)
            host.setParameter(kMix, 0.96f); // just below 1 the dry signal still counts
        mix = glided(mix, block < 60 ? 0.5 : static_cast<double>(0.96f), 0.3);
        const Stereo input = testSignal(64, 300u + static_cast<uint32_t>(block));
        Stereo expected = input;
        filterSteady(reference, LowPass, hz, 1.0, expected);
        for (size_t i = 0; i < expected.left.size(); ++i)
        {
            expected.left[i] = static_cast<float>(input.left[i] * (1.0 - mix) + expected.left[i] * mix);
            expected.right[i] = static_cast<float>(input.right[i] * (1.0 - mix) + expected.right[i] * mix);
        }
        expectSameSamples(process(host, input), expected, "mix");
        if (block == 59)
        {
            EXPECT_EQ(mix, 0.5); // settled: the average of dry and filtered
        }
    }
}

TEST_F(FilterEffectAudioTest, MixAtZeroEndsAsTheDrySignal)
{
    host.setParameter(kMix, 0.0f);
    host.setParameter(kFilterFreq, 0.2f);
    for (int block = 0; block < 60; ++block)
        process(host, testSignal(32, 9u));
    const Stereo input = testSignal(128, 77u);
    expectSameSamples(process(host, input), input, "dry only");
}

TEST_F(FilterEffectAudioTest, CrossfadeLengthIsFiveMillisecondsOfSamples)
{
    const struct
    {
        float rate;
        int32_t length;
    } cases[] = {{44100.0f, 220}, {48000.0f, 240}, {96000.0f, 480}};
    for (const auto& c : cases)
    {
        TestHost dual;
        ASSERT_NE(dual.create(), nullptr);
        dual.setTimeInfoAvailable(false);
        dual.dispatch(effSetSampleRate, 0, 0, nullptr, c.rate);
        dual.setParameter(kFilterType, kDualType);
        dual.setParameter(kFilterFreq, 0.6f);

        Biquad low(c.rate);
        Biquad high(c.rate);
        auto runSections = [&](double position, const Stereo& input, Stereo& lowOut, Stereo& highOut)
        {
            lowOut = input;
            highOut = input;
            for (size_t i = 0; i < input.left.size(); ++i)
            {
                low.update(LowPass, cutoffHzAt(position * 2.0), 1.0);
                lowOut.left[i] = static_cast<float>(low.process(0, input.left[i]));
                lowOut.right[i] = static_cast<float>(low.process(1, input.right[i]));
                high.update(HighPass, cutoffHzAt((position - 0.5) * 2.0), 1.0);
                highOut.left[i] = static_cast<float>(high.process(0, input.left[i]));
                highOut.right[i] = static_cast<float>(high.process(1, input.right[i]));
            }
        };

        // Above the middle the high-pass half is heard.
        Stereo lowOut, highOut;
        const Stereo first = testSignal(200, 11u);
        runSections(0.6f, first, lowOut, highOut);
        expectSameSamples(process(dual, first), highOut, "upper half");

        // Crossing the middle fades from the high-pass to the low-pass section over the crossfade length.
        dual.setParameter(kFilterFreq, 0.4f);
        const Stereo second = testSignal(c.length + 40, 12u);
        runSections(0.4f, second, lowOut, highOut);
        Stereo expected = lowOut;
        for (int32_t i = 0; i < c.length; ++i)
        {
            const float t = static_cast<float>(c.length - 1 - i) / static_cast<float>(c.length);
            const float u = 1.0f - t;
            expected.left[i] = u * lowOut.left[i] + t * highOut.left[i];
            expected.right[i] = u * lowOut.right[i] + t * highOut.right[i];
        }
        const Stereo output = process(dual, second);
        expectSameSamples(output, expected, "crossfade");
        EXPECT_NE(output.left[0], lowOut.left[0]) << "the first sample still carries the high-pass section";
    }
}

/// Runs the two dual-mode sections over a block as the dual routine does, with the oscillator moving both halves,
/// and answers the output of the half heard at position (no crossfade running).
Stereo dualReference(Biquad& low, Biquad& high, Lfo& oscillator, double position, double amount, const Stereo& input)
{
    Stereo output = input;
    for (size_t i = 0; i < input.left.size(); ++i)
    {
        const double depth = amount * oscillator.next();
        const double lowPosition = position * 2.0;
        const double highPosition = (position - 0.5) * 2.0;
        low.update(LowPass, cutoffHzAt(lowPosition + (1.0 - lowPosition) * depth), 1.0); // "Up"
        const float lowLeft = static_cast<float>(low.process(0, input.left[i]));
        const float lowRight = static_cast<float>(low.process(1, input.right[i]));
        high.update(HighPass, cutoffHzAt(highPosition + (1.0 - highPosition) * depth), 1.0);
        const float highLeft = static_cast<float>(high.process(0, input.left[i]));
        const float highRight = static_cast<float>(high.process(1, input.right[i]));
        output.left[i] = position <= 0.5 ? lowLeft : highLeft;
        output.right[i] = position <= 0.5 ? lowRight : highRight;
    }
    return output;
}

TEST_F(FilterEffectAudioTest, DualModeModulatesBothHalvesAndHearsOne)
{
    // 0.5 itself belongs to the low-pass half; 0.8 puts the low-pass beyond the top of the range, 0.2 the high-pass
    // below the bottom.
    for (float position : {0.2f, 0.5f, 0.7f, 0.8f})
    {
        TestHost dual;
        ASSERT_NE(dual.create(), nullptr);
        dual.setTimeInfoAvailable(false);
        dual.setParameter(kFilterType, kDualType);
        dual.setParameter(kFilterFreq, position);
        dual.setParameter(kLfoAmount, 0.5f);
        dual.setParameter(kLfoDirection, 1.0f);
        Biquad low(44100.0);
        Biquad high(44100.0);
        Lfo oscillator(44100.0f);
        // Leaving the default position 1 for one below the middle starts a crossfade: let it pass in silence.
        process(dual, silence(300));
        dualReference(low, high, oscillator, position, 0.5, silence(300));
        for (int block = 0; block < 3; ++block)
        {
            const Stereo input = testSignal(400, 70u + static_cast<uint32_t>(block));
            const Stereo expected = dualReference(low, high, oscillator, position, 0.5, input);
            expectSameSamples(process(dual, input), expected, "dual");
        }
    }
}

TEST_F(FilterEffectAudioTest, ANonFiniteInputSampleIsForgottenAtOnce)
{
    // The per-sample guard: the bad sample's frame comes out as silence on both channels, and the section runs on
    // from a cleared history, within the block and into the next.
    host.setParameter(kFilterFreq, 0.4f);
    const Stereo input = testSignal(64, 3u);
    Stereo poisoned = input;
    poisoned.left[10] = std::numeric_limits<float>::quiet_NaN();
    poisoned.right[20] = std::numeric_limits<float>::infinity();
    Biquad reference(44100.0);
    Stereo expected = input;
    for (size_t i = 0; i < expected.left.size(); ++i)
    {
        reference.update(LowPass, cutoffHzAt(0.4f), 1.0);
        const bool bad = i == 10 || i == 20;
        if (bad)
            reference.clearHistory();
        expected.left[i] = bad ? 0.0f : static_cast<float>(reference.process(0, input.left[i]));
        expected.right[i] = bad ? 0.0f : static_cast<float>(reference.process(1, input.right[i]));
    }
    expectSameSamples(process(host, poisoned), expected, "the bad block");
    const Stereo next = testSignal(64, 4u);
    expected = next;
    filterSteady(reference, LowPass, cutoffHzAt(0.4f), 1.0, expected);
    expectSameSamples(process(host, next), expected, "after a bad sample");
}

/// Sets a busy configuration: every stage active, modulated cutoff.
void setBusyParameters(TestHost& target, float filterType, float lfoSync)
{
    target.setParameter(kPreSaturation, 0.6f);
    target.setParameter(kFilterType, filterType);
    target.setParameter(kFilterFreq, 0.55f);
    target.setParameter(kFilterReso, 0.4f);
    target.setParameter(kLfoAmount, 0.8f);
    target.setParameter(kLfoFreq, 0.7f);
    target.setParameter(kLfoSync, lfoSync);
    target.setParameter(kLfoDirection, 1.0f);
    target.setParameter(kLfoShape, 0.5f);
    target.setParameter(kLfoPhase, 0.0f);
    target.setParameter(kPostSaturation, 0.3f);
    target.setParameter(kMix, 0.7f);
}

TEST_F(FilterEffectAudioTest, InPlaceProcessingEqualsSeparateBuffers)
{
    TestHost inPlace;
    ASSERT_NE(inPlace.create(), nullptr);
    inPlace.setTimeInfoAvailable(false);
    setBusyParameters(host, kDualType, kFreeSync);
    setBusyParameters(inPlace, kDualType, kFreeSync);
    for (int block = 0; block < 8; ++block)
    {
        const Stereo input = testSignal(160, 21u + static_cast<uint32_t>(block), 1.2f);
        const Stereo separate = process(host, input);
        Stereo shared = input;
        inPlace.processReplacing(shared.left.data(), shared.right.data(), shared.left.data(), shared.right.data(),
                                 static_cast<int32_t>(shared.left.size()));
        expectSameSamples(shared, separate, "in place");
    }
}

/// Processes signal in blocks of the given lengths, taken in turn.
Stereo processInBlocks(TestHost& target, const Stereo& signal, const std::vector<int32_t>& lengths)
{
    Stereo output = silence(static_cast<int32_t>(signal.left.size()));
    size_t position = 0;
    size_t turn = 0;
    while (position < signal.left.size())
    {
        const size_t length = std::min(signal.left.size() - position, static_cast<size_t>(lengths[turn]));
        turn = (turn + 1) % lengths.size();
        Stereo block{std::vector<float>(signal.left.begin() + position, signal.left.begin() + position + length),
                     std::vector<float>(signal.right.begin() + position, signal.right.begin() + position + length)};
        const Stereo processed = process(target, block);
        std::copy(processed.left.begin(), processed.left.end(), output.left.begin() + position);
        std::copy(processed.right.begin(), processed.right.end(), output.right.begin() + position);
        position += length;
    }
    return output;
}

TEST_F(FilterEffectAudioTest, WithSteadyParametersTheBlockSplitDoesNotMatter)
{
    // Free-running and unsynchronised oscillators, settled smoothing: nothing depends on where a block ends.
    for (float sync : {kFreeSync, 0.0f})
    {
        TestHost whole;
        TestHost split;
        ASSERT_NE(whole.create(), nullptr);
        ASSERT_NE(split.create(), nullptr);
        whole.setTimeInfoAvailable(false);
        split.setTimeInfoAvailable(false);
        setBusyParameters(whole, kDualType, sync);
        setBusyParameters(split, kDualType, sync);
        for (int block = 0; block < 100; ++block)
        {
            process(whole, silence(16));
            process(split, silence(16));
        }
        const Stereo signal = testSignal(4000, 99u, 1.3f);
        const Stereo expected = processInBlocks(whole, signal, {500});
        const Stereo actual = processInBlocks(split, signal, {1, 7, 64, 333, 2, 129, 1000});
        expectSameSamples(actual, expected, sync == kFreeSync ? "free" : "synced without time");
    }
}

// ---------------------------------------------------------------------------------------------------------------------
// Tempo sync as the host sees it

void setTransport(TestHost& target, double tempo, double position, int32_t flags = 0, double barStart = 0.0)
{
    VstTimeInfo& time = target.timeInfo();
    time.tempo = tempo;
    time.ppqPos = position;
    time.barStartPos = barStart;
    time.timeSigNumerator = 4;
    time.timeSigDenominator = 4;
    time.flags = flags | kVstTempoValid | kVstPpqPosValid;
}

TEST_F(FilterEffectAudioTest, TimeRequestRhythm)
{
    host.setTimeInfoAvailable(true);
    double position = 0.0;
    std::vector<size_t> requestsPerBlock;
    for (int block = 0; block < 18; ++block)
    {
        setTransport(host, 120.0, position);
        const size_t before = host.callCount(audioMasterGetTime);
        process(host, silence(64));
        requestsPerBlock.push_back(host.callCount(audioMasterGetTime) - before);
        position += 64.0 * 2.0 / 44100.0;
    }
    // Aligned, then steady: one request in eight blocks.
    const std::vector<size_t> expected = {1, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(requestsPerBlock, expected);
    for (const TestHost::HostCall& call : host.calls())
    {
        if (call.opcode == audioMasterGetTime)
        {
            EXPECT_EQ(call.value, 0x2E01);
        }
    }
}

TEST_F(FilterEffectAudioTest, AStandingTransportIsAskedEveryBlock)
{
    host.setTimeInfoAvailable(true);
    setTransport(host, 120.0, 6.0);
    for (int block = 0; block < 10; ++block)
        process(host, silence(64));
    EXPECT_EQ(host.callCount(audioMasterGetTime), 10u);
}

TEST_F(FilterEffectAudioTest, TheOscillatorIsAlignedToTheBar)
{
    host.setTimeInfoAvailable(true);
    setTransport(host, 120.0, 13.5, kVstBarsValid, 12.0);
    host.setParameter(kLfoAmount, 1.0f);
    host.setParameter(kFilterFreq, 0.5f);

    // "1 bar" at 120 BPM: 0.5 Hz, 1.5 quarter notes into the bar = 0.375 cycles.
    Lfo oscillator(44100.0f);
    oscillator.setRate(0.5);
    oscillator.setPhase(0.375);
    Biquad reference(44100.0);
    const Stereo input = testSignal(512, 55u);
    Stereo expected = input;
    for (size_t i = 0; i < input.left.size(); ++i)
    {
        const double position = 0.5 - 0.5 * oscillator.next(); // "Down"
        reference.update(LowPass, cutoffHzAt(position), 1.0);
        expected.left[i] = static_cast<float>(reference.process(0, input.left[i]));
        expected.right[i] = static_cast<float>(reference.process(1, input.right[i]));
    }
    expectSameSamples(process(host, input), expected, "aligned oscillator");
}

TEST_F(FilterEffectAudioTest, WithoutTimeInformationTheOscillatorRunsAtItsOwnRate)
{
    host.setParameter(kLfoAmount, 0.6f);
    host.setParameter(kLfoDirection, 1.0f);
    host.setParameter(kFilterFreq, 0.25f);
    Lfo oscillator(44100.0f); // phase 0, 0.25 Hz
    Biquad reference(44100.0);
    for (int block = 0; block < 4; ++block)
    {
        const Stereo input = testSignal(256, 60u + static_cast<uint32_t>(block));
        Stereo expected = input;
        for (size_t i = 0; i < input.left.size(); ++i)
        {
            const double position = 0.25 + (1.0 - 0.25) * (static_cast<double>(0.6f) * oscillator.next()); // "Up"
            reference.update(LowPass, cutoffHzAt(position), 1.0);
            expected.left[i] = static_cast<float>(reference.process(0, input.left[i]));
            expected.right[i] = static_cast<float>(reference.process(1, input.right[i]));
        }
        expectSameSamples(process(host, input), expected, "free-running oscillator");
    }
    EXPECT_EQ(host.callCount(audioMasterGetTime), 4u);
}
} // namespace

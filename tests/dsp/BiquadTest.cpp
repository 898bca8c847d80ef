#include "dsp/Biquad.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace
{

constexpr double kPi = 3.141592653589793;
constexpr double kRate = 48000.0; // Hz
constexpr int kResponseLength = 8192;

double toDb(double gain)
{
    return 20.0 * std::log10(gain);
}

void expectSameCoefficients(const Biquad::Coefficients& actual, const Biquad::Coefficients& expected)
{
    EXPECT_EQ(actual.b0, expected.b0);
    EXPECT_EQ(actual.b1, expected.b1);
    EXPECT_EQ(actual.b2, expected.b2);
    EXPECT_EQ(actual.a1, expected.a1);
    EXPECT_EQ(actual.a2, expected.a2);
}

bool sameCoefficients(const Biquad::Coefficients& x, const Biquad::Coefficients& y)
{
    return x.b0 == y.b0 && x.b1 == y.b1 && x.b2 == y.b2 && x.a1 == y.a1 && x.a2 == y.a2;
}

std::vector<double> historyOf(const Biquad& biquad)
{
    return std::vector<double>(biquad.getHistory(), biquad.getHistory() + 8);
}

/// Runs some noise through both channels so that the history holds something.
void fillHistory(Biquad& biquad, unsigned seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    for (int i = 0; i < 16; ++i)
    {
        biquad.process(0, noise(generator));
        biquad.process(1, noise(generator));
    }
}

// ---- Coefficients at known points -----------------------------------------------------------------------------

TEST(BiquadTest, QuarterRateLowPassAndHighPass)
{
    Biquad biquad(kRate);
    biquad.setDesign(LowPass, kRate / 4.0, 1.0, 0.0, false);
    Biquad::Coefficients k = biquad.getCoefficients();
    EXPECT_NEAR(k.b0, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(k.b1, 2.0 / 3.0, 1e-15);
    EXPECT_NEAR(k.b2, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(k.a1, 0.0, 1e-15);
    EXPECT_NEAR(k.a2, 1.0 / 3.0, 1e-15);

    biquad.setDesign(HighPass, kRate / 4.0, 1.0, 0.0, false);
    k = biquad.getCoefficients();
    EXPECT_NEAR(k.b0, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(k.b1, -2.0 / 3.0, 1e-15);
    EXPECT_NEAR(k.b2, 1.0 / 3.0, 1e-15);
    EXPECT_NEAR(k.a1, 0.0, 1e-15);
    EXPECT_NEAR(k.a2, 1.0 / 3.0, 1e-15);
}

// The effect's two designs, recomputed here in their documented order of operations. A regrouped formula in the
// design (say b0 = nb0 / a0 instead of k = 1 / a0, b0 = k * nb0) changes the last bits and fails this check.
Biquad::Coefficients referencePass(bool highPass, double hz, double q, double rate)
{
    volatile double runtimeHz = hz; // keeps the compiler from folding sin and cos with its own, exact, arithmetic
    const double w0 = (runtimeHz / rate) * 6.283185307179586;
    const double s = std::sin(w0);
    const double c = std::cos(w0);
    const double alpha = s / (q * 2.0);
    const double k = 1.0 / (1.0 + alpha);
    const double outer = highPass ? (1.0 + c) * 0.5 : (1.0 - c) * 0.5;
    const double middle = highPass ? -(1.0 + c) : 1.0 - c;
    return {k * outer, k * middle, k * outer, k * (-2.0 * c), k * (1.0 - alpha)};
}

// The band-pass numerator is alpha itself, so this pins down the order of the bandwidth-mode alpha as well.
Biquad::Coefficients referenceBandPassByOctaves(double hz, double octaves, double rate)
{
    volatile double runtimeHz = hz;
    const double w0 = (runtimeHz / rate) * 6.283185307179586;
    const double s = std::sin(w0);
    const double c = std::cos(w0);
    const double alpha = s * std::sinh(std::log(2.0) * (octaves / s) * w0 * 0.5);
    const double k = 1.0 / (1.0 + alpha);
    return {k * alpha, k * 0.0, k * -alpha, k * (-2.0 * c), k * (1.0 - alpha)};
}

TEST(BiquadTest, DesignsAreBitExact)
{
    Biquad biquad(44100.0);
    for (double hz = 20.0; hz <= 20000.0; hz *= 1.37)
    {
        for (const double q : {1.0, 1.5, 2.7, 4.0})
        {
            SCOPED_TRACE(testing::Message() << hz << " Hz, Q " << q);
            biquad.update(LowPass, hz, q);
            expectSameCoefficients(biquad.getCoefficients(), referencePass(false, hz, q, 44100.0));
            biquad.update(HighPass, hz, q);
            expectSameCoefficients(biquad.getCoefficients(), referencePass(true, hz, q, 44100.0));
        }
        for (const double octaves : {0.3, 1.0, 2.5})
        {
            SCOPED_TRACE(testing::Message() << hz << " Hz, " << octaves << " octaves");
            biquad.setDesign(BandPass, hz, octaves, 0.0, true);
            expectSameCoefficients(biquad.getCoefficients(), referenceBandPassByOctaves(hz, octaves, 44100.0));
        }
    }
}

TEST(BiquadTest, PassDesignGivesTheBitsOfUpdate)
{
    // The block loops design ahead with passDesign and adopt the result; it must be update()'s design, bit for bit,
    // over the cutoffs and resonances the effect uses, at two sample rates.
    for (const double rate : {44100.0, 96000.0})
    {
        Biquad section(rate);
        for (const int32_t type : {LowPass, HighPass})
        {
            for (double hz = 20.0; hz <= 20000.0; hz *= 1.0137)
            {
                for (const double q : {1.0, 1.7320508, 4.0})
                {
                    section.update(type, hz, q);
                    const Biquad::Coefficients expected = section.getCoefficients();
                    const Biquad::Coefficients ahead = section.passDesign(type, hz, q);
                    ASSERT_EQ(std::memcmp(&expected, &ahead, sizeof(expected)), 0)
                        << "type " << type << ", " << hz << " Hz, Q " << q << " at " << rate;
                }
            }
        }
    }
}

TEST(BiquadTest, BandPassEqualsSkirtBandPassAtQOne)
{
    Biquad band(kRate);
    Biquad skirt(kRate);
    for (const double hz : {30.0, 440.0, 1000.0, 7000.0, 19000.0})
    {
        SCOPED_TRACE(testing::Message() << hz << " Hz");
        band.setDesign(BandPass, hz, 1.0, 0.0, false);
        skirt.setDesign(BandPassSkirt, hz, 1.0, 0.0, false);
        expectSameCoefficients(band.getCoefficients(), skirt.getCoefficients());
    }
    // At another Q the two differ by the peak gain Q.
    band.setDesign(BandPass, 1000.0, 3.0, 0.0, false);
    skirt.setDesign(BandPassSkirt, 1000.0, 3.0, 0.0, false);
    EXPECT_NEAR(skirt.getCoefficients().b0, 3.0 * band.getCoefficients().b0, 1e-15);
}

TEST(BiquadTest, PeakingAtZeroDbPassesTheSignalUnchanged)
{
    const unsigned seed = 20240611u;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);

    for (const double hz : {50.0, 1000.0, 15000.0})
    {
        for (const bool bandwidthMode : {false, true})
        {
            SCOPED_TRACE(testing::Message() << hz << " Hz, bandwidth mode " << bandwidthMode);
            Biquad biquad(kRate);
            biquad.setDesign(Peaking, hz, 1.5, 0.0, bandwidthMode);
            const Biquad::Coefficients k = biquad.getCoefficients();
            EXPECT_NEAR(k.b0, 1.0, 1e-15);
            EXPECT_EQ(k.b1, k.a1);
            EXPECT_EQ(k.b2, k.a2);
            for (int i = 0; i < 2000; ++i)
            {
                const double x = noise(generator);
                ASSERT_NEAR(biquad.process(0, x), x, 1e-12) << "sample " << i;
            }
        }
    }
}

TEST(BiquadTest, ShelvesReadQAsAQEvenInBandwidthMode)
{
    Biquad byQ(kRate);
    Biquad byBandwidth(kRate);
    for (const int32_t type : {LowShelf, HighShelf})
    {
        byQ.setDesign(type, 800.0, 1.5, 6.0, false);
        byBandwidth.setDesign(type, 800.0, 1.5, 6.0, true);
        expectSameCoefficients(byBandwidth.getCoefficients(), byQ.getCoefficients());
    }
    // Where alpha is used, bandwidth mode does matter.
    byQ.setDesign(Peaking, 800.0, 1.5, 6.0, false);
    byBandwidth.setDesign(Peaking, 800.0, 1.5, 6.0, true);
    EXPECT_FALSE(sameCoefficients(byBandwidth.getCoefficients(), byQ.getCoefficients()));
}

TEST(BiquadTest, TypeOutsideTheTableKeepsTheCoefficients)
{
    Biquad biquad(kRate);
    biquad.setDesign(HighPass, 1234.0, 2.0, 0.0, false);
    const Biquad::Coefficients designed = biquad.getCoefficients();
    for (const int32_t type : {-1, 9, 1000})
    {
        biquad.setDesign(type, 500.0, 1.0, 3.0, false);
        expectSameCoefficients(biquad.getCoefficients(), designed);
        EXPECT_EQ(biquad.getType(), type);
    }
}

// ---- Compare and redesign ---------------------------------------------------------------------------------------

TEST(BiquadTest, FrequencyMovesOfOneHertzOrLessDoNotRedesign)
{
    Biquad biquad(kRate);
    biquad.update(LowPass, 1000.5, 1.0);
    const Biquad::Coefficients designed = biquad.getCoefficients();

    biquad.update(LowPass, 1001.5, 1.0); // exactly 1 Hz up
    biquad.update(LowPass, 999.5, 1.0);  // exactly 1 Hz down
    EXPECT_EQ(biquad.getFrequency(), 1000.5);
    expectSameCoefficients(biquad.getCoefficients(), designed);

    biquad.update(LowPass, 1001.5 + 1e-9, 1.0);
    EXPECT_EQ(biquad.getFrequency(), 1001.5 + 1e-9);
    EXPECT_FALSE(sameCoefficients(biquad.getCoefficients(), designed));
}

TEST(BiquadTest, SlowDriftIsFollowedInStepsOfJustOverOneHertz)
{
    Biquad biquad(kRate);
    biquad.update(LowPass, 1000.0, 2.0);
    std::vector<double> designedAt;
    for (double hz = 1000.25; hz <= 1003.0; hz += 0.25) // quarter steps are exact
    {
        const double before = biquad.getFrequency();
        biquad.update(LowPass, hz, 2.0);
        if (biquad.getFrequency() != before)
            designedAt.push_back(biquad.getFrequency());
    }
    EXPECT_EQ(designedAt, (std::vector<double>{1001.25, 1002.5}));
}

TEST(BiquadTest, QMovesOfAHundredthOrLessDoNotRedesign)
{
    Biquad biquad(kRate);
    biquad.update(HighPass, 2000.0, 1.0);
    const Biquad::Coefficients designed = biquad.getCoefficients();
    biquad.update(HighPass, 2000.0, 1.005);
    biquad.update(HighPass, 2000.0, 0.995);
    EXPECT_EQ(biquad.getQ(), 1.0);
    expectSameCoefficients(biquad.getCoefficients(), designed);

    biquad.update(HighPass, 2000.0, 1.0101);
    EXPECT_EQ(biquad.getQ(), 1.0101);

    // 0.02 is exactly twice 0.01 in binary, so this move is exactly the tolerance (near 1 no such pair exists).
    biquad.update(HighPass, 2000.0, 0.02);
    biquad.update(HighPass, 2000.0, 0.01);
    EXPECT_EQ(biquad.getQ(), 0.02);
}

TEST(BiquadTest, NanFrequencyOrQAloneDoesNotRedesign)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Biquad biquad(kRate);
    biquad.update(LowPass, 3000.0, 1.0);
    const Biquad::Coefficients designed = biquad.getCoefficients();
    biquad.update(LowPass, nan, 1.0);
    biquad.update(LowPass, 3000.0, nan);
    EXPECT_EQ(biquad.getFrequency(), 3000.0);
    EXPECT_EQ(biquad.getQ(), 1.0);
    expectSameCoefficients(biquad.getCoefficients(), designed);
}

TEST(BiquadTest, StoredGainOrBandwidthModeForcesARedesign)
{
    Biquad reference(kRate);
    Biquad biquad(kRate);

    // A gain of more than 0.01 dB: the next update returns to 0 dB, a transparent peaking filter.
    for (const double gainDb : {6.0, -0.02})
    {
        biquad.setDesign(Peaking, 1000.0, 1.0, gainDb, false);
        biquad.update(Peaking, 1000.0, 1.0);
        reference.setDesign(Peaking, 1000.0, 1.0, 0.0, false);
        expectSameCoefficients(biquad.getCoefficients(), reference.getCoefficients());
    }

    // A gain within 0.01 dB stays.
    for (const double gainDb : {0.01, -0.01})
    {
        biquad.setDesign(Peaking, 1000.0, 1.0, gainDb, false);
        const Biquad::Coefficients designed = biquad.getCoefficients();
        biquad.update(Peaking, 1000.0, 1.0);
        expectSameCoefficients(biquad.getCoefficients(), designed);
    }

    // Bandwidth mode: the same number is then taken as a Q.
    biquad.setDesign(BandPass, 1000.0, 1.0, 0.0, true);
    const Biquad::Coefficients octave = biquad.getCoefficients();
    biquad.update(BandPass, 1000.0, 1.0);
    reference.setDesign(BandPass, 1000.0, 1.0, 0.0, false);
    expectSameCoefficients(biquad.getCoefficients(), reference.getCoefficients());
    EXPECT_FALSE(sameCoefficients(octave, reference.getCoefficients()));
}

TEST(BiquadTest, TypeChangeClearsTheHistoryFrequencyChangeKeepsIt)
{
    Biquad biquad(kRate);
    biquad.update(LowPass, 1000.0, 1.0);
    fillHistory(biquad, 7u);
    const std::vector<double> filled = historyOf(biquad);

    biquad.update(LowPass, 5000.0, 3.0);
    EXPECT_EQ(biquad.getFrequency(), 5000.0);
    EXPECT_EQ(historyOf(biquad), filled);

    biquad.update(HighPass, 5000.0, 3.0);
    EXPECT_EQ(biquad.getType(), HighPass);
    EXPECT_EQ(historyOf(biquad), std::vector<double>(8, 0.0));
}

TEST(BiquadTest, SetDesignAndDesignKeepTheHistory)
{
    Biquad biquad(kRate);
    biquad.update(LowPass, 1000.0, 1.0);
    fillHistory(biquad, 11u);
    const std::vector<double> filled = historyOf(biquad);
    biquad.setDesign(Notch, 300.0, 2.0, 0.0, false);
    EXPECT_EQ(historyOf(biquad), filled);
    biquad.design();
    EXPECT_EQ(historyOf(biquad), filled);
}

TEST(BiquadTest, NewSampleRateRedesignsAtTheNextUpdateAndKeepsTheHistory)
{
    Biquad biquad(44100.0);
    biquad.update(LowPass, 1000.0, 2.0);
    fillHistory(biquad, 3u);
    const Biquad::Coefficients at44100 = biquad.getCoefficients();
    const std::vector<double> filled = historyOf(biquad);

    biquad.setSampleRate(96000.0);
    EXPECT_EQ(biquad.getSampleRate(), 96000.0);
    expectSameCoefficients(biquad.getCoefficients(), at44100); // nothing happens before the next update

    biquad.update(LowPass, 1000.0, 2.0); // same type, frequency and Q
    Biquad fresh(96000.0);
    fresh.update(LowPass, 1000.0, 2.0);
    expectSameCoefficients(biquad.getCoefficients(), fresh.getCoefficients());
    EXPECT_EQ(historyOf(biquad), filled);

    // Only the first update after the change redesigns.
    biquad.update(LowPass, 1000.5, 2.0);
    EXPECT_EQ(biquad.getFrequency(), 1000.0);
}

TEST(BiquadTest, UnusableSampleRateIsIgnored)
{
    Biquad biquad(44100.0);
    biquad.update(LowPass, 1000.0, 1.0);
    const Biquad::Coefficients designed = biquad.getCoefficients();
    for (const double rate :
         {0.0, -48000.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
    {
        biquad.setSampleRate(rate);
        EXPECT_EQ(biquad.getSampleRate(), 44100.0);
        biquad.update(LowPass, 1000.0, 1.0);
        expectSameCoefficients(biquad.getCoefficients(), designed);
    }
}

TEST(BiquadTest, FirstUpdateDesignsWhateverTheCutoff)
{
    // 0 Hz in LowPass matches the values a new section starts with; it must design all the same.
    Biquad atZero(kRate);
    atZero.update(LowPass, 0.0, 1.0);
    const Biquad::Coefficients k = atZero.getCoefficients();
    EXPECT_EQ(k.a1, -2.0); // w0 = 0: a double pole at z = 1 and no gain
    EXPECT_EQ(k.a2, 1.0);
    EXPECT_EQ(k.b0, 0.0);

    Biquad atTop(kRate);
    atTop.update(LowPass, 20000.0, 1.0);
    EXPECT_EQ(atTop.getFrequency(), 20000.0);
    EXPECT_NEAR(atTop.magnitudeAt(0.0), 1.0, 1e-12);
}

TEST(BiquadTest, OutputIsZeroBeforeAnyDesign)
{
    Biquad biquad(kRate);
    const Biquad::Coefficients k = biquad.getCoefficients();
    EXPECT_EQ(k.b0, 0.0);
    EXPECT_EQ(k.b1, 0.0);
    EXPECT_EQ(k.b2, 0.0);
    EXPECT_EQ(k.a1, 0.0);
    EXPECT_EQ(k.a2, 0.0);
    for (const double x : {1.0, -0.5, 0.25, 3.0})
    {
        EXPECT_EQ(biquad.process(0, x), 0.0);
        EXPECT_EQ(biquad.process(1, x), 0.0);
    }
}

// ---- Processing -------------------------------------------------------------------------------------------------

TEST(BiquadTest, ChannelsAreIndependent)
{
    const unsigned seed = 99u;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);

    Biquad stereo(kRate);
    Biquad leftOnly(kRate);
    stereo.update(LowPass, 800.0, 3.0);
    leftOnly.update(LowPass, 800.0, 3.0);
    for (int i = 0; i < 500; ++i)
    {
        const double x = noise(generator);
        ASSERT_EQ(stereo.process(0, x), leftOnly.process(0, x)) << "sample " << i;
        ASSERT_EQ(stereo.process(1, 0.0), 0.0) << "sample " << i;
    }
    for (int i = 4; i < 8; ++i)
        EXPECT_EQ(stereo.getHistory()[i], 0.0);

    // The right channel on its own gives the same as the left one would.
    Biquad rightOnly(kRate);
    rightOnly.update(LowPass, 800.0, 3.0);
    std::mt19937 again(seed);
    std::uniform_real_distribution<double> sameNoise(-1.0, 1.0);
    Biquad reference(kRate);
    reference.update(LowPass, 800.0, 3.0);
    for (int i = 0; i < 500; ++i)
    {
        const double x = sameNoise(again);
        ASSERT_EQ(rightOnly.process(1, x), reference.process(0, x)) << "sample " << i;
    }
}

// A block-wise caller designs once per block and may run one channel through the whole block before the other;
// across block boundaries and redesigns that must give what a run sample by sample, channels interleaved, gives.
TEST(BiquadTest, BlockProcessingEqualsSampleBySample)
{
    const unsigned seed = 5u;
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    std::mt19937 generator(seed);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    const int length = 3000;
    std::vector<double> left(length), right(length);
    for (int i = 0; i < length; ++i)
    {
        left[i] = noise(generator);
        right[i] = noise(generator);
    }
    const int blockSizes[] = {1, 7, 64, 333, 2, 128};
    std::vector<int> blockStarts;
    for (int start = 0, b = 0; start < length; start += blockSizes[b % 6], ++b)
        blockStarts.push_back(start);
    blockStarts.push_back(length);
    auto cutoffOfBlock = [](size_t b) { return 200.0 * std::pow(1.31, static_cast<double>(b)); };

    Biquad continuous(kRate);
    std::vector<double> expectedLeft(length), expectedRight(length);
    for (size_t b = 0; b + 1 < blockStarts.size(); ++b)
    {
        for (int i = blockStarts[b]; i < blockStarts[b + 1]; ++i)
        {
            continuous.update(HighPass, cutoffOfBlock(b), 2.0);
            expectedLeft[i] = continuous.process(0, left[i]);
            expectedRight[i] = continuous.process(1, right[i]);
        }
    }

    Biquad blocked(kRate);
    for (size_t b = 0; b + 1 < blockStarts.size(); ++b)
    {
        blocked.update(HighPass, cutoffOfBlock(b), 2.0);
        for (int i = blockStarts[b]; i < blockStarts[b + 1]; ++i)
            ASSERT_EQ(blocked.process(0, left[i]), expectedLeft[i]) << "left, sample " << i;
        for (int i = blockStarts[b]; i < blockStarts[b + 1]; ++i)
            ASSERT_EQ(blocked.process(1, right[i]), expectedRight[i]) << "right, sample " << i;
    }
}

TEST(BiquadTest, ClearHistoryAndFiniteCheck)
{
    Biquad biquad(kRate);
    biquad.update(LowPass, 1000.0, 1.0);
    EXPECT_TRUE(biquad.historyIsFinite());
    fillHistory(biquad, 1u);
    EXPECT_TRUE(biquad.historyIsFinite());

    biquad.process(1, std::numeric_limits<double>::infinity());
    EXPECT_FALSE(biquad.historyIsFinite());
    biquad.clearHistory();
    EXPECT_TRUE(biquad.historyIsFinite());
    EXPECT_EQ(historyOf(biquad), std::vector<double>(8, 0.0));

    biquad.process(0, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(biquad.historyIsFinite());
    biquad.clearHistory();
    EXPECT_EQ(biquad.process(0, 0.0), 0.0); // no NaN left behind
}

TEST(BiquadTest, SettleHistoryClearsRunawaysAndFlushesSubnormals)
{
    // The end-of-block guard: a history with a value that is not finite or above 1e6 in magnitude is cleared whole;
    // otherwise values below the smallest normal double, zeros included, become +0 and every other value stays.
    constexpr double kInf = std::numeric_limits<double>::infinity();
    constexpr double kSmallestNormal = std::numeric_limits<double>::min();
    struct Case
    {
        double value;    // put into the left x[n-1]
        bool cleared;    // the whole history is cleared
        double expected; // what the left x[n-1] holds afterwards when not cleared
    };
    const Case cases[] = {
        {std::numeric_limits<double>::quiet_NaN(), true, 0.0},
        {kInf, true, 0.0},
        {-kInf, true, 0.0},
        {1000000.0000000001, true, 0.0},
        {-1e6, false, -1e6},
        {1e6, false, 1e6},
        {kSmallestNormal, false, kSmallestNormal},
        {-kSmallestNormal, false, -kSmallestNormal},
        {kSmallestNormal / 2.0, false, 0.0},
        {-std::numeric_limits<double>::denorm_min(), false, 0.0},
        {-0.0, false, 0.0},
        {0.25, false, 0.25},
    };
    for (const Case& c : cases)
    {
        Biquad biquad(kRate); // zero coefficients until designed: x values go into the history, y stays 0
        biquad.process(1, 0.5);
        biquad.process(0, c.value);
        biquad.settleHistory();
        const std::vector<double> history = historyOf(biquad);
        EXPECT_EQ(history[6], c.cleared ? 0.0 : 0.5) << c.value;
        EXPECT_EQ(history[2], c.expected) << c.value;
        for (double v : history)
            EXPECT_FALSE(std::signbit(v) && v == 0.0) << c.value << ": a negative zero is left";
    }
}

// ---- Frequency response -----------------------------------------------------------------------------------------

struct Design
{
    int32_t type;
    double frequencyHz;
    double qOrBandwidth; // Q, or octaves in bandwidth mode
    double gainDb;
    bool bandwidthMode;
};

std::ostream& operator<<(std::ostream& out, const Design& d)
{
    return out << "type " << d.type << ", " << d.frequencyHz << " Hz, " << (d.bandwidthMode ? "bandwidth " : "Q ")
               << d.qOrBandwidth << ", " << d.gainDb << " dB";
}

// Independent of the coefficient formulas: the analog prototype of each response, evaluated where the bilinear
// transform (warped so that the design frequency lands exactly) puts the probe, s = j tan(w / 2) / tan(w0 / 2).
double prototypeMagnitude(const Design& d, double hz, double rate)
{
    const double w0 = 2.0 * kPi * d.frequencyHz / rate;
    double q = d.qOrBandwidth;
    if (d.bandwidthMode && d.type != LowShelf && d.type != HighShelf)
        q = 1.0 / (2.0 * std::sinh(std::log(2.0) / 2.0 * d.qOrBandwidth * w0 / std::sin(w0)));
    const std::complex<double> s(0.0, std::tan(kPi * hz / rate) / std::tan(w0 / 2.0));
    const std::complex<double> s2 = s * s;
    const std::complex<double> poles = s2 + s / q + 1.0;
    const double A = std::pow(10.0, d.gainDb / 40.0);
    const double shelf = std::sqrt(A) / q;
    std::complex<double> h;
    switch (d.type)
    {
    case LowPass:
        h = 1.0 / poles;
        break;
    case HighPass:
        h = s2 / poles;
        break;
    case BandPass:
        h = (s / q) / poles;
        break;
    case BandPassSkirt:
        h = s / poles;
        break;
    case Notch:
        h = (s2 + 1.0) / poles;
        break;
    case AllPass:
        h = (s2 - s / q + 1.0) / poles;
        break;
    case Peaking:
        h = (s2 + s * (A / q) + 1.0) / (s2 + s / (A * q) + 1.0);
        break;
    case LowShelf:
        h = A * (s2 + shelf * s + A) / (A * s2 + shelf * s + 1.0);
        break;
    case HighShelf:
        h = A * (A * s2 + shelf * s + 1.0) / (s2 + shelf * s + A);
        break;
    default:
        ADD_FAILURE() << "no prototype for type " << d.type;
    }
    return std::abs(h);
}

double dftMagnitude(const std::vector<double>& response, double hz, double rate)
{
    const double w = 2.0 * kPi * hz / rate;
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < response.size(); ++n)
        sum += response[n] * std::polar(1.0, -w * static_cast<double>(n));
    return std::abs(sum);
}

const Design kDesigns[] = {
    {LowPass, 1000.0, 0.7071, 0.0, false},    {LowPass, 200.0, 4.0, 0.0, false},
    {HighPass, 1000.0, 0.7071, 0.0, false},   {HighPass, 5000.0, 2.0, 0.0, false},
    {BandPass, 1000.0, 2.0, 0.0, false},      {BandPass, 2000.0, 1.0, 0.0, true},
    {BandPassSkirt, 1000.0, 3.0, 0.0, false}, {BandPassSkirt, 3000.0, 2.0, 0.0, true},
    {Notch, 1000.0, 1.0, 0.0, false},         {Notch, 6000.0, 0.5, 0.0, true},
    {AllPass, 1000.0, 0.7, 0.0, false},       {AllPass, 4000.0, 1.5, 0.0, true},
    {Peaking, 1000.0, 1.0, 12.0, false},      {Peaking, 1000.0, 1.0, -12.0, false},
    {Peaking, 2000.0, 1.0, 12.0, true},       {Peaking, 500.0, 2.0, -12.0, true},
    {LowShelf, 500.0, 0.7071, 12.0, false},   {LowShelf, 500.0, 1.5, -12.0, false},
    {LowShelf, 2000.0, 0.7071, 12.0, true},   {HighShelf, 4000.0, 0.7071, 12.0, false},
    {HighShelf, 4000.0, 1.5, -12.0, false},   {HighShelf, 1000.0, 0.7071, -12.0, true},
};

const double kProbesHz[] = {30.0,   100.0,  250.0,  500.0,   800.0,   1000.0,  1300.0,
                            2000.0, 3500.0, 6000.0, 10000.0, 15000.0, 20000.0, 23000.0};

TEST(BiquadTest, ImpulseResponseMatchesThePrototypeForEveryDesign)
{
    for (const Design& d : kDesigns)
    {
        SCOPED_TRACE(testing::Message() << d);
        Biquad biquad(kRate);
        biquad.setDesign(d.type, d.frequencyHz, d.qOrBandwidth, d.gainDb, d.bandwidthMode);

        std::vector<double> response(kResponseLength);
        for (int n = 0; n < kResponseLength; ++n)
        {
            const double x = n == 0 ? 1.0 : 0.0;
            response[n] = biquad.process(0, x);
            ASSERT_EQ(biquad.process(1, x), response[n]) << "right channel, sample " << n;
        }
        // The response has died away, so the DFT of this window is the filter's response.
        ASSERT_LT(std::fabs(response[kResponseLength - 1]), 1e-12);

        for (const double hz : kProbesHz)
        {
            SCOPED_TRACE(testing::Message() << "probe " << hz << " Hz");
            const double measured = dftMagnitude(response, hz, kRate);
            const double expected = prototypeMagnitude(d, hz, kRate);
            if (expected > 1e-5)
                EXPECT_NEAR(toDb(measured), toDb(expected), 0.01);
            else
                EXPECT_NEAR(measured, expected, 1e-9); // deep in a stop band, compare linearly
            EXPECT_NEAR(biquad.magnitudeAt(hz), measured, 1e-9 * std::max(1.0, measured));
        }
    }
}

TEST(BiquadTest, LowPassAndHighPassShapes)
{
    Biquad biquad(kRate);
    for (const double q : {0.7071, 1.0, 2.0, 4.0})
    {
        SCOPED_TRACE(testing::Message() << "Q " << q);
        biquad.setDesign(LowPass, 1000.0, q, 0.0, false);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(20.0)), 0.0, 0.01);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(1000.0)), toDb(q), 1e-6);
        biquad.setDesign(HighPass, 1000.0, q, 0.0, false);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(23900.0)), 0.0, 0.01);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(1000.0)), toDb(q), 1e-6);
    }
    // Second order: about 12 dB per octave well past the corner (the bilinear warp adds a little more).
    biquad.setDesign(LowPass, 100.0, 0.7071, 0.0, false);
    EXPECT_NEAR(toDb(biquad.magnitudeAt(2000.0)) - toDb(biquad.magnitudeAt(1000.0)), -12.0, 0.2);
    biquad.setDesign(HighPass, 10000.0, 0.7071, 0.0, false);
    EXPECT_NEAR(toDb(biquad.magnitudeAt(1000.0)) - toDb(biquad.magnitudeAt(500.0)), 12.0, 0.2);
}

/// The two frequencies around centreHz where the magnitude crosses level (which it must do once on each side).
void crossings(const Biquad& biquad, double centreHz, double level, double& lowerHz, double& upperHz)
{
    auto bisect = [&](double below, double above)
    {
        for (int i = 0; i < 100; ++i)
        {
            const double middle = 0.5 * (below + above);
            if (biquad.magnitudeAt(middle) < level)
                below = middle;
            else
                above = middle;
        }
        return 0.5 * (below + above);
    };
    lowerHz = bisect(1.0, centreHz);
    upperHz = bisect(23999.0, centreHz);
}

TEST(BiquadTest, BandPassAndNotchShapes)
{
    Biquad biquad(kRate);
    biquad.setDesign(BandPass, 1000.0, 2.0, 0.0, false);
    EXPECT_NEAR(toDb(biquad.magnitudeAt(1000.0)), 0.0, 1e-9);
    EXPECT_LT(toDb(biquad.magnitudeAt(100.0)), -20.0);
    EXPECT_LT(toDb(biquad.magnitudeAt(10000.0)), -20.0);

    biquad.setDesign(BandPassSkirt, 1000.0, 2.0, 0.0, false);
    EXPECT_NEAR(biquad.magnitudeAt(1000.0), 2.0, 1e-9);

    // In bandwidth mode the half-power points lie the given octaves apart (closely, well below Nyquist).
    biquad.setDesign(BandPass, 1000.0, 1.0, 0.0, true);
    double lowerHz = 0.0;
    double upperHz = 0.0;
    crossings(biquad, 1000.0, std::sqrt(0.5), lowerHz, upperHz);
    EXPECT_NEAR(std::log2(upperHz / lowerHz), 1.0, 0.001);

    biquad.setDesign(Notch, 1000.0, 1.0, 0.0, false);
    EXPECT_LT(biquad.magnitudeAt(1000.0), 1e-9);
    EXPECT_NEAR(toDb(biquad.magnitudeAt(20.0)), 0.0, 0.01);
    EXPECT_NEAR(toDb(biquad.magnitudeAt(23000.0)), 0.0, 0.05);
}

TEST(BiquadTest, AllPassIsFlat)
{
    Biquad biquad(kRate);
    for (const bool bandwidthMode : {false, true})
    {
        biquad.setDesign(AllPass, 3000.0, 1.2, 0.0, bandwidthMode);
        for (double hz = 10.0; hz < 24000.0; hz *= 1.1)
            ASSERT_NEAR(toDb(biquad.magnitudeAt(hz)), 0.0, 1e-9) << hz << " Hz";
    }
}

TEST(BiquadTest, PeakingAndShelfGains)
{
    Biquad biquad(kRate);
    for (const double gainDb : {12.0, -12.0})
    {
        SCOPED_TRACE(testing::Message() << gainDb << " dB");
        biquad.setDesign(Peaking, 1000.0, 1.0, gainDb, false);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(1000.0)), gainDb, 1e-9);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(0.0)), 0.0, 1e-9);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(24000.0)), 0.0, 1e-9);

        // The shelves reach the full gain on their side, 0 dB on the other and half the gain at the corner.
        biquad.setDesign(LowShelf, 500.0, 0.7071, gainDb, false);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(0.0)), gainDb, 1e-9);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(24000.0)), 0.0, 1e-9);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(500.0)), gainDb / 2.0, 1e-9);

        biquad.setDesign(HighShelf, 4000.0, 0.7071, gainDb, false);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(0.0)), 0.0, 1e-9);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(24000.0)), gainDb, 1e-9);
        EXPECT_NEAR(toDb(biquad.magnitudeAt(4000.0)), gainDb / 2.0, 1e-9);
    }
}

} // namespace

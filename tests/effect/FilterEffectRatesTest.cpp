// The effect across sample rates from 8000 to 768000 Hz and block sizes from 1 to 8192 frames, with the cutoff at
// both ends of its range and maximum resonance: the output stays finite and bounded, and the gain for a sine at the
// cutoff is the one the section's design gives, at every rate.

#include "effect/FilterEffect.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
using Index = FilterEffect::ParameterIndex;

constexpr float kRates[] = {8000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 384000.0f, 768000.0f};

intptr_t VSTCALLBACK quietHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0; // no time information: the oscillator runs at its own rate
}

float entryValue(int entry, int count)
{
    return (static_cast<float>(entry) + 0.5f) / static_cast<float>(count);
}

void setRate(FilterEffect& effect, float rate, int32_t blockSize)
{
    AEffect* record = effect.getEffectRecord();
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, rate);
    record->dispatcher(record, effSetBlockSize, 0, blockSize, nullptr, 0.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
}

TEST(FilterEffectRatesTest, EveryRateBlockSizeAndSettingGivesFiniteBoundedOutput)
{
    const int32_t blockSizes[] = {1, 2, 63, 512, 4097, 8192};
    int combinations = 0;
    for (float rate : kRates)
    {
        for (int32_t blockSize : blockSizes)
        {
            for (float cutoff : {0.0f, 1.0f})
            {
                for (int type = 0; type < 3; ++type)
                {
                    for (bool modulated : {false, true})
                    {
                        for (float mix : {1.0f, 0.5f})
                        {
                            ++combinations;
                            FilterEffect effect(&quietHost);
                            setRate(effect, rate, blockSize);
                            effect.setParameter(Index::kFilterFreq, cutoff);
                            effect.setParameter(Index::kFilterReso, 1.0f);
                            effect.setParameter(Index::kFilterType, entryValue(type, 3));
                            effect.setParameter(Index::kMix, mix);
                            if (modulated) // full depth, across the whole range towards the other end
                            {
                                effect.setParameter(Index::kLfoAmount, 1.0f);
                                effect.setParameter(Index::kLfoDirection, cutoff > 0.5f ? 0.0f : 1.0f);
                            }
                            const int32_t frames = std::max(2 * blockSize, static_cast<int32_t>(rate * 0.05f));
                            std::vector<float> left(static_cast<size_t>(blockSize));
                            std::vector<float> right(left.size());
                            float* channels[2] = {left.data(), right.data()};
                            uint32_t seed = 1u;
                            float peak = 0.0f;
                            for (int32_t done = 0; done < frames; done += blockSize)
                            {
                                for (size_t i = 0; i < left.size(); ++i)
                                {
                                    seed = seed * 1664525u + 1013904223u;
                                    left[i] = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
                                    right[i] = -left[i];
                                }
                                effect.processReplacing(channels, channels, blockSize);
                                for (size_t i = 0; i < left.size(); ++i)
                                {
                                    ASSERT_TRUE(std::isfinite(left[i]) && std::isfinite(right[i]))
                                        << rate << " Hz, blocks of " << blockSize << ", cutoff " << cutoff << ", type "
                                        << type << ", modulated " << modulated << ", mix " << mix;
                                    peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
                                }
                            }
                            // Noise at ±1 through Q 4, swept or not: far from any runaway.
                            EXPECT_LT(peak, 100.0f) << rate << " Hz, blocks of " << blockSize << ", cutoff " << cutoff
                                                    << ", type " << type << ", modulated " << modulated;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(combinations, 1152);
}

/// Amplitude of the component at hz in samples: a least-squares fit of a sine and a cosine (solved exactly, since
/// near half the rate the two are far from orthogonal over a few cycles).
double amplitudeAt(const std::vector<float>& samples, double hz, double rate)
{
    double ss = 0.0, sc = 0.0, cc = 0.0, ys = 0.0, yc = 0.0;
    const double w = 2.0 * 3.141592653589793 * hz / rate;
    for (size_t i = 0; i < samples.size(); ++i)
    {
        const double s = std::sin(w * static_cast<double>(i));
        const double c = std::cos(w * static_cast<double>(i));
        ss += s * s;
        sc += s * c;
        cc += c * c;
        ys += samples[i] * s;
        yc += samples[i] * c;
    }
    const double determinant = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / determinant;
    const double b = (yc * ss - ys * sc) / determinant;
    return std::sqrt(a * a + b * b);
}

TEST(FilterEffectRatesTest, SineGainAtTheCutoffMatchesTheDesignAtEveryRate)
{
    // At its own cutoff a low-pass or high-pass section of this design has the gain Q: 4 (12.04 dB) at maximum
    // resonance. The sine runs for a second to settle (the slowest section, 20 Hz at Q 4, has a time constant of
    // 64 ms), then ten cycles are measured.
    constexpr int32_t kBlock = 512;
    constexpr float kAmplitude = 0.25f;
    for (float rate : kRates)
    {
        for (int type = 0; type < 2; ++type)
        {
            for (float cutoff : {0.0f, 1.0f})
            {
                FilterEffect effect(&quietHost);
                setRate(effect, rate, kBlock);
                effect.setParameter(Index::kFilterFreq, cutoff);
                effect.setParameter(Index::kFilterReso, 1.0f);
                effect.setParameter(Index::kFilterType, entryValue(type, 3));
                std::vector<float> left(kBlock), right(kBlock);
                float* channels[2] = {left.data(), right.data()};
                effect.processReplacing(channels, channels, kBlock); // silence: designs the section
                const Biquad& section = effect.getPrimaryBiquad();
                const double hz = section.getFrequency();

                const double w = 2.0 * 3.141592653589793 * hz / rate;
                const int64_t settle = static_cast<int64_t>(rate);
                const int64_t measured = static_cast<int64_t>(std::llround(10.0 * rate / hz));
                std::vector<float> output;
                output.reserve(static_cast<size_t>(measured));
                for (int64_t n = 0; n < settle + measured; n += kBlock)
                {
                    for (int32_t i = 0; i < kBlock; ++i)
                    {
                        left[static_cast<size_t>(i)] = kAmplitude * static_cast<float>(std::sin(w * (n + i)));
                        right[static_cast<size_t>(i)] = left[static_cast<size_t>(i)];
                    }
                    effect.processReplacing(channels, channels, kBlock);
                    for (int32_t i = 0; i < kBlock; ++i)
                    {
                        if (n + i >= settle && static_cast<int64_t>(output.size()) < measured)
                            output.push_back(left[static_cast<size_t>(i)]);
                    }
                }
                const double gainDb = 20.0 * std::log10(amplitudeAt(output, hz, rate) / kAmplitude);
                const double designDb = 20.0 * std::log10(section.magnitudeAt(hz));
                EXPECT_NEAR(designDb, 20.0 * std::log10(4.0), 0.01) << rate << " Hz, " << hz << " Hz cutoff";
                EXPECT_NEAR(gainDb, designDb, 0.05)
                    << rate << " Hz, type " << type << ", " << hz << " Hz cutoff: measured against the design";
            }
        }
    }
}
} // namespace

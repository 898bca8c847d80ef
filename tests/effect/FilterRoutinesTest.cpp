// The filter routines' block loops against the plain per-sample form. With steady parameters and a free-running
// oscillator, processing one frame per block runs the plain compare and redesign at every sample (each block's first
// sample takes the full update), so its output is the reference for the chunked loops that longer blocks run, with
// their skipped exps and designs planned ahead.

#include "dsp/CutoffAxis.h"
#include "effect/FilterEffect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace
{
using Index = FilterEffect::ParameterIndex;

intptr_t VSTCALLBACK versionOnlyHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

uint32_t nextRandom(uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

float randomUnit(uint32_t& seed)
{
    return static_cast<float>(nextRandom(seed)) / 16777216.0f;
}

/// Output of frames frames of noise through an effect with these settings, in blocks of the given lengths (in turn).
std::vector<float> render(const std::vector<std::pair<int32_t, float>>& settings, const std::vector<int32_t>& blocks,
                          int32_t frames, uint32_t seed)
{
    FilterEffect effect(versionOnlyHost);
    for (const auto& setting : settings)
        effect.setParameter(setting.first, setting.second);
    std::vector<float> left(static_cast<size_t>(frames)), right(left.size());
    for (size_t i = 0; i < left.size(); ++i)
    {
        left[i] = 1.6f * randomUnit(seed) - 0.8f;
        right[i] = 1.6f * randomUnit(seed) - 0.8f;
    }
    for (int32_t done = 0, block = 0; done < frames; ++block)
    {
        const int32_t length = std::min(blocks[static_cast<size_t>(block) % blocks.size()], frames - done);
        float* channels[] = {left.data() + done, right.data() + done};
        effect.processReplacing(channels, channels, length);
        done += length;
    }
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

TEST(FilterRoutinesTest, BlockLoopsGiveTheBitsOfThePlainPerSampleForm)
{
    // Random filter and oscillator settings with the oscillator free-running (up to 24 Hz, every shape, both
    // directions, depths from none to full), in the three filter types; saturation and mix stay neutral, since their
    // glides would advance per block.
    for (uint32_t trial = 1; trial <= 24; ++trial)
    {
        uint32_t seed = trial * 2654435761u;
        const float type = static_cast<float>(trial % 3) / 2.0f; // Low Pass, High Pass, Dual
        const float amount = trial % 4 == 0 ? 0.0f : randomUnit(seed);
        const std::vector<std::pair<int32_t, float>> settings = {
            {Index::kFilterType, type},
            {Index::kFilterFreq, randomUnit(seed)},
            {Index::kFilterReso, randomUnit(seed)},
            {Index::kLfoAmount, trial % 5 == 0 ? 1.0f : amount},
            {Index::kLfoSync, 0.9f},                           // "Free"
            {Index::kLfoFreq, 0.5f + 0.5f * randomUnit(seed)}, // about 0.5 Hz to 24 Hz
            {Index::kLfoDirection, randomUnit(seed)},
            {Index::kLfoShape, randomUnit(seed)},
        };
        const int32_t frames = 6000;
        const std::vector<float> reference = render(settings, {1}, frames, trial);
        const std::vector<float> blockwise = render(settings, {512, 37, 1000, 3, 256}, frames, trial);
        ASSERT_EQ(reference.size(), blockwise.size());
        size_t firstDifference = reference.size();
        for (size_t i = 0; i < reference.size() && firstDifference == reference.size(); ++i)
        {
            if (std::memcmp(&reference[i], &blockwise[i], sizeof(float)) != 0)
                firstDifference = i;
        }
        EXPECT_EQ(firstDifference, reference.size()) << "trial " << trial << " (type " << type << ")";
    }
}

TEST(FilterRoutinesTest, CutoffShortcutsAgreeWithExpAndTheClamps)
{
    // Arguments just inside and outside the limits, where exp is skipped, against the written formula; at 44100 Hz
    // and at a rate low enough for the half-rate clamp to act.
    for (const float rate : {44100.0f, 22050.0f})
    {
        CutoffScale scale;
        scale.follow(20.0f, 20000.0f, rate);
        for (const double limit : {scale.lnMinimum, std::log(20000.0)})
        {
            for (double offset = -4e-6; offset <= 4e-6; offset += 1e-7)
            {
                const double argument = limit + offset;
                double expected = std::exp(argument);
                if (expected > 20000.0)
                    expected = 20000.0;
                else if (expected < 20.0)
                    expected = 20.0;
                if (expected > 0.49 * rate)
                    expected = 0.49 * rate;
                bool unclamped = false;
                EXPECT_EQ(cutoffHzOfArgument(argument, scale, unclamped), expected) << argument << " at " << rate;
            }
        }
    }

    // What the tracker calls certain: an argument within its reach of the stored frequency's gives a cutoff within
    // 1 Hz of it, from the bottom to the top of the range, right up to the edge of the reach.
    CutoffScale scale;
    scale.follow(20.0f, 20000.0f, 44100.0f);
    for (double position = 0.0; position <= 1.0; position += 1.0 / 4096.0)
    {
        const double argument = cutoffArgument(position, scale);
        bool unclamped = false;
        const double stored = cutoffHzOfArgument(argument, scale, unclamped);
        CutoffTracker tracker;
        tracker.follow(argument, stored, unclamped);
        if (!unclamped)
            continue;
        for (const double fraction : {-1.0, -0.999999, -0.5, 0.5, 0.999999, 1.0})
        {
            const double nearby = argument + fraction * tracker.referenceReach;
            if (!tracker.certainlyWithinTolerance(nearby))
                continue;
            EXPECT_LE(std::fabs(stored - cutoffHzOfArgument(nearby, scale, unclamped)), 1.0) << position;
        }
    }
}
} // namespace

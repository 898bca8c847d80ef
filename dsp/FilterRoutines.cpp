// The effect's two stereo filter routines: per sample the oscillator moves the cutoff position, the position becomes
// a cutoff in Hz on the logarithmic axis of "Filter Freq", each section redesigns when its cutoff moved by more than
// 1 Hz, and the left and right samples run through it.
//
// The loops give the bits of the plain per-sample form (oscillator read, position, exp, compare and redesign, two
// Direct Form I steps) and do less work for them: a steady cutoff is designed once per block; a modulated one is
// worked out a chunk ahead (oscillator values, exp arguments, which samples redesign and their designs), and exp runs
// only where its result can change what is heard; the filter state stays in locals, both channels of a section in
// one register, and is written back once per block.

#include "effect/FilterEffect.h"

#include "dsp/SectionPlanner.h"
#include "dsp/StereoSection.h"
#include "parameters/FrequencyParameter.h"

#include <cmath>

// ---------------------------------------------------------------------------------------------------------------------
// Cutoff

const CutoffScale& FilterEffect::currentCutoffScale() noexcept
{
    cutoffScaleCache.follow(filterFrequency->getMinimum(), filterFrequency->getMaximum(), processingRate);
    return cutoffScaleCache;
}

double FilterEffect::modulatedPosition(double position, double lfoValue) const noexcept
{
    const double depth = lfoAmount * lfoValue;
    if (lfoDirection == kDirectionUp)
        return position + (1.0 - position) * depth; // towards the top of the range
    return position - position * depth;             // towards the bottom
}

// ---------------------------------------------------------------------------------------------------------------------
// Single mode

void FilterEffect::filterSingle(float* left, float* right, int32_t frames) noexcept
{
    if (frames <= 0)
        return;
    if (lfoAmount > 0.0)
        filterSingleModulated(left, right, frames);
    else
        filterSingleSteady(left, right, frames);
}

void FilterEffect::filterSingleSteady(float* left, float* right, int32_t frames) noexcept
{
    lfo.skip(frames); // the oscillator runs on, unheard
    // The same cutoff at every sample: only the first update can redesign.
    primaryBiquad.update(filterType, primarySteady.hzAt(cutoffPosition, currentCutoffScale()), resonance);
    const SteadyCoefficients c(primaryBiquad);
    SectionState section(primaryBiquad);
    for (int32_t i = 0; i < frames; ++i)
    {
        const DoublePair x = DoublePair::fromFloats(left + i, right + i);
        section.step(c.b0, c.b1, c.b2, c.a1, c.a2, x).storeFloats(left + i, right + i);
    }
    section.finish();
}

void FilterEffect::filterSingleModulated(float* left, float* right, int32_t frames) noexcept
{
    const CutoffScale& scale = currentCutoffScale();
    double values[kChunkFrames];
    double arguments[kChunkFrames];
    ChunkCoefficients coefficients;

    lfo.nextBlock(values, 1);
    arguments[0] = cutoffArgument(modulatedPosition(cutoffPosition, values[0]), scale);
    SectionPlanner planner(primaryBiquad, filterType, resonance, arguments[0], scale, primaryTracker);
    SectionState section(primaryBiquad);

    for (int32_t start = 0; start < frames; start += kChunkFrames)
    {
        // The modulation a chunk ahead: oscillator values, exp arguments, designs; then the filter loop.
        const int32_t count = frames - start < kChunkFrames ? frames - start : kChunkFrames;
        const int32_t from = start == 0 ? 1 : 0; // the block's first sample is already decided
        lfo.nextBlock(values + from, count - from);
        for (int32_t i = from; i < count; ++i)
            arguments[i] = cutoffArgument(modulatedPosition(cutoffPosition, values[i]), scale);
        planner.plan(arguments, from, count, coefficients);

        float* l = left + start;
        float* r = right + start;
        for (int32_t i = 0; i < count; ++i)
            section.step(coefficients, i, DoublePair::fromFloats(l + i, r + i)).storeFloats(l + i, r + i);
    }
    section.finish();
    planner.finish();
}

// ---------------------------------------------------------------------------------------------------------------------
// Dual mode: one knob, the low-pass sweeps the lower half of the position range, the high-pass the upper half

namespace
{
/// Output of one dual-mode frame from both sections' results, with the crossfade in single precision from the
/// section heard before to the one heard now.
inline void selectDual(DoublePair low, DoublePair high, bool lowHeard, int32_t& crossfadeCounter,
                       int32_t crossfadeLength, float* left, float* right) noexcept
{
    if (crossfadeCounter > 0)
    {
        float lowLeft, lowRight, highLeft, highRight;
        low.storeFloats(&lowLeft, &lowRight);
        high.storeFloats(&highLeft, &highRight);
        --crossfadeCounter;
        const float t = static_cast<float>(crossfadeCounter) / static_cast<float>(crossfadeLength);
        const float u = 1.0f - t;
        const float heardLeft = lowHeard ? lowLeft : highLeft;
        const float heardRight = lowHeard ? lowRight : highRight;
        const float fadingLeft = lowHeard ? highLeft : lowLeft;
        const float fadingRight = lowHeard ? highRight : lowRight;
        *left = u * heardLeft + t * fadingLeft;
        *right = u * heardRight + t * fadingRight;
    }
    else
    {
        (lowHeard ? low : high).storeFloats(left, right);
    }
}
} // namespace

void FilterEffect::filterDual(float* left, float* right, int32_t frames) noexcept
{
    if (frames <= 0)
        return;
    if (lfoAmount > 0.0)
        filterDualModulated(left, right, frames);
    else
        filterDualSteady(left, right, frames);
}

void FilterEffect::filterDualSteady(float* left, float* right, int32_t frames) noexcept
{
    lfo.skip(frames);
    const CutoffScale& scale = currentCutoffScale();
    primaryBiquad.update(LowPass, primarySteady.hzAt(cutoffPosition * 2.0, scale), resonance);
    secondaryBiquad.update(HighPass, secondarySteady.hzAt((cutoffPosition - 0.5) * 2.0, scale), resonance);
    const SteadyCoefficients lc(primaryBiquad);
    const SteadyCoefficients hc(secondaryBiquad);
    SectionState low(primaryBiquad);
    SectionState high(secondaryBiquad);
    const bool lowHeard = cutoffPosition <= 0.5;
    int32_t counter = crossfadeCounter;
    for (int32_t i = 0; i < frames; ++i)
    {
        const DoublePair x = DoublePair::fromFloats(left + i, right + i);
        DoublePair lowY = low.unguardedStep(lc.b0, lc.b1, lc.b2, lc.a1, lc.a2, x);
        DoublePair highY = high.unguardedStep(hc.b0, hc.b1, hc.b2, hc.a1, hc.a2, x);
        guardBoth(low, lowY, high, highY);
        selectDual(lowY, highY, lowHeard, counter, crossfadeLength, left + i, right + i);
    }
    crossfadeCounter = counter;
    low.finish();
    high.finish();
}

void FilterEffect::filterDualModulated(float* left, float* right, int32_t frames) noexcept
{
    const CutoffScale& scale = currentCutoffScale();
    const double lowPosition = cutoffPosition * 2.0;
    const double highPosition = (cutoffPosition - 0.5) * 2.0;
    double values[kChunkFrames];
    double lowArguments[kChunkFrames];
    double highArguments[kChunkFrames];
    ChunkCoefficients lowCoefficients;
    ChunkCoefficients highCoefficients;

    lfo.nextBlock(values, 1);
    lowArguments[0] = cutoffArgument(modulatedPosition(lowPosition, values[0]), scale);
    highArguments[0] = cutoffArgument(modulatedPosition(highPosition, values[0]), scale);
    SectionPlanner lowPlanner(primaryBiquad, LowPass, resonance, lowArguments[0], scale, primaryTracker);
    SectionPlanner highPlanner(secondaryBiquad, HighPass, resonance, highArguments[0], scale, secondaryTracker);
    SectionState low(primaryBiquad);
    SectionState high(secondaryBiquad);
    const bool lowHeard = cutoffPosition <= 0.5;
    int32_t counter = crossfadeCounter;

    for (int32_t start = 0; start < frames; start += kChunkFrames)
    {
        const int32_t count = frames - start < kChunkFrames ? frames - start : kChunkFrames;
        const int32_t from = start == 0 ? 1 : 0;
        lfo.nextBlock(values + from, count - from);
        for (int32_t i = from; i < count; ++i)
        {
            lowArguments[i] = cutoffArgument(modulatedPosition(lowPosition, values[i]), scale);
            highArguments[i] = cutoffArgument(modulatedPosition(highPosition, values[i]), scale);
        }
        lowPlanner.plan(lowArguments, from, count, lowCoefficients);
        highPlanner.plan(highArguments, from, count, highCoefficients);

        float* l = left + start;
        float* r = right + start;
        for (int32_t i = 0; i < count; ++i)
        {
            const DoublePair x = DoublePair::fromFloats(l + i, r + i);
            DoublePair lowY = low.unguardedStep(lowCoefficients, i, x);
            DoublePair highY = high.unguardedStep(highCoefficients, i, x);
            guardBoth(low, lowY, high, highY);
            selectDual(lowY, highY, lowHeard, counter, crossfadeLength, l + i, r + i);
        }
    }
    crossfadeCounter = counter;
    low.finish();
    high.finish();
    lowPlanner.finish();
    highPlanner.finish();
}

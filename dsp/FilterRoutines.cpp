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

#include "dsp/DoublePair.h"
#include "parameters/FrequencyParameter.h"

#include <cmath>

namespace
{
constexpr int32_t kChunkFrames = 32; // samples whose modulation is computed ahead of the filter loop

/// Coefficients of a section for each sample of a chunk, both lanes alike, as the filter loop reads them.
struct ChunkCoefficients
{
    DoublePair b0[kChunkFrames];
    DoublePair b1[kChunkFrames];
    DoublePair b2[kChunkFrames];
    DoublePair a1[kChunkFrames];
    DoublePair a2[kChunkFrames];
};

/// One section's filter history as locals for the block: both channels in one pair (left first).
class SectionState
{
public:
    explicit SectionState(Biquad& biquad) noexcept : section(biquad)
    {
        const double* h = section.historyValues(); // left y1, y2, x1, x2, then right
        y1 = DoublePair::of(h[0], h[4]);
        y2 = DoublePair::of(h[1], h[5]);
        x1 = DoublePair::of(h[2], h[6]);
        x2 = DoublePair::of(h[3], h[7]);
    }

    /// Biquad::process on both channels, with the per-sample guard of Biquad::kOutputLimit.
    DoublePair step(DoublePair b0, DoublePair b1, DoublePair b2, DoublePair a1, DoublePair a2, DoublePair x) noexcept
    {
        const DoublePair y = unguardedStep(b0, b1, b2, a1, a2, x);
        return y.bothWithin(Biquad::kOutputLimit) ? y : silenced();
    }
    /// The Direct Form I step alone; the caller applies the guard (guarded) before the result is used.
    DoublePair unguardedStep(DoublePair b0, DoublePair b1, DoublePair b2, DoublePair a1, DoublePair a2,
                             DoublePair x) noexcept
    {
        const DoublePair y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
    /// The guard for a result of unguardedStep: y, or +0 with the history cleared when y broke the bound.
    DoublePair guarded(DoublePair y) noexcept { return y.bothWithin(Biquad::kOutputLimit) ? y : silenced(); }
    /// The sample's output and the whole history become +0.
    DoublePair silenced() noexcept
    {
        y1 = y2 = x1 = x2 = DoublePair::broadcast(0.0);
        return y1;
    }
    /// The same with the chunk's coefficients of sample i.
    DoublePair step(const ChunkCoefficients& c, int32_t i, DoublePair x) noexcept
    {
        return step(c.b0[i], c.b1[i], c.b2[i], c.a1[i], c.a2[i], x);
    }
    DoublePair unguardedStep(const ChunkCoefficients& c, int32_t i, DoublePair x) noexcept
    {
        return unguardedStep(c.b0[i], c.b1[i], c.b2[i], c.a1[i], c.a2[i], x);
    }

    /// Writes the history back.
    void finish() noexcept
    {
        double* h = section.historyValues();
        h[0] = y1.first();
        h[1] = y2.first();
        h[2] = x1.first();
        h[3] = x2.first();
        h[4] = y1.second();
        h[5] = y2.second();
        h[6] = x1.second();
        h[7] = x2.second();
    }

private:
    Biquad& section;
    DoublePair y1, y2, x1, x2;
};

/// A section's coefficients, broadcast, for loops with a steady design.
struct SteadyCoefficients
{
    explicit SteadyCoefficients(const Biquad& section) noexcept
    {
        const Biquad::Coefficients c = section.getCoefficients();
        b0 = DoublePair::broadcast(c.b0);
        b1 = DoublePair::broadcast(c.b1);
        b2 = DoublePair::broadcast(c.b2);
        a1 = DoublePair::broadcast(c.a1);
        a2 = DoublePair::broadcast(c.a2);
    }
    DoublePair b0, b1, b2, a1, a2;
};
} // namespace

// ---------------------------------------------------------------------------------------------------------------------
// Cutoff

void CutoffScale::follow(float minimum, float maximum, float rateHz) noexcept
{
    if (generation != 0 && minimum == madeForMinimum && maximum == madeForMaximum && rateHz == madeForRate)
        return;
    madeForMinimum = minimum;
    madeForMaximum = maximum;
    madeForRate = rateHz;
    ++generation;
    if (generation == 0)
        generation = 1;
    minimumHz = minimum;
    maximumHz = maximum;
    lnMinimum = std::log(minimumHz);
    lnSpan = std::log(maximumHz) - lnMinimum;
    // At sample rates below 40816 Hz the top of the range lies above 0.49 of the rate, where the design turns
    // unstable (its w0 passes pi); the cutoff stops there instead. At 44100 Hz and above nothing changes.
    nyquistHz = 0.49 * static_cast<double>(rateHz);
    lowestArgument = lnMinimum - 1e-6;
    highestArgument = std::log(maximumHz) + 1e-6;
    bottomHz = minimumHz > nyquistHz ? nyquistHz : minimumHz;
    topHz = maximumHz > nyquistHz ? nyquistHz : maximumHz;
}

double cutoffHzOfArgument(double argument, const CutoffScale& scale, bool& unclamped) noexcept
{
    unclamped = false;
    if (argument < scale.lowestArgument)
        return scale.bottomHz;
    if (argument > scale.highestArgument)
        return scale.topHz;
    const double e = std::exp(argument);
    double hz = e;
    if (hz > scale.maximumHz)
        hz = scale.maximumHz;
    else if (hz < scale.minimumHz)
        hz = scale.minimumHz;
    if (hz > scale.nyquistHz)
        hz = scale.nyquistHz;
    unclamped = hz == e;
    return hz;
}

double cutoffHz(double position, const CutoffScale& scale) noexcept
{
    bool unclamped = false;
    return cutoffHzOfArgument(cutoffArgument(position, scale), scale, unclamped);
}

double SteadyCutoff::hzAt(double newPosition, const CutoffScale& scale) noexcept
{
    if (!valid || position != newPosition || scaleGeneration != scale.generation)
    {
        valid = true;
        position = newPosition;
        scaleGeneration = scale.generation;
        hz = cutoffHz(newPosition, scale);
    }
    return hz;
}

void CutoffTracker::follow(double argument, double hz, bool unclamped) noexcept
{
    referenceValid = unclamped;
    if (unclamped)
    {
        referenceArgument = argument;
        referenceHz = hz;
        referenceReach = 0.999 / (hz + 1.0);
    }
}

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

namespace
{
/// The first sample of a block: the full compare and redesign of Biquad::update (type, Q and a first design may
/// decide there). Afterwards only the frequency test can fire within the block; the tracker keeps its reference only
/// while the section still holds that frequency.
void startSection(Biquad& section, int32_t type, double argument, double q, const CutoffScale& scale,
                  CutoffTracker& tracker)
{
    bool unclamped = false;
    const double hz = cutoffHzOfArgument(argument, scale, unclamped);
    section.update(type, hz, q);
    const double stored = section.getFrequency();
    if (tracker.scaleGeneration != scale.generation || !(stored == tracker.referenceHz))
        tracker.referenceValid = false;
    if (stored == hz)
        tracker.follow(argument, hz, unclamped);
    tracker.scaleGeneration = scale.generation;
}

/// The compare and redesign of a modulated section for the samples after the block's first, where only the
/// frequency test can fire, worked out a chunk ahead of the filter loop; at the end of the block the last design
/// goes back into the section.
class SectionPlanner
{
public:
    /// After startSection for the block's first sample, whose exp argument was firstArgument.
    SectionPlanner(Biquad& biquad, int32_t passType, double q, double firstArgument, const CutoffScale& axis,
                   CutoffTracker& cutoffTracker) noexcept
        : section(biquad), type(passType), resonance(q), scale(axis), tracker(cutoffTracker),
          storedHz(biquad.getFrequency()), lastArgument(firstArgument), current(biquad.getCoefficients())
    {
        broadcastCurrent();
    }

    /// The coefficients for samples from..count of a chunk with these exp arguments, in three passes that keep the
    /// calls into the maths library apart from the rest: the compare step (exp where needed), the designs of the
    /// samples that redesign (independent of each other, so the processor overlaps them), and the coefficients of
    /// every sample. A sample whose argument equals the previous one's has the same cutoff, which the test has already
    /// passed; one that the tracker knows to be within tolerance needs no exp either. The passes work on locals: the
    /// compiler must assume that a store of a double may change any member.
    void plan(const double* arguments, int32_t from, int32_t count, ChunkCoefficients& out) noexcept
    {
        int32_t redesignAt[kChunkFrames];
        double redesignHz[kChunkFrames];
        int32_t redesigns = 0;
        {
            const CutoffScale axis = scale;
            CutoffTracker known = tracker;
            double stored = storedHz;
            double last = lastArgument;
            for (int32_t i = from; i < count; ++i)
            {
                const double argument = arguments[i];
                if (argument != last && !known.certainlyWithinTolerance(argument))
                {
                    bool unclamped = false;
                    const double hz = cutoffHzOfArgument(argument, axis, unclamped);
                    if (std::fabs(stored - hz) > 1.0)
                    {
                        redesignAt[redesigns] = i;
                        redesignHz[redesigns] = hz;
                        ++redesigns;
                        stored = hz;
                        known.follow(argument, hz, unclamped);
                    }
                }
                last = argument;
            }
            tracker = known;
            storedHz = stored;
            lastArgument = last;
        }

        Biquad::Coefficients designs[kChunkFrames];
        for (int32_t k = 0; k < redesigns; ++k)
            designs[k] = section.passDesign(type, redesignHz[k], resonance);
        if (redesigns > 0)
        {
            current = designs[redesigns - 1];
            redesigned = true;
        }

        DoublePair c0 = b0, c1 = b1, c2 = b2, d1 = a1, d2 = a2;
        int32_t next = 0;
        for (int32_t i = from; i < count; ++i)
        {
            if (next < redesigns && redesignAt[next] == i)
            {
                const Biquad::Coefficients& c = designs[next++];
                c0 = DoublePair::broadcast(c.b0);
                c1 = DoublePair::broadcast(c.b1);
                c2 = DoublePair::broadcast(c.b2);
                d1 = DoublePair::broadcast(c.a1);
                d2 = DoublePair::broadcast(c.a2);
            }
            out.b0[i] = c0;
            out.b1[i] = c1;
            out.b2[i] = c2;
            out.a1[i] = d1;
            out.a2[i] = d2;
        }
        b0 = c0;
        b1 = c1;
        b2 = c2;
        a1 = d1;
        a2 = d2;
    }

    /// Sample 0 of the block runs with the design the section holds after startSection.
    void planFirst(ChunkCoefficients& out) noexcept
    {
        out.b0[0] = b0;
        out.b1[0] = b1;
        out.b2[0] = b2;
        out.a1[0] = a1;
        out.a2[0] = a2;
    }

    void finish() noexcept
    {
        if (redesigned)
            section.adoptPassDesign(current, storedHz);
    }

private:
    void broadcastCurrent() noexcept
    {
        b0 = DoublePair::broadcast(current.b0);
        b1 = DoublePair::broadcast(current.b1);
        b2 = DoublePair::broadcast(current.b2);
        a1 = DoublePair::broadcast(current.a1);
        a2 = DoublePair::broadcast(current.a2);
    }

    Biquad& section;
    const int32_t type;
    const double resonance;
    const CutoffScale& scale;
    CutoffTracker& tracker;
    double storedHz;     // the frequency of the current design
    double lastArgument; // exp argument of the previous sample
    Biquad::Coefficients current;
    bool redesigned = false;
    DoublePair b0, b1, b2, a1, a2; // current, broadcast
};
} // namespace

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
        section.step(c.b0, c.b1, c.b2, c.a1, c.a2, x).storeFloats(left + i, right + i, finalFilterOutput);
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
    startSection(primaryBiquad, filterType, arguments[0], resonance, scale, primaryTracker);
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
        if (from == 1)
            planner.planFirst(coefficients);
        planner.plan(arguments, from, count, coefficients);

        float* l = left + start;
        float* r = right + start;
        for (int32_t i = 0; i < count; ++i)
            section.step(coefficients, i, DoublePair::fromFloats(l + i, r + i)).storeFloats(l + i, r + i, finalFilterOutput);
    }
    section.finish();
    planner.finish();
}

// ---------------------------------------------------------------------------------------------------------------------
// Dual mode: one knob, the low-pass sweeps the lower half of the position range, the high-pass the upper half

namespace
{
/// The per-sample guard of both sections, each on its own, with one test while both are within the bound.
inline void guardBoth(SectionState& low, DoublePair& lowY, SectionState& high, DoublePair& highY) noexcept
{
    if (DoublePair::bothWithin(lowY, highY, Biquad::kOutputLimit))
        return;
    lowY = low.guarded(lowY);
    highY = high.guarded(highY);
}

/// Output of one dual-mode frame from both sections' results, with the crossfade in single precision from the
/// section heard before to the one heard now.
inline void selectDual(DoublePair low, DoublePair high, bool lowHeard, int32_t& crossfadeCounter,
                       int32_t crossfadeLength, bool finiteOnly, float* left, float* right) noexcept
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
        if (finiteOnly)
        {
            zeroNonFiniteFloats(left, 1);
            zeroNonFiniteFloats(right, 1);
        }
    }
    else
    {
        (lowHeard ? low : high).storeFloats(left, right, finiteOnly);
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
        selectDual(lowY, highY, lowHeard, counter, crossfadeLength, finalFilterOutput, left + i, right + i);
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
    startSection(primaryBiquad, LowPass, lowArguments[0], resonance, scale, primaryTracker);
    startSection(secondaryBiquad, HighPass, highArguments[0], resonance, scale, secondaryTracker);
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
        if (from == 1)
        {
            lowPlanner.planFirst(lowCoefficients);
            highPlanner.planFirst(highCoefficients);
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
            selectDual(lowY, highY, lowHeard, counter, crossfadeLength, finalFilterOutput, l + i, r + i);
        }
    }
    crossfadeCounter = counter;
    low.finish();
    high.finish();
    lowPlanner.finish();
    highPlanner.finish();
}

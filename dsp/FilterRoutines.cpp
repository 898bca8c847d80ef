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

/// One section's filter state and coefficients as locals: both channels in one pair (left first).
class SectionLoop
{
public:
    explicit SectionLoop(Biquad& biquad) noexcept : section(biquad)
    {
        const double* h = section.historyValues(); // left y1, y2, x1, x2, then right
        y1 = DoublePair::of(h[0], h[4]);
        y2 = DoublePair::of(h[1], h[5]);
        x1 = DoublePair::of(h[2], h[6]);
        x2 = DoublePair::of(h[3], h[7]);
        use(section.getCoefficients());
        storedHz = section.getFrequency();
    }

    void use(const Biquad::Coefficients& c) noexcept
    {
        b0 = DoublePair::broadcast(c.b0);
        b1 = DoublePair::broadcast(c.b1);
        b2 = DoublePair::broadcast(c.b2);
        a1 = DoublePair::broadcast(c.a1);
        a2 = DoublePair::broadcast(c.a2);
    }

    /// Biquad::process on both channels.
    DoublePair step(DoublePair x) noexcept
    {
        const DoublePair y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }

    /// Writes the history back and, when the loop redesigned, the last design.
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
        if (redesigned)
            section.adoptPassDesign({b0.first(), b1.first(), b2.first(), a1.first(), a2.first()}, storedHz);
    }

    Biquad& section;
    double storedHz;         // the frequency of the current design
    bool redesigned = false; // by the loop, since construction

private:
    DoublePair b0, b1, b2, a1, a2;
    DoublePair y1, y2, x1, x2;
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

/// The compare and redesign of one sample after the block's first, where only the frequency test can fire. A sample
/// whose exp argument equals the previous one's has the same cutoff, which the test has already passed; one that the
/// tracker knows to be within tolerance needs no exp either.
inline void followCutoff(SectionLoop& loop, int32_t type, double q, double argument, const CutoffScale& scale,
                         CutoffTracker& tracker, double& lastArgument) noexcept
{
    if (argument == lastArgument)
        return;
    lastArgument = argument;
    if (tracker.certainlyWithinTolerance(argument))
        return;
    bool unclamped = false;
    const double hz = cutoffHzOfArgument(argument, scale, unclamped);
    if (!(std::fabs(loop.storedHz - hz) > 1.0))
        return;
    loop.use(loop.section.passDesign(type, hz, q));
    loop.storedHz = hz;
    loop.redesigned = true;
    tracker.follow(argument, hz, unclamped);
}
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
    SectionLoop section(primaryBiquad);
    for (int32_t i = 0; i < frames; ++i)
        section.step(DoublePair::fromFloats(left + i, right + i)).storeFloats(left + i, right + i);
    section.finish();
}

void FilterEffect::filterSingleModulated(float* left, float* right, int32_t frames) noexcept
{
    const CutoffScale& scale = currentCutoffScale();
    double values[kChunkFrames];
    double arguments[kChunkFrames];

    lfo.nextBlock(values, 1);
    arguments[0] = cutoffArgument(modulatedPosition(cutoffPosition, values[0]), scale);
    startSection(primaryBiquad, filterType, arguments[0], resonance, scale, primaryTracker);
    SectionLoop section(primaryBiquad);
    double lastArgument = arguments[0];

    for (int32_t start = 0; start < frames; start += kChunkFrames)
    {
        // The modulation a chunk ahead: oscillator values, then exp arguments.
        const int32_t count = frames - start < kChunkFrames ? frames - start : kChunkFrames;
        const int32_t from = start == 0 ? 1 : 0; // the block's first sample is already decided
        lfo.nextBlock(values + from, count - from);
        for (int32_t i = from; i < count; ++i)
            arguments[i] = cutoffArgument(modulatedPosition(cutoffPosition, values[i]), scale);

        float* l = left + start;
        float* r = right + start;
        for (int32_t i = 0; i < count; ++i)
        {
            if (i >= from)
                followCutoff(section, filterType, resonance, arguments[i], scale, primaryTracker, lastArgument);
            section.step(DoublePair::fromFloats(l + i, r + i)).storeFloats(l + i, r + i);
        }
    }
    section.finish();
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
    SectionLoop low(primaryBiquad);
    SectionLoop high(secondaryBiquad);
    const bool lowHeard = cutoffPosition <= 0.5;
    int32_t counter = crossfadeCounter;
    for (int32_t i = 0; i < frames; ++i)
    {
        const DoublePair x = DoublePair::fromFloats(left + i, right + i);
        const DoublePair lowY = low.step(x);
        const DoublePair highY = high.step(x);
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

    lfo.nextBlock(values, 1);
    lowArguments[0] = cutoffArgument(modulatedPosition(lowPosition, values[0]), scale);
    highArguments[0] = cutoffArgument(modulatedPosition(highPosition, values[0]), scale);
    startSection(primaryBiquad, LowPass, lowArguments[0], resonance, scale, primaryTracker);
    startSection(secondaryBiquad, HighPass, highArguments[0], resonance, scale, secondaryTracker);
    SectionLoop low(primaryBiquad);
    SectionLoop high(secondaryBiquad);
    double lastLowArgument = lowArguments[0];
    double lastHighArgument = highArguments[0];
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

        float* l = left + start;
        float* r = right + start;
        for (int32_t i = 0; i < count; ++i)
        {
            if (i >= from)
            {
                followCutoff(low, LowPass, resonance, lowArguments[i], scale, primaryTracker, lastLowArgument);
                followCutoff(high, HighPass, resonance, highArguments[i], scale, secondaryTracker, lastHighArgument);
            }
            const DoublePair x = DoublePair::fromFloats(l + i, r + i);
            const DoublePair lowY = low.step(x);
            const DoublePair highY = high.step(x);
            selectDual(lowY, highY, lowHeard, counter, crossfadeLength, l + i, r + i);
        }
    }
    crossfadeCounter = counter;
    low.finish();
    high.finish();
}

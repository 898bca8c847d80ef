#pragma once
// A stereo section as the effect's filter routines run it for a block: its filter history in locals (both channels
// in one DoublePair), its coefficients broadcast for a steady design or per sample for a chunk of a modulated one,
// and the per-sample output guard of Biquad::kOutputLimit.

#include "dsp/Biquad.h"
#include "dsp/DoublePair.h"

#include <cstdint>

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

/// The per-sample guard of both sections, each on its own, with one test while both are within the bound.
inline void guardBoth(SectionState& low, DoublePair& lowY, SectionState& high, DoublePair& highY) noexcept
{
    if (DoublePair::bothWithin(lowY, highY, Biquad::kOutputLimit))
        return;
    lowY = low.guarded(lowY);
    highY = high.guarded(highY);
}

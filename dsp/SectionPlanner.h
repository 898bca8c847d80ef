#pragma once
// The compare and redesign of a modulated section, worked out a chunk ahead of the filter loop: which samples
// redesign (exp only where its result can matter) and their designs, as coefficients per sample.

#include "dsp/CutoffAxis.h"
#include "dsp/StereoSection.h"

#include <cmath>
#include <cstdint>

/// The compare and redesign of a modulated section over a block, worked out a chunk ahead of the filter loop. The
/// block's first sample takes the full compare and redesign of Biquad::update (type, Q and a first design may decide
/// there); after it only the frequency test can fire. At the end of the block the last design goes back into the
/// section.
class SectionPlanner
{
public:
    /// Decides the block's first sample, whose exp argument is firstArgument.
    SectionPlanner(Biquad& biquad, int32_t passType, double q, double firstArgument, const CutoffScale& axis,
                   CutoffTracker& cutoffTracker) noexcept
        : section(biquad), type(passType), resonance(q), scale(axis), tracker(cutoffTracker),
          lastArgument(firstArgument)
    {
        bool unclamped = false;
        const double hz = cutoffHzOfArgument(firstArgument, scale, unclamped);
        section.update(type, hz, resonance);
        storedHz = section.getFrequency();
        // The tracker keeps its reference only while the section still holds that frequency.
        if (tracker.scaleGeneration != scale.generation || !(storedHz == tracker.referenceHz))
            tracker.referenceValid = false;
        if (storedHz == hz)
            tracker.follow(firstArgument, hz, unclamped);
        tracker.scaleGeneration = scale.generation;
        current = section.getCoefficients();
        broadcastCurrent();
    }

    /// The coefficients for samples from..count of a chunk with these exp arguments (from is 1 in the block's first
    /// chunk, whose sample 0 runs with the first sample's design), in three passes that keep the
    /// calls into the maths library apart from the rest: the compare step (exp where needed), the designs of the
    /// samples that redesign (independent of each other, so the processor overlaps them), and the coefficients of
    /// every sample. A sample whose argument equals the previous one's has the same cutoff, which the test has already
    /// passed; one that the tracker knows to be within tolerance needs no exp either. The passes work on locals: the
    /// compiler must assume that a store of a double may change any member.
    void plan(const double* arguments, int32_t from, int32_t count, ChunkCoefficients& out) noexcept
    {
        if (from == 1)
            store(out, 0, b0, b1, b2, a1, a2);
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
                    if (Biquad::frequencyMovedTooFar(stored, hz))
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
            store(out, i, c0, c1, c2, d1, d2);
        }
        b0 = c0;
        b1 = c1;
        b2 = c2;
        a1 = d1;
        a2 = d2;
    }

    void finish() noexcept
    {
        if (redesigned)
            section.adoptPassDesign(current, storedHz);
    }

private:
    static void store(ChunkCoefficients& out, int32_t i, DoublePair c0, DoublePair c1, DoublePair c2, DoublePair d1,
                      DoublePair d2) noexcept
    {
        out.b0[i] = c0;
        out.b1[i] = c1;
        out.b2[i] = c2;
        out.a1[i] = d1;
        out.a2[i] = d2;
    }
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
    double lastArgument;   // exp argument of the previous sample
    double storedHz = 0.0; // the frequency of the current design
    Biquad::Coefficients current{};
    bool redesigned = false;
    DoublePair b0, b1, b2, a1, a2; // current, broadcast
};

#pragma once

#include "AudioClip.h"

#include <cstdint>
#include <string>

/// A bit-for-bit comparison of two clips: same channel count, frame count and sample rate, and every sample with the
/// same 32-bit pattern (so 0.0 and -0.0 differ, and a NaN equals only the same NaN).
///
/// Optionally every subnormal sample and every zero, of either sign, counts as +0. A host that runs its audio threads
/// with the processor's flush-to-zero mode (as DAWs commonly do) turns every result too small for a normal float into
/// zero, where a host without that mode keeps the subnormal; and a host that sums tracks into a bus turns -0 into +0
/// (+0 + -0 is +0). Only such samples then tell the two renders apart.
class SampleComparison
{
public:
    /// Compares actual with expected; with subnormalsAsZero, a subnormal or zero sample of either sign counts as +0.
    SampleComparison(const AudioClip& expected, const AudioClip& actual, bool subnormalsAsZero);

    /// True when the shapes match and no sample differs (under the subnormal rule chosen).
    bool identical() const { return shapeMatches && differences == 0; }
    /// Number of samples whose bits differ (0 when the shapes do not match).
    int64_t differingSamples() const { return differences; }
    /// Number of samples whose bits differ but which count as equal under the subnormal rule.
    int64_t flushedSamples() const { return flushed; }
    /// One line saying what matched or where the clips first part.
    std::string describe() const;

    /// The delay in frames (1..maxFrames) by which actual is expected delayed: actual starts with that many zero
    /// frames and continues with expected, cut at the clip's end. 0 when there is no such delay.
    static int64_t delayOf(const AudioClip& expected, const AudioClip& actual, int64_t maxFrames,
                           bool subnormalsAsZero);

private:
    bool shapeMatches = false;
    bool subnormalRule = false;
    std::string shapeProblem;
    int channelCount = 0;
    int64_t frameCount = 0;
    int rate = 0;
    int64_t differences = 0;
    int64_t flushed = 0;
    int firstChannel = 0;
    int64_t firstFrame = 0;
    float firstExpected = 0.0f;
    float firstActual = 0.0f;
    double largestDifference = 0.0; // absolute, over the differing samples that are finite in both
};

#pragma once

#include "AudioClip.h"

#include <vector>

/// How a clip's loudness repeats: the short-time RMS level of all channels together in 10 ms hops (the envelope),
/// its mean removed and a Hann window applied, and the frequency at which the envelope's spectrum is strongest.
/// A filter whose cutoff an oscillator sweeps makes the level of noise through it rise and fall once per cycle.
class EnvelopePeriod
{
public:
    /// Analyses clip for envelope frequencies from lowestHz to highestHz (0 < lowestHz < highestHz).
    EnvelopePeriod(const AudioClip& clip, double lowestHz, double highestHz);

    /// Period in seconds of the strongest envelope component; 0 when the clip is shorter than two hops or its level
    /// never changes.
    double strongestPeriodSeconds() const { return strongestHz > 0.0 ? 1.0 / strongestHz : 0.0; }
    /// Magnitude of the strongest component over the median magnitude of the searched range: how clearly the level
    /// repeats at that period rather than wandering at random.
    double prominence() const { return prominenceRatio; }

    static constexpr double kHopSeconds = 0.01;

private:
    /// Magnitude of the windowed envelope's spectrum at hz.
    double magnitudeAt(double hz) const;

    std::vector<double> envelope; // windowed, mean removed
    double envelopeRate = 0.0;    // envelope values per second
    double strongestHz = 0.0;
    double prominenceRatio = 0.0;
};

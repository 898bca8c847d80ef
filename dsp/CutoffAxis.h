#pragma once
// The cutoff of the effect's filter routines: a normalised position on the logarithmic axis of "Filter Freq" turned
// into Hz, f = exp(ln(minimum) + (ln(maximum) - ln(minimum)) * position), clamped to the range and below half the
// sample rate; and what the block loops keep so that they call exp only when its result can matter.

#include <cmath>
#include <cstdint>

/// The axis and the clamps, computed once for a range and a processing rate.
struct CutoffScale
{
    double minimumHz = 0.0;
    double maximumHz = 0.0;
    double lnMinimum = 0.0;
    double lnSpan = 0.0;    // ln(maximum) - ln(minimum)
    double nyquistHz = 0.0; // highest cutoff a section can be designed at: just below half the sample rate
    // exp of an argument below lowestArgument lies certainly below minimumHz (by a millionth, far beyond any rounding
    // of exp), and above highestArgument certainly above maximumHz: the clamped cutoffs are then bottomHz and topHz,
    // without an exp.
    double lowestArgument = 0.0;
    double highestArgument = 0.0;
    double bottomHz = 0.0;
    double topHz = 0.0;
    float madeForMinimum = 0.0f; // the range and rate it was computed from
    float madeForMaximum = 0.0f;
    float madeForRate = 0.0f;
    uint32_t generation = 0; // counts the recomputations; 0: never computed

    /// Computes the scale again when the range or the rate differs from those it was made for.
    void follow(float minimum, float maximum, float rateHz) noexcept;
};

/// The exp argument of a position: ln(minimum) + span * position.
inline double cutoffArgument(double position, const CutoffScale& scale) noexcept
{
    return scale.lnMinimum + scale.lnSpan * position;
}

/// The clamped cutoff in Hz for an exp argument; unclamped tells whether it is exp's result untouched.
inline double cutoffHzOfArgument(double argument, const CutoffScale& scale, bool& unclamped) noexcept
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

/// The clamped cutoff in Hz of a position.
double cutoffHz(double position, const CutoffScale& scale) noexcept;

/// The cutoff of a steady position, computed again only when the position or the scale changed.
struct SteadyCutoff
{
    double hzAt(double position, const CutoffScale& scale) noexcept;

    bool valid = false;
    double position = 0.0;
    double hz = 0.0;
    uint32_t scaleGeneration = 0;
};

/// What a block loop knows about one section's stored frequency between samples and blocks. A section redesigns only
/// when its cutoff moves by more than 1 Hz from the stored frequency; while that frequency is the unclamped exp of
/// referenceArgument, an argument closer to it than referenceReach gives a cutoff within 0.999 Hz of it (exp's own
/// rounding is some 1e-11 Hz at these frequencies), so that sample cannot redesign and needs no exp.
struct CutoffTracker
{
    /// The stored frequency is now hz, found for argument (unclamped: exp's result untouched).
    void follow(double argument, double hz, bool unclamped) noexcept;
    /// True when argument certainly gives a cutoff within 1 Hz of the stored frequency.
    bool certainlyWithinTolerance(double argument) const noexcept
    {
        const double distance = argument - referenceArgument;
        return referenceValid && distance < referenceReach && -distance < referenceReach;
    }

    bool referenceValid = false;
    double referenceArgument = 0.0; // exp argument of the stored frequency
    double referenceHz = 0.0;       // the stored frequency
    double referenceReach = 0.0;    // 0.999 / (referenceHz + 1), in units of the argument
    uint32_t scaleGeneration = 0;   // the scale the reference was found with
};

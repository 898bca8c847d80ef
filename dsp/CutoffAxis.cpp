#include "dsp/CutoffAxis.h"

#include <cmath>

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

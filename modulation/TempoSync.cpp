// The effect's tempo-sync update: once per block the oscillator's rate follows the host's tempo and the "LFO Freq"
// and "LFO Sync" selections, and on blocks where something changed its phase is aligned to the bar.

#include "effect/FilterEffect.h"

#include "dsp/Glide.h"
#include "modulation/NoteLengths.h"

#include <cmath>

namespace
{
constexpr double kPhaseGlide = 0.2;
constexpr double kMinutesPerSecond = 0.016666666666666666;
constexpr int32_t kSteadyRequestInterval = 8; // blocks per time request while nothing changes
constexpr double kDefaultBarLength = 4.0;     // quarter notes
} // namespace

double FilterEffect::syncedLfoRate() const noexcept
{
    const int32_t noteLength = parameters[kLfoFreq]->getIntValue();
    double rate = kNoteLengths[0].cyclesPerQuarterNote;
    if (noteLength > 0 && noteLength < kNoteLengthCount)
        rate = kNoteLengths[noteLength].cyclesPerQuarterNote;

    const int32_t sync = parameters[kLfoSync]->getIntValue();
    if (sync == kSyncDotted || sync == kSyncTriplet)
        rate *= kSyncModes[sync].rateFactor;
    return rate;
}

double FilterEffect::freeLfoRateHz(float positionNormalised) noexcept
{
    const float lnLowest = static_cast<float>(std::log(static_cast<double>(0.01f))); // 0.01 Hz
    const double lnHighest = std::log(24.0);                                         // 24 Hz
    const double lo = lnLowest;
    return std::exp(lo + static_cast<double>(positionNormalised) * (lnHighest - lo));
}

double FilterEffect::barOffset(double positionQuarters, double barStartQuarters, double barLengthQuarters) noexcept
{
    // The same as adding or subtracting whole bars until the distance lies in range, without a loop whose length
    // the host's numbers decide. A position exactly on a later bar line counts as the end of the bar before it.
    const double distance = positionQuarters - barStartQuarters;
    if (!std::isfinite(distance) || !(barLengthQuarters > 0.0))
        return 0.0;
    double offset = std::fmod(distance, barLengthQuarters);
    if (offset < 0.0)
        offset = offset + barLengthQuarters;
    else if (offset == 0.0)
        offset = distance > 0.0 ? barLengthQuarters : 0.0;
    return offset;
}

void FilterEffect::updateLfo() noexcept
{
    if (parameters[kLfoSync]->getIntValue() == kSyncFree)
    {
        lfoRate = freeLfoRateHz(parameters[kLfoFreq]->getValue());
        lfo.setRate(lfoRate);
        return;
    }

    bool changed = false;
    const double rate = syncedLfoRate();
    if (rate != lfoRate)
    {
        lfoRate = rate;
        changed = true;
    }

    const double phaseTarget = plainInRange(kLfoPhase);
    if (lfoPhase != phaseTarget)
    {
        lfoPhase = glide(lfoPhase, phaseTarget, kPhaseGlide);
        changed = true;
    }
    else if (!changed)
    {
        // Counting stops at 0, so blocks without an answer from the host cannot run the count out of range.
        if (syncCountdown > 0)
            --syncCountdown;
        if (syncCountdown > 0)
            return;
    }

    const VstTimeInfo* time = getTimeInfo(kTempoSyncTimeMask);
    if (time == nullptr)
        return;
    const double tempo = time->tempo;             // beats per minute
    const double position = time->ppqPos;         // quarter notes
    const double barStartPos = time->barStartPos; // quarter notes
    const int32_t flags = time->flags;
    const int32_t numerator = time->timeSigNumerator;
    const bool barsValid = (flags & kVstBarsValid) != 0;
    if (!std::isfinite(tempo) || !std::isfinite(position) || (barsValid && !std::isfinite(barStartPos)))
        return;

    const double bps = tempo * kMinutesPerSecond;
    if (bps != beatsPerSecond)
    {
        beatsPerSecond = bps;
        changed = true;
    }
    lfo.setRate(beatsPerSecond * lfoRate);

    // A transport that stands, jumps back or sits at the start re-aligns the phase.
    if (lastPpqPosition >= position || position == 0.0)
        changed = true;
    lastPpqPosition = position;

    if (!changed)
    {
        syncCountdown = kSteadyRequestInterval;
        return;
    }

    syncCountdown = 0;
    double barStart = 0.0;
    double barLength = kDefaultBarLength;
    if (barsValid)
        barStart = barStartPos;
    if ((flags & kVstTimeSigValid) != 0 && numerator > 0)
        barLength = static_cast<double>(numerator); // the numerator counts quarter notes, whatever the denominator

    double offset = 0.0;
    if (barStart != position)
        offset = barOffset(position, barStart, barLength);
    lfo.setPhase(offset * lfoRate + lfoPhase);
}

// The effect's tempo-sync update: once per block the oscillator's rate follows the host's tempo and the "LFO Freq"
// and "LFO Sync" selections, and on blocks where something changed its phase is aligned to the bar.

#include "effect/FilterEffect.h"

#include "dsp/Glide.h"
#include "modulation/TempoLaws.h"

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
    return syncedCyclesPerQuarterNote(parameters[kLfoFreq]->getIntValue(), parameters[kLfoSync]->getIntValue());
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

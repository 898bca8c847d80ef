#include "modulation/TempoLaws.h"

#include "modulation/NoteLengths.h"

#include <cmath>

double syncedCyclesPerQuarterNote(int32_t noteLength, int32_t syncMode) noexcept
{
    double rate = kNoteLengths[0].cyclesPerQuarterNote;
    if (noteLength > 0 && noteLength < kNoteLengthCount)
        rate = kNoteLengths[noteLength].cyclesPerQuarterNote;
    if (syncMode > 0 && syncMode < kSyncModeCount)
        rate *= kSyncModes[syncMode].rateFactor;
    return rate;
}

double freeLfoRateHz(float positionNormalised) noexcept
{
    const float lnLowest = static_cast<float>(std::log(static_cast<double>(kFreeRateLowestHz)));
    const double lnHighest = std::log(kFreeRateHighestHz);
    const double lo = lnLowest;
    return std::exp(lo + static_cast<double>(positionNormalised) * (lnHighest - lo));
}

double barOffset(double positionQuarters, double barStartQuarters, double barLengthQuarters) noexcept
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

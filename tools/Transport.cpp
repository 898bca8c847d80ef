#include "tools/Transport.h"

#include <cmath>

Transport::Transport(const TransportSettings& settingsIn) : settings(settingsIn)
{
}

double Transport::quartersPerBar() const
{
    return settings.numerator * 4.0 / settings.denominator;
}

const VstTimeInfo& Transport::beginBlock(int64_t offsetFrames, bool inPreroll)
{
    const bool rollsNow = !settings.stopped && (!inPreroll || settings.prerollRolling);
    const double offset = rollsNow ? static_cast<double>(offsetFrames) : 0.0;
    const double startSample = settings.startQuarters * 60.0 * settings.sampleRate / settings.tempoBpm;

    double quarters = settings.startQuarters + offset * settings.tempoBpm / (60.0 * settings.sampleRate);
    if (settings.ppqResolution > 0)
        quarters = std::round(quarters * settings.ppqResolution) / settings.ppqResolution;
    const double barLength = quartersPerBar();

    info = VstTimeInfo{};
    info.samplePos = startSample + offset;
    info.sampleRate = settings.sampleRate;
    info.ppqPos = quarters;
    info.tempo = settings.tempoBpm;
    info.barStartPos = std::floor(quarters / barLength) * barLength;
    info.timeSigNumerator = settings.numerator;
    info.timeSigDenominator = settings.denominator;
    info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (rollsNow)
        info.flags |= kVstTransportPlaying;
    if (!answered || rollsNow != wasRolling)
        info.flags |= kVstTransportChanged;
    answered = true;
    wasRolling = rollsNow;
    return info;
}

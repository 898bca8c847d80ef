#include "lv2/TimePosition.h"

#include <cmath>

namespace
{
constexpr double kMaxBeatsPerBar = 1024.0;
constexpr double kMaxBeatUnit = 1024.0;
} // namespace

TimePosition::TimePosition(double sampleRateHz) noexcept : sampleRate(sampleRateHz > 0.0 ? sampleRateHz : 44100.0)
{
}

double TimePosition::beatsNow() const noexcept
{
    // From the last position object, so that rounding does not pile up block after block.
    const double beatsPerFrame = speed * beatsPerMinute / (60.0 * sampleRate);
    return anchorBeats + static_cast<double>(framesSinceAnchor) * beatsPerFrame;
}

double TimePosition::quartersPerBeat() const noexcept
{
    return 4.0 / beatUnit;
}

void TimePosition::apply(const Update& update) noexcept
{
    // Where the running position stands now, in bars and beats of the metre held so far.
    const double beats = beatsNow();
    double bar = std::floor(beats / beatsPerBar);
    double barBeat = beats - bar * beatsPerBar;
    anchorFrame += static_cast<double>(framesSinceAnchor);

    if (update.hasBar && std::isfinite(update.bar))
        bar = update.bar;
    if (update.hasBarBeat && std::isfinite(update.barBeat) && update.barBeat >= 0.0)
        barBeat = update.barBeat;
    if (update.hasBeatsPerBar && update.beatsPerBar > 0.0 && update.beatsPerBar <= kMaxBeatsPerBar)
        beatsPerBar = update.beatsPerBar;
    if (update.hasBeatUnit && update.beatUnit >= 1.0 && update.beatUnit <= kMaxBeatUnit)
        beatUnit = update.beatUnit;
    if (update.hasBeatsPerMinute && std::isfinite(update.beatsPerMinute) && update.beatsPerMinute > 0.0)
        beatsPerMinute = update.beatsPerMinute;
    if (update.hasSpeed && std::isfinite(update.speed))
        speed = update.speed;
    if (update.hasFrame && std::isfinite(update.frame))
        anchorFrame = update.frame;

    anchorBeats = bar * beatsPerBar + barBeat;
    framesSinceAnchor = 0;
}

void TimePosition::advance(int64_t frames) noexcept
{
    if (frames > 0)
        framesSinceAnchor += frames;
}

const VstTimeInfo& TimePosition::timeInfo() noexcept
{
    const double quarters = beatsNow() * quartersPerBeat();
    const double barQuarters = beatsPerBar * quartersPerBeat();
    const bool playing = speed != 0.0;

    info.samplePos = anchorFrame + static_cast<double>(framesSinceAnchor);
    info.sampleRate = sampleRate;
    info.ppqPos = quarters;
    info.tempo = beatsPerMinute * quartersPerBeat(); // quarter notes per minute
    info.barStartPos = std::floor(quarters / barQuarters) * barQuarters;
    info.timeSigDenominator = static_cast<int32_t>(beatUnit);
    info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid;
    // A VST time signature counts whole beats.
    if (beatsPerBar == std::floor(beatsPerBar) && beatUnit == std::floor(beatUnit))
    {
        info.timeSigNumerator = static_cast<int32_t>(beatsPerBar);
        info.flags |= kVstTimeSigValid;
    }
    else
    {
        info.timeSigNumerator = 0;
    }
    if (playing)
        info.flags |= kVstTransportPlaying;
    if (!answered || playing != wasPlaying)
        info.flags |= kVstTransportChanged;
    answered = true;
    wasPlaying = playing;
    return info;
}

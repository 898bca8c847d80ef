#include "clap/ClapTransport.h"

#include <cmath>

void ClapTransport::setSampleRate(double sampleRateHz) noexcept
{
    if (std::isfinite(sampleRateHz) && sampleRateHz > 0.0)
        sampleRate = sampleRateHz;
}

double ClapTransport::quartersAt(int64_t frame) const noexcept
{
    // From the last report, so that rounding does not pile up block after block.
    return anchorQuarters + static_cast<double>(frame - anchorFrame) * speed * tempoQpm / (60.0 * sampleRate);
}

double ClapTransport::quartersPerBar() const noexcept
{
    return static_cast<double>(beatsPerBar) * 4.0 / static_cast<double>(beatUnit);
}

void ClapTransport::take(const clap_event_transport& report, uint32_t atFrame) noexcept
{
    const int64_t frame = static_cast<int64_t>(atFrame);
    double quarters = quartersAt(frame);
    if ((report.flags & CLAP_TRANSPORT_HAS_BEATS_TIMELINE) != 0)
    {
        quarters = static_cast<double>(report.song_pos_beats) / static_cast<double>(CLAP_BEATTIME_FACTOR);
        const double barStart = static_cast<double>(report.bar_start) / static_cast<double>(CLAP_BEATTIME_FACTOR);
        barStartQuarters = barStart <= quarters ? barStart : 0.0;
    }
    if ((report.flags & CLAP_TRANSPORT_HAS_TEMPO) != 0 && std::isfinite(report.tempo) && report.tempo > 0.0)
        tempoQpm = report.tempo;
    if ((report.flags & CLAP_TRANSPORT_HAS_TIME_SIGNATURE) != 0 && report.tsig_num > 0 && report.tsig_denom > 0)
    {
        beatsPerBar = report.tsig_num;
        beatUnit = report.tsig_denom;
    }
    speed = (report.flags & CLAP_TRANSPORT_IS_PLAYING) != 0 ? 1.0 : 0.0;
    anchorQuarters = std::isfinite(quarters) ? quarters : 0.0;
    anchorFrame = frame;
}

void ClapTransport::endBlock(uint32_t frames) noexcept
{
    anchorFrame -= static_cast<int64_t>(frames);
    framesRun += static_cast<int64_t>(frames);
}

VstTimeInfo ClapTransport::timeInfo(uint32_t atFrame) const noexcept
{
    VstTimeInfo info{};
    info.samplePos = static_cast<double>(framesRun + static_cast<int64_t>(atFrame));
    info.sampleRate = sampleRate;
    info.ppqPos = quartersAt(static_cast<int64_t>(atFrame));
    info.tempo = tempoQpm;
    const double barQuarters = quartersPerBar();
    info.barStartPos = barStartQuarters + std::floor((info.ppqPos - barStartQuarters) / barQuarters) * barQuarters;
    info.timeSigNumerator = beatsPerBar;
    info.timeSigDenominator = beatUnit;
    info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    if (speed != 0.0)
        info.flags |= kVstTransportPlaying;
    return info;
}

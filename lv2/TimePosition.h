#pragma once

#include "host/VstInterface.h"

#include <cstdint>

/// The host's musical position as an LV2 host reports it in time:Position objects, kept running between them, and
/// turned into the time information a VST 2.4 host answers to audioMasterGetTime.
///
/// Until the first position arrives the transport plays from bar 0 in 4/4 at 120 BPM. A position object may carry
/// any of its fields; the others keep their values, and the position runs on from where it stood. Between objects the
/// position advances by speed · beatsPerMinute / 60 beats per second.
class TimePosition
{
public:
    /// The fields of one time:Position object; has* says which ones it carried.
    struct Update
    {
        bool hasBar = false;
        double bar = 0.0; // bars since the start
        bool hasBarBeat = false;
        double barBeat = 0.0; // beats since the bar's start
        bool hasBeatsPerBar = false;
        double beatsPerBar = 4.0;
        bool hasBeatUnit = false;
        double beatUnit = 4.0; // note value of a beat: 4 a quarter, 8 an eighth
        bool hasBeatsPerMinute = false;
        double beatsPerMinute = 120.0;
        bool hasSpeed = false;
        double speed = 1.0; // 0 stopped, 1 playing
        bool hasFrame = false;
        double frame = 0.0; // transport position in frames
    };

    explicit TimePosition(double sampleRateHz) noexcept;

    /// Takes over the fields that update carries; values that are not finite, or out of range, are ignored.
    void apply(const Update& update) noexcept;
    /// Moves the position on by frames.
    void advance(int64_t frames) noexcept;

    /// The time information for the current position. kVstTransportChanged is set on the first answer and on the
    /// first after the transport started or stopped.
    const VstTimeInfo& timeInfo() noexcept;

private:
    double beatsNow() const noexcept; // beats since the start, at the current position
    double quartersPerBeat() const noexcept;

    double sampleRate;        // Hz
    double anchorBeats = 0.0; // beats since the start at the last position object
    int64_t framesSinceAnchor = 0;
    double anchorFrame = 0.0; // transport frame at the last position object
    double beatsPerBar = 4.0;
    double beatUnit = 4.0;
    double beatsPerMinute = 120.0;
    double speed = 1.0;
    bool answered = false;   // timeInfo has been called
    bool wasPlaying = false; // at the last answer
    VstTimeInfo info{};
};

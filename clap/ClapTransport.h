#pragma once

#include "clap/ClapAbi.h"
#include "host/VstInterface.h"

#include <cstdint>

/// The host's transport as a CLAP host reports it (at the start of each block, and in transport events inside it),
/// kept running between reports and turned into the time information a VST 2.4 host answers to audioMasterGetTime.
///
/// Until the first report, and when the host has no transport at all, it plays from quarter note 0 in 4/4 at
/// 120 BPM. A report may lack any of its parts (its flags say which it carries) or carry values that cannot be
/// right (a tempo that is not a positive finite number, a time signature with a zero); those keep the values held
/// so far, and the position runs on from where it stood.
class ClapTransport
{
public:
    void setSampleRate(double sampleRateHz) noexcept;
    /// Takes over a report that holds from frame atFrame of the current block on.
    void take(const clap_event_transport& report, uint32_t atFrame) noexcept;
    /// Ends the current block of frames: the next block's frame 0 follows its last frame.
    void endBlock(uint32_t frames) noexcept;
    /// The time information at frame atFrame of the current block.
    VstTimeInfo timeInfo(uint32_t atFrame) const noexcept;

private:
    double quartersAt(int64_t frame) const noexcept;
    double quartersPerBar() const noexcept;

    double sampleRate = 44100.0;   // Hz
    double anchorQuarters = 0.0;   // position at the last report (or the start)
    int64_t anchorFrame = 0;       // frame of the last report, counted from the current block's start
    double barStartQuarters = 0.0; // a bar start the host reported, or 0: bars repeat from it
    double tempoQpm = 120.0;       // quarter notes per minute
    uint16_t beatsPerBar = 4;
    uint16_t beatUnit = 4;
    double speed = 1.0;    // 1 playing, 0 stopped
    int64_t framesRun = 0; // frames since activation, as the transport position the VST record reports
};

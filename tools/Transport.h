#pragma once

#include "host/VstInterface.h"

#include <cstdint>

/// What the transport is set to: tempo, metre, where it starts and how the pre-roll behaves.
struct TransportSettings
{
    double sampleRate = 44100.0; // Hz, the rendered audio's rate
    double tempoBpm = 120.0;     // quarter notes per minute
    int32_t numerator = 4;       // beats per bar
    int32_t denominator = 4;     // note value of a beat
    double startQuarters = 0.0;  // position of the input's first frame, in quarter notes
    bool stopped = false;        // the transport never rolls: the position stays at the start
    bool prerollRolling = false; // the pre-roll rolls towards the start instead of standing at it
    int32_t ppqResolution = 0;   // positions rounded to 1/N quarter note; 0 keeps them exact
};

/// The time information a playing host answers to audioMasterGetTime, block by block.
///
/// Each block has an offset in frames from the input's first frame (negative during a pre-roll). A rolling block
/// stands at startQuarters + offset · tempo / (60 · sampleRate) quarter notes; a standing block (--stopped, or a
/// pre-roll that does not roll) stands at startQuarters. The answer carries the sample position and rate, the
/// position in quarter notes, the tempo, the start of the current bar (whole bars of numerator · 4 / denominator
/// quarter notes, counted from position 0), the time signature, and the flags kVstPpqPosValid, kVstTempoValid,
/// kVstBarsValid and kVstTimeSigValid, with kVstTransportPlaying while rolling and kVstTransportChanged on the first
/// block and on the first block after the transport starts or stops.
class Transport
{
public:
    explicit Transport(const TransportSettings& settings);

    /// Prepares and returns the answer for the block at offsetFrames from the input's first frame.
    const VstTimeInfo& beginBlock(int64_t offsetFrames, bool inPreroll);
    const VstTimeInfo& timeInfo() const { return info; }
    bool rolling() const { return (info.flags & kVstTransportPlaying) != 0; }

    double quartersPerBar() const;

private:
    TransportSettings settings;
    VstTimeInfo info{};
    bool answered = false;   // a block has been answered
    bool wasRolling = false; // the previous block rolled
};

#pragma once
// The oscillator's rate and phase laws, apart from the effect that applies them once per block.

#include <cstdint>

/// The free oscillator rate's range (Hz); the lowest is kept in single precision, as the range of a parameter is.
constexpr float kFreeRateLowestHz = 0.01f;
constexpr double kFreeRateHighestHz = 24.0;

/// Oscillator cycles per quarter note for an "LFO Freq" entry and an "LFO Sync" entry (other than "Free").
double syncedCyclesPerQuarterNote(int32_t noteLength, int32_t syncMode) noexcept;
/// The free oscillator rate in Hz for a normalised "LFO Freq" position: 0.01 Hz at 0 to 24 Hz at 1, logarithmic.
double freeLfoRateHz(float positionNormalised) noexcept;
/// Distance (quarter notes) from the last bar start to position, reduced into (0, barLength] for positions
/// after the bar start and [0, barLength) before it.
double barOffset(double positionQuarters, double barStartQuarters, double barLengthQuarters) noexcept;

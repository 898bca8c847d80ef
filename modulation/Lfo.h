#pragma once

#include <cstdint>

/// Wavetable oscillator that moves the filter cutoff. One cycle of the selected shape lives in a table of 256
/// doubles, stored unipolar (0..1). A 32-bit phase accumulator runs through it: 2^32 is one cycle, the top 8 bits
/// select the entry and the low 24 bits interpolate linearly towards the next one.
class Lfo
{
public:
    static constexpr int kTableSize = 256;

    /// Starts at phase 0 with the table of shape 0 and a rate of 0.25 Hz.
    explicit Lfo(float sampleRateHz) noexcept;
    virtual ~Lfo() = default;

    /// Rebuilds the table for shape 0..4 (0 sine, 1 triangle, 2 rising ramp, 3 trapezoid square, 4 exponential);
    /// any other index leaves the table as it is.
    void setShape(int32_t shape) noexcept;
    /// Sets the rate in Hz: increment = trunc(hz * 2^32 / sampleRate), low 32 bits kept.
    void setRate(double hz) noexcept;
    /// Sets the phase to a position in cycles; only p - floor(p) counts, a non-finite position gives phase 0.
    void setPhase(double positionCycles) noexcept;
    /// Uses a new sample rate and recomputes the increment for the last rate given; the phase is kept.
    void setSampleRate(float sampleRateHz) noexcept;

    /// The interpolated table value (0..1) at the current phase; then advances the phase by one increment.
    double next() noexcept
    {
        const uint32_t index = phase >> 24;                               // top 8 bits: one of 256 entries
        const double fraction = (phase & 0xFFFFFFu) * (1.0 / 16777216.0); // low 24 bits: position between entries
        const double value = (1.0 - fraction) * table[index] + fraction * table[(index + 1) & 0xFFu];
        phase += increment; // wraps modulo 2^32
        return value;
    }

    /// count values of next() into values, in order.
    void nextBlock(double* values, int32_t count) noexcept
    {
        uint32_t at = phase;
        for (int32_t i = 0; i < count; ++i)
        {
            const uint32_t index = at >> 24;
            const double fraction = (at & 0xFFFFFFu) * (1.0 / 16777216.0);
            values[i] = (1.0 - fraction) * table[index] + fraction * table[(index + 1) & 0xFFu];
            at += increment;
        }
        phase = at;
    }
    /// Advances the phase as count calls of next() would, for values nobody reads.
    void skip(int32_t count) noexcept
    {
        if (count > 0)
            phase += increment * static_cast<uint32_t>(count); // modulo 2^32, like count single steps
    }

    uint32_t getPhase() const noexcept { return phase; }
    uint32_t getIncrement() const noexcept { return increment; }
    float getSampleRate() const noexcept { return sampleRate; }
    double getRate() const noexcept { return rateHz; }
    double tableEntry(int index) const noexcept { return table[index & 0xFF]; }

private:
    void buildTable(int32_t shape) noexcept;
    /// Phase step per sample for a rate in Hz at the current sample rate.
    uint32_t incrementFor(double hz) const noexcept;

    float sampleRate;              // Hz
    uint32_t phase = 0;            // 2^32 = one cycle
    bool bipolar = false;          // false: tables are mapped from -1..1 to 0..1
    uint32_t increment = 0;        // phase step per sample
    double table[kTableSize] = {}; // one cycle of the current shape
    double rateHz = 0.25;          // last rate given to setRate
};

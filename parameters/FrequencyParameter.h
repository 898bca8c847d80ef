#pragma once

#include "parameters/Parameter.h"

/// "Filter Freq": a frequency in Hz on a logarithmic scale, 20 Hz at normalised 0 to 20000 Hz at 1
/// (plain = 20 * 1000^value, in single precision, clamped to the range). Label "Hz", default 20000 Hz.
class FrequencyParameter : public Parameter
{
public:
    static constexpr float kLowestHz = 20.0f;
    static constexpr float kHighestHz = 20000.0f;
    static constexpr float kDefaultHz = 20000.0f;

    FrequencyParameter() noexcept;

    void setValue(float x) noexcept override;
    float getPlainValue() const noexcept override;
    int32_t getIntValue() const noexcept override;

    /// Sets a new range in Hz and re-derives the plain value from the stored normalised value.
    virtual void setRange(float newMinimumHz, float newMaximumHz) noexcept;
    /// maximum - minimum, in Hz
    virtual float getRange() const noexcept;
    virtual float getMinimum() const noexcept;
    virtual float getMaximum() const noexcept;

protected:
    float minimum = kLowestHz;  // Hz
    float maximum = kHighestHz; // Hz
};

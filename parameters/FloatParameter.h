#pragma once

#include "parameters/Parameter.h"

/// A parameter whose plain value is linear in the normalised value: plain = (maximum - minimum) * value + minimum,
/// in single precision, not clamped.
class FloatParameter : public Parameter
{
public:
    /// minimum and maximum must differ; the normalised value starts at the one that gives defaultValue.
    FloatParameter(const char* name, const char* label, float minimum, float maximum, float defaultValue) noexcept;

    void setValue(float x) noexcept override;
    float getPlainValue() const noexcept override;
    int32_t getIntValue() const noexcept override;

    /// Sets a new range and re-derives the plain value from the stored normalised value.
    virtual void setRange(float newMinimum, float newMaximum) noexcept;
    /// maximum - minimum
    virtual float getRange() const noexcept;
    virtual float getMinimum() const noexcept;
    virtual float getMaximum() const noexcept;

protected:
    float minimum = 0.0f; // plain value at normalised 0
    float maximum = 1.0f; // plain value at normalised 1
};

#include "parameters/FloatParameter.h"

FloatParameter::FloatParameter(const char* nameText, const char* labelText, float minimumValue, float maximumValue,
                               float defaultValue) noexcept
    : Parameter(nameText, labelText), minimum(minimumValue), maximum(maximumValue)
{
    const float normalised = (defaultValue - minimum) / (maximum - minimum);
    value.store(normalised, std::memory_order_relaxed);
    plainValue.store(normalised * (maximum - minimum) + minimum, std::memory_order_relaxed);
}

void FloatParameter::setValue(float x) noexcept
{
    value.store(x, std::memory_order_relaxed);
    plainValue.store((maximum - minimum) * x + minimum, std::memory_order_relaxed);
}

float FloatParameter::getPlainValue() const noexcept
{
    return plainValue.load(std::memory_order_relaxed);
}

int32_t FloatParameter::getIntValue() const noexcept
{
    return roundHalfUp(plainValue.load(std::memory_order_relaxed));
}

void FloatParameter::setRange(float newMinimum, float newMaximum) noexcept
{
    minimum = newMinimum;
    maximum = newMaximum;
    setValue(value.load(std::memory_order_relaxed));
}

float FloatParameter::getRange() const noexcept
{
    return maximum - minimum;
}

float FloatParameter::getMinimum() const noexcept
{
    return minimum;
}

float FloatParameter::getMaximum() const noexcept
{
    return maximum;
}

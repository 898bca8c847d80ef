#include "parameters/FrequencyParameter.h"

#include <cmath>

namespace
{
/// Natural logarithm computed in double and rounded to single precision.
float logToFloat(float x) noexcept
{
    return static_cast<float>(std::log(static_cast<double>(x)));
}
} // namespace

FrequencyParameter::FrequencyParameter() noexcept : Parameter("Filter Freq", "Hz")
{
    // The inverse of the logarithmic law gives exactly 1 for the default of 20000 Hz; the law itself then gives
    // 19999.992 Hz in single precision, which lies inside the range and stays as it is.
    const float lnMinimum = logToFloat(minimum);
    const float lnMaximum = logToFloat(maximum);
    const float lnDefault = logToFloat(kDefaultHz);
    FrequencyParameter::setValue((lnDefault - lnMinimum) / (lnMaximum - lnMinimum));
}

void FrequencyParameter::setValue(float x) noexcept
{
    const float lnMinimum = logToFloat(minimum);
    const float lnMaximum = logToFloat(maximum);
    const float exponent = (lnMaximum - lnMinimum) * x + lnMinimum;
    float hz = static_cast<float>(std::exp(static_cast<double>(exponent)));
    if (minimum > hz)
        hz = minimum;
    if (hz > maximum)
        hz = maximum;
    value.store(x, std::memory_order_relaxed);
    plainValue.store(hz, std::memory_order_relaxed);
}

float FrequencyParameter::getPlainValue() const noexcept
{
    return plainValue.load(std::memory_order_relaxed);
}

int32_t FrequencyParameter::getIntValue() const noexcept
{
    return roundHalfUp(plainValue.load(std::memory_order_relaxed));
}

void FrequencyParameter::setRange(float newMinimumHz, float newMaximumHz) noexcept
{
    minimum = newMinimumHz;
    maximum = newMaximumHz;
    setValue(value.load(std::memory_order_relaxed));
}

float FrequencyParameter::getRange() const noexcept
{
    return maximum - minimum;
}

float FrequencyParameter::getMinimum() const noexcept
{
    return minimum;
}

float FrequencyParameter::getMaximum() const noexcept
{
    return maximum;
}

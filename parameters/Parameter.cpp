#include "parameters/Parameter.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/NumberConversion.h"

Parameter::Parameter(const char* nameText, const char* labelText) noexcept
{
    copyText(name, nameText);
    copyText(label, labelText);
}

void Parameter::setValue(float x) noexcept
{
    value.store(x, std::memory_order_relaxed);
    plainValue.store(x, std::memory_order_relaxed);
}

float Parameter::getValue() const noexcept
{
    return value.load(std::memory_order_relaxed);
}

void Parameter::getName(char* text) const noexcept
{
    copyText(text, name);
}

void Parameter::getDisplay(char* text) const noexcept
{
    formatValue(plainValue.load(std::memory_order_relaxed), text);
}

void Parameter::getLabel(char* text) const noexcept
{
    copyText(text, label);
}

float Parameter::getPlainValue() const noexcept
{
    return value.load(std::memory_order_relaxed);
}

int32_t Parameter::getIntValue() const noexcept
{
    return roundHalfUp(value.load(std::memory_order_relaxed));
}

void Parameter::setPlainValue(float v) noexcept
{
    plainValue.store(v, std::memory_order_relaxed);
}

void Parameter::copyText(char* destination, const char* source) noexcept
{
    // Copying 23 bytes and zeroing the 24th gives the same bytes as copying 24 and then zeroing the 24th, but the
    // terminator is never overwritten, even for a moment, while a reader on another thread looks at the text.
    // A missing source counts as the empty text.
    const char* const text = source != nullptr ? source : "";
    const size_t length = strnlen(text, kTextSize - 1);
    std::memcpy(destination, text, length);
    std::memset(destination + length, 0, kTextSize - length);
}

void Parameter::formatValue(float v, char* text) noexcept
{
    // The bands compare the magnitude in double; the signed value is what is printed. NaN fails every comparison and
    // lands in the last band. Every band fits the 24 bytes: "%g" of any float is at most 12 characters, and the
    // fixed-point bands only see magnitudes below 1000000.
    const double plain = v;
    const double magnitude = std::fabs(plain);
    if (magnitude >= 1000000.0)
        std::snprintf(text, kTextSize, "%g", plain);
    else if (magnitude >= 1000.0)
        std::snprintf(text, kTextSize, "%.0f", plain);
    else if (magnitude >= 100.0)
        std::snprintf(text, kTextSize, "%.1f", plain);
    else
        std::snprintf(text, kTextSize, "%.2f", plain);
}

int32_t Parameter::roundHalfUp(float v) noexcept
{
    // The sum is rounded to single precision before the floor, so the largest float below 0.5 becomes 1.0f and
    // rounds to 1.
    const float sum = v + 0.5f;
    return truncateToInt32(std::floor(sum));
}

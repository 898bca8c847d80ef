#pragma once

#include <atomic>
#include <cstdint>

/// A host-automatable setting: keeps the host's normalised value (nominally 0..1, stored unclamped), derives a plain
/// value in the parameter's unit from it, and produces the name, unit label and display text a host shows.
/// The normalised value and the derived values are written by host threads and read once per block by the audio
/// thread; each is an atomic 32-bit value stored whole with relaxed order.
class Parameter
{
public:
    static constexpr int kTextSize = 24; ///< bytes of a name, label, entry name or display text, terminator included

    /// name and label are kept by the 24-byte rule (at most 23 characters); value and plain value start at 0.
    Parameter(const char* name, const char* label) noexcept;
    virtual ~Parameter() = default;

    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    /// Stores the normalised value x unchanged and derives the plain value (here: the same number).
    virtual void setValue(float x) noexcept;
    /// The normalised value exactly as last set.
    virtual float getValue() const noexcept;
    /// Writes the name into text: exactly 24 bytes.
    virtual void getName(char* text) const noexcept;
    /// Writes the display text of the plain value into text: at most 24 bytes, terminator included.
    virtual void getDisplay(char* text) const noexcept;
    /// Writes the unit label into text: exactly 24 bytes.
    virtual void getLabel(char* text) const noexcept;
    /// The value in the parameter's own unit.
    virtual float getPlainValue() const noexcept;
    /// The plain value rounded half up to an integer.
    virtual int32_t getIntValue() const noexcept;
    /// Overwrites the plain value; the normalised value is unchanged.
    virtual void setPlainValue(float v) noexcept;

    /// The 24-byte text rule: copies at most 24 bytes of source, fills the rest with zero bytes, then zeroes byte 23.
    static void copyText(char* destination, const char* source) noexcept;
    /// Display text of a plain value: "%g" from 1000000, "%.0f" from 1000, "%.1f" from 100, "%.2f" below (by
    /// magnitude); at most 24 bytes, terminator included.
    static void formatValue(float v, char* text) noexcept;
    /// floor(v + 0.5) with the addition in single precision, as a signed 32-bit integer (ties go up).
    static int32_t roundHalfUp(float v) noexcept;

protected:
    std::atomic<float> value{0.0f};      // normalised, as last set
    std::atomic<float> plainValue{0.0f}; // in the parameter's unit
    char name[kTextSize] = {};
    char label[kTextSize] = {};
};

#pragma once

#include "parameters/Parameter.h"

/// A parameter that selects one of up to 128 named entries: entry k covers the normalised values from k/n up to,
/// not including, (k + 1)/n (the last entry also takes 1 and above, entry 0 everything below 0 and NaN).
/// Its display text is the selected entry's name.
class ChoiceParameter : public Parameter
{
public:
    static constexpr int32_t kMaxEntries = 128;

    /// count entries (1..128) named by entryNames; the normalised value starts at defaultIndex / count.
    ChoiceParameter(const char* name, const char* label, int32_t count, const char* const* entryNames,
                    int32_t defaultIndex) noexcept;

    void setValue(float x) noexcept override;
    void getDisplay(char* text) const noexcept override;
    float getPlainValue() const noexcept override;
    int32_t getIntValue() const noexcept override;
    void setPlainValue(float v) noexcept override;

    /// Replaces the entry count and names and re-derives the selection from the stored normalised value.
    virtual void setEntries(int32_t count, const char* const* entryNames) noexcept;
    /// Replaces the name of entry index (0..127).
    virtual void setEntryName(int32_t index, const char* text) noexcept;
    /// Stores count (clamped to 0..128) integers as the entries' values; returns how many were stored.
    virtual int32_t setEntryValues(int32_t count, const int32_t* values) noexcept;
    /// The integer value of the selected entry.
    virtual int32_t getEntryValue() const noexcept;

    /// The selection rule: the entry that the normalised value x selects among count entries.
    static int32_t selectEntry(int32_t count, float x) noexcept;

protected:
    int32_t entryCount = 1;
    char entryNames[kMaxEntries][kTextSize] = {};
    std::atomic<int32_t> selectedIndex{0};
    int32_t entryValues[kMaxEntries] = {};
};

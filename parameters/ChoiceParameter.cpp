#include "parameters/ChoiceParameter.h"

#include <cstring>

#include "host/NumberConversion.h"

namespace
{
/// count clamped to lowest..128, the capacity of the entry arrays.
int32_t clampCount(int32_t count, int32_t lowest) noexcept
{
    if (count < lowest)
        return lowest;
    if (count > ChoiceParameter::kMaxEntries)
        return ChoiceParameter::kMaxEntries;
    return count;
}

/// The i-th text of a list that may be missing; a missing list or text counts as the empty text.
const char* textAt(const char* const* texts, int32_t i) noexcept
{
    return texts != nullptr ? texts[i] : nullptr;
}
} // namespace

ChoiceParameter::ChoiceParameter(const char* nameText, const char* labelText, int32_t count,
                                 const char* const* entryNameTexts, int32_t defaultIndex) noexcept
    : Parameter(nameText, labelText), entryCount(clampCount(count, 1))
{
    // A count below 1 still leaves one entry, named "", but no name is read from the caller's list for it.
    const int32_t namesGiven = clampCount(count, 0);
    for (int32_t i = 0; i < namesGiven; ++i)
        copyText(entryNames[i], textAt(entryNameTexts, i));
    for (int32_t i = 0; i < entryCount; ++i)
        entryValues[i] = 0;
    const float normalised = static_cast<float>(defaultIndex) / static_cast<float>(entryCount);
    value.store(normalised, std::memory_order_relaxed);
    selectedIndex.store(selectEntry(entryCount, normalised), std::memory_order_relaxed);
}

void ChoiceParameter::setValue(float x) noexcept
{
    value.store(x, std::memory_order_relaxed);
    selectedIndex.store(selectEntry(entryCount, x), std::memory_order_relaxed);
}

void ChoiceParameter::getDisplay(char* text) const noexcept
{
    // The entry name and its terminator: at most 24 bytes.
    const char* entry = entryNames[selectedIndex.load(std::memory_order_relaxed)];
    const size_t length = strnlen(entry, kTextSize - 1);
    std::memcpy(text, entry, length);
    text[length] = '\0';
}

float ChoiceParameter::getPlainValue() const noexcept
{
    return static_cast<float>(selectedIndex.load(std::memory_order_relaxed));
}

int32_t ChoiceParameter::getIntValue() const noexcept
{
    return selectedIndex.load(std::memory_order_relaxed);
}

void ChoiceParameter::setPlainValue(float v) noexcept
{
    plainValue.store(v, std::memory_order_relaxed);
}

void ChoiceParameter::setEntries(int32_t count, const char* const* entryNameTexts) noexcept
{
    const int32_t namesGiven = clampCount(count, 0);
    for (int32_t i = 0; i < namesGiven; ++i)
        copyText(entryNames[i], textAt(entryNameTexts, i));
    entryCount = clampCount(count, 1);
    setValue(value.load(std::memory_order_relaxed));
}

void ChoiceParameter::setEntryName(int32_t index, const char* text) noexcept
{
    if (index < 0 || index >= kMaxEntries)
        return;
    copyText(entryNames[index], text);
}

int32_t ChoiceParameter::setEntryValues(int32_t count, const int32_t* values) noexcept
{
    if (values == nullptr)
        return 0;
    const int32_t stored = clampCount(count, 0);
    for (int32_t i = 0; i < stored; ++i)
        entryValues[i] = values[i];
    return stored;
}

int32_t ChoiceParameter::getEntryValue() const noexcept
{
    return entryValues[selectedIndex.load(std::memory_order_relaxed)];
}

int32_t ChoiceParameter::selectEntry(int32_t count, float x) noexcept
{
    // Truncation toward zero, not rounding: entry k covers k/n up to, not including, (k + 1)/n. The saturating
    // conversion sends NaN to entry 0, +inf and huge values to the last entry, -inf to entry 0.
    if (count < 1)
        return 0;
    const float position = static_cast<float>(count) * x;
    const int32_t k = truncateToInt32(position);
    if (k < 0)
        return 0;
    if (k > count - 1)
        return count - 1;
    return k;
}

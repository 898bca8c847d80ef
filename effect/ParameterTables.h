#pragma once
// The effect's parameters as data: names, ranges, defaults and entries. The effect builds its parameters from these
// tables, and the LV2 front end describes its ports from them, so that no plug-in format's description can drift.

#include "effect/FilterEffect.h"
#include "modulation/NoteLengths.h"

#include <cstdint>
#include <iterator>

/// A float parameter of the effect: where it lives, what it is called, its range and its default plain value.
struct FloatParameterEntry
{
    int32_t index;
    const char* name;
    float minimum;
    float maximum;
    float defaultValue;
};

inline constexpr FloatParameterEntry kFloatParameterEntries[] = {
    {FilterEffect::kPreSaturation, "Pre Saturation", 0.0f, 1.0f, 0.0f},
    {FilterEffect::kFilterReso, "Filter Reso", 1.0f, 4.0f, 1.0f},
    {FilterEffect::kLfoAmount, "LFO Amount", 0.0f, 1.0f, 0.0f},
    {FilterEffect::kLfoPhase, "LFO Phase", 0.0f, 1.0f, 0.0f},
    {FilterEffect::kPostSaturation, "Post Saturation", 0.0f, 1.0f, 0.0f},
    {FilterEffect::kMix, "Mix", 0.0f, 1.0f, 1.0f},
};

inline constexpr const char* kFilterTypeNames[] = {"Low Pass", "High Pass", "Dual LP/HP"};
inline constexpr const char* kLfoDirectionNames[] = {"Down", "Up"};
// Entry 0 plays the oscillator's shape 0 (a sine) and entry 1 its shape 1 (a triangle), whatever the names say.
inline constexpr const char* kLfoShapeNames[] = {"Triangle", "Sinus", "Sawtooth", "Square", "Exponent"};

/// A choice parameter of the effect: where it lives, what it is called, how many entries it has and which is the
/// default; choiceEntryName() names the entries.
struct ChoiceParameterEntry
{
    int32_t index;
    const char* name;
    int32_t entryCount;
    int32_t defaultEntry;
};

inline constexpr ChoiceParameterEntry kChoiceParameterEntries[] = {
    {FilterEffect::kFilterType, "Filter Type", static_cast<int32_t>(std::size(kFilterTypeNames)),
     FilterEffect::kTypeLowPass},
    {FilterEffect::kLfoFreq, "LFO Freq", kNoteLengthCount, kDefaultNoteLength},
    {FilterEffect::kLfoSync, "LFO Sync", kSyncModeCount, FilterEffect::kSyncWhole},
    {FilterEffect::kLfoDirection, "LFO Direction", static_cast<int32_t>(std::size(kLfoDirectionNames)),
     FilterEffect::kDirectionDown},
    {FilterEffect::kLfoShape, "LFO Shape", static_cast<int32_t>(std::size(kLfoShapeNames)), 0},
};

/// The name of entry (0 .. entryCount - 1) of the choice parameter with index parameter.
constexpr const char* choiceEntryName(int32_t parameter, int32_t entry) noexcept
{
    switch (parameter)
    {
    case FilterEffect::kFilterType:
        return kFilterTypeNames[entry];
    case FilterEffect::kLfoFreq:
        return kNoteLengths[entry].name;
    case FilterEffect::kLfoSync:
        return kSyncModes[entry].name;
    case FilterEffect::kLfoDirection:
        return kLfoDirectionNames[entry];
    default:
        return kLfoShapeNames[entry];
    }
}

/// The table entry of the float parameter with index parameter (one of kFloatParameterEntries).
constexpr const FloatParameterEntry& floatParameterEntry(int32_t parameter) noexcept
{
    for (const FloatParameterEntry& entry : kFloatParameterEntries)
        if (entry.index == parameter)
            return entry;
    return kFloatParameterEntries[0];
}

/// The table entry of the choice parameter with index parameter (one of kChoiceParameterEntries).
constexpr const ChoiceParameterEntry& choiceParameterEntry(int32_t parameter) noexcept
{
    for (const ChoiceParameterEntry& entry : kChoiceParameterEntries)
        if (entry.index == parameter)
            return entry;
    return kChoiceParameterEntries[0];
}

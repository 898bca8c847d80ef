#pragma once
// The factory presets: starting points that every front end offers (the render tool's --preset, the LV2 bundle's
// preset files, which the build writes from this table).

#include "effect/FilterEffect.h"

#include <cstdint>

/// One factory preset: its name and the normalised value (0..1) of every parameter, in parameter order. A choice's
/// value is the centre of its entry's span, (k + 0.5) / n.
struct FactoryPreset
{
    const char* name;
    float normalisedValues[FilterEffect::kNumParameters];
};

extern const FactoryPreset kFactoryPresets[];
extern const int32_t kFactoryPresetCount;

/// The preset called exactly name, or null.
const FactoryPreset* findFactoryPreset(const char* name) noexcept;

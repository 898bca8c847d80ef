#include "effect/FactoryPresets.h"

#include <cstring>
#include <iterator>

namespace
{
// Choice entries at the centre of their spans, (k + 0.5) / n.
constexpr float kLowPass = 0.5f / 3.0f;
constexpr float kHighPass = 1.5f / 3.0f;
constexpr float kDual = 2.5f / 3.0f;
constexpr float kSixteenthBar = 0.05f; // "LFO Freq" entries, ten of them
constexpr float kEighthBar = 0.15f;
constexpr float kQuarterBar = 0.25f;
constexpr float kOneBar = 0.45f;
constexpr float kTwoBars = 0.55f;
constexpr float kFourBars = 0.65f;
constexpr float kWhole = 0.125f; // "LFO Sync"
constexpr float kDotted = 0.375f;
constexpr float kTriplet = 0.625f;
constexpr float kFree = 0.875f;
constexpr float kDown = 0.25f; // "LFO Direction"
constexpr float kUp = 0.75f;
constexpr float kShapeSine = 0.1f; // "LFO Shape" entry 0 plays a sine, entry 1 a triangle (FilterEffect.cpp)
constexpr float kShapeTriangle = 0.3f;
constexpr float kShapeSawtooth = 0.5f;
constexpr float kShapeSquare = 0.7f;

// "Filter Freq" positions on its logarithmic 20 Hz..20 kHz axis: ln(f / 20) / ln(1000).
constexpr float k200Hz = 0.333333f;
constexpr float k300Hz = 0.392030f;
constexpr float k600Hz = 0.492374f;
constexpr float k1500Hz = 0.625020f;
constexpr float k2000Hz = 0.666667f;
constexpr float k3000Hz = 0.725364f;
constexpr float k5000Hz = 0.799313f;
constexpr float k8000Hz = 0.867353f;
constexpr float kKnobCentre = 0.5f; // Dual LP/HP: both sections open

constexpr float kRate0_25Hz = 0.413566f; // "LFO Freq" in Free mode: ln(hz / 0.01) / ln(2400)
} // namespace

// Filter Reso values are ones that a plain value of 1..4 gives back exactly, so that the LV2 presets written from
// this table (in plain port values) set the same parameters.
// Columns: Pre Saturation, Filter Type, Filter Freq, Filter Reso (0 = 1, 1 = 4), LFO Amount, LFO Freq, LFO Sync,
// LFO Direction, LFO Shape, LFO Phase, Post Saturation, Mix.
const FactoryPreset kFactoryPresets[] = {
    {"Slow Filter Sweep",
     {0.0f, kLowPass, k5000Hz, 0.4f, 0.8f, kFourBars, kWhole, kDown, kShapeSine, 0.0f, 0.0f, 1.0f}},
    {"Synced Wobble",
     {0.0f, kLowPass, k3000Hz, 0.5f, 0.85f, kEighthBar, kWhole, kDown, kShapeTriangle, 0.0f, 0.0f, 1.0f}},
    {"Saturated Low Pass", {0.9f, kLowPass, k600Hz, 0.5f, 0.0f, kOneBar, kWhole, kDown, kShapeSine, 0.0f, 0.7f, 0.5f}},
    {"DJ Filter Centre", {0.0f, kDual, kKnobCentre, 0.2f, 0.0f, kOneBar, kWhole, kDown, kShapeSine, 0.0f, 0.0f, 1.0f}},
    {"Gentle High Pass", {0.0f, kHighPass, k200Hz, 0.2f, 0.0f, kOneBar, kWhole, kDown, kShapeSine, 0.0f, 0.0f, 1.0f}},
    {"Resonant Low Pass", {0.0f, kLowPass, k1500Hz, 0.8f, 0.0f, kOneBar, kWhole, kDown, kShapeSine, 0.0f, 0.0f, 1.0f}},
    {"Warm Drive", {0.5f, kLowPass, k8000Hz, 0.2f, 0.0f, kOneBar, kWhole, kDown, kShapeSine, 0.0f, 0.3f, 1.0f}},
    {"Triplet Gate",
     {0.0f, kLowPass, k5000Hz, 0.25f, 1.0f, kEighthBar, kTriplet, kDown, kShapeSquare, 0.0f, 0.0f, 1.0f}},
    {"Dotted Rising Saw",
     {0.0f, kHighPass, k300Hz, 0.4f, 0.6f, kQuarterBar, kDotted, kUp, kShapeSawtooth, 0.0f, 0.0f, 1.0f}},
    {"Free Drift", {0.0f, kLowPass, k2000Hz, 0.25f, 0.5f, kRate0_25Hz, kFree, kDown, kShapeSine, 0.0f, 0.0f, 1.0f}},
    {"Dual Sweep", {0.0f, kDual, kKnobCentre, 0.25f, 0.6f, kTwoBars, kWhole, kDown, kShapeTriangle, 0.0f, 0.0f, 1.0f}},
    {"Sixteenth Flutter",
     {0.2f, kLowPass, k3000Hz, 0.25f, 0.4f, kSixteenthBar, kWhole, kDown, kShapeSine, 0.25f, 0.0f, 0.8f}},
};
const int32_t kFactoryPresetCount = static_cast<int32_t>(std::size(kFactoryPresets));

const FactoryPreset* findFactoryPreset(const char* name) noexcept
{
    if (name == nullptr)
        return nullptr;
    for (const FactoryPreset& preset : kFactoryPresets)
        if (std::strcmp(preset.name, name) == 0)
            return &preset;
    return nullptr;
}

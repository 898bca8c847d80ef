#include "effect/FactoryPresets.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

// Every preset is found by its exact name and by nothing else, and holds a value the parameters accept.
TEST(FactoryPresetsTest, EachPresetIsFoundByItsExactNameAndHoldsNormalisedValues)
{
    ASSERT_GE(kFactoryPresetCount, 8);
    ASSERT_LE(kFactoryPresetCount, 12);
    std::set<std::string> names;
    for (int32_t p = 0; p < kFactoryPresetCount; ++p)
    {
        const FactoryPreset& preset = kFactoryPresets[p];
        EXPECT_TRUE(names.insert(preset.name).second) << "two presets are called " << preset.name;
        EXPECT_EQ(findFactoryPreset(preset.name), &preset);
        EXPECT_EQ(findFactoryPreset((std::string(preset.name) + " ").c_str()), nullptr);
        for (int32_t i = 0; i < FilterEffect::kNumParameters; ++i)
            EXPECT_TRUE(preset.normalisedValues[i] >= 0.0f && preset.normalisedValues[i] <= 1.0f)
                << preset.name << ", parameter " << i;
    }
    EXPECT_EQ(findFactoryPreset("Default"), nullptr);
    EXPECT_EQ(findFactoryPreset(nullptr), nullptr);
}

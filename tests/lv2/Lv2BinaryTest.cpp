// The bundle's binary loaded as an LV2 host loads it (dlopen, lv2_descriptor), without lilv, so that it runs in every
// build (the 32-bit one too) and under an emulator: it renders every differential case and compares with the VST
// plug-in driven through its record.

#include "Lv2Scenarios.h"
#include "lv2/PortTable.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

namespace
{

using LV2DescriptorFunction = const LV2_Descriptor* (*)(uint32_t);

class Lv2Library
{
public:
    Lv2Library() : library(dlopen(TESSALOOM_LV2_BINARY_PATH, RTLD_NOW | RTLD_LOCAL))
    {
        if (library != nullptr)
            entry = reinterpret_cast<LV2DescriptorFunction>(dlsym(library, "lv2_descriptor"));
    }
    ~Lv2Library()
    {
        if (library != nullptr)
            dlclose(library);
    }
    void* library;
    LV2DescriptorFunction entry = nullptr;
};

} // namespace

TEST(Lv2BinaryTest, OneDescriptorThatRendersLikeTheVstPlugin)
{
    Lv2Library lib;
    ASSERT_NE(lib.library, nullptr) << dlerror();
    ASSERT_NE(lib.entry, nullptr) << "lv2_descriptor is not exported";
    const LV2_Descriptor* descriptor = lib.entry(0);
    ASSERT_NE(descriptor, nullptr);
    EXPECT_STREQ(descriptor->URI, PortTable::kPluginUri);
    EXPECT_EQ(lib.entry(1), nullptr);
    EXPECT_EQ(descriptor->instantiate(descriptor, 0.0, TESSALOOM_LV2_BUNDLE_PATH, nullptr), nullptr)
        << "a sample rate of 0 must be refused";

    const auto scenarios = Lv2Scenarios::differentialScenarios();
    for (size_t i = 0; i < scenarios.size(); ++i)
    {
        const Lv2Scenarios::Scenario& scenario = scenarios[i];
        if (!Lv2Scenarios::settingsAtBlockStarts(scenario))
            continue; // control ports change at block starts only
        const Lv2Scenarios::Stereo input = Lv2Scenarios::scenarioInput(scenario);
        std::string error;
        const Lv2Scenarios::Stereo expected = Lv2Scenarios::renderVst(scenario, input, TESSALOOM_PLUGIN_PATH, error);
        ASSERT_TRUE(error.empty()) << error;
        ASSERT_TRUE(Lv2Scenarios::isProcessed(expected, input)) << scenario.name;

        // Every case with the host's features; the first one (no position events) also without any, as lv2apply
        // instantiates.
        for (const bool withFeatures : {true, false})
        {
            if (!withFeatures && !scenario.events.empty())
                continue;
            Lv2Scenarios::Lv2Host host(scenario, withFeatures);
            LV2_Handle handle =
                descriptor->instantiate(descriptor, scenario.sampleRate, TESSALOOM_LV2_BUNDLE_PATH, host.features());
            ASSERT_NE(handle, nullptr) << scenario.name;
            const Lv2Scenarios::Stereo rendered = host.render(descriptor, handle, input);
            descriptor->cleanup(handle);
            EXPECT_EQ(Lv2Scenarios::firstDifference(rendered, expected), "")
                << scenario.name << (withFeatures ? "" : " (no features)");
        }
    }
}

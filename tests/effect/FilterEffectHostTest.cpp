// What a host sees of the effect when it loads the built library through its exported entry point: the record,
// identity, program name, parameter names, labels, defaults and display texts.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace
{
constexpr int32_t kFilterType = 1;
constexpr int32_t kFilterFreq = 2;
constexpr int32_t kLfoFreq = 5;
constexpr int32_t kLfoSync = 6;

class FilterEffectHostTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(host.isLoaded()) << host.loadError();
        effect = host.create();
        ASSERT_NE(effect, nullptr);
    }

    std::string display(int32_t index) { return host.dispatchText(effGetParamDisplay, index); }

    TestHost host;
    AEffect* effect = nullptr;
};

TEST_F(FilterEffectHostTest, RecordRightAfterCreation)
{
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numInputs, 2);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, 16);
    EXPECT_EQ(effect->uniqueID, 0x57727978); // 'Wryx'
    EXPECT_EQ(effect->uniqueID, fourCharCode('W', 'r', 'y', 'x'));
    EXPECT_EQ(effect->numPrograms, 1);
    EXPECT_EQ(effect->numParams, 12);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    // Creation asked for the host's version only.
    EXPECT_EQ(host.callCount(audioMasterVersion), 1u);
    EXPECT_EQ(host.calls().size(), 1u);
}

TEST_F(FilterEffectHostTest, Identity)
{
    EXPECT_EQ(host.dispatchText(effGetEffectName), "Tessaloom");
    EXPECT_EQ(host.dispatchText(effGetVendorString), "Vornmark");
    EXPECT_EQ(host.dispatchText(effGetProductString), "Tessaloom");
    EXPECT_EQ(host.dispatch(effGetVendorVersion), 1001);
    char text[80] = {};
    EXPECT_EQ(host.dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_EQ(host.dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_EQ(host.dispatch(effGetProductString, 0, 0, text), 1);
    // The defaults a host sees where the effect keeps the base's answers.
    EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(host.dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(host.dispatch(effCanBeAutomated, 3), 1);
}

TEST_F(FilterEffectHostTest, ProgramName)
{
    EXPECT_EQ(host.dispatchText(effGetProgramName), "Default");
    char name[] = "A program name of 30 letters!!"; // 30 characters
    ASSERT_EQ(std::strlen(name), 30u);
    host.dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(host.dispatchText(effGetProgramName), "A program name of 30 let");

    char buffer[40];
    std::memset(buffer, 'x', sizeof(buffer));
    host.dispatch(effGetProgramName, 0, 0, buffer);
    EXPECT_EQ(buffer[24], '\0');
    EXPECT_EQ(buffer[25], 'x'); // 24 characters and a terminator, nothing more
}

TEST_F(FilterEffectHostTest, ParameterNamesLabelsAndDefaults)
{
    const struct
    {
        const char* name;
        const char* label;
        float value;
        const char* display;
    } expected[12] = {
        {"Pre Saturation", "", 0.0f, "0.00"},  {"Filter Type", "", 0.0f, "Low Pass"},
        {"Filter Freq", "Hz", 1.0f, " 20000"}, {"Filter Reso", "", 0.0f, "1.00"},
        {"LFO Amount", "", 0.0f, "0.00"},      {"LFO Freq", "", 0.4f, "1 bar"},
        {"LFO Sync", "", 0.0f, "Whole"},       {"LFO Direction", "", 0.0f, "Down"},
        {"LFO Shape", "", 0.0f, "Triangle"},   {"LFO Phase", "", 0.0f, "0.00"},
        {"Post Saturation", "", 0.0f, "0.00"}, {"Mix", "", 1.0f, "1.00"},
    };
    for (int32_t i = 0; i < 12; ++i)
    {
        EXPECT_EQ(host.dispatchText(effGetParamName, i), expected[i].name) << i;
        EXPECT_EQ(host.dispatchText(effGetParamLabel, i), expected[i].label) << i;
        EXPECT_EQ(host.getParameter(i), expected[i].value) << i;
        EXPECT_EQ(display(i), expected[i].display) << i;
    }
}

TEST_F(FilterEffectHostTest, ParameterValuesComeBackAsWritten)
{
    host.setParameter(kFilterType, 0.7f);
    EXPECT_EQ(host.getParameter(kFilterType), 0.7f);
    EXPECT_EQ(display(kFilterType), "Dual LP/HP");
    host.setParameter(3, 0.5f);
    EXPECT_EQ(display(3), "2.50");
    host.setParameter(3, std::nanf(""));
    EXPECT_EQ(host.getParameter(3), 0.5f);
    host.setParameter(12, 0.5f);
    EXPECT_EQ(host.getParameter(12), 0.0f);
    EXPECT_EQ(host.dispatchText(effGetParamName, 12), "");
}

TEST_F(FilterEffectHostTest, CutoffDisplay)
{
    const struct
    {
        float type;
        float position;
        const char* text;
    } cases[] = {
        {0.0f, 1.0f, " 20000"},  {0.0f, 0.0f, " 20"},      {0.0f, 0.5f, " 633"},    {0.5f, 0.5f, " 633"},
        {0.5f, 0.0f, " 20"},     {1.0f, 0.0f, "LP 20"},    {1.0f, 0.25f, "LP 633"}, {1.0f, 0.5f, "LP 20000"},
        {1.0f, 0.75f, "HP 633"}, {1.0f, 1.0f, "HP 20000"},
    };
    for (const auto& c : cases)
    {
        host.setParameter(kFilterType, c.type);
        host.setParameter(kFilterFreq, c.position);
        EXPECT_EQ(display(kFilterFreq), c.text) << "type " << c.type << " position " << c.position;
    }
}

TEST_F(FilterEffectHostTest, LfoFreqDisplaySyncedAndFree)
{
    const char* entries[10] = {"1/16 bar", "1/8 bar", "1/4 bar", "1/2 bar", "1 bar",
                               "2 bars",   "4 bars",  "8 bars",  "16 bars", "32 bars"};
    for (int entry = 0; entry < 10; ++entry)
    {
        host.setParameter(kLfoFreq, (entry + 0.5f) / 10.0f);
        EXPECT_EQ(display(kLfoFreq), entries[entry]);
    }
    host.setParameter(kLfoSync, 1.0f); // "Free"
    EXPECT_EQ(display(kLfoSync), "Free");
    const struct
    {
        float position;
        const char* text;
    } cases[] = {{0.0f, "0.01 Hz"}, {0.4f, "0.22 Hz"}, {0.5f, "0.49 Hz"}, {1.0f, "24.00 Hz"}};
    for (const auto& c : cases)
    {
        host.setParameter(kLfoFreq, c.position);
        EXPECT_EQ(display(kLfoFreq), c.text) << c.position;
    }
}

TEST_F(FilterEffectHostTest, DisplayTextsStayWithin24Bytes)
{
    host.setParameter(kFilterFreq, 50.0f);
    host.setParameter(kLfoSync, 1.0f);
    host.setParameter(kLfoFreq, 45.0f);
    for (int32_t index : {kFilterFreq, kLfoFreq})
    {
        char buffer[256];
        std::memset(buffer, 'x', sizeof(buffer));
        host.dispatch(effGetParamDisplay, index, 0, buffer);
        EXPECT_LT(std::strlen(buffer), 24u) << index;
        EXPECT_EQ(buffer[24], 'x') << index;
    }
}

TEST_F(FilterEffectHostTest, CloseAnswersOne)
{
    EXPECT_EQ(host.close(), 1);
    EXPECT_EQ(host.effect(), nullptr);
}
} // namespace

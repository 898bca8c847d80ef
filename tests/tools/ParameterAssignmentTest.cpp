// --set and --automate values checked against the plug-in's parameter names and entries.

#include "tools/ParameterAssignment.h"
#include "tools/ToolError.h"

#include <gtest/gtest.h>

#include <string>

namespace
{

// A catalogue as probing the plug-in gives it: three of its parameters.
ParameterCatalogue someParameters()
{
    ParameterInfo freq;
    freq.index = 2;
    freq.name = "Filter Freq";
    freq.label = "Hz";
    ParameterInfo sync;
    sync.index = 6;
    sync.name = "LFO Sync";
    sync.entries = {{"Whole", 0.0f}, {"Dotted", 0.25f}, {"Triplet", 0.5f}, {"Free", 0.75f}};
    ParameterInfo mix;
    mix.index = 11;
    mix.name = "Mix";
    return ParameterCatalogue({freq, sync, mix});
}

// The message of the usage error that parsing text throws; fails the test when nothing is thrown.
std::string usageError(const std::string& text, bool automation = false)
{
    const ParameterCatalogue catalogue = someParameters();
    try
    {
        if (automation)
            ParameterAssignment::parseAutomation(text, catalogue);
        else
            ParameterAssignment::parseSet(text, catalogue);
    }
    catch (const ToolError& error)
    {
        EXPECT_EQ(error.exitStatus(), ToolError::kUsage);
        return error.what();
    }
    ADD_FAILURE() << "\"" << text << "\" was accepted";
    return std::string();
}

} // namespace

TEST(ParameterAssignmentTest, NormalisedValuesAndEntries)
{
    const ParameterCatalogue catalogue = someParameters();
    const ParameterAssignment freq = ParameterAssignment::parseSet("Filter Freq=0.3", catalogue);
    EXPECT_EQ(freq.index(), 2);
    EXPECT_EQ(freq.name(), "Filter Freq");
    EXPECT_FALSE(freq.automated());
    EXPECT_EQ(freq.valueAt(0.0), 0.3f);
    EXPECT_EQ(freq.valueAt(100.0), 0.3f);

    // Names and entries ignore case and surrounding spaces.
    const ParameterAssignment sync = ParameterAssignment::parseSet(" lfo sync = dotted ", catalogue);
    EXPECT_EQ(sync.index(), 6);
    EXPECT_EQ(sync.valueAt(0.0), 0.25f);
    EXPECT_EQ(ParameterAssignment::parseSet("LFO Sync=80%", catalogue).valueAt(0.0), 0.8f);
    EXPECT_EQ(ParameterAssignment::parseSet("LFO Sync=1", catalogue).valueAt(0.0), 0.25f); // entry 1 by its number
    EXPECT_EQ(ParameterAssignment::parseSet("Mix=1", catalogue).valueAt(0.0), 1.0f);
    EXPECT_EQ(ParameterAssignment::parseSet("Mix=0", catalogue).valueAt(0.0), 0.0f);
}

TEST(ParameterAssignmentTest, ErrorsListWhatIsValid)
{
    const std::string unknown = usageError("Filter Frequency=0.3");
    EXPECT_NE(unknown.find("unknown parameter \"Filter Frequency\""), std::string::npos) << unknown;
    EXPECT_NE(unknown.find("\"Filter Freq\", \"LFO Sync\", \"Mix\""), std::string::npos) << unknown;

    const std::string entry = usageError("LFO Sync=Dot");
    EXPECT_NE(entry.find("no entry \"Dot\""), std::string::npos) << entry;
    EXPECT_NE(entry.find("\"Whole\", \"Dotted\", \"Triplet\", \"Free\""), std::string::npos) << entry;

    EXPECT_NE(usageError("Mix=1.5").find("from 0 to 1"), std::string::npos);
    EXPECT_NE(usageError("Mix=-0.1").find("from 0 to 1"), std::string::npos);
    EXPECT_NE(usageError("Mix=loud").find("normalised value"), std::string::npos);
    EXPECT_NE(usageError("Mix=nan").find("normalised value"), std::string::npos);
    EXPECT_NE(usageError("Mix").find("NAME=VALUE"), std::string::npos);
    EXPECT_NE(usageError("Mix=").find("normalised value"), std::string::npos);
}

TEST(ParameterAssignmentTest, FrequenciesWaitForTheLaw)
{
    const ParameterCatalogue catalogue = someParameters();
    ParameterAssignment freq = ParameterAssignment::parseSet("Filter Freq=1.2 kHz", catalogue);
    ASSERT_TRUE(freq.needsFrequencyScale());
    EXPECT_EQ(freq.points()[0].hz, 1200.0);
    EXPECT_EQ(freq.points()[0].prefix, "");
    const auto scale = FrequencyScale::fromDisplays(" 20", " 633", " 20000", "Hz");
    ASSERT_TRUE(scale);
    freq.resolveFrequencies(&*scale);
    EXPECT_FALSE(freq.needsFrequencyScale());
    EXPECT_EQ(freq.valueAt(0.0), scale->normalisedFor("", 1200.0, "Filter Freq"));

    ParameterAssignment half = ParameterAssignment::parseSet("Filter Freq=HP 800Hz", catalogue);
    EXPECT_EQ(half.points()[0].prefix, "HP");
    EXPECT_EQ(half.points()[0].hz, 800.0);

    ParameterAssignment mix = ParameterAssignment::parseSet("Mix=100Hz", catalogue);
    try
    {
        mix.resolveFrequencies(nullptr);
        FAIL() << "a frequency for a parameter without one was accepted";
    }
    catch (const ToolError& error)
    {
        EXPECT_EQ(error.exitStatus(), ToolError::kUsage);
        EXPECT_NE(std::string(error.what()).find("\"Mix\" shows no frequency"), std::string::npos);
    }
}

TEST(ParameterAssignmentTest, AutomationRampsLinearlyBetweenPoints)
{
    const ParameterCatalogue catalogue = someParameters();
    const ParameterAssignment ramp = ParameterAssignment::parseAutomation("Mix=1s:0.2,3s:0.6", catalogue);
    EXPECT_TRUE(ramp.automated());
    ASSERT_EQ(ramp.points().size(), 2u);
    EXPECT_EQ(ramp.valueAt(-0.5), 0.2f); // pre-roll: the first value
    EXPECT_EQ(ramp.valueAt(0.0), 0.2f);
    EXPECT_EQ(ramp.valueAt(1.0), 0.2f);
    const double v0 = 0.2f;
    const double v1 = 0.6f;
    EXPECT_EQ(ramp.valueAt(2.0), static_cast<float>(v0 + (v1 - v0) * 1.0 / 2.0));
    EXPECT_EQ(ramp.valueAt(2.5), static_cast<float>(v0 + (v1 - v0) * 1.5 / 2.0));
    EXPECT_EQ(ramp.valueAt(3.0), 0.6f);
    EXPECT_EQ(ramp.valueAt(60.0), 0.6f);
}

TEST(ParameterAssignmentTest, AutomationTimesUnitsStepsAndEntries)
{
    const ParameterCatalogue catalogue = someParameters();
    // Milliseconds and plain seconds; two points at one time make a step.
    const ParameterAssignment steps =
        ParameterAssignment::parseAutomation("Mix=0:0, 500ms:0, 0.5s:1, 2:0.5", catalogue);
    ASSERT_EQ(steps.points().size(), 4u);
    EXPECT_EQ(steps.points()[1].seconds, 0.5);
    EXPECT_EQ(steps.valueAt(0.4999), 0.0f);
    EXPECT_EQ(steps.valueAt(0.5), 1.0f);
    EXPECT_EQ(steps.valueAt(1.25), 0.75f);
    const ParameterAssignment entries = ParameterAssignment::parseAutomation("LFO Sync=0s:Whole,4s:Free", catalogue);
    EXPECT_EQ(entries.valueAt(2.0), 0.375f);
    EXPECT_EQ(entries.valueAt(4.0), 0.75f);
}

TEST(ParameterAssignmentTest, AutomationErrors)
{
    EXPECT_NE(usageError("Mix=2s:0.5,1s:0.2", true).find("must not go back"), std::string::npos);
    EXPECT_NE(usageError("Mix=0.5", true).find("TIME:VALUE"), std::string::npos);
    EXPECT_NE(usageError("Mix=-1s:0.5", true).find("TIME:VALUE"), std::string::npos);
    EXPECT_NE(usageError("Mix=0s:0.5,", true).find("TIME:VALUE"), std::string::npos);
    EXPECT_NE(usageError("Mix=xs:0.5", true).find("TIME:VALUE"), std::string::npos);
    EXPECT_NE(usageError("Mix=0s:2", true).find("from 0 to 1"), std::string::npos);
    EXPECT_NE(usageError("Tempo=0s:1", true).find("unknown parameter"), std::string::npos);
}

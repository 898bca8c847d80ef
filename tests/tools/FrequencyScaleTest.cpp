// The frequency law learnt from display texts, and frequencies mapped to knob positions.

#include "tools/FrequencyScale.h"
#include "tools/ToolError.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(FrequencyScaleTest, DisplayTextsTakenApart)
{
    const auto plain = FrequencyScale::parseDisplay(" 20000");
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->prefix, "");
    EXPECT_EQ(plain->number, 20000.0);
    EXPECT_EQ(plain->unit, "");
    const auto prefixed = FrequencyScale::parseDisplay("HP 633");
    ASSERT_TRUE(prefixed);
    EXPECT_EQ(prefixed->prefix, "HP");
    EXPECT_EQ(prefixed->number, 633.0);
    const auto withUnit = FrequencyScale::parseDisplay("0.22 Hz");
    ASSERT_TRUE(withUnit);
    EXPECT_EQ(withUnit->number, 0.22);
    EXPECT_EQ(withUnit->unit, "Hz");
    const auto negative = FrequencyScale::parseDisplay("-250.0");
    ASSERT_TRUE(negative);
    EXPECT_EQ(negative->number, -250.0);
    EXPECT_FALSE(FrequencyScale::parseDisplay("Low Pass"));
    EXPECT_FALSE(FrequencyScale::parseDisplay(""));
}

TEST(FrequencyScaleTest, RecognisesFrequenciesOnly)
{
    const auto cutoff = FrequencyScale::fromDisplays(" 20", " 633", " 20000", "Hz");
    ASSERT_TRUE(cutoff);
    EXPECT_EQ(cutoff->lowestHz(), 20.0);
    EXPECT_EQ(cutoff->highestHz(), 20000.0);
    EXPECT_FALSE(cutoff->split());

    const auto freeRate = FrequencyScale::fromDisplays("0.01 Hz", "0.49 Hz", "24.00 Hz", "");
    ASSERT_TRUE(freeRate);
    EXPECT_EQ(freeRate->lowestHz(), 0.01);
    EXPECT_EQ(freeRate->highestHz(), 24.0);

    EXPECT_FALSE(FrequencyScale::fromDisplays("0.00", "0.50", "1.00", ""));      // no unit
    EXPECT_FALSE(FrequencyScale::fromDisplays("1 bar", "1 bar", "32 bars", "")); // not Hz
    EXPECT_FALSE(FrequencyScale::fromDisplays(" 20000", " 633", " 20", "Hz"));   // falling
    EXPECT_FALSE(FrequencyScale::fromDisplays(" 0", " 10", " 20", "Hz"));        // no logarithm of 0
}

TEST(FrequencyScaleTest, MapsThroughTheLogarithmicLaw)
{
    const auto scale = FrequencyScale::fromDisplays(" 20", " 633", " 20000", "Hz");
    ASSERT_TRUE(scale);
    EXPECT_EQ(scale->normalisedFor("", 20.0, "Filter Freq"), 0.0f);
    EXPECT_EQ(scale->normalisedFor("", 20000.0, "Filter Freq"), 1.0f);
    // 20 · 1000^x: 632.456 Hz is the middle, 112.468 Hz a quarter.
    EXPECT_NEAR(scale->normalisedFor("", 632.4555, "Filter Freq"), 0.5f, 1e-6f);
    EXPECT_NEAR(scale->normalisedFor("", 112.4683, "Filter Freq"), 0.25f, 1e-6f);
    // The position's frequency is at or just below the one asked for, never above it.
    for (const double hz : {100.0, 440.0, 1000.0, 1200.0, 5000.0, 12345.0})
    {
        const float position = scale->normalisedFor("", hz, "Filter Freq");
        EXPECT_LE(scale->frequencyAt(position), hz) << hz;
        EXPECT_GT(scale->frequencyAt(std::nextafter(position, 1.0f)), hz) << hz;
    }
}

TEST(FrequencyScaleTest, SplitKnobNeedsTheHalf)
{
    const auto scale = FrequencyScale::fromDisplays("LP 20", "LP 20000", "HP 20000", "Hz");
    ASSERT_TRUE(scale);
    EXPECT_TRUE(scale->split());
    EXPECT_EQ(scale->lowerHalfPrefix(), "LP");
    EXPECT_EQ(scale->upperHalfPrefix(), "HP");
    EXPECT_EQ(scale->normalisedFor("LP", 20.0, "Filter Freq"), 0.0f);
    EXPECT_EQ(scale->normalisedFor("lp", 20000.0, "Filter Freq"), 0.5f);
    EXPECT_NEAR(scale->normalisedFor("LP", 632.4555, "Filter Freq"), 0.25f, 1e-6f);
    EXPECT_NEAR(scale->normalisedFor("HP", 632.4555, "Filter Freq"), 0.75f, 1e-6f);
    EXPECT_EQ(scale->normalisedFor("HP", 20000.0, "Filter Freq"), 1.0f);
    // The middle shows the lower half, so the upper half's bottom lies just above it.
    EXPECT_EQ(scale->normalisedFor("HP", 20.0, "Filter Freq"), std::nextafter(0.5f, 1.0f));

    try
    {
        scale->normalisedFor("", 1200.0, "Filter Freq");
        FAIL() << "a frequency without its half was accepted";
    }
    catch (const ToolError& error)
    {
        EXPECT_EQ(error.exitStatus(), ToolError::kUsage);
        EXPECT_NE(std::string(error.what()).find("LP 1200Hz"), std::string::npos) << error.what();
    }
}

TEST(FrequencyScaleTest, RejectsFrequenciesOutsideTheRange)
{
    const auto scale = FrequencyScale::fromDisplays(" 20", " 633", " 20000", "Hz");
    ASSERT_TRUE(scale);
    for (const double hz : {19.99, 20000.5, 0.0, -5.0, std::nan("")})
    {
        try
        {
            scale->normalisedFor("", hz, "Filter Freq");
            FAIL() << hz << " Hz was accepted";
        }
        catch (const ToolError& error)
        {
            EXPECT_EQ(error.exitStatus(), ToolError::kUsage);
            EXPECT_NE(std::string(error.what()).find("20 Hz to 20000 Hz"), std::string::npos) << error.what();
        }
    }
    EXPECT_THROW(scale->normalisedFor("LP", 1000.0, "Filter Freq"), ToolError); // not split now
}

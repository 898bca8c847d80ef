#include "parameters/FrequencyParameter.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace
{
std::string display(const Parameter& parameter)
{
    char text[Parameter::kTextSize] = {};
    parameter.getDisplay(text);
    return text;
}

float plainAt(float x)
{
    FrequencyParameter cutoff;
    cutoff.setValue(x);
    return cutoff.getPlainValue();
}

/// The law runs through exp() in double, whose last bit may differ between the 64-bit and the 32-bit library;
/// rounded to float that is one ulp at most. Exact on 64-bit.
void expectLawResult(float expected, float actual)
{
    if (sizeof(void*) == 8)
        EXPECT_EQ(expected, actual);
    else
        EXPECT_LE(std::fabs(expected - actual), std::nextafter(expected, INFINITY) - expected);
}
} // namespace

TEST(FrequencyParameterTest, ConstructionStartsAtTheTopOfTheRangeAsTheLawGivesIt)
{
    const FrequencyParameter cutoff;
    EXPECT_EQ(1.0f, cutoff.getValue());
    expectLawResult(19999.992f, cutoff.getPlainValue()); // 20000 reached through ln and exp, not stored
    EXPECT_LT(cutoff.getPlainValue(), 20000.0f);
    EXPECT_EQ(20000, cutoff.getIntValue());
    EXPECT_EQ("20000", display(cutoff));
    EXPECT_EQ(20.0f, cutoff.getMinimum());
    EXPECT_EQ(20000.0f, cutoff.getMaximum());
    EXPECT_EQ(19980.0f, cutoff.getRange());
}

TEST(FrequencyParameterTest, LawIsTwentyTimesThousandToTheValue)
{
    EXPECT_EQ(20.0f, plainAt(0.0f)); // below 20 by rounding or not, the clamp makes it exactly 20
    // Known to six significant digits: within half a unit of the last digit.
    EXPECT_NEAR(112.468, plainAt(0.25f), 0.0005);
    EXPECT_NEAR(632.455, plainAt(0.5f), 0.0005);
    EXPECT_NEAR(3556.56, plainAt(0.75f), 0.005);
    expectLawResult(19999.992f, plainAt(1.0f));

    // Equal steps of the value are equal musical intervals: a tenth of the range is a factor 1000^0.1.
    for (int step = 0; step < 10; ++step)
    {
        const float ratio = plainAt(0.1f * static_cast<float>(step + 1)) / plainAt(0.1f * static_cast<float>(step));
        EXPECT_NEAR(std::pow(1000.0, 0.1), ratio, 1e-5) << "step " << step;
    }
}

TEST(FrequencyParameterTest, PlainValueIsClampedWhileTheValueIsKept)
{
    FrequencyParameter cutoff;
    cutoff.setValue(1.5f);
    EXPECT_EQ(1.5f, cutoff.getValue());
    EXPECT_EQ(20000.0f, cutoff.getPlainValue());
    EXPECT_EQ(20000, cutoff.getIntValue());

    cutoff.setValue(std::nextafter(1.0f, 2.0f)); // the law gives 20000.012 just above 1
    EXPECT_EQ(20000.0f, cutoff.getPlainValue());

    cutoff.setValue(-0.5f);
    EXPECT_EQ(-0.5f, cutoff.getValue());
    EXPECT_EQ(20.0f, cutoff.getPlainValue());
    EXPECT_EQ("20.00", display(cutoff));

    cutoff.setValue(std::numeric_limits<float>::infinity());
    EXPECT_EQ(20000.0f, cutoff.getPlainValue());
    cutoff.setValue(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(20.0f, cutoff.getPlainValue());
}

TEST(FrequencyParameterTest, IntegerAndDisplayOfTheMiddle)
{
    FrequencyParameter cutoff;
    cutoff.setValue(0.5f);
    EXPECT_EQ(632, cutoff.getIntValue());
    EXPECT_EQ("632.5", display(cutoff));
    cutoff.setValue(0.0f);
    EXPECT_EQ(20, cutoff.getIntValue());
}

TEST(FrequencyParameterTest, SetRangeAppliesTheLawToTheNewRangeAtOnce)
{
    FrequencyParameter cutoff;
    cutoff.setValue(0.5f);
    cutoff.setRange(100.0f, 1000.0f);
    EXPECT_EQ(0.5f, cutoff.getValue());
    EXPECT_NEAR(316.23, cutoff.getPlainValue(), 0.005);
    EXPECT_EQ(900.0f, cutoff.getRange());

    cutoff.setPlainValue(440.0f);
    EXPECT_EQ(0.5f, cutoff.getValue());
    EXPECT_EQ(440, cutoff.getIntValue());
    cutoff.setValue(1.0f);
    EXPECT_NEAR(1000.0, cutoff.getPlainValue(), 0.001);
}

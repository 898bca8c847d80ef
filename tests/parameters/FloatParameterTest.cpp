#include "parameters/FloatParameter.h"

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
} // namespace

TEST(FloatParameterTest, ConstructionDerivesTheNormalisedValueFromTheDefault)
{
    const FloatParameter reso("Filter Reso", "", 1.0f, 4.0f, 1.0f);
    EXPECT_EQ(0.0f, reso.getValue());
    EXPECT_EQ(1.0f, reso.getPlainValue());
    EXPECT_EQ(1, reso.getIntValue());
    EXPECT_EQ(3.0f, reso.getRange());
    EXPECT_EQ(1.0f, reso.getMinimum());
    EXPECT_EQ(4.0f, reso.getMaximum());

    const FloatParameter mix("Mix", "", 0.0f, 1.0f, 1.0f);
    EXPECT_EQ(1.0f, mix.getValue());
    EXPECT_EQ(1.0f, mix.getPlainValue());

    // (2 - 1) / 3 in single precision, then back: 0.333333343f * 3 + 1 rounds to 2 again.
    const FloatParameter middle("Middle", "", 1.0f, 4.0f, 2.0f);
    EXPECT_EQ(1.0f / 3.0f, middle.getValue());
    EXPECT_EQ(2.0f, middle.getPlainValue());

    // A reversed range is allowed: the plain value falls as the normalised value rises.
    const FloatParameter reversed("Reversed", "", 10.0f, 0.0f, 2.5f);
    EXPECT_EQ(0.75f, reversed.getValue());
    EXPECT_EQ(2.5f, reversed.getPlainValue());
}

TEST(FloatParameterTest, SetValueIsLinearAndUnclamped)
{
    FloatParameter reso("Filter Reso", "", 1.0f, 4.0f, 1.0f);
    reso.setValue(0.5f);
    EXPECT_EQ(0.5f, reso.getValue());
    EXPECT_EQ(2.5f, reso.getPlainValue());
    EXPECT_EQ(3, reso.getIntValue());
    EXPECT_EQ("2.50", display(reso));

    FloatParameter amount("LFO Amount", "", 0.0f, 1.0f, 0.0f);
    amount.setValue(1.2f);
    EXPECT_EQ(1.2f, amount.getValue());
    EXPECT_EQ(1.2f, amount.getPlainValue());
    amount.setValue(-0.25f);
    EXPECT_EQ(-0.25f, amount.getPlainValue());
    EXPECT_EQ(0, amount.getIntValue()); // -0.25 + 0.5 floors to 0
}

TEST(FloatParameterTest, SetRangeRederivesThePlainValueAndSetPlainValueLeavesTheValue)
{
    FloatParameter phase("LFO Phase", "", 0.0f, 1.0f, 0.0f);
    phase.setValue(0.5f);
    phase.setRange(0.0f, 10.0f);
    EXPECT_EQ(0.5f, phase.getValue());
    EXPECT_EQ(5.0f, phase.getPlainValue());
    EXPECT_EQ(10.0f, phase.getRange());
    EXPECT_EQ("5.00", display(phase));

    phase.setPlainValue(3.0f);
    EXPECT_EQ(0.5f, phase.getValue());
    EXPECT_EQ(3.0f, phase.getPlainValue());
    EXPECT_EQ(3, phase.getIntValue());
    phase.setValue(0.25f);
    EXPECT_EQ(2.5f, phase.getPlainValue());
}

TEST(FloatParameterTest, RangeOperationsCanBeOverriddenThroughTheirSlots)
{
    // setRange re-derives through the virtual slot, so a derived law is applied to the new range.
    class SquaredParameter : public FloatParameter
    {
    public:
        SquaredParameter() : FloatParameter("Squared", "", 0.0f, 1.0f, 0.0f) {}
        void setValue(float x) noexcept override
        {
            value.store(x);
            plainValue.store(getRange() * x * x + getMinimum());
        }
    };
    SquaredParameter squared;
    squared.setValue(0.5f);
    squared.setRange(0.0f, 8.0f);
    EXPECT_EQ(2.0f, squared.getPlainValue());
}

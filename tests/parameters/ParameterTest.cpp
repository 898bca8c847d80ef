#include "parameters/Parameter.h"
#include "parameters/ChoiceParameter.h"
#include "parameters/FloatParameter.h"
#include "parameters/FrequencyParameter.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string>

#include <gtest/gtest.h>

namespace
{
constexpr char kCanary = 0x5A;

/// Runs write on a 24-byte buffer followed by canary bytes; fails if a canary byte changed.
std::string writeGuarded(const std::function<void(char*)>& write)
{
    char buffer[Parameter::kTextSize + 8];
    std::memset(buffer, kCanary, sizeof buffer);
    write(buffer);
    for (size_t i = Parameter::kTextSize; i < sizeof buffer; ++i)
        EXPECT_EQ(kCanary, buffer[i]) << "byte " << i << " written past the 24-byte buffer";
    return std::string(buffer, strnlen(buffer, Parameter::kTextSize));
}

std::string format(float v)
{
    return writeGuarded([v](char* text) { Parameter::formatValue(v, text); });
}
} // namespace

TEST(ParameterTest, TextRuleKeepsTwentyThreeCharactersAndZeroFillsExactlyTwentyFourBytes)
{
    const char* thirty = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    const Parameter longName(thirty, "Hz");
    char buffer[Parameter::kTextSize + 8];
    std::memset(buffer, kCanary, sizeof buffer);
    longName.getName(buffer);
    EXPECT_EQ(0, std::memcmp(buffer, thirty, 23));
    EXPECT_EQ('\0', buffer[23]);
    for (size_t i = Parameter::kTextSize; i < sizeof buffer; ++i)
        EXPECT_EQ(kCanary, buffer[i]) << "byte " << i;

    std::memset(buffer, kCanary, sizeof buffer);
    longName.getLabel(buffer);
    EXPECT_STREQ("Hz", buffer);
    for (size_t i = 2; i < Parameter::kTextSize; ++i)
        EXPECT_EQ('\0', buffer[i]) << "byte " << i << " of a short text must be zero";
    EXPECT_EQ(kCanary, buffer[Parameter::kTextSize]);

    const Parameter twentyThree("ABCDEFGHIJKLMNOPQRSTUVW", nullptr);
    EXPECT_EQ("ABCDEFGHIJKLMNOPQRSTUVW", writeGuarded([&](char* t) { twentyThree.getName(t); }));
    EXPECT_EQ("", writeGuarded([&](char* t) { twentyThree.getLabel(t); }));
}

TEST(ParameterTest, BaseClassStoresTheValueAsItsOwnPlainValue)
{
    Parameter parameter("Plain", "");
    EXPECT_EQ(0.0f, parameter.getValue());
    parameter.setValue(2.5f);
    EXPECT_EQ(2.5f, parameter.getValue());
    EXPECT_EQ(2.5f, parameter.getPlainValue());
    EXPECT_EQ(3, parameter.getIntValue());
    EXPECT_EQ("2.50", writeGuarded([&](char* t) { parameter.getDisplay(t); }));

    parameter.setPlainValue(7.0f); // shown in the display, but the plain value read back is the normalised one
    EXPECT_EQ(2.5f, parameter.getPlainValue());
    EXPECT_EQ("7.00", writeGuarded([&](char* t) { parameter.getDisplay(t); }));
}

TEST(ParameterTest, FormatValueChoosesTheBandByMagnitude)
{
    EXPECT_EQ("10.00", format(9.999f));
    EXPECT_EQ("99.50", format(99.5f));
    EXPECT_EQ("100.0", format(100.0f));
    EXPECT_EQ("999.9", format(999.9f));
    EXPECT_EQ("1000", format(1000.0f));
    EXPECT_EQ("123456", format(123456.0f));
    EXPECT_EQ("-250.0", format(-250.0f));
    EXPECT_EQ("-0.50", format(-0.5f));
    EXPECT_EQ("999999", format(999999.0f));
    EXPECT_EQ("1e+06", format(1000000.0f));
    EXPECT_EQ("-1e+06", format(-1000000.0f));
    // The band follows the value, not the printed text: rounding may carry into one more digit.
    EXPECT_EQ("100.00", format(99.995f));
    EXPECT_EQ("1000.0", format(999.95f));
}

TEST(ParameterTest, FormatValueStaysWithinTwentyFourBytesForExtremes)
{
    EXPECT_EQ("3.40282e+38", format(std::numeric_limits<float>::max()));
    EXPECT_EQ("-3.40282e+38", format(-std::numeric_limits<float>::max()));
    EXPECT_EQ("inf", format(std::numeric_limits<float>::infinity()));
    EXPECT_EQ("0.00", format(std::numeric_limits<float>::denorm_min()));
    EXPECT_EQ("nan", format(std::numeric_limits<float>::quiet_NaN())); // NaN fails every band and gets "%.2f"
}

TEST(ParameterTest, RoundHalfUpSendsTiesUpAndRoundsTheSumInSinglePrecision)
{
    EXPECT_EQ(3, Parameter::roundHalfUp(2.5f));
    EXPECT_EQ(0, Parameter::roundHalfUp(-0.5f));
    EXPECT_EQ(-1, Parameter::roundHalfUp(-1.5f));
    EXPECT_EQ(-2, Parameter::roundHalfUp(-1.6f));
    EXPECT_EQ(2, Parameter::roundHalfUp(2.4999998f));
    EXPECT_EQ(1, Parameter::roundHalfUp(std::nextafter(0.5f, 0.0f))); // 0.49999997f + 0.5f rounds to 1.0f
}

TEST(ParameterTest, RoundHalfUpSaturatesInsteadOfOverflowing)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(0, Parameter::roundHalfUp(std::numeric_limits<float>::quiet_NaN()));
    EXPECT_EQ(INT32_MAX, Parameter::roundHalfUp(inf));
    EXPECT_EQ(INT32_MIN, Parameter::roundHalfUp(-inf));
    EXPECT_EQ(INT32_MAX, Parameter::roundHalfUp(3.0e9f));
    EXPECT_EQ(INT32_MIN, Parameter::roundHalfUp(-3.0e9f));
    EXPECT_EQ(16777216, Parameter::roundHalfUp(16777216.0f));
}

TEST(ParameterTest, FirstNineOperationsReachTheDerivedClassThroughTheBase)
{
    const char* entries[] = {"Down", "Up"};
    FloatParameter reso("Filter Reso", "", 1.0f, 4.0f, 1.0f);
    FrequencyParameter cutoff;
    ChoiceParameter direction("LFO Direction", "", 2, entries, 0);

    Parameter& asFloat = reso;
    Parameter& asFrequency = cutoff;
    Parameter& asChoice = direction;
    static_assert(noexcept(asFloat.getIntValue()), "read on the audio thread");

    asFloat.setValue(0.5f);
    asFrequency.setValue(0.5f);
    asChoice.setValue(0.75f);
    EXPECT_EQ(0.5f, asFloat.getValue());
    EXPECT_EQ(2.5f, asFloat.getPlainValue());
    EXPECT_EQ(3, asFloat.getIntValue());
    EXPECT_EQ(632, asFrequency.getIntValue());
    EXPECT_EQ("632.5", writeGuarded([&](char* t) { asFrequency.getDisplay(t); }));
    EXPECT_EQ("Filter Freq", writeGuarded([&](char* t) { asFrequency.getName(t); }));
    EXPECT_EQ("Hz", writeGuarded([&](char* t) { asFrequency.getLabel(t); }));
    EXPECT_EQ(0.75f, asChoice.getValue());
    EXPECT_EQ(1.0f, asChoice.getPlainValue());
    EXPECT_EQ(1, asChoice.getIntValue());
    EXPECT_EQ("Up", writeGuarded([&](char* t) { asChoice.getDisplay(t); }));

    asFloat.setPlainValue(3.75f);
    EXPECT_EQ(3.75f, asFloat.getPlainValue());
    EXPECT_EQ(4, asFloat.getIntValue());
    asChoice.setPlainValue(0.0f);
    EXPECT_EQ(1, asChoice.getIntValue());
}

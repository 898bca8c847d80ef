// The base's value-to-text helpers and the bounded copy and append they write with.

#include "host/EffectBaseX.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace
{

class MinimalEffect : public EffectBaseX
{
public:
    MinimalEffect() : EffectBaseX(nullptr, 1, 12) {}
    void processReplacing(float**, float**, int32_t) noexcept override {}
};

constexpr int32_t kMaxLen = 15;     // ample room: every number text is 8 characters
constexpr char kUntouched = '\x7f'; // fills the buffers, to see what was written

/// A text buffer of maxLen + 1 bytes inside a larger guarded one.
struct Buffer
{
    char bytes[64];
    Buffer() { std::memset(bytes, kUntouched, sizeof(bytes)); }
    std::string text() const { return std::string(bytes); }
    bool untouchedFrom(size_t position) const
    {
        for (size_t i = position; i < sizeof(bytes); ++i)
        {
            if (bytes[i] != kUntouched)
                return false;
        }
        return true;
    }
};

std::string intText(int32_t value, int32_t maxLen = kMaxLen)
{
    MinimalEffect effect;
    Buffer buffer;
    effect.intToText(value, buffer.bytes, maxLen);
    EXPECT_TRUE(buffer.untouchedFrom(static_cast<size_t>(maxLen) + 1)) << value;
    return buffer.text();
}

std::string floatText(float value, int32_t maxLen = kMaxLen)
{
    MinimalEffect effect;
    Buffer buffer;
    effect.floatToText(value, buffer.bytes, maxLen);
    EXPECT_TRUE(buffer.untouchedFrom(static_cast<size_t>(maxLen) + 1)) << value;
    return buffer.text();
}

std::string dbText(float value)
{
    MinimalEffect effect;
    Buffer buffer;
    effect.dbToText(value, buffer.bytes, kMaxLen);
    return buffer.text();
}

std::string hzText(float samples, float sampleRate)
{
    MinimalEffect effect;
    effect.setSampleRate(sampleRate);
    Buffer buffer;
    effect.hzToText(samples, buffer.bytes, kMaxLen);
    return buffer.text();
}

std::string msText(float samples, float sampleRate)
{
    MinimalEffect effect;
    effect.setSampleRate(sampleRate);
    Buffer buffer;
    effect.msToText(samples, buffer.bytes, kMaxLen);
    return buffer.text();
}

} // namespace

TEST(BoundedText, CopyWritesAtMostMaxLenAndZeroFillsUpToTheTerminator)
{
    Buffer buffer;
    EffectBase::copyBounded(buffer.bytes, "abc", 6);
    EXPECT_EQ(std::memcmp(buffer.bytes, "abc\0\0\0\0", 7), 0);
    EXPECT_TRUE(buffer.untouchedFrom(7));

    Buffer cut;
    EffectBase::copyBounded(cut.bytes, "abcdefgh", 4);
    EXPECT_EQ(cut.text(), "abcd");
    EXPECT_TRUE(cut.untouchedFrom(5));

    Buffer empty;
    EffectBase::copyBounded(empty.bytes, "abc", 0);
    EXPECT_EQ(empty.bytes[0], '\0');
    EXPECT_TRUE(empty.untouchedFrom(1));

    Buffer none;
    EffectBase::copyBounded(none.bytes, "abc", -1);
    EffectBase::copyBounded(nullptr, "abc", 4);
    EXPECT_TRUE(none.untouchedFrom(0));
}

TEST(BoundedText, AppendNeverGrowsTheTextBeyondMaxLen)
{
    Buffer buffer;
    EffectBase::copyBounded(buffer.bytes, "ab", 5);
    EffectBase::appendBounded(buffer.bytes, "cd", 5);
    EXPECT_EQ(buffer.text(), "abcd");
    EffectBase::appendBounded(buffer.bytes, "efgh", 5);
    EXPECT_EQ(buffer.text(), "abcde");
    EffectBase::appendBounded(buffer.bytes, "x", 5);
    EXPECT_EQ(buffer.text(), "abcde");
    EXPECT_TRUE(buffer.untouchedFrom(6));

    Buffer none;
    EffectBase::appendBounded(none.bytes, "abc", -1);
    EXPECT_TRUE(none.untouchedFrom(0));
}

TEST(IntToText, DescribedExamples)
{
    EXPECT_EQ(intText(100000000), "Huge!");
    EXPECT_EQ(intText(99999999), "99999999");
    EXPECT_EQ(intText(-42), "-42");
    EXPECT_EQ(intText(1000), "1000");
    EXPECT_EQ(intText(7), "7");
}

TEST(IntToText, ZeroGivesASingleDigit)
{
    EXPECT_EQ(intText(0), "0");
}

TEST(IntToText, NegativeValuesUpToNineDigitsAndHugeBeyond)
{
    EXPECT_EQ(intText(-999999999), "-999999999");
    EXPECT_EQ(intText(-100000000), "-100000000");
    EXPECT_EQ(intText(-1000000000), "Huge!");
    EXPECT_EQ(intText(std::numeric_limits<int32_t>::min()), "Huge!");
    EXPECT_EQ(intText(std::numeric_limits<int32_t>::max()), "Huge!");
}

TEST(IntToText, LongTextIsCutAtMaxLen)
{
    EXPECT_EQ(intText(-12345, 3), "-12");
    EXPECT_EQ(intText(100000000, 3), "Hug");
}

TEST(FloatToText, DescribedExamples)
{
    EXPECT_EQ(floatText(1.5f), "1.500000");
    EXPECT_EQ(floatText(-1.5f), "-1.50000");
    EXPECT_EQ(floatText(0.0f), "0.000000");
    EXPECT_EQ(floatText(123.456f), "123.4560");
    EXPECT_EQ(floatText(0.001f), "0.001000");
    EXPECT_EQ(floatText(1234567.0f), "1234567.");
    EXPECT_EQ(floatText(100000000.0f), "Huge!");
    EXPECT_EQ(floatText(-10000000.0f), "Huge!");
    EXPECT_EQ(floatText(2.25f), "2.250000");
    EXPECT_EQ(floatText(-0.5f), "-0.50000");
}

TEST(FloatToText, MaxLenFourKeepsTheIntegerPartAndThePoint)
{
    EXPECT_EQ(floatText(123.456f, 4), "123."); // floatText also checks nothing lies beyond the fifth byte
}

TEST(FloatToText, EveryTextThatFitsIsRight)
{
    // The largest numbers whose every digit fits in the 8 characters.
    EXPECT_EQ(floatText(9999999.0f), "9999999.");
    EXPECT_EQ(floatText(-999999.0f), "-999999.");
    EXPECT_EQ(floatText(-99999.5f), "-99999.5");
    // From here on a digit would be lost: "Huge!" instead.
    EXPECT_EQ(floatText(10000000.0f), "Huge!");
    EXPECT_EQ(floatText(99999999.0f), "Huge!");
    EXPECT_EQ(floatText(-1000000.0f), "Huge!");
    EXPECT_EQ(floatText(-9999999.0f), "Huge!");
}

TEST(FloatToText, NonFiniteValuesGiveHuge)
{
    EXPECT_EQ(floatText(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(floatText(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(floatText(std::numeric_limits<float>::quiet_NaN()), "Huge!");
    EXPECT_EQ(floatText(-std::numeric_limits<float>::quiet_NaN()), "Huge!");
}

TEST(FloatToText, TinyAndNegativeZeroValues)
{
    EXPECT_EQ(floatText(-0.0f), "0.000000");
    EXPECT_EQ(floatText(1e-30f), "0.000000");
    EXPECT_EQ(floatText(-1e-30f), "-0.00000");
}

TEST(DbToText, DescribedExamples)
{
    EXPECT_EQ(dbText(1.0f), "0.000000");
    EXPECT_EQ(dbText(10.0f), "20.00000");
    EXPECT_EQ(dbText(0.5f), "-6.02060");
    EXPECT_EQ(dbText(0.0f), "-oo");
    EXPECT_EQ(dbText(-1.0f), "-oo");
}

TEST(DbToText, NotANumberTakesTheLogarithmPath)
{
    EXPECT_EQ(dbText(std::numeric_limits<float>::quiet_NaN()), "Huge!");
    EXPECT_EQ(dbText(std::numeric_limits<float>::infinity()), "Huge!");
}

TEST(HzToText, DescribedExamples)
{
    EXPECT_EQ(hzText(0.0f, 44100.0f), "0.000000");
    EXPECT_EQ(hzText(441.0f, 44100.0f), "100.0000");
    EXPECT_EQ(hzText(-441.0f, 44100.0f), "-100.000");
    EXPECT_EQ(hzText(0.0f, 0.0f), "0.000000");
}

TEST(MsToText, DescribedExamples)
{
    EXPECT_EQ(msText(44100.0f, 44100.0f), "1000.000");
    EXPECT_EQ(msText(441.0f, 44100.0f), "10.00000");
    EXPECT_EQ(msText(44100.0f, 0.0f), "Huge!");
    EXPECT_EQ(msText(0.0f, 0.0f), "Huge!"); // 0 / 0 is not a number
    EXPECT_EQ(msText(-1.0f, 0.0f), "Huge!");
}

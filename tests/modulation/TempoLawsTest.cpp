#include "modulation/TempoLaws.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

namespace
{

/// The bar reduction written as the loop it replaces.
double barOffsetByLoop(double position, double barStart, double barLength)
{
    double d = position - barStart;
    while (d < 0.0)
        d += barLength;
    while (d > barLength)
        d -= barLength;
    return d;
}

} // namespace

TEST(TempoLawsTest, BarReductionMatchesTheLoopItReplaces)
{
    const double lengths[] = {4.0, 6.0, 3.0, 7.0, 1.0};
    for (double length : lengths)
    {
        for (int step = -200; step <= 200; ++step)
        {
            const double position = step * 0.25;
            for (double barStart : {0.0, 12.0, -3.5, 100.25})
            {
                ASSERT_EQ(barOffset(position, barStart, length), barOffsetByLoop(position, barStart, length))
                    << position << " " << barStart << " " << length;
            }
        }
    }
    uint32_t seed = 12345;
    for (int i = 0; i < 2000; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        const double position = (static_cast<double>(seed) / 4294967296.0 - 0.3) * 300.0;
        ASSERT_EQ(barOffset(position, 2.0, 4.0), barOffsetByLoop(position, 2.0, 4.0))
            << "seed " << seed << " position " << position;
    }
    // Far positions end in range at once, without as many steps as the host's numbers say.
    const double far = barOffset(1e300, 0.0, 4.0);
    EXPECT_GE(far, 0.0);
    EXPECT_LE(far, 4.0);
    EXPECT_EQ(barOffset(-1e300, 0.0, 3.0) >= 0.0, true);
}

TEST(TempoLawsTest, FreeRateEndsOfTheKnob)
{
    // The lower end is the single-precision 0.01, its logarithm kept in single precision.
    const float lnLowest = static_cast<float>(std::log(static_cast<double>(0.01f)));
    EXPECT_EQ(freeLfoRateHz(0.0f), std::exp(static_cast<double>(lnLowest)));
    EXPECT_NEAR(freeLfoRateHz(0.0f), 0.01, 1e-8);
    EXPECT_NEAR(freeLfoRateHz(0.5f), 0.4899, 1e-4);
    EXPECT_NEAR(freeLfoRateHz(1.0f), 24.0, 1e-12);
    EXPECT_LT(freeLfoRateHz(0.0f), freeLfoRateHz(0.001f));
}

#include "dsp/Waveshaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace
{

TEST(WaveshaperTest, FixedPointsStayForEveryOrder)
{
    for (int32_t order = 0; order <= 8; ++order)
    {
        const Waveshaper shaper(order);
        EXPECT_EQ(shaper.getOrder(), order);
        EXPECT_EQ(shaper.shape(0.0), 0.0) << "order " << order;
        EXPECT_EQ(shaper.shape(1.0), 1.0) << "order " << order;
        EXPECT_EQ(shaper.shape(-1.0), -1.0) << "order " << order;
    }
}

TEST(WaveshaperTest, OrderTwoKnownValues)
{
    const Waveshaper shaper(2);
    // 0.5 -> 0.875 -> 1 - 0.125^3; every step is exact in binary.
    EXPECT_EQ(shaper.shape(0.5), 0.998046875);
    EXPECT_EQ(shaper.shape(-0.5), -0.998046875);
    EXPECT_EQ(shaper.shape(0.25), 0.9249153137207031);
    EXPECT_NEAR(shaper.shape(0.1), 0.612579511, 1e-9);
    // Outside [-1, 1] the curve grows as a cubic: 1.5 -> 1.125 -> 1.001953125, 3 -> 9 -> 513.
    EXPECT_EQ(shaper.shape(1.5), 1.001953125);
    EXPECT_EQ(shaper.shape(3.0), 513.0);
    EXPECT_EQ(shaper.shape(-3.0), -513.0);
}

TEST(WaveshaperTest, OrderOneIsTheSingleCubicMap)
{
    const Waveshaper shaper(1);
    EXPECT_EQ(shaper.shape(0.5), 0.875);
    EXPECT_EQ(shaper.shape(-0.5), -0.875);
    EXPECT_EQ(shaper.shape(2.0), 2.0);
    EXPECT_EQ(shaper.shape(3.0), 9.0);
    EXPECT_EQ(shaper.shape(-3.0), -9.0);
}

TEST(WaveshaperTest, OrderZeroIsTheIdentity)
{
    const Waveshaper shaper(0);
    for (const double x : {-1e300, -7.25, -0.3, 0.0, 0.1, 0.999, 42.0, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(shaper.shape(x), x);
}

TEST(WaveshaperTest, NanComesBackAsNan)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int32_t order = 0; order <= 3; ++order)
        EXPECT_TRUE(std::isnan(Waveshaper(order).shape(nan))) << "order " << order;
}

TEST(WaveshaperTest, SlopeAtZeroIsThreeToTheOrder)
{
    const double dx = 1e-9;
    EXPECT_NEAR(Waveshaper(1).shape(dx) / dx, 3.0, 1e-6);
    EXPECT_NEAR(Waveshaper(2).shape(dx) / dx, 9.0, 1e-6);
    EXPECT_NEAR(Waveshaper(2).shape(-dx) / -dx, 9.0, 1e-6);
}

// Over [-1, 1] the curve is odd (exactly, since negation commutes with IEEE rounding), monotonic and stays in range.
TEST(WaveshaperTest, OddMonotonicAndBoundedOverTheUnitRange)
{
    const int steps = 4000;
    for (int32_t order = 1; order <= 3; ++order)
    {
        const Waveshaper shaper(order);
        double previous = -2.0;
        for (int i = 0; i <= steps; ++i)
        {
            const double x = -1.0 + 2.0 * i / steps;
            const double y = shaper.shape(x);
            ASSERT_EQ(shaper.shape(-x), -y) << "order " << order << ", x " << x;
            ASSERT_GE(y, previous) << "order " << order << ", x " << x;
            ASSERT_GE(y, -1.0) << "order " << order << ", x " << x;
            ASSERT_LE(y, 1.0) << "order " << order << ", x " << x;
            if (x > 0.0 && x < 1.0)
            {
                ASSERT_GT(y, x) << "order " << order << ", x " << x; // the knee lifts every sample inside (0, 1)
            }
            previous = y;
        }
    }
}

} // namespace

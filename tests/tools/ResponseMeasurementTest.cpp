// The magnitude response computed from recorded impulse responses.

#include "tools/ResponseMeasurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

TEST(ResponseMeasurementTest, FrequenciesAt24PerOctaveUpToTheTop)
{
    const std::vector<double> wide = ResponseMeasurement::frequencies(48000.0);
    ASSERT_EQ(wide.size(), 240u); // 20 Hz · 2^(k/24) up to 20 kHz: k = 0 .. 239
    EXPECT_EQ(wide.front(), 20.0);
    EXPECT_NEAR(wide[24], 40.0, 1e-9);
    EXPECT_LE(wide.back(), 20000.0);
    EXPECT_GT(wide.back() * std::pow(2.0, 1.0 / 24.0), 20000.0);
    // A low rate stops below its Nyquist frequency.
    const std::vector<double> narrow = ResponseMeasurement::frequencies(8000.0);
    EXPECT_LE(narrow.back(), 0.49 * 8000.0);
    EXPECT_GT(narrow.back() * std::pow(2.0, 1.0 / 24.0), 0.49 * 8000.0);
}

TEST(ResponseMeasurementTest, ImpulseAloneIsFlatAtZeroDecibels)
{
    std::vector<float> left(4096, 0.0f);
    std::vector<float> right(4096, 0.0f);
    left[0] = 0.1f;
    right[0] = 0.05f; // half the impulse: −6.02 dB
    const auto points = ResponseMeasurement::analyse(left, right, 48000.0, 0.1f);
    ASSERT_FALSE(points.empty());
    for (const auto& point : points)
    {
        ASSERT_NEAR(point.leftDb, 0.0, 1e-9) << point.hz;
        ASSERT_NEAR(point.rightDb, 20.0 * std::log10(0.5), 1e-9) << point.hz;
    }
}

TEST(ResponseMeasurementTest, OnePoleLowPassMatchesItsTransferFunction)
{
    // y[n] = (1 − a) · x[n] + a · y[n − 1]: H(ω) = (1 − a) / (1 − a·e^(−iω)).
    const double a = 0.99;
    const double rate = 44100.0;
    std::vector<float> left(1 << 16);
    double y = 0.0;
    for (size_t n = 0; n < left.size(); ++n)
    {
        y = (1.0 - a) * (n == 0 ? 0.1 : 0.0) + a * y;
        left[n] = static_cast<float>(y);
    }
    const auto points = ResponseMeasurement::analyse(left, left, rate, 0.1f);
    for (const auto& point : points)
    {
        const double omega = 2.0 * 3.14159265358979323846 * point.hz / rate;
        const double expected = 20.0 * std::log10((1.0 - a) / std::abs(1.0 - a * std::polar(1.0, -omega)));
        ASSERT_NEAR(point.leftDb, expected, 0.01) << point.hz;
        ASSERT_EQ(point.leftDb, point.rightDb);
    }
}

TEST(ResponseMeasurementTest, SilenceIsFarBelow)
{
    const std::vector<float> silence(1024, 0.0f);
    for (const auto& point : ResponseMeasurement::analyse(silence, silence, 48000.0, 0.1f))
        ASSERT_LT(point.leftDb, -200.0);
}

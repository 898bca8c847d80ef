#include "modulation/Lfo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace
{
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Table entries that pass through exp are checked bit for bit in the 64-bit build; the 32-bit libm may round exp
// differently in the last bits, so there they get a tolerance.
constexpr bool kExactLibm = sizeof(void*) == 8;

void expectLibmValue(double expected, double actual, double tolerance, int index)
{
    if (kExactLibm)
    {
        EXPECT_EQ(expected, actual) << "entry " << index;
    }
    else
    {
        EXPECT_NEAR(expected, actual, tolerance) << "entry " << index;
    }
}

/// Puts the phase accumulator at an exact value: half a step above it, so the truncation lands on it.
void placeAt(Lfo& lfo, uint32_t phase)
{
    lfo.setPhase((phase + 0.5) / 4294967295.0);
    ASSERT_EQ(phase, lfo.getPhase());
}

/// hz * 2^32 / sampleRate truncated toward zero, low 32 bits, in integer arithmetic.
uint32_t integerIncrement(int64_t hz, uint64_t sampleRateHz)
{
    const uint64_t magnitude = (static_cast<uint64_t>(hz < 0 ? -hz : hz) << 32) / sampleRateHz;
    return static_cast<uint32_t>(hz < 0 ? 0 - magnitude : magnitude);
}

bool sameTable(const Lfo& a, const Lfo& b)
{
    for (int i = 0; i < Lfo::kTableSize; ++i)
        if (a.tableEntry(i) != b.tableEntry(i))
            return false;
    return true;
}
} // namespace

TEST(LfoConstruction, StartsAtQuarterHertzPhaseZeroWithSine)
{
    Lfo lfo(44100.0f);
    EXPECT_EQ(24347u, lfo.getIncrement());
    EXPECT_EQ(0u, lfo.getPhase());
    EXPECT_EQ(0.25, lfo.getRate());
    EXPECT_EQ(44100.0f, lfo.getSampleRate());
    EXPECT_EQ(0.5, lfo.next()); // sin 0 mapped to 0.5
    EXPECT_EQ(24347u, lfo.getPhase());

    Lfo rebuilt(44100.0f);
    rebuilt.setShape(0);
    EXPECT_TRUE(sameTable(Lfo(44100.0f), rebuilt));
}

TEST(LfoTables, SineIsMappedToZeroOne)
{
    Lfo lfo(44100.0f);
    EXPECT_EQ(0.5, lfo.tableEntry(0));
    EXPECT_NEAR(1.0, lfo.tableEntry(64), 1e-15);
    EXPECT_NEAR(0.5, lfo.tableEntry(128), 1e-15);
    EXPECT_NEAR(0.0, lfo.tableEntry(192), 1e-15);
    for (int i = 0; i < Lfo::kTableSize; ++i)
        EXPECT_NEAR((std::sin(2.0 * M_PI * i / 256.0) + 1.0) * 0.5, lfo.tableEntry(i), 1e-15) << i;
}

TEST(LfoTables, TriangleStartsAtZeroAndIsLinear)
{
    Lfo lfo(44100.0f);
    lfo.setShape(1);
    EXPECT_EQ(0.5, lfo.tableEntry(0));
    EXPECT_EQ(1.0, lfo.tableEntry(64));
    EXPECT_EQ(0.5, lfo.tableEntry(128));
    EXPECT_EQ(0.0, lfo.tableEntry(192));
    for (int i = 0; i < Lfo::kTableSize; ++i)
    {
        const double bipolar = i <= 64 ? i / 64.0 : (i <= 192 ? (128 - i) / 64.0 : (i - 256) / 64.0);
        EXPECT_EQ((bipolar + 1.0) / 2.0, lfo.tableEntry(i)) << i;
    }
}

TEST(LfoTables, SawtoothRisesInSinglePrecision)
{
    Lfo lfo(44100.0f);
    lfo.setShape(2);
    EXPECT_EQ(0.0, lfo.tableEntry(0));
    EXPECT_EQ(1.0, lfo.tableEntry(255));
    const float step = 1.0f / 255.0f;
    int differsFromDouble = 0;
    for (int i = 0; i < Lfo::kTableSize; ++i)
    {
        const float bipolar = static_cast<float>(i) * step * 2.0f - 1.0f;
        EXPECT_EQ((static_cast<double>(bipolar) + 1.0) * 0.5, lfo.tableEntry(i)) << i;
        if (i > 0)
        {
            EXPECT_LT(lfo.tableEntry(i - 1), lfo.tableEntry(i)) << i;
        }
        differsFromDouble += lfo.tableEntry(i) != (i / 255.0 * 2.0 - 1.0 + 1.0) * 0.5;
    }
    EXPECT_GT(differsFromDouble, 0); // the single-precision rounding is visible
}

TEST(LfoTables, SquareHasRampsThroughTheMiddle)
{
    Lfo lfo(44100.0f);
    lfo.setShape(3);
    for (int i = 0; i < Lfo::kTableSize; ++i)
    {
        double expected = i < 128 ? 1.0 : 0.0;
        if (i < 16)
            expected = 0.5 + i / 32.0; // rising edge, second half
        else if (i >= 112 && i < 144)
            expected = 1.0 - (i - 112) / 32.0; // falling edge through 0.5 at 128
        else if (i >= 240)
            expected = (i - 240) / 32.0; // rising edge, first half
        EXPECT_EQ(expected, lfo.tableEntry(i)) << i;
    }
}

TEST(LfoTables, ExponentRisesAndFallsAlongSinglePrecisionCurve)
{
    Lfo lfo(44100.0f);
    lfo.setShape(4);
    EXPECT_EQ(0.0, lfo.tableEntry(0));
    EXPECT_NEAR((0.9754 + 1.0) / 2.0, lfo.tableEntry(127), 0.00005);
    EXPECT_EQ(1.0, lfo.tableEntry(128));
    EXPECT_NEAR((1.0 - 0.9909) / 2.0, lfo.tableEntry(255), 0.00005);

    const double eMinusOne = static_cast<float>(std::exp(1.0)) - 1.0f;
    for (int j = 0; j < 128; ++j)
    {
        const float up = static_cast<float>(std::exp(j / 128.0)) - 1.0f;
        const float down = static_cast<float>(std::exp((128 - j) / 128.0)) - 1.0f;
        expectLibmValue((2.0 * up / eMinusOne - 1.0 + 1.0) * 0.5, lfo.tableEntry(j), 1e-6, j);
        expectLibmValue((2.0 * down / eMinusOne - 1.0 + 1.0) * 0.5, lfo.tableEntry(128 + j), 1e-6, 128 + j);
        if (j > 0)
        {
            EXPECT_LT(lfo.tableEntry(j - 1), lfo.tableEntry(j)) << j;
            EXPECT_GT(lfo.tableEntry(127 + j), lfo.tableEntry(128 + j)) << 128 + j;
        }
    }
}

TEST(LfoTables, EveryShapeStaysInZeroOneAndRebuildsIdentically)
{
    for (int32_t shape = 0; shape <= 4; ++shape)
    {
        Lfo once(44100.0f);
        once.setShape(shape);
        Lfo twice(44100.0f);
        twice.setShape(shape);
        twice.setShape(shape == 4 ? 0 : 4);
        twice.setShape(shape);
        twice.setShape(shape);
        EXPECT_TRUE(sameTable(once, twice)) << "shape " << shape;
        for (int i = 0; i < Lfo::kTableSize; ++i)
        {
            EXPECT_GE(once.tableEntry(i), 0.0) << "shape " << shape << " entry " << i;
            EXPECT_LE(once.tableEntry(i), 1.0) << "shape " << shape << " entry " << i;
        }
    }
}

TEST(LfoTables, ShapeOutsideRangeKeepsTable)
{
    Lfo lfo(44100.0f);
    lfo.setShape(2);
    Lfo sawtooth(44100.0f);
    sawtooth.setShape(2);
    for (const int32_t shape : {-1, 5, INT32_MIN, INT32_MAX})
    {
        lfo.setShape(shape);
        EXPECT_TRUE(sameTable(sawtooth, lfo)) << "shape " << shape;
    }
}

TEST(LfoRate, IncrementIsTruncatedHertzTimesTwoTo32OverRate)
{
    Lfo lfo(44100.0f);
    lfo.setRate(1.0);
    EXPECT_EQ(97391u, lfo.getIncrement());
    EXPECT_EQ(1.0, lfo.getRate());
    for (const uint64_t rate : {8000u, 44100u, 48000u, 96000u})
    {
        Lfo atRate(static_cast<float>(rate));
        EXPECT_EQ((1ull << 30) / rate, atRate.getIncrement()) << rate; // 0.25 Hz from construction
        for (const int64_t hz : {0, 1, 3, 7, 24, 1000, -1, -24, 100000, -100000, 1234567})
        {
            atRate.setRate(static_cast<double>(hz));
            EXPECT_EQ(integerIncrement(hz, rate), atRate.getIncrement()) << hz << " Hz at " << rate;
        }
    }
}

TEST(LfoRate, FractionalAndNonFiniteRates)
{
    Lfo lfo(65536.0f);               // increment = hz * 2^16 exactly
    lfo.setRate(1.9999847412109375); // (2^17 - 1) / 2^16
    EXPECT_EQ(131071u, lfo.getIncrement());
    lfo.setRate(0.5 + 1.0 / 131072.0); // half a step above 32768
    EXPECT_EQ(32768u, lfo.getIncrement());
    lfo.setRate(-0.5 - 1.0 / 131072.0); // truncated toward zero: -32768
    EXPECT_EQ(0u - 32768u, lfo.getIncrement());
    for (const double hz : {1e30, -1e30}) // the truncated value is a multiple of 2^32
    {
        lfo.setRate(hz);
        EXPECT_EQ(0u, lfo.getIncrement()) << hz;
    }
    for (const double hz : {1e308, -1e308}) // hz * 256 overflows to infinity
    {
        lfo.setRate(hz);
        EXPECT_EQ(0u, lfo.getIncrement()) << hz;
    }
    for (const double hz : {kNaN, kInfinity, -kInfinity})
    {
        lfo.setRate(1.0);
        lfo.setRate(hz);
        EXPECT_EQ(0u, lfo.getIncrement()) << hz;
    }
}

TEST(LfoPhase, PositionScalesByTwoTo32MinusOne)
{
    Lfo lfo(44100.0f);
    lfo.setPhase(0.25);
    EXPECT_EQ(1073741823u, lfo.getPhase());
    lfo.setPhase(2.75);
    EXPECT_EQ(3221225471u, lfo.getPhase());
    lfo.setPhase(0.0);
    EXPECT_EQ(0u, lfo.getPhase());
    lfo.setPhase(1.0);
    EXPECT_EQ(0u, lfo.getPhase());

    // From 0 up, the same as subtracting whole cycles one at a time.
    for (int eighth = 0; eighth < 80; ++eighth)
    {
        const double position = eighth / 8.0 + 0.01;
        double reduced = position;
        while (reduced >= 1.0)
            reduced -= 1.0;
        lfo.setPhase(position);
        EXPECT_EQ(static_cast<uint32_t>(reduced * 4294967295.0), lfo.getPhase()) << position;
    }
}

TEST(LfoPhase, NegativeHugeAndNonFinitePositions)
{
    Lfo reference(44100.0f);
    Lfo lfo(44100.0f);
    for (const double fraction : {0.25, 0.5, 0.75, 0.125})
    {
        reference.setPhase(fraction);
        lfo.setPhase(fraction - 1.0);
        EXPECT_EQ(reference.getPhase(), lfo.getPhase()) << fraction;
        lfo.setPhase(fraction - 3.0);
        EXPECT_EQ(reference.getPhase(), lfo.getPhase()) << fraction;
        lfo.setPhase(1e12 + fraction); // a loop of single subtractions would run for hours
        EXPECT_EQ(reference.getPhase(), lfo.getPhase()) << fraction;
    }
    for (const double position : {1e12, 1e300, -1e300})
    {
        lfo.setPhase(position);
        EXPECT_EQ(0u, lfo.getPhase()) << position;
    }
    for (const double position : {kNaN, kInfinity, -kInfinity})
    {
        lfo.setPhase(0.5);
        lfo.setPhase(position);
        EXPECT_EQ(0u, lfo.getPhase()) << position;
    }
}

TEST(LfoNext, InterpolatesBetweenEntriesAndWraps)
{
    Lfo lfo(44100.0f);
    lfo.setShape(1);
    placeAt(lfo, (10u << 24) + (1u << 22)); // entry 10, a quarter of the way to entry 11
    EXPECT_EQ((10.25 / 64.0 + 1.0) / 2.0, lfo.next());

    lfo.setShape(2);
    placeAt(lfo, 0xFF800000u); // halfway from entry 255 back to entry 0
    EXPECT_EQ(0.5, lfo.next());
    lfo.setShape(0);
    placeAt(lfo, 0xFF800000u);
    EXPECT_EQ((lfo.tableEntry(255) + lfo.tableEntry(0)) / 2.0, lfo.next());

    for (int i = 0; i < Lfo::kTableSize; ++i)
    {
        placeAt(lfo, static_cast<uint32_t>(i) << 24);
        EXPECT_EQ(lfo.tableEntry(i), lfo.next()) << i;
    }
}

TEST(LfoNext, PhaseAdvancesModuloTwoTo32)
{
    Lfo lfo(44100.0f);
    lfo.setRate(1.0);
    placeAt(lfo, 0xFFFFFF00u);
    lfo.next();
    EXPECT_EQ(static_cast<uint32_t>((0xFFFFFF00ull + 97391u) & 0xFFFFFFFFull), lfo.getPhase());

    lfo.setPhase(0.0);
    lfo.setRate(-3.0); // increment near 2^32: the phase runs backwards
    const uint64_t increment = lfo.getIncrement();
    for (int shape = 0; shape <= 4; ++shape)
    {
        lfo.setShape(shape);
        for (int n = 0; n < 20000; ++n)
        {
            const double value = lfo.next();
            ASSERT_TRUE(value >= 0.0 && value <= 1.0) << "shape " << shape << " step " << n;
        }
    }
    EXPECT_EQ(static_cast<uint32_t>((100000 * increment) & 0xFFFFFFFFull), lfo.getPhase());
}

TEST(LfoSampleRate, RecomputesIncrementAndKeepsPhase)
{
    Lfo lfo(44100.0f);
    lfo.setRate(2.0);
    for (int n = 0; n < 1000; ++n)
        lfo.next();
    const uint32_t phase = lfo.getPhase();
    lfo.setSampleRate(48000.0f);
    EXPECT_EQ(48000.0f, lfo.getSampleRate());
    EXPECT_EQ(integerIncrement(2, 48000), lfo.getIncrement());
    EXPECT_EQ(2.0, lfo.getRate());
    EXPECT_EQ(phase, lfo.getPhase());

    Lfo fresh(44100.0f);
    fresh.setSampleRate(48000.0f);
    EXPECT_EQ(Lfo(48000.0f).getIncrement(), fresh.getIncrement());
}

TEST(LfoSampleRate, IgnoresRatesThatAreNotPositiveAndFinite)
{
    Lfo lfo(44100.0f);
    lfo.setRate(2.0);
    const uint32_t increment = lfo.getIncrement();
    for (const float rate : {0.0f, -0.0f, -48000.0f, std::numeric_limits<float>::quiet_NaN(),
                             std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity()})
    {
        lfo.setSampleRate(rate);
        EXPECT_EQ(44100.0f, lfo.getSampleRate()) << rate;
        EXPECT_EQ(increment, lfo.getIncrement()) << rate;
    }
}

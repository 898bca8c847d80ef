#pragma once

#include "dsp/DoublePair.h"

#include <cstdint>

/// Saturation curve: the odd cubic map f(x) = (x - 1)^3 + 1 for x >= 0 and (x + 1)^3 - 1 for x < 0, applied `order`
/// times in a row. f keeps 0, 1 and -1 where they are, has slope 3 at 0 and 0 at +-1, so it bends [-1, 1] onto
/// itself with a soft knee; outside it grows as a cubic (no clamp here). With order 2, f(f(x)) has slope 9 at 0 and
/// f(f(0.5)) = 0.998046875. How much of the curve is heard is decided by the caller's saturation amount.
class Waveshaper
{
public:
    /// newOrder: how many times the map is applied (not negative; 0 passes x through).
    explicit Waveshaper(int32_t newOrder) noexcept : order(newOrder) {}
    virtual ~Waveshaper() = default;

    /// The shaped sample.
    double shape(double x) const noexcept
    {
        for (int32_t i = 0; i < order; ++i)
        {
            if (x < 0.0)
                x = (x + 1.0) * (x + 1.0) * (x + 1.0) - 1.0;
            else
                x = (x - 1.0) * (x - 1.0) * (x - 1.0) + 1.0;
        }
        return x;
    }

    /// shape() of both lanes without the branch on the sign: the map is (x + a)^3 - a with a = 1 for x < 0 and
    /// a = -1 otherwise ((x + (-1))^3 - (-1) is the same operations as (x - 1)^3 + 1). a is taken from the sign bit,
    /// which differs from x < 0 only for -0 (both forms give +0 there) and a NaN (NaN either way).
    DoublePair shapeBoth(DoublePair x) const noexcept
    {
        for (int32_t i = 0; i < order; ++i)
        {
            const DoublePair offset = DoublePair::unitTowardsZero(x);
            const DoublePair t = x + offset;
            x = t * t * t - offset;
        }
        return x;
    }

    int32_t getOrder() const noexcept { return order; }

private:
    int32_t order; // applications of the cubic map
};

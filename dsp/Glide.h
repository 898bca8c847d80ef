#pragma once
// The per-block smoothing of the effect's gliding values (saturation amounts, mix, LFO phase offset).

#include <cmath>

constexpr double kSettleDistance = 1e-6; // closer than this, a glide lands on its target

/// One smoothing step towards target; lands on the target once within kSettleDistance of it.
inline double glide(double value, double target, double factor) noexcept
{
    if (value == target)
        return value;
    value = value + (target - value) * factor;
    if (std::fabs(target - value) < kSettleDistance)
        value = target;
    return value;
}

#pragma once
// Conversions from floating point to integers that are defined for every input. A plain cast of a NaN, an infinite
// or an out-of-range value to an integer type is undefined behaviour; every such conversion in the plug-in goes
// through one of these.

#include <cmath>
#include <cstdint>

/// Truncates toward zero to int32; NaN gives 0, values beyond the int32 range saturate at its ends.
inline int32_t truncateToInt32(double v)
{
    if (!(v == v))
        return 0;
    if (v >= 2147483647.0)
        return INT32_MAX;
    if (v <= -2147483648.0)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

/// Truncates toward zero and keeps the low 32 bits of the integer (two's complement), as a 32-bit phase register
/// wraps; a value that is not finite gives 0.
inline uint32_t wrapToUint32(double v)
{
    if (!std::isfinite(v))
        return 0;
    constexpr double kTwoTo32 = 4294967296.0;
    double wrapped = std::fmod(std::trunc(v), kTwoTo32); // exact, in (-2^32, 2^32)
    if (wrapped < 0.0)
        wrapped += kTwoTo32; // exact: the result is a whole number below 2^32
    return static_cast<uint32_t>(static_cast<int64_t>(wrapped));
}

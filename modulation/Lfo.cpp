#include "modulation/Lfo.h"

#include "host/NumberConversion.h"

#include <cmath>

namespace
{
constexpr double kTwoPi = 6.283185307179586; // 2 pi rounded to double
}

Lfo::Lfo(float sampleRateHz) noexcept : sampleRate(sampleRateHz)
{
    // 0.25 Hz: 0.25 * 256 = 64 exactly, so this is 64 / sampleRate * 2^24 truncated (24347 at 44100 Hz).
    increment = incrementFor(rateHz);
    buildTable(0);
}

void Lfo::setShape(int32_t shape) noexcept
{
    if (shape < 0 || shape > 4)
        return;
    buildTable(shape);
}

void Lfo::setRate(double hz) noexcept
{
    rateHz = hz;
    increment = incrementFor(hz);
}

void Lfo::setPhase(double positionCycles) noexcept
{
    if (!std::isfinite(positionCycles))
    {
        phase = 0;
        return;
    }
    // The fractional part without a loop: exact for every finite position, so it equals repeated subtraction of 1
    // wherever that ends, costs the same for 1e300 as for 0.5 and brings a negative position into [0, 1).
    const double fraction = positionCycles - std::floor(positionCycles);
    // 2^32 - 1 rather than 2^32: 0.25 gives 1073741823, index 63 with a fraction just under 1.
    phase = wrapToUint32(fraction * 4294967295.0);
}

void Lfo::setSampleRate(float sampleRateHz) noexcept
{
    if (!std::isfinite(sampleRateHz) || !(sampleRateHz > 0.0f))
        return;
    sampleRate = sampleRateHz;
    increment = incrementFor(rateHz);
}

uint32_t Lfo::incrementFor(double hz) const noexcept
{
    // hz * 2^32 / sampleRate, evaluated in this order; a negative or huge rate keeps the low 32 bits, NaN gives 0.
    return wrapToUint32(hz * 256.0 / static_cast<double>(sampleRate) * 16777216.0);
}

void Lfo::buildTable(int32_t shape) noexcept
{
    switch (shape)
    {
    case 0: // sine, starting at 0 and rising
        for (int i = 0; i < kTableSize; ++i)
        {
            const float position = static_cast<float>(i) / 256.0f; // exact
            table[i] = std::sin(kTwoPi * static_cast<double>(position));
        }
        break;
    case 1: // triangle, starting at 0 and rising
        for (int j = 0; j < 64; ++j)
        {
            table[j] = j / 64.0;
            table[64 + j] = (64 - j) / 64.0;
            table[128 + j] = -j / 64.0;
            table[192 + j] = (j - 64) / 64.0;
        }
        break;
    case 2: // rising ramp from -1 to 1, computed in single precision
    {
        const float step = 1.0f / 255.0f; // 0.003921568859368563
        for (int i = 0; i < kTableSize; ++i)
            table[i] = static_cast<float>(i) * step * 2.0f - 1.0f;
        break;
    }
    case 3: // square with 32-entry ramps through 0 at entries 0 and 128
        for (int i = 0; i < kTableSize; ++i)
            table[i] = i < 128 ? 1.0 : -1.0;
        for (int j = 0; j < 16; ++j)
        {
            table[j] = j / 16.0;
            table[112 + j] = 1.0 - j / 16.0;
            table[128 + j] = -j / 16.0;
            table[240 + j] = j / 16.0 - 1.0;
        }
        break;
    case 4: // exponential rise over the first half, mirrored fall over the second
    {
        // The exponentials and their distance from 1 are single precision; scaling and offset are double.
        const double span = static_cast<double>(static_cast<float>(std::exp(1.0)) - 1.0f); // exact in float
        for (int j = 0; j < 128; ++j)
        {
            const float rising = static_cast<float>(std::exp(j / 128.0)) - 1.0f;
            const float falling = static_cast<float>(std::exp((128 - j) / 128.0)) - 1.0f;
            table[j] = 2.0 * (static_cast<double>(rising) / span) - 1.0;
            table[128 + j] = 2.0 * (static_cast<double>(falling) / span) - 1.0;
        }
        break;
    }
    default:
        return;
    }
    if (!bipolar)
    {
        for (double& v : table)
            v = (v + 1.0) * 0.5;
    }
}

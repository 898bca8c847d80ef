#include "lv2/PortTable.h"

#include <cmath>

namespace PortTable
{

// Parameter indices as the effect numbers them (FilterEffect::ParameterIndex).
const ControlPort kControlPorts[kControlCount] = {
    {kPreSaturation, "pre_saturation", "Pre Saturation", 0, Law::linear, 0.0f, 1.0f, 0.0f},
    {kFilterType, "filter_type", "Filter Type", 1, Law::choiceEntry, 0.0f, 2.0f, 0.0f},
    {kFilterFreq, "filter_freq", "Filter Freq", 2, Law::cutoffHz, 20.0f, 20000.0f, 20000.0f},
    {kFilterReso, "filter_reso", "Filter Reso", 3, Law::linear, 1.0f, 4.0f, 1.0f},
    {kLfoAmount, "lfo_amount", "LFO Amount", 4, Law::linear, 0.0f, 1.0f, 0.0f},
    {kLfoLength, "lfo_length", "LFO Length", 5, Law::choiceEntry, 0.0f, 9.0f, 4.0f},
    // The default is the rate that the effect's default "LFO Freq" position (0.4) stands for in Free mode.
    {kLfoRate, "lfo_rate", "LFO Rate", 5, Law::freeRateHz, 0.01f, 24.0f, 0.224949f},
    {kLfoSync, "lfo_sync", "LFO Sync", 6, Law::choiceEntry, 0.0f, 3.0f, 0.0f},
    {kLfoDirection, "lfo_direction", "LFO Direction", 7, Law::choiceEntry, 0.0f, 1.0f, 0.0f},
    {kLfoShape, "lfo_shape", "LFO Shape", 8, Law::choiceEntry, 0.0f, 4.0f, 0.0f},
    {kLfoPhase, "lfo_phase", "LFO Phase", 9, Law::linear, 0.0f, 1.0f, 0.0f},
    {kPostSaturation, "post_saturation", "Post Saturation", 10, Law::linear, 0.0f, 1.0f, 0.0f},
    {kMix, "mix", "Mix", 11, Law::linear, 0.0f, 1.0f, 1.0f},
};

namespace
{

float clamped(float v, float minimum, float maximum) noexcept
{
    if (!(v >= minimum))
        return minimum; // a NaN too
    if (v > maximum)
        return maximum;
    return v;
}

/// Position x of value on the logarithmic axis from lnLowest to lnHighest, in double, rounded to single precision.
float logPosition(float value, double lnLowest, double lnHighest) noexcept
{
    return static_cast<float>((std::log(static_cast<double>(value)) - lnLowest) / (lnHighest - lnLowest));
}

} // namespace

const ControlPort* controlPort(uint32_t port) noexcept
{
    if (port < kFirstControl || port >= kPortCount)
        return nullptr;
    return &kControlPorts[port - kFirstControl];
}

float normalisedValue(const ControlPort& control, float plainValue) noexcept
{
    const float v = clamped(plainValue, control.minimum, control.maximum);
    switch (control.law)
    {
    case Law::linear:
        return (v - control.minimum) / (control.maximum - control.minimum);
    case Law::cutoffHz:
        // The cutoff display: lo = ln(20), hi = ln(20000) from the single-precision range.
        return logPosition(v, std::log(static_cast<double>(control.minimum)),
                           std::log(static_cast<double>(control.maximum)));
    case Law::freeRateHz:
    {
        // The free-rate display: ln 0.01 of the single-precision 0.01, kept in single precision; ln 24 in double.
        const float lnLowest = static_cast<float>(std::log(static_cast<double>(control.minimum)));
        return logPosition(v, lnLowest, std::log(static_cast<double>(control.maximum)));
    }
    case Law::choiceEntry:
    {
        const int32_t count = static_cast<int32_t>(control.maximum) + 1;
        const int32_t entry = static_cast<int32_t>(std::lround(v));
        return static_cast<float>(entry) / static_cast<float>(count);
    }
    }
    return 0.0f;
}

int32_t lfoSyncEntry(float plainValue) noexcept
{
    const ControlPort& sync = kControlPorts[kLfoSync - kFirstControl];
    return static_cast<int32_t>(std::lround(clamped(plainValue, sync.minimum, sync.maximum)));
}

} // namespace PortTable

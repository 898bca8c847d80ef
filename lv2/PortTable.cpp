#include "lv2/PortTable.h"

#include "effect/ParameterTables.h"
#include "modulation/TempoLaws.h"
#include "parameters/FrequencyParameter.h"

#include <cmath>

namespace PortTable
{

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

ControlPort floatPort(uint32_t port, const char* symbol, int32_t parameter) noexcept
{
    const FloatParameterEntry& entry = floatParameterEntry(parameter);
    return {port, symbol, entry.name, parameter, Law::linear, entry.minimum, entry.maximum, entry.defaultValue};
}

ControlPort choicePort(uint32_t port, const char* symbol, int32_t parameter, const char* name = nullptr,
                       const char* comment = nullptr) noexcept
{
    const ChoiceParameterEntry& entry = choiceParameterEntry(parameter);
    return {port,
            symbol,
            name != nullptr ? name : entry.name,
            parameter,
            Law::choiceEntry,
            0.0f,
            static_cast<float>(entry.entryCount - 1),
            static_cast<float>(entry.defaultEntry),
            comment};
}

} // namespace

// The effect's default "LFO Freq" position (its default entry), as a rate in Free mode.
const float kDefaultFreeRateHz =
    static_cast<float>(freeLfoRateHz(static_cast<float>(kDefaultNoteLength) / static_cast<float>(kNoteLengthCount)));

const ControlPort kControlPorts[kControlCount] = {
    floatPort(kPreSaturation, "pre_saturation", FilterEffect::kPreSaturation),
    choicePort(kFilterType, "filter_type", FilterEffect::kFilterType),
    {kFilterFreq, "filter_freq", "Filter Freq", FilterEffect::kFilterFreq, Law::cutoffHz, FrequencyParameter::kLowestHz,
     FrequencyParameter::kHighestHz, FrequencyParameter::kDefaultHz},
    floatPort(kFilterReso, "filter_reso", FilterEffect::kFilterReso),
    floatPort(kLfoAmount, "lfo_amount", FilterEffect::kLfoAmount),
    choicePort(kLfoLength, "lfo_length", FilterEffect::kLfoFreq, "LFO Length",
               "The LFO's cycle while LFO Sync is Whole, Dotted or Triplet."),
    {kLfoRate, "lfo_rate", "LFO Rate", FilterEffect::kLfoFreq, Law::freeRateHz, kFreeRateLowestHz,
     static_cast<float>(kFreeRateHighestHz), kDefaultFreeRateHz, "The LFO's rate while LFO Sync is Free."},
    choicePort(kLfoSync, "lfo_sync", FilterEffect::kLfoSync),
    choicePort(kLfoDirection, "lfo_direction", FilterEffect::kLfoDirection),
    choicePort(kLfoShape, "lfo_shape", FilterEffect::kLfoShape),
    floatPort(kLfoPhase, "lfo_phase", FilterEffect::kLfoPhase),
    floatPort(kPostSaturation, "post_saturation", FilterEffect::kPostSaturation),
    floatPort(kMix, "mix", FilterEffect::kMix),
};

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
        // The free-rate law's own ends: ln 0.01 of the single-precision 0.01, kept in single precision; ln 24.
        const float lnLowest = static_cast<float>(std::log(static_cast<double>(kFreeRateLowestHz)));
        return logPosition(v, lnLowest, std::log(kFreeRateHighestHz));
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

#pragma once

#include "clap/ClapAbi.h"

#include <cstdint>

/// The twelve parameters as the CLAP plug-in presents them. A parameter's id is fixed for ever (saved sessions and
/// automation refer to it). The continuous ones, "LFO Freq" included, carry the effect's own normalised value 0..1,
/// so that a CLAP session and a VST session with the same values sound the same; the four choices are stepped over
/// their entry indices, and index k is written to the effect as the normalised value k / entries that selects it.
namespace ClapParameters
{

struct Parameter
{
    clap_id id;
    int32_t index;   // the effect's parameter index, 0..11
    int32_t entries; // a choice's entry count; 0 for a continuous parameter
};

constexpr uint32_t kCount = 12;
extern const Parameter kParameters[kCount];

/// The parameter with this id, or null.
const Parameter* byId(clap_id id) noexcept;

/// The effect's normalised value for a CLAP value: clamped to the parameter's range (a NaN to its minimum), a choice
/// rounded to its nearest entry.
float normalisedValue(const Parameter& parameter, double value) noexcept;
/// The CLAP value for the effect's normalised value: the selected entry of a choice, as the effect selects it.
double clapValue(const Parameter& parameter, float normalised) noexcept;

/// Upper end of the CLAP range: entries − 1 for a choice, 1 otherwise.
double maximumValue(const Parameter& parameter) noexcept;

} // namespace ClapParameters

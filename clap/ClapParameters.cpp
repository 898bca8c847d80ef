#include "clap/ClapParameters.h"

#include <cmath>

namespace ClapParameters
{

// Ids equal the effect's indices, which the VST build has presented since its first release.
const Parameter kParameters[kCount] = {
    {0, 0, 0},   // Pre Saturation
    {1, 1, 3},   // Filter Type
    {2, 2, 0},   // Filter Freq
    {3, 3, 0},   // Filter Reso
    {4, 4, 0},   // LFO Amount
    {5, 5, 0},   // LFO Freq: a note length while synced, a position on the free-rate axis in Free mode
    {6, 6, 4},   // LFO Sync
    {7, 7, 2},   // LFO Direction
    {8, 8, 5},   // LFO Shape
    {9, 9, 0},   // LFO Phase
    {10, 10, 0}, // Post Saturation
    {11, 11, 0}, // Mix
};

const Parameter* byId(clap_id id) noexcept
{
    for (const Parameter& p : kParameters)
    {
        if (p.id == id)
            return &p;
    }
    return nullptr;
}

double maximumValue(const Parameter& parameter) noexcept
{
    return parameter.entries > 0 ? static_cast<double>(parameter.entries - 1) : 1.0;
}

float normalisedValue(const Parameter& parameter, double value) noexcept
{
    const double maximum = maximumValue(parameter);
    const double v = !(value >= 0.0) ? 0.0 : (value > maximum ? maximum : value);
    if (parameter.entries == 0)
        return static_cast<float>(v);
    return static_cast<float>(std::lround(v)) / static_cast<float>(parameter.entries);
}

double clapValue(const Parameter& parameter, float normalised) noexcept
{
    if (parameter.entries == 0)
        return static_cast<double>(normalised);
    // The effect's own selection: entries · x in single precision, truncated, clamped to the list.
    const int32_t k = static_cast<int32_t>(static_cast<float>(parameter.entries) * normalised);
    if (k < 0)
        return 0.0;
    return static_cast<double>(k > parameter.entries - 1 ? parameter.entries - 1 : k);
}

} // namespace ClapParameters

#pragma once
// What the benchmarks and the instruction counter run: the named configurations, one effect set up as a host sets it
// up, and the bare stereo biquad loop that every configuration is measured against.

#include "effect/FilterEffect.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace bench
{
constexpr int32_t kBlockFrames = 512; // stereo frames per processing call
constexpr double kSampleRateHz = 44100.0;

/// One parameter write: index and normalised value.
struct Setting
{
    int32_t index;
    float value;
};

/// A named set of parameter values, written before the first block.
struct Configuration
{
    const char* name;
    std::vector<Setting> settings;
};

/// The configurations of the performance note (docs/PERFORMANCE.md), in its order.
const std::vector<Configuration>& configurations();
/// The configuration called name, or null.
const Configuration* findConfiguration(const char* name);

/// Settings of the denormal tail: a 20 Hz low-pass at Reso 4.
std::vector<Setting> denormalTailSettings();

/// One effect at 44100 Hz behind its record, a host transport at 120 BPM that moves on with every block, and
/// 512-frame stereo buffers (seeded noise at the input unless silenced).
class Rig
{
public:
    explicit Rig(const std::vector<Setting>& settings);
    ~Rig();
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    /// One block through the record's replacing-processing entry; the transport moves on by the block.
    void processBlock() noexcept;
    /// Fills the input with silence (true) or the seeded noise (false).
    void silenceInput(bool silent);
    /// Scales the input noise (1: peak 0.5).
    void scaleInput(float gain);

    FilterEffect& effect() noexcept { return *filterEffect; }
    const float* outputLeft() const noexcept { return outLeft.data(); }

private:
    std::unique_ptr<FilterEffect> filterEffect;
    AEffect* record = nullptr;
    std::vector<float> inLeft, inRight, outLeft, outRight;
    float* inputs[2] = {};
    float* outputs[2] = {};
};

/// Coefficients and history of the bare loop.
struct BareBiquad
{
    double b0, b1, b2, a1, a2;
    double history[8]; // left y1, y2, x1, x2, then right
};

/// A fixed 1000 Hz low-pass (Q 1 at 44100 Hz) with zero history.
BareBiquad bareLowPass();
/// The floor every configuration is measured against: a plain stereo Direct Form I biquad loop in double, float in
/// and out, coefficients fixed over the block, history kept in place.
void bareStereoBiquad(BareBiquad& filter, const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                      int32_t frames) noexcept;
} // namespace bench

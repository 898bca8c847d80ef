#include "bench/BenchRig.h"

#include <algorithm>
#include <cstring>

namespace bench
{
namespace
{
VstTimeInfo timeInfo{}; // the transport every rig's host reports (one rig runs at a time)

intptr_t VSTCALLBACK benchHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<intptr_t>(&timeInfo);
    return 0;
}

void fillNoise(std::vector<float>& left, std::vector<float>& right, float gain)
{
    uint32_t seed = 1;
    for (size_t i = 0; i < left.size(); ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        left[i] = gain * (static_cast<float>(seed >> 8) * (1.0f / 16777216.0f) - 0.5f);
        right[i] = -left[i];
    }
}
} // namespace

const std::vector<Configuration>& configurations()
{
    using E = FilterEffect;
    // "LFO Freq" 0 is "1/16 bar" (8 Hz at 120 BPM); its default 0.4 is "1 bar" (0.5 Hz). "Filter Type" 1.0 is Dual.
    static const std::vector<Configuration> list = {
        {"steadyLowPass", {{E::kFilterFreq, 0.55f}}},
        {"steadyDual", {{E::kFilterType, 1.0f}, {E::kFilterFreq, 0.3f}}},
        {"lfoSixteenthUpLowPass",
         {{E::kFilterFreq, 0.3f}, {E::kLfoFreq, 0.0f}, {E::kLfoAmount, 1.0f}, {E::kLfoDirection, 1.0f}}},
        {"lfoSixteenthUpDual",
         {{E::kFilterType, 1.0f},
          {E::kFilterFreq, 0.3f},
          {E::kLfoFreq, 0.0f},
          {E::kLfoAmount, 1.0f},
          {E::kLfoDirection, 1.0f}}},
        {"allStagesSteady",
         {{E::kFilterType, 1.0f},
          {E::kFilterFreq, 0.3f},
          {E::kPreSaturation, 1.0f},
          {E::kPostSaturation, 1.0f},
          {E::kMix, 0.5f}}},
        {"allStagesLfoBar",
         {{E::kFilterType, 1.0f},
          {E::kFilterFreq, 0.3f},
          {E::kPreSaturation, 1.0f},
          {E::kPostSaturation, 1.0f},
          {E::kMix, 0.5f},
          {E::kLfoAmount, 1.0f}}},
    };
    return list;
}

const Configuration* findConfiguration(const char* name)
{
    for (const Configuration& configuration : configurations())
    {
        if (std::strcmp(configuration.name, name) == 0)
            return &configuration;
    }
    return nullptr;
}

std::vector<Setting> denormalTailSettings()
{
    return {{FilterEffect::kFilterFreq, 0.0f}, {FilterEffect::kFilterReso, 1.0f}};
}

Rig::Rig(const std::vector<Setting>& settings)
    : inLeft(kBlockFrames), inRight(kBlockFrames), outLeft(kBlockFrames), outRight(kBlockFrames)
{
    timeInfo = VstTimeInfo{};
    timeInfo.tempo = 120.0;
    timeInfo.sampleRate = kSampleRateHz;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

    filterEffect = std::make_unique<FilterEffect>(benchHost);
    record = filterEffect->getEffectRecord();
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRateHz));
    record->dispatcher(record, effSetBlockSize, 0, kBlockFrames, nullptr, 0.0f);
    record->dispatcher(record, effMainsChanged, 0, 1, nullptr, 0.0f);
    for (const Setting& setting : settings)
        record->setParameter(record, setting.index, setting.value);

    fillNoise(inLeft, inRight, 1.0f);
    inputs[0] = inLeft.data();
    inputs[1] = inRight.data();
    outputs[0] = outLeft.data();
    outputs[1] = outRight.data();
}

Rig::~Rig() = default;

void Rig::processBlock() noexcept
{
    record->processReplacing(record, inputs, outputs, kBlockFrames);
    timeInfo.samplePos += kBlockFrames;
    timeInfo.ppqPos += kBlockFrames / kSampleRateHz * (timeInfo.tempo / 60.0);
    timeInfo.barStartPos = 4.0 * static_cast<double>(static_cast<int64_t>(timeInfo.ppqPos / 4.0));
}

void Rig::silenceInput(bool silent)
{
    if (silent)
    {
        std::fill(inLeft.begin(), inLeft.end(), 0.0f);
        std::fill(inRight.begin(), inRight.end(), 0.0f);
    }
    else
    {
        fillNoise(inLeft, inRight, 1.0f);
    }
}

void Rig::scaleInput(float gain)
{
    fillNoise(inLeft, inRight, gain);
}

BareBiquad bareLowPass()
{
    // The cookbook low-pass at 1000 Hz, Q 1, 44100 Hz, as the section designs it.
    Biquad design(kSampleRateHz);
    design.update(LowPass, 1000.0, 1.0);
    const Biquad::Coefficients c = design.getCoefficients();
    return BareBiquad{c.b0, c.b1, c.b2, c.a1, c.a2, {}};
}

void bareStereoBiquad(BareBiquad& filter, const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                      int32_t frames) noexcept
{
    const double b0 = filter.b0, b1 = filter.b1, b2 = filter.b2, a1 = filter.a1, a2 = filter.a2;
    double ly1 = filter.history[0], ly2 = filter.history[1], lx1 = filter.history[2], lx2 = filter.history[3];
    double ry1 = filter.history[4], ry2 = filter.history[5], rx1 = filter.history[6], rx2 = filter.history[7];
    for (int32_t i = 0; i < frames; ++i)
    {
        const double xl = inLeft[i];
        const double yl = b0 * xl + b1 * lx1 + b2 * lx2 - a1 * ly1 - a2 * ly2;
        lx2 = lx1;
        lx1 = xl;
        ly2 = ly1;
        ly1 = yl;
        outLeft[i] = static_cast<float>(yl);

        const double xr = inRight[i];
        const double yr = b0 * xr + b1 * rx1 + b2 * rx2 - a1 * ry1 - a2 * ry2;
        rx2 = rx1;
        rx1 = xr;
        ry2 = ry1;
        ry1 = yr;
        outRight[i] = static_cast<float>(yr);
    }
    const double history[8] = {ly1, ly2, lx1, lx2, ry1, ry2, rx1, rx2};
    std::memcpy(filter.history, history, sizeof(history));
}
} // namespace bench

#include "effect/FilterEffect.h"

#include <new>

namespace
{

constexpr int32_t kNumPrograms = 1;
constexpr int32_t kNumParams = 12;
constexpr int32_t kNumOutputs = 2;

} // namespace

FilterEffect::FilterEffect(audioMasterCallback audioMasterIn) : EffectBaseX(audioMasterIn, kNumPrograms, kNumParams)
{
}

void FilterEffect::processReplacing(float**, float** outputs, int32_t sampleFrames) noexcept
{
    if (outputs == nullptr || sampleFrames <= 0)
        return;
    for (int32_t channel = 0; channel < kNumOutputs; ++channel)
    {
        float* const out = outputs[channel];
        if (out == nullptr)
            continue;
        for (int32_t i = 0; i < sampleFrames; ++i)
            out[i] = 0.0f;
    }
}

EffectBase* createFilterEffect(audioMasterCallback audioMaster)
{
    try
    {
        return new (std::nothrow) FilterEffect(audioMaster);
    }
    catch (...)
    {
        return nullptr; // construction failed
    }
}

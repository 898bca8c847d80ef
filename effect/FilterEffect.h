#pragma once

#include "host/EffectBaseX.h"

#include <cstdint>

/// Stand-in for the plug-in's effect object: sets nothing beyond the base (one input, two outputs, replacing
/// processing, identifier 'NoEf'), offers one program and twelve parameters with the base's default answers, and
/// writes silence.
class FilterEffect : public EffectBaseX
{
public:
    /// Builds the base with the host callback, 1 program and 12 parameters.
    explicit FilterEffect(audioMasterCallback audioMaster);

    /// Writes sampleFrames zeros to both outputs.
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) noexcept override;
};

/// Creates one FilterEffect for the host callback; null when allocation or construction fails.
EffectBase* createFilterEffect(audioMasterCallback audioMaster);

// Cost of one processing call of the whole effect (512 stereo frames at 48000 Hz) in typical settings. The real-time
// budget for such a block is 10.7 ms; the figures in RESULTS.md say how small a share of it the effect takes.

#include "effect/FilterEffect.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kFrames = 512;
constexpr double kSampleRate = 48000.0;

VstTimeInfo timeInfo{};

intptr_t VSTCALLBACK benchHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<intptr_t>(&timeInfo);
    return 0;
}

struct Setting
{
    int index;
    float value;
};

void runEffect(benchmark::State& state, const std::vector<Setting>& settings)
{
    FilterEffect effect(benchHost);
    AEffect* record = effect.getEffectRecord();
    record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kSampleRate));
    for (const Setting& s : settings)
        effect.setParameter(s.index, s.value);

    timeInfo = VstTimeInfo{};
    timeInfo.tempo = 120.0;
    timeInfo.sampleRate = kSampleRate;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

    std::vector<float> inLeft(kFrames), inRight(kFrames), outLeft(kFrames), outRight(kFrames);
    uint32_t seed = 1;
    for (int i = 0; i < kFrames; ++i)
    {
        seed = seed * 1664525u + 1013904223u;
        inLeft[i] = static_cast<float>(seed >> 8) * (1.0f / 16777216.0f) - 0.5f;
        inRight[i] = -inLeft[i];
    }
    float* inputs[] = {inLeft.data(), inRight.data()};
    float* outputs[] = {outLeft.data(), outRight.data()};
    for (auto _ : state)
    {
        effect.processReplacing(inputs, outputs, kFrames);
        timeInfo.samplePos += kFrames;
        timeInfo.ppqPos += kFrames / kSampleRate * 2.0;
        timeInfo.barStartPos = 4.0 * static_cast<int>(timeInfo.ppqPos / 4.0);
        benchmark::DoNotOptimize(outLeft.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}

// Default settings: the low-pass fully open, no LFO, no saturation, no mix.
void processDefault(benchmark::State& state)
{
    runEffect(state, {});
}
BENCHMARK(processDefault);

// A swept low-pass: the LFO moves the cutoff, so the section redesigns whenever it moved by more than 1 Hz.
void processLowPassSwept(benchmark::State& state)
{
    runEffect(state, {{FilterEffect::kFilterFreq, 0.5f},
                      {FilterEffect::kFilterReso, 0.5f},
                      {FilterEffect::kLfoAmount, 1.0f},
                      {FilterEffect::kLfoFreq, 0.05f}});
}
BENCHMARK(processLowPassSwept);

// Everything at once: Dual mode with both sections swept, both saturation stages and the dry/wet mix.
void processDualSweptSaturatedMixed(benchmark::State& state)
{
    runEffect(state, {{FilterEffect::kFilterType, 0.9f},
                      {FilterEffect::kFilterFreq, 0.6f},
                      {FilterEffect::kLfoAmount, 0.8f},
                      {FilterEffect::kLfoFreq, 0.05f},
                      {FilterEffect::kPreSaturation, 0.5f},
                      {FilterEffect::kPostSaturation, 0.5f},
                      {FilterEffect::kMix, 0.5f}});
}
BENCHMARK(processDualSweptSaturatedMixed);
} // namespace

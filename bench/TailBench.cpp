// The cost of a block long after the input fell silent, against a block of noise, in the setting where the filter
// history decays slowest: a 20 Hz low-pass at maximum resonance after a loud burst. Without its end-of-block guard
// the double history ends in a subnormal limit cycle about 45 s into the silence, where every step costs several
// times a normal one on x86 (and far more on some other processors). Target: the silent block at most 1.1x the noisy
// one; compare the two medians of one run.

#include "effect/FilterEffect.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kFrames = 512;
constexpr float kSampleRate = 44100.0f;

intptr_t VSTCALLBACK tailHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

struct TailSetting
{
    FilterEffect effect{tailHost};
    std::vector<float> noiseLeft = std::vector<float>(kFrames), noiseRight = std::vector<float>(kFrames);
    std::vector<float> silence = std::vector<float>(kFrames, 0.0f);
    std::vector<float> outLeft = std::vector<float>(kFrames), outRight = std::vector<float>(kFrames);

    TailSetting()
    {
        AEffect* record = effect.getEffectRecord();
        record->dispatcher(record, effSetSampleRate, 0, 0, nullptr, kSampleRate);
        effect.setParameter(FilterEffect::kFilterFreq, 0.0f); // 20 Hz
        effect.setParameter(FilterEffect::kFilterReso, 1.0f); // Q 4
        uint32_t seed = 1u;
        for (int i = 0; i < kFrames; ++i)
        {
            seed = seed * 1664525u + 1013904223u;
            noiseLeft[i] = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
            noiseRight[i] = -noiseLeft[i];
        }
    }

    void process(bool noisy)
    {
        float* inputs[2] = {noisy ? noiseLeft.data() : silence.data(), noisy ? noiseRight.data() : silence.data()};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect.processReplacing(inputs, outputs, kFrames);
    }

    /// Seconds of input, in whole blocks.
    void run(bool noisy, double seconds)
    {
        for (long block = 0; block < static_cast<long>(seconds * kSampleRate / kFrames); ++block)
            process(noisy);
    }
};

void tailNoiseBlock(benchmark::State& state)
{
    TailSetting setting;
    setting.run(true, 1.0);
    for (auto _ : state)
    {
        setting.process(true);
        benchmark::DoNotOptimize(setting.outLeft.data());
    }
}
BENCHMARK(tailNoiseBlock)->Unit(benchmark::kMicrosecond);

void tailSilentBlock120sAfterABurst(benchmark::State& state)
{
    TailSetting setting;
    setting.run(true, 1.0);
    setting.run(false, 120.0);
    for (auto _ : state)
    {
        setting.process(false);
        benchmark::DoNotOptimize(setting.outLeft.data());
    }
}
BENCHMARK(tailSilentBlock120sAfterABurst)->Unit(benchmark::kMicrosecond);
} // namespace

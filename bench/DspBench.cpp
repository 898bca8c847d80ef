// Per-sample costs of the building blocks: the oscillator read, the biquad step with and without redesigns, the
// waveshaper.

#include "dsp/Biquad.h"
#include "dsp/Waveshaper.h"
#include "modulation/Lfo.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
constexpr int kFrames = 512;

std::vector<float> noise(int frames)
{
    std::vector<float> samples(static_cast<size_t>(frames));
    uint32_t state = 12345;
    for (float& s : samples)
    {
        state = state * 1664525u + 1013904223u;
        s = static_cast<float>(state >> 8) * (1.0f / 8388608.0f) - 1.0f;
    }
    return samples;
}

void lfoNext(benchmark::State& state)
{
    Lfo lfo(48000.0f);
    lfo.setRate(3.0);
    for (auto _ : state)
    {
        double sum = 0.0;
        for (int i = 0; i < kFrames; ++i)
            sum += lfo.next();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(lfoNext);

// A steady cutoff: the compare step finds nothing to do and only the two Direct Form I steps run.
void biquadSteady(benchmark::State& state)
{
    Biquad biquad(48000.0);
    std::vector<float> left = noise(kFrames), right = noise(kFrames);
    for (auto _ : state)
    {
        for (int i = 0; i < kFrames; ++i)
        {
            biquad.update(LowPass, 1000.0, 2.0);
            left[i] = static_cast<float>(biquad.process(0, left[i]));
            right[i] = static_cast<float>(biquad.process(1, right[i]));
        }
        benchmark::DoNotOptimize(left.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(biquadSteady);

// A cutoff that moves by more than 1 Hz every sample: a full design (sin, cos, a division) per sample.
void biquadRedesignEverySample(benchmark::State& state)
{
    Biquad biquad(48000.0);
    std::vector<float> left = noise(kFrames), right = noise(kFrames);
    for (auto _ : state)
    {
        for (int i = 0; i < kFrames; ++i)
        {
            biquad.update(LowPass, 500.0 + 2.0 * i, 2.0);
            left[i] = static_cast<float>(biquad.process(0, left[i]));
            right[i] = static_cast<float>(biquad.process(1, right[i]));
        }
        benchmark::DoNotOptimize(left.data());
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(biquadRedesignEverySample);

void waveshaperOrder2(benchmark::State& state)
{
    const Waveshaper shaper(2);
    const std::vector<float> in = noise(kFrames);
    for (auto _ : state)
    {
        double sum = 0.0;
        for (int i = 0; i < kFrames; ++i)
            sum += shaper.shape(in[i]);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(waveshaperOrder2);
} // namespace

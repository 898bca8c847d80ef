// Cost of one processing call of the whole effect (512 stereo frames at 44100 Hz) in typical settings, on the same
// rig as the configuration benchmarks. The real-time budget for such a block is 11.6 ms; the figures in
// docs/PERFORMANCE.md say how small a share of it the effect takes.

#include "bench/BenchRig.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace
{
void runEffect(benchmark::State& state, const std::vector<bench::Setting>& settings)
{
    bench::Rig rig(settings);
    for (auto _ : state)
    {
        rig.processBlock();
        benchmark::DoNotOptimize(rig.outputLeft());
    }
    state.SetItemsProcessed(state.iterations() * bench::kBlockFrames);
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

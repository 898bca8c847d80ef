// Cost of the effect per stereo frame in the configurations of docs/PERFORMANCE.md, each through the record's
// processing entry in 512-frame blocks at 44100 Hz, and as a ratio to a bare stereo biquad loop timed in the same
// run. Counters: ns_per_frame, ratio (to the bare loop), bare_ns (the bare loop's ns per frame, measured just before)
// and rtf44k (real-time factor at 44.1 kHz: seconds of audio per second of one core).
//
//   build/bench/tessaloom-bench --benchmark_filter='config|bare|denormal' --benchmark_repetitions=9
//       --benchmark_report_aggregates_only=true

#include "bench/BenchRig.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

namespace
{
constexpr int kWarmUpBlocks = 200; // the saturation and mix glides settle, the tempo sync reaches its rhythm
constexpr int kBatchBlocks = 128;  // blocks per timed batch of a reference measurement
constexpr int kBatches = 15;

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

/// Median over kBatches batches of ns per stereo frame of blockStep, in thread CPU time as the benchmarks count it.
template <typename BlockStep> double medianNsPerFrame(BlockStep&& blockStep)
{
    std::vector<double> perFrame;
    for (int batch = 0; batch < kBatches; ++batch)
    {
        const double start = threadSeconds();
        for (int block = 0; block < kBatchBlocks; ++block)
            blockStep();
        perFrame.push_back((threadSeconds() - start) * 1e9 / (kBatchBlocks * bench::kBlockFrames));
    }
    std::nth_element(perFrame.begin(), perFrame.begin() + kBatches / 2, perFrame.end());
    return perFrame[kBatches / 2];
}

/// The bare loop over a fixed signal, one 512-frame block a call.
class BareLoop
{
public:
    BareLoop()
        : inLeft(bench::kBlockFrames), inRight(bench::kBlockFrames), outLeft(bench::kBlockFrames),
          outRight(bench::kBlockFrames), filter(bench::bareLowPass())
    {
        for (int i = 0; i < bench::kBlockFrames; ++i)
        {
            inLeft[i] = 0.5f * static_cast<float>((i * 7919) % 1024) / 1024.0f - 0.25f;
            inRight[i] = -inLeft[i];
        }
        for (int block = 0; block < kWarmUpBlocks; ++block)
            step();
    }
    void step()
    {
        bench::bareStereoBiquad(filter, inLeft.data(), inRight.data(), outLeft.data(), outRight.data(),
                                bench::kBlockFrames);
        benchmark::DoNotOptimize(outLeft.data());
        benchmark::ClobberMemory();
    }

private:
    std::vector<float> inLeft, inRight, outLeft, outRight;
    bench::BareBiquad filter;
};

double bareNsPerFrame()
{
    BareLoop bare;
    return medianNsPerFrame([&] { bare.step(); });
}

/// The ratio of blockStep's time to the bare loop's, robust against a machine whose load changes: batches of the two
/// alternate, and the median of the batch pairs' ratios is taken.
template <typename BlockStep> double pairedRatio(BlockStep&& blockStep)
{
    constexpr int kPairs = 21;
    constexpr int kPairBlocks = 16;
    BareLoop bare;
    std::vector<double> ratios;
    for (int pair = 0; pair < kPairs; ++pair)
    {
        const double start = threadSeconds();
        for (int block = 0; block < kPairBlocks; ++block)
            blockStep();
        const double middle = threadSeconds();
        for (int block = 0; block < kPairBlocks; ++block)
            bare.step();
        const double end = threadSeconds();
        ratios.push_back((middle - start) / (end - middle));
    }
    std::nth_element(ratios.begin(), ratios.begin() + kPairs / 2, ratios.end());
    return ratios[kPairs / 2];
}

/// Times the benchmark loop in thread CPU time (what the benchmark library reports as CPU) for the counters.
class LoopTimer
{
public:
    LoopTimer() : start(threadSeconds()) {}
    double elapsedSeconds() const { return threadSeconds() - start; }

private:
    double start;
};

/// ns_per_frame: this run's time per frame; rtf44k: seconds of 44.1 kHz audio per second of one core; ratio: time
/// over the bare loop's, from alternating batches (pairedRatio); bare_ns: the bare loop's ns per frame, timed just
/// before.
void setCounters(benchmark::State& state, const LoopTimer& timer, double bareNs, double ratio)
{
    const double nsPerFrame =
        timer.elapsedSeconds() * 1e9 / (static_cast<double>(state.iterations()) * bench::kBlockFrames);
    state.counters["ns_per_frame"] = nsPerFrame;
    state.counters["ratio"] = ratio;
    state.counters["bare_ns"] = bareNs;
    state.counters["rtf44k"] = 1e9 / (bench::kSampleRateHz * nsPerFrame);
}

/// The bare loop itself, as a benchmark of its own (its ratio is to the reference taken just before it).
void bareStereoBiquadLoop(benchmark::State& state)
{
    const double bareNs = bareNsPerFrame();
    BareLoop bare;
    const LoopTimer timer;
    for (auto _ : state)
        bare.step();
    BareLoop other;
    setCounters(state, timer, bareNs, pairedRatio([&] { other.step(); }));
}
BENCHMARK(bareStereoBiquadLoop);

void configuration(benchmark::State& state, const char* name)
{
    const double bareNs = bareNsPerFrame();
    bench::Rig rig(bench::findConfiguration(name)->settings);
    for (int block = 0; block < kWarmUpBlocks; ++block)
        rig.processBlock();
    const LoopTimer timer;
    for (auto _ : state)
    {
        rig.processBlock();
        benchmark::DoNotOptimize(rig.outputLeft());
    }
    setCounters(state, timer, bareNs, pairedRatio([&] { rig.processBlock(); }));
}

// The filter's history decaying into subnormal numbers: a 20 Hz low-pass at Reso 4 after a loud burst, fed silence.
// ratio_to_noise compares with the same settings fed noise, timed just before.
void denormalTail(benchmark::State& state)
{
    const double bareNs = bareNsPerFrame();
    double noiseNs = 0.0;
    {
        bench::Rig noise(bench::denormalTailSettings());
        for (int block = 0; block < kWarmUpBlocks; ++block)
            noise.processBlock();
        noiseNs = medianNsPerFrame([&] { noise.processBlock(); });
    }

    bench::Rig rig(bench::denormalTailSettings());
    rig.scaleInput(2.0f);
    for (int block = 0; block < 20; ++block)
        rig.processBlock();
    rig.silenceInput(true);
    // Until the history is down among the subnormal numbers (or gone): about 1.4 million frames.
    const double* history = rig.effect().getPrimaryBiquad().getHistory();
    for (int block = 0; block < 40000; ++block)
    {
        rig.processBlock();
        double largest = 0.0;
        for (int i = 0; i < 8; ++i)
            largest = std::max(largest, history[i] < 0.0 ? -history[i] : history[i]);
        if (largest < 2.2250738585072014e-308)
            break;
    }
    const LoopTimer timer;
    for (auto _ : state)
    {
        rig.processBlock();
        benchmark::DoNotOptimize(rig.outputLeft());
    }
    setCounters(state, timer, bareNs, 0.0);
    const double nsPerFrame = state.counters["ns_per_frame"];
    state.counters["ratio"] = nsPerFrame / bareNs; // the tail's own time: alternating batches would end it
    state.counters["ratio_to_noise"] = nsPerFrame / noiseNs;
    state.counters["noise_ns"] = noiseNs;
}
BENCHMARK(denormalTail);

struct Registration
{
    Registration()
    {
        for (const bench::Configuration& c : bench::configurations())
            benchmark::RegisterBenchmark((std::string("config/") + c.name).c_str(), configuration, c.name);
    }
} registration;
} // namespace

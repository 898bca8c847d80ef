// Runs one configuration of the benchmarks for a fixed number of blocks, so that callgrind can count the
// instructions of the measured blocks alone (bench/CheckInstructions.cmake collects inside measuredBlocks only).
//   tessaloom-bench-instructions NAME [BLOCKS]     NAME: a configuration, "bare" or "denormalTail"

#include "bench/BenchRig.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace
{
constexpr int kWarmUpBlocks = 200;

// Not inlined: callgrind's --toggle-collect names it.
__attribute__((noinline)) void measuredBlocks(bench::Rig& rig, int blocks)
{
    for (int block = 0; block < blocks; ++block)
        rig.processBlock();
}

__attribute__((noinline)) void measuredBareBlocks(bench::BareBiquad& filter, const float* in, float* outLeft,
                                                  float* outRight, int blocks)
{
    for (int block = 0; block < blocks; ++block)
        bench::bareStereoBiquad(filter, in, in, outLeft, outRight, bench::kBlockFrames);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
    {
        std::fprintf(stderr, "usage: %s NAME [BLOCKS]\n", argv[0]);
        return 2;
    }
    const char* name = argv[1];
    const int blocks = argc > 2 ? std::atoi(argv[2]) : 50;
    if (blocks <= 0)
    {
        std::fprintf(stderr, "%s: BLOCKS must be above 0\n", argv[0]);
        return 2;
    }

    if (std::strcmp(name, "bare") == 0)
    {
        std::vector<float> in(bench::kBlockFrames, 0.1f), outLeft(bench::kBlockFrames), outRight(bench::kBlockFrames);
        bench::BareBiquad filter = bench::bareLowPass();
        measuredBareBlocks(filter, in.data(), outLeft.data(), outRight.data(), blocks);
        std::printf("%s %d blocks of %d frames, out %g\n", name, blocks, bench::kBlockFrames, outLeft[0]);
        return 0;
    }

    std::vector<bench::Setting> settings;
    const bool denormal = std::strcmp(name, "denormalTail") == 0;
    if (denormal)
    {
        settings = bench::denormalTailSettings();
    }
    else
    {
        const bench::Configuration* configuration = bench::findConfiguration(name);
        if (configuration == nullptr)
        {
            std::fprintf(stderr, "%s: no configuration %s\n", argv[0], name);
            return 2;
        }
        settings = configuration->settings;
    }

    bench::Rig rig(settings);
    if (denormal)
        rig.scaleInput(2.0f);
    for (int block = 0; block < kWarmUpBlocks; ++block)
        rig.processBlock();
    if (denormal)
    {
        rig.silenceInput(true);
        for (int block = 0; block < 3000; ++block)
            rig.processBlock();
    }
    measuredBlocks(rig, blocks);
    std::printf("%s %d blocks of %d frames, out %g\n", name, blocks, bench::kBlockFrames, rig.outputLeft()[0]);
    return 0;
}

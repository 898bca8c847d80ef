// Threads as a host runs them, for ThreadSanitizer: one audio thread processes blocks while two control threads
// write and read every parameter, every name, label and display text, and the program name, for a given time.
// Usage: tessaloom-thread-stress [seconds]   (10 unless given). Exit 0 when every output sample was finite; a data
// race is ThreadSanitizer's to report (it makes the exit status non-zero).

#include "host/VstInterface.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <thread>
#include <vector>

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

namespace
{
constexpr int32_t kFrames = 256;
constexpr int32_t kParameters = 12;

VstTimeInfo hostTime{}; // written and read on the audio thread only, as a host's own record would be

intptr_t VSTCALLBACK stressHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<intptr_t>(&hostTime);
    return 0;
}

std::atomic<bool> running{true};
std::atomic<long> controlCalls{0};

uint32_t nextRandom(uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

void control(AEffect* effect, uint32_t seed)
{
    char text[256];
    const char* names[] = {"A", "Program with a long name beyond 24", "Sweep", ""};
    long calls = 0;
    while (running.load(std::memory_order_relaxed))
    {
        for (int32_t index = 0; index < kParameters; ++index)
        {
            effect->setParameter(effect, index, static_cast<float>(nextRandom(seed)) / 16777216.0f);
            effect->getParameter(effect, index);
            for (int32_t opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay})
                effect->dispatcher(effect, opcode, index, 0, text, 0.0f);
            calls += 5;
        }
        effect->dispatcher(effect, effSetProgramName, 0, 0, const_cast<char*>(names[nextRandom(seed) % 4]), 0.0f);
        effect->dispatcher(effect, effGetProgramName, 0, 0, text, 0.0f);
        for (int32_t opcode : {effGetEffectName, effGetVendorString, effGetProductString})
            effect->dispatcher(effect, opcode, 0, 0, text, 0.0f);
        calls += 5;
    }
    controlCalls += calls;
}
} // namespace

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    AEffect* effect = VSTPluginMain(&stressHost);
    if (effect == nullptr)
    {
        std::fprintf(stderr, "thread stress: the entry point created no instance\n");
        return 1;
    }
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, kFrames, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    hostTime.tempo = 128.0;
    hostTime.sampleRate = 48000.0;
    hostTime.timeSigNumerator = 4;
    hostTime.timeSigDenominator = 4;
    hostTime.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;

    std::thread first(control, effect, 1u);
    std::thread second(control, effect, 2u);

    std::vector<float> left(kFrames), right(kFrames);
    float* channels[2] = {left.data(), right.data()};
    uint32_t seed = 3u;
    long blocks = 0;
    long nonFinite = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end)
    {
        for (int32_t i = 0; i < kFrames; ++i)
        {
            left[static_cast<size_t>(i)] = static_cast<float>(nextRandom(seed)) / 8388608.0f - 1.0f;
            right[static_cast<size_t>(i)] = -left[static_cast<size_t>(i)];
        }
        hostTime.ppqPos = blocks * kFrames * (128.0 / 60.0) / 48000.0;
        effect->processReplacing(effect, channels, channels, kFrames);
        for (int32_t i = 0; i < kFrames; ++i)
            nonFinite += !std::isfinite(left[static_cast<size_t>(i)]) + !std::isfinite(right[static_cast<size_t>(i)]);
        ++blocks;
    }
    running = false;
    first.join();
    second.join();
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);

    std::printf("thread stress: %.0f s, %ld blocks on the audio thread, %ld control calls, %ld non-finite samples\n",
                seconds, blocks, controlCalls.load(), nonFinite);
    return nonFinite == 0 ? 0 : 1;
}

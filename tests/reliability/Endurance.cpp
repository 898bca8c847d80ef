// Endurance runs through the exported entry point, and the transients that ordinary use can produce.
//
//   tessaloom-endurance cycles N     N create/process/close cycles with varied rates, block sizes and settings; built
//                                    with LeakSanitizer, which checks after the last cycle that nothing leaked.
//   tessaloom-endurance hour SECONDS SECONDS of 44100 Hz noise in 512-frame blocks with every parameter randomly
//                                    automated (the saturations at 0, so that nothing clamps the output), the
//                                    host tempo jumping between 60 and 999 BPM and about once a minute a block of
//                                    huge finite noise (up to ±3.4e38); reports the worst block time against
//                                    the median, in the thread's CPU time (what the block costs) and in wall time
//                                    (which also counts the machine's other work), and fails on any non-finite
//                                    sample or an ordinary block's sample above 1e5.
//   tessaloom-endurance bound        the grid of fast settings (every filter type, LFO shape and sync mode, the two
//                                    fastest note lengths, tempos up to 999 BPM, full depth, maximum resonance) at
//                                    8 kHz to 192 kHz in blocks of 1 to 8192 frames of noise at ±1; prints the peaks
//                                    and fails on a sample above 1e5 or non-finite.
//   tessaloom-endurance transients   peaks of the transients that ordinary use can give, which are left as they are:
//                                    a full-range step of Filter Freq and a sawtooth LFO at full depth.

#include "host/VstInterface.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

// The leak checker runs within the address sanitizer (or on its own): then the program asks it directly.
#if defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(leak_sanitizer)
#define TESSALOOM_HAS_LSAN_INTERFACE 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TESSALOOM_HAS_LSAN_INTERFACE 1
#endif
#if defined(TESSALOOM_HAS_LSAN_INTERFACE)
#include <sanitizer/lsan_interface.h>
#endif

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

namespace
{
constexpr int32_t kPreSaturation = 0;
constexpr int32_t kPostSaturation = 10;
constexpr int32_t kMix = 11;
constexpr int32_t kParameters = 12;

VstTimeInfo hostTime{};

intptr_t VSTCALLBACK enduranceHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterGetTime)
        return reinterpret_cast<intptr_t>(&hostTime);
    return 0;
}

/// This thread's CPU time in microseconds.
double cpuMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) * 1e-3;
}

/// "median M us, 99.9th percentile P us, worst W us (Rx the median)" of block times.
void printTimes(const char* what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("endurance: %s median %.2f us, 99.9th percentile %.2f us, worst %.2f us (%.1fx the median)\n", what,
                median, times[times.size() * 999 / 1000], times.back(), times.back() / median);
}

uint32_t nextRandom(uint32_t& seed)
{
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

/// Uniform in [0, 1).
float unit(uint32_t& seed)
{
    return static_cast<float>(nextRandom(seed)) / 16777216.0f;
}

void startTransport(double tempo, double sampleRate)
{
    hostTime = VstTimeInfo{};
    hostTime.tempo = tempo;
    hostTime.sampleRate = sampleRate;
    hostTime.timeSigNumerator = 4;
    hostTime.timeSigDenominator = 4;
    hostTime.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
}

/// Runs one block of noise at ±1 in place; answers the number of non-finite output samples.
long processNoise(AEffect* effect, std::vector<float>& left, std::vector<float>& right, int32_t frames, uint32_t& seed)
{
    for (int32_t i = 0; i < frames; ++i)
    {
        left[static_cast<size_t>(i)] = unit(seed) * 2.0f - 1.0f;
        right[static_cast<size_t>(i)] = unit(seed) * 2.0f - 1.0f;
    }
    float* channels[2] = {left.data(), right.data()};
    effect->processReplacing(effect, channels, channels, frames);
    long nonFinite = 0;
    for (int32_t i = 0; i < frames; ++i)
        nonFinite += !std::isfinite(left[static_cast<size_t>(i)]) + !std::isfinite(right[static_cast<size_t>(i)]);
    return nonFinite;
}

int runCycles(long cycles)
{
    const float rates[] = {8000.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 768000.0f};
    std::vector<float> left(8192), right(8192);
    uint32_t seed = 17u;
    long nonFinite = 0;
    for (long cycle = 0; cycle < cycles; ++cycle)
    {
        AEffect* effect = VSTPluginMain(&enduranceHost);
        if (effect == nullptr)
        {
            std::fprintf(stderr, "endurance: cycle %ld: the entry point created no instance\n", cycle);
            return 1;
        }
        const float rate = rates[nextRandom(seed) % 6];
        const int32_t announced = 1 + static_cast<int32_t>(nextRandom(seed) % 4096);
        startTransport(60.0 + nextRandom(seed) % 200, rate);
        effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
        effect->dispatcher(effect, effSetBlockSize, 0, announced, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        for (int32_t index = 0; index < kParameters; ++index)
            effect->setParameter(effect, index, unit(seed));
        effect->setParameter(effect, kMix, 0.5f * unit(seed)); // the dry buffers in use
        for (int block = 0; block < 4; ++block)
        {
            // Now and then longer than announced, which grows the dry buffers on the audio thread.
            const int32_t frames = 1 + static_cast<int32_t>(nextRandom(seed) % 8192);
            nonFinite += processNoise(effect, left, right, frames, seed);
        }
        effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    int leaks = 0;
#if defined(TESSALOOM_HAS_LSAN_INTERFACE)
    leaks = __lsan_do_recoverable_leak_check();
    std::printf("endurance: %ld create/process/close cycles, leak check: %s, %ld non-finite samples\n", cycles,
                leaks == 0 ? "no leaks" : "LEAKS (see the report above)", nonFinite);
#else
    std::printf("endurance: %ld create/process/close cycles (no leak checker in this build), %ld non-finite samples\n",
                cycles, nonFinite);
#endif
    return leaks == 0 && nonFinite == 0 ? 0 : 1;
}

int runHour(double seconds)
{
    constexpr double kRate = 44100.0;
    constexpr int32_t kFrames = 512;
    const long blocks = static_cast<long>(seconds * kRate / kFrames);
    AEffect* effect = VSTPluginMain(&enduranceHost);
    if (effect == nullptr)
    {
        std::fprintf(stderr, "endurance: the entry point created no instance\n");
        return 1;
    }
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    effect->dispatcher(effect, effSetBlockSize, 0, kFrames, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    double tempo = 120.0;
    startTransport(tempo, kRate);

    std::vector<float> left(kFrames), right(kFrames);
    std::vector<double> wallMicroseconds(static_cast<size_t>(blocks));
    std::vector<double> cpuMicrosecondsOfBlock(static_cast<size_t>(blocks));
    uint32_t seed = 23u;
    long nonFinite = 0;
    long loudBlocks = 0; // ordinary blocks with a sample above 1000 in magnitude: runaway episodes
    long bursts = 0;
    float peak = 0.0f;
    for (long block = 0; block < blocks; ++block)
    {
        for (int32_t index = 0; index < kParameters; ++index)
        {
            if (index == kPreSaturation || index == kPostSaturation)
                continue;
            // About every 3 s per parameter; half of the new values are an end of the range.
            if (nextRandom(seed) % 256 == 0)
            {
                const uint32_t kind = nextRandom(seed) % 4;
                effect->setParameter(effect, index, kind == 0 ? 0.0f : kind == 1 ? 1.0f : unit(seed));
            }
        }
        if (nextRandom(seed) % 860 == 0) // about every 10 s
        {
            tempo = 60.0 + nextRandom(seed) % 940;
            hostTime.tempo = tempo;
        }
        // About once a minute a block of the largest finite samples, as a broken source upstream might send.
        const bool burst = nextRandom(seed) % 5168 == 0;
        const float amplitude = burst ? 3.4e38f : 1.0f; // up to the largest finite floats
        bursts += burst;
        for (int32_t i = 0; i < kFrames; ++i)
        {
            left[static_cast<size_t>(i)] = amplitude * (unit(seed) * 2.0f - 1.0f);
            right[static_cast<size_t>(i)] = amplitude * (unit(seed) * 2.0f - 1.0f);
        }
        float* channels[2] = {left.data(), right.data()};
        const double cpuStart = cpuMicroseconds();
        const auto start = std::chrono::steady_clock::now();
        effect->processReplacing(effect, channels, channels, kFrames);
        const auto stop = std::chrono::steady_clock::now();
        cpuMicrosecondsOfBlock[static_cast<size_t>(block)] = cpuMicroseconds() - cpuStart;
        wallMicroseconds[static_cast<size_t>(block)] = std::chrono::duration<double, std::micro>(stop - start).count();
        float blockPeak = 0.0f;
        for (int32_t i = 0; i < kFrames; ++i)
        {
            const float l = left[static_cast<size_t>(i)];
            const float r = right[static_cast<size_t>(i)];
            nonFinite += !std::isfinite(l) + !std::isfinite(r);
            blockPeak = std::max({blockPeak, std::fabs(l), std::fabs(r)});
        }
        if (!burst)
        {
            loudBlocks += blockPeak > 1000.0f;
            peak = std::max(peak, blockPeak);
        }
        hostTime.samplePos += kFrames;
        hostTime.ppqPos += kFrames * (tempo / 60.0) / kRate;
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);

    std::printf("endurance: %.0f s of audio in %ld blocks of %d frames (real-time budget %.0f us each), %ld of them "
                "of noise up to ±3.4e38; %ld non-finite samples; peak of the others %.4g, %ld of them above 1000\n",
                seconds, blocks, kFrames, kFrames / kRate * 1e6, bursts, nonFinite, peak, loudBlocks);
    printTimes("block CPU time", cpuMicrosecondsOfBlock);
    printTimes("block wall time", wallMicroseconds);
    return nonFinite == 0 && peak <= 1e5f ? 0 : 1;
}

/// The grid of the fastest modulation: no output sample may exceed 1e5 in magnitude or be non-finite.
int runBound()
{
    constexpr int32_t kFilterType = 1, kFilterFreq = 2, kFilterReso = 3, kLfoAmount = 4, kLfoFreq = 5, kLfoSync = 6,
                      kLfoShape = 8;
    const float rates[] = {8000.0f, 44100.0f, 192000.0f};
    const int32_t blockLengths[] = {1, 512, 8192};
    const double tempos[] = {120.0, 480.0, 540.0, 880.0, 999.0};
    const auto entry = [](int e, int count) { return (static_cast<float>(e) + 0.5f) / static_cast<float>(count); };
    std::vector<float> left(8192), right(8192);
    float worst[3][3] = {};
    float worstAtTempo[5] = {};
    long runs = 0, nonFinite = 0, above1e3 = 0, above1e5 = 0, samples = 0;
    for (int rate = 0; rate < 3; ++rate)
        for (int length = 0; length < 3; ++length)
            for (int type = 0; type < 3; ++type)
                for (int shape = 0; shape < 5; ++shape)
                    for (int sync = 0; sync < 4; ++sync)
                        for (int note = 0; note < (sync == 3 ? 1 : 2); ++note) // "Free": its fastest rate, 24 Hz
                            for (int tempo = 0; tempo < (sync == 3 ? 1 : 5); ++tempo)
                            {
                                AEffect* effect = VSTPluginMain(&enduranceHost);
                                const int32_t frames = blockLengths[length];
                                effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rates[rate]);
                                effect->dispatcher(effect, effSetBlockSize, 0, frames, nullptr, 0.0f);
                                effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
                                const float settings[][2] = {
                                    {kFilterType, entry(type, 3)}, {kFilterFreq, 0.2f},
                                    {kFilterReso, 1.0f},           {kLfoAmount, 1.0f},
                                    {kLfoSync, entry(sync, 4)},    {kLfoFreq, sync == 3 ? 1.0f : entry(note, 10)},
                                    {kLfoShape, entry(shape, 5)}};
                                for (const auto& setting : settings)
                                    effect->setParameter(effect, static_cast<int32_t>(setting[0]), setting[1]);
                                startTransport(tempos[tempo], rates[rate]);
                                const long total = std::max(4L * frames, static_cast<long>(rates[rate] * 0.5f));
                                uint32_t seed = 29u + static_cast<uint32_t>(runs);
                                float peak = 0.0f;
                                for (long done = 0; done < total; done += frames)
                                {
                                    nonFinite += processNoise(effect, left, right, frames, seed);
                                    for (int32_t i = 0; i < frames; ++i)
                                    {
                                        for (float v : {left[static_cast<size_t>(i)], right[static_cast<size_t>(i)]})
                                        {
                                            const float m = std::fabs(v);
                                            above1e3 += m > 1e3f;
                                            above1e5 += !(m <= 1e5f);
                                            peak = std::isfinite(m) ? std::max(peak, m) : 3.4e38f;
                                        }
                                    }
                                    samples += 2L * frames;
                                    hostTime.samplePos += frames;
                                    hostTime.ppqPos += frames * (tempos[tempo] / 60.0) / rates[rate];
                                }
                                effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
                                worst[rate][length] = std::max(worst[rate][length], peak);
                                worstAtTempo[tempo] = std::max(worstAtTempo[tempo], sync == 3 ? 0.0f : peak);
                                ++runs;
                            }
    for (int rate = 0; rate < 3; ++rate)
        for (int length = 0; length < 3; ++length)
            std::printf("bound: %6.0f Hz, blocks of %4d frames: peak %.3g\n", rates[rate], blockLengths[length],
                        worst[rate][length]);
    for (int tempo = 0; tempo < 5; ++tempo)
        std::printf("bound: %3.0f BPM (synced): peak %.3g\n", tempos[tempo], worstAtTempo[tempo]);
    std::printf("bound: %ld runs, %ld samples, %ld above 1e3, %ld above 1e5, %ld non-finite\n", runs, samples, above1e3,
                above1e5, nonFinite);
    return above1e5 == 0 && nonFinite == 0 ? 0 : 1;
}
} // namespace

/// Peak output magnitude of seconds of noise at ±1 at 44100 Hz, after the settings; the settings in `after` are
/// written once the first second has run (a step), or not at all when there are none.
struct Setting
{
    int32_t index;
    float value;
};

float transientPeak(const std::vector<Setting>& before, const std::vector<Setting>& after, double seconds,
                    uint32_t seed = 5u)
{
    constexpr int32_t kFrames = 512;
    AEffect* effect = VSTPluginMain(&enduranceHost);
    if (effect == nullptr)
        return -1.0f;
    startTransport(120.0, 44100.0);
    for (const Setting& setting : before)
        effect->setParameter(effect, setting.index, setting.value);
    std::vector<float> left(kFrames), right(kFrames);
    const long settle = after.empty() ? 0 : 44100 / kFrames;
    for (long block = 0; block < settle; ++block)
        processNoise(effect, left, right, kFrames, seed);
    for (const Setting& setting : after)
        effect->setParameter(effect, setting.index, setting.value);
    float peak = 0.0f;
    for (long block = 0; block < static_cast<long>(seconds * 44100.0 / kFrames); ++block)
    {
        processNoise(effect, left, right, kFrames, seed);
        for (int32_t i = 0; i < kFrames; ++i)
            peak = std::max({peak, std::fabs(left[static_cast<size_t>(i)]), std::fabs(right[static_cast<size_t>(i)])});
    }
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return peak;
}

/// The transients of ordinary use that the plug-in leaves as they are (the cutoff takes over unsmoothed).
int runTransients()
{
    constexpr int32_t kFilterFreq = 2, kFilterReso = 3, kLfoAmount = 4, kLfoFreq = 5, kLfoSync = 6, kLfoDirection = 7,
                      kLfoShape = 8;
    for (float reso : {0.0f, 1.0f})
    {
        // The peak depends on the filter state at the step: twenty noise signals give its range.
        float lowest = 1e30f, highest = 0.0f;
        for (uint32_t seed = 1; seed <= 20; ++seed)
        {
            const float peak =
                transientPeak({{kFilterFreq, 1.0f}, {kFilterReso, reso}}, {{kFilterFreq, 0.0f}}, 1.0, seed);
            lowest = std::min(lowest, peak);
            highest = std::max(highest, peak);
        }
        std::printf("transients: Filter Freq step 1 -> 0, Reso %.0f, noise at ±1 (20 signals): peak %.0f to %.0f "
                    "(%+.1f to %+.1f dB)\n",
                    reso, lowest, highest, 20.0 * std::log10(lowest), 20.0 * std::log10(highest));
    }
    for (float reso : {0.0f, 1.0f})
    {
        for (float up : {0.0f, 1.0f})
        {
            // "Sawtooth" (a rising ramp) at full depth, free-running at 24 Hz ("LFO Freq" at its top in "Free"),
            // from the end of the range the direction leads away from: the ramp jumps back once a cycle.
            const float peak = transientPeak({{kFilterFreq, up > 0.0f ? 0.0f : 1.0f},
                                              {kFilterReso, reso},
                                              {kLfoShape, 0.5f},
                                              {kLfoAmount, 1.0f},
                                              {kLfoSync, 0.875f},
                                              {kLfoFreq, 1.0f},
                                              {kLfoDirection, up}},
                                             {}, 5.0);
            std::printf("transients: Sawtooth LFO at full depth, 24 Hz, %s, Reso %.0f, noise at ±1: peak %.1f "
                        "(%+.1f dB)\n",
                        up > 0.0f ? "Up from Filter Freq 0" : "Down from Filter Freq 1", reso, peak,
                        20.0 * std::log10(peak));
        }
    }
    const float clamped =
        transientPeak({{kFilterFreq, 1.0f}, {kFilterReso, 1.0f}, {10, 1.0f}}, {{kFilterFreq, 0.0f}}, 1.0);
    std::printf("transients: the same step with Post Saturation at 1: peak %.6g\n", clamped);
    return 0;
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "transients") == 0)
        return runTransients();
    if (argc == 3 && std::strcmp(argv[1], "cycles") == 0)
        return runCycles(std::atol(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "hour") == 0)
        return runHour(std::atof(argv[2]));
    if (argc == 2 && std::strcmp(argv[1], "bound") == 0)
        return runBound();
    std::fprintf(stderr, "usage: tessaloom-endurance cycles N | hour SECONDS | transients | bound\n");
    return 2;
}

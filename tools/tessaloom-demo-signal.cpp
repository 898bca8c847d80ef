// tessaloom-demo-signal: writes the demo's source signal, a drum-like loop under a chord of saw waves, as a stereo
// 32-bit float WAV file. Everything is computed here (no randomness from the system), so the file is the same on
// every machine.
//
// Usage: tessaloom-demo-signal OUTPUT.wav [BARS] [BPM]   (default 2 bars at 128 BPM, 48 kHz)

#include "tools/TextUtilities.h"

#include <fmt/format.h>
#include <sndfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

constexpr double kPi = 3.14159265358979323846;
constexpr int kSampleRate = 48000;

// A small linear congruential generator: the same noise everywhere.
class Noise
{
public:
    double next()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 8388608.0 - 1.0; // 24 bits to -1 .. 1
    }

private:
    uint32_t state = 22222u;
};

// A kick: a sine falling from 150 Hz to 45 Hz with a fast decay.
double kick(double t)
{
    const double phase = 2.0 * kPi * (45.0 * t + (150.0 - 45.0) * 0.03 * (1.0 - std::exp(-t / 0.03)));
    return 0.9 * std::sin(phase) * std::exp(-t / 0.18);
}

// A snare: a 190 Hz body and a noise burst.
double snare(double t, double noise)
{
    return 0.35 * std::sin(2.0 * kPi * 190.0 * t) * std::exp(-t / 0.06) + 0.4 * noise * std::exp(-t / 0.09);
}

// A closed hi-hat: first-difference (bright) noise, very short.
double hat(double t, double brightNoise)
{
    return 0.18 * brightNoise * std::exp(-t / 0.02);
}

// A saw wave in -1 .. 1 at frequency hz, its jumps smoothed by a polynomial band-limited step (polyBLEP) so that
// little of it aliases: the spectrograms then show the filter, not fold-over.
double saw(double t, double hz)
{
    const double cycles = t * hz;
    const double phase = cycles - std::floor(cycles);
    const double step = hz / kSampleRate; // phase advance per sample
    double correction = 0.0;
    if (phase < step)
    {
        const double x = phase / step;
        correction = x + x - x * x - 1.0;
    }
    else if (phase > 1.0 - step)
    {
        const double x = (phase - 1.0) / step;
        correction = x * x + x + x + 1.0;
    }
    return 2.0 * phase - 1.0 - correction;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 4)
    {
        std::fputs("usage: tessaloom-demo-signal OUTPUT.wav [BARS] [BPM]\n", stderr);
        return 2;
    }
    const auto bars = argc > 2 ? parseInteger(argv[2], 1, 64) : std::optional<long long>(2);
    const auto bpm = argc > 3 ? parseNumber(argv[3]) : std::optional<double>(128.0);
    if (!bars || !bpm || *bpm < 30.0 || *bpm > 300.0)
    {
        std::fputs("tessaloom-demo-signal: give 1 to 64 bars and 30 to 300 BPM\n", stderr);
        return 2;
    }

    const double beatSeconds = 60.0 / *bpm;
    const size_t frames = static_cast<size_t>(std::llround(*bars * 4 * beatSeconds * kSampleRate));
    const double chordHz[4] = {110.0, 130.81, 164.81, 220.0}; // A2 C3 E3 A3: A minor
    Noise noise;
    double previousNoise = 0.0;
    std::vector<float> interleaved(frames * 2);
    for (size_t i = 0; i < frames; ++i)
    {
        const double t = static_cast<double>(i) / kSampleRate;
        const double beats = t / beatSeconds;
        const double sinceBeat = (beats - std::floor(beats)) * beatSeconds;
        const double sinceEighth = (beats * 2.0 - std::floor(beats * 2.0)) * beatSeconds * 0.5;
        const int beatInBar = static_cast<int>(std::floor(beats)) % 4;
        const double n = noise.next();
        const double bright = n - previousNoise;
        previousNoise = n;

        double drums = kick(sinceBeat) + hat(sinceEighth, bright) * 0.5;
        if (beatInBar == 1 || beatInBar == 3)
            drums += snare(sinceBeat, n);
        double left = 0.0;
        double right = 0.0;
        for (int v = 0; v < 4; ++v)
        {
            // Slightly detuned voices left and right give the chord some width.
            left += saw(t, chordHz[v] * 0.998);
            right += saw(t, chordHz[v] * 1.002);
        }
        // Levels leave headroom for the filter's resonance.
        interleaved[i * 2] = static_cast<float>(0.4 * drums + 0.05 * left);
        interleaved[i * 2 + 1] = static_cast<float>(0.4 * drums + 0.05 * right);
    }

    SF_INFO info{};
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    info.channels = 2;
    info.samplerate = kSampleRate;
    SNDFILE* const file = sf_open(argv[1], SFM_WRITE, &info);
    if (file == nullptr)
    {
        std::fputs(fmt::format("tessaloom-demo-signal: {}: cannot write: {}\n", argv[1], sf_strerror(nullptr)).c_str(),
                   stderr);
        return 1;
    }
    const sf_count_t written = sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(frames));
    sf_close(file);
    if (written != static_cast<sf_count_t>(frames))
    {
        std::fputs(fmt::format("tessaloom-demo-signal: {}: cannot write all frames\n", argv[1]).c_str(), stderr);
        return 1;
    }
    return 0;
}

// daw-audio-check: the audio checks of the Ardour and LV2 host tests, on WAV (or other libsndfile) files.
//
//   daw-audio-check compare [--subnormals-as-zero] EXPECTED ACTUAL
//       passes when both files hold the same channels, frames and rate and every sample has the same bits
//       (both files must store 32-bit float samples, so that nothing is rounded on the way); with
//       --subnormals-as-zero every subnormal sample and every zero of either sign counts as +0 (a host's
//       flush-to-zero mode and bus summing). When the files differ, it also looks whether ACTUAL is EXPECTED delayed
//       by up to 8192 frames, and says so;
//   daw-audio-check period FILE SECONDS [TOLERANCE]
//       passes when every sample is finite, the file is not digital silence, and the envelope's strongest period
//       lies within TOLERANCE (relative, default 0.01) of SECONDS and stands out clearly from the rest;
//   daw-audio-check export INPUT OUTPUT
//       passes when a host's render OUTPUT of INPUT is stereo, has INPUT's rate and length, every sample is finite,
//       and it is not digital silence.
//
// Prints one line per finding; exit status 0 pass, 1 check failed, 2 usage or unreadable file, 3 ACTUAL is EXPECTED
// delayed (a compare that failed only by an offset in time).

#include "AudioClip.h"
#include "EnvelopePeriod.h"
#include "SampleComparison.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

constexpr double kLowestEnvelopeHz = 0.2;   // periods up to 5 s
constexpr double kHighestEnvelopeHz = 25.0; // half the 100 Hz envelope rate
constexpr double kMinimumProminence = 8.0;  // strongest component over the median of the searched range
constexpr int64_t kLongestDelay = 8192;     // frames searched for an offset between two renders
constexpr int kDelayed = 3;                 // exit status: the files differ by a delay only

int usage()
{
    std::fprintf(stderr, "usage: daw-audio-check compare [--subnormals-as-zero] EXPECTED ACTUAL\n"
                         "       daw-audio-check period FILE SECONDS [TOLERANCE]\n"
                         "       daw-audio-check export INPUT OUTPUT\n");
    return 2;
}

bool load(AudioClip& clip, const char* path)
{
    std::string error;
    if (clip.load(path, error))
        return true;
    std::printf("cannot read %s\n", error.c_str());
    return false;
}

int compare(const char* expectedPath, const char* actualPath, bool subnormalsAsZero)
{
    AudioClip expected;
    AudioClip actual;
    if (!load(expected, expectedPath) || !load(actual, actualPath))
        return 2;
    for (const AudioClip* clip : {&expected, &actual})
        if (!clip->storedAsFloat())
        {
            std::printf("%s does not store 32-bit float samples: no bit-exact comparison\n", clip->path().c_str());
            return 2;
        }
    const SampleComparison comparison(expected, actual, subnormalsAsZero);
    std::printf("%s\n", comparison.describe().c_str());
    if (comparison.identical())
        return 0;
    const int64_t delay = SampleComparison::delayOf(expected, actual, kLongestDelay, subnormalsAsZero);
    if (delay == 0)
        return 1;
    std::printf("%s is %s delayed by %lld frames (%.3f ms), otherwise identical\n", actualPath, expectedPath,
                static_cast<long long>(delay), 1000.0 * static_cast<double>(delay) / expected.sampleRate());
    return kDelayed;
}

/// Prints the clip's shape and level; false, with the reason printed, when a sample is not finite or all are zero.
bool finiteAndAudible(const AudioClip& clip, const char* path)
{
    int64_t nonFinite = 0;
    double peak = 0.0;
    for (int c = 0; c < clip.channels(); ++c)
        for (float x : clip.channel(c))
        {
            if (!std::isfinite(x))
                ++nonFinite;
            else
                peak = std::fmax(peak, std::fabs(static_cast<double>(x)));
        }
    std::printf("%s: %d ch, %lld frames, %d Hz, peak %.2f dBFS, %lld non-finite samples\n", path, clip.channels(),
                static_cast<long long>(clip.frames()), clip.sampleRate(), peak > 0.0 ? 20.0 * std::log10(peak) : -999.0,
                static_cast<long long>(nonFinite));
    if (nonFinite > 0)
    {
        std::printf("FAIL: the file holds non-finite samples\n");
        return false;
    }
    if (peak == 0.0)
    {
        std::printf("FAIL: the file is digital silence\n");
        return false;
    }
    return true;
}

int period(const char* path, double expectedSeconds, double tolerance)
{
    AudioClip clip;
    if (!load(clip, path))
        return 2;
    if (!finiteAndAudible(clip, path))
        return 1;

    const EnvelopePeriod envelope(clip, kLowestEnvelopeHz, kHighestEnvelopeHz);
    const double found = envelope.strongestPeriodSeconds();
    const double error = found > 0.0 ? std::fabs(found - expectedSeconds) / expectedSeconds : 1.0;
    std::printf("envelope: strongest period %.5f s (%.4f Hz), %.1f times the median component; expected %.5f s, "
                "off by %.3f %%\n",
                found, found > 0.0 ? 1.0 / found : 0.0, envelope.prominence(), expectedSeconds, 100.0 * error);
    if (!(error <= tolerance))
    {
        std::printf("FAIL: the strongest envelope period is not within %.3g %% of %.5f s\n", 100.0 * tolerance,
                    expectedSeconds);
        return 1;
    }
    if (!(envelope.prominence() >= kMinimumProminence))
    {
        std::printf("FAIL: the envelope does not repeat clearly (prominence below %.0f)\n", kMinimumProminence);
        return 1;
    }
    return 0;
}

int exported(const char* inputPath, const char* outputPath)
{
    AudioClip input;
    AudioClip output;
    if (!load(input, inputPath) || !load(output, outputPath))
        return 2;
    bool pass = finiteAndAudible(output, outputPath);
    if (output.channels() != 2)
    {
        std::printf("FAIL: %s has %d channels, not 2\n", outputPath, output.channels());
        pass = false;
    }
    if (output.sampleRate() != input.sampleRate() || output.frames() != input.frames())
    {
        std::printf("FAIL: %s has %lld frames at %d Hz, the input %lld frames at %d Hz\n", outputPath,
                    static_cast<long long>(output.frames()), output.sampleRate(),
                    static_cast<long long>(input.frames()), input.sampleRate());
        pass = false;
    }
    return pass ? 0 : 1;
}

bool parsePositive(const char* text, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && std::isfinite(value) && value > 0.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "compare") == 0)
        return compare(argv[2], argv[3], false);
    if (argc == 5 && std::strcmp(argv[1], "compare") == 0 && std::strcmp(argv[2], "--subnormals-as-zero") == 0)
        return compare(argv[3], argv[4], true);
    if ((argc == 4 || argc == 5) && std::strcmp(argv[1], "period") == 0)
    {
        double seconds = 0.0;
        double tolerance = 0.01;
        if (!parsePositive(argv[3], seconds) || (argc == 5 && !parsePositive(argv[4], tolerance)))
            return usage();
        return period(argv[2], seconds, tolerance);
    }
    if (argc == 4 && std::strcmp(argv[1], "export") == 0)
        return exported(argv[2], argv[3]);
    return usage();
}

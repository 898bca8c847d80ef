#include "tools/RenderSummary.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

void RenderSummary::addOutput(const float* left, const float* right, int32_t frames)
{
    const float* const channels[2] = {left, right};
    for (int c = 0; c < 2; ++c)
    {
        const float* const samples = channels[c];
        // The usual block: finite and within full scale, found in one pass that only takes the largest magnitude
        // and notes whether any sample is not finite (NaN fails both comparisons).
        // Eight lanes side by side, so that the compiler keeps them in vector registers.
        constexpr int kLanes = 8;
        float lanePeak[kLanes] = {};
        int32_t laneFinite[kLanes] = {};
        int32_t i = 0;
        for (; i + kLanes <= frames; i += kLanes)
        {
            for (int k = 0; k < kLanes; ++k)
            {
                const float magnitude = std::fabs(samples[i + k]);
                lanePeak[k] = std::max(lanePeak[k], magnitude);
                laneFinite[k] += magnitude <= std::numeric_limits<float>::max() ? 1 : 0;
            }
        }
        float largest = 0.0f;
        int32_t finite = 0;
        for (int k = 0; k < kLanes; ++k)
        {
            largest = std::max(largest, lanePeak[k]);
            finite += laneFinite[k];
        }
        for (; i < frames; ++i)
        {
            const float magnitude = std::fabs(samples[i]);
            largest = std::max(largest, magnitude);
            finite += magnitude <= std::numeric_limits<float>::max() ? 1 : 0;
        }
        if (finite == frames && largest <= 1.0f)
        {
            channelPeak[c] = largest > channelPeak[c] ? largest : channelPeak[c];
            continue;
        }
        for (int32_t j = 0; j < frames; ++j)
        {
            const double magnitude = std::fabs(static_cast<double>(samples[j]));
            if (!std::isfinite(magnitude))
            {
                ++nonFinite;
                continue;
            }
            if (magnitude > 1.0)
                ++clipped;
            if (magnitude > channelPeak[c])
                channelPeak[c] = magnitude;
        }
    }
}

double RenderSummary::realTimeFactor() const
{
    const double audioSeconds = static_cast<double>(prerollFrames + renderedFrames) / sampleRate;
    return secondsTaken > 0.0 ? audioSeconds / secondsTaken : 0.0;
}

std::string RenderSummary::dbfsText(double magnitude)
{
    if (!(magnitude > 0.0))
        return "-inf dBFS";
    return fmt::format("{:+.1f} dBFS", 20.0 * std::log10(magnitude));
}

std::string RenderSummary::line() const
{
    return fmt::format("rendered    {} from {} ({:.3f} s, {}, peak {})\n", outputPath, inputPath,
                       renderedFrames / sampleRate, formatDescription, dbfsText(peak()));
}

std::string RenderSummary::text() const
{
    return fmt::format("rendered    {} ({}, {:.0f} Hz)\n", outputPath, formatDescription, sampleRate) +
           fmt::format("from        {} ({})\n", inputPath, inputChannels == 1 ? "mono, fed to both inputs" : "stereo") +
           fmt::format("frames      {} ({:.3f} s; tail {:.3f} s; pre-roll {:.3f} s not written)\n", renderedFrames,
                       renderedFrames / sampleRate, tailFrames / sampleRate, prerollFrames / sampleRate) +
           fmt::format("blocks      {}, time requests {}\n", blocks, timeRequests) +
           fmt::format("time        {:.3f} s, {:.1f}x real time\n", secondsTaken, realTimeFactor()) +
           fmt::format("peak        {} (left {}, right {})\n", dbfsText(peak()), dbfsText(peak(0)), dbfsText(peak(1)));
}

nlohmann::ordered_json RenderSummary::json() const
{
    // Non-finite numbers (the level of silence in dB) are written as null.
    return {{"input", inputPath},
            {"output", outputPath},
            {"format", formatDescription},
            {"sampleRate", sampleRate},
            {"frames", renderedFrames},
            {"seconds", renderedFrames / sampleRate},
            {"prerollFrames", prerollFrames},
            {"tailFrames", tailFrames},
            {"blocks", blocks},
            {"timeRequests", timeRequests},
            {"secondsTaken", secondsTaken},
            {"realTimeFactor", realTimeFactor()},
            {"peak", peak()},
            {"peakDbfs", 20.0 * std::log10(peak())},
            {"clippedSamples", clipped},
            {"nonFiniteSamples", nonFinite}};
}

std::vector<std::string> RenderSummary::warnings() const
{
    std::vector<std::string> lines;
    if (inputDeclaredFrames > inputFramesRead)
        lines.push_back(
            fmt::format("{}: the header declares {} frames ({:.3f} s) but only {} ({:.3f} s) could be read: "
                        "the file is cut short; rendered what there is",
                        inputPath, inputDeclaredFrames, inputDeclaredFrames / sampleRate, inputFramesRead,
                        inputFramesRead / sampleRate));
    if (!formatNarrowing.empty())
        lines.push_back(formatNarrowing);
    if (clipped > 0)
        lines.push_back(fmt::format("{}: {} samples above full scale (peak {}; {})", outputPath, clipped,
                                    dbfsText(peak()), floatOutput ? "kept in the float output" : "clipped"));
    if (nonFinite > 0)
        lines.push_back(fmt::format("{}: {} non-finite samples (NaN or infinite; {})", outputPath, nonFinite,
                                    floatOutput ? "kept in the float output" : "written as 0"));
    return lines;
}

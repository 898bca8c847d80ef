#include "tools/RenderSummary.h"

#include "tools/TextUtilities.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace
{

std::string format(const char* pattern, double value)
{
    char text[96];
    std::snprintf(text, sizeof(text), pattern, value);
    return text;
}

std::string jsonNumber(double value)
{
    return std::isfinite(value) ? format("%.17g", value) : "null";
}

} // namespace

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
    return format("%+.1f dBFS", 20.0 * std::log10(magnitude));
}

std::string RenderSummary::line() const
{
    return "rendered    " + outputPath + " from " + inputPath + format(" (%.3f s, ", renderedFrames / sampleRate) +
           formatDescription + ", peak " + dbfsText(peak()) + ")\n";
}

std::string RenderSummary::text() const
{
    std::string out;
    out += "rendered    " + outputPath + " (" + formatDescription + ", " + format("%.0f Hz", sampleRate) + ")\n";
    out += "from        " + inputPath + (inputChannels == 1 ? " (mono, fed to both inputs)\n" : " (stereo)\n");
    out += "frames      " + std::to_string(renderedFrames) + format(" (%.3f s", renderedFrames / sampleRate) +
           format("; tail %.3f s", tailFrames / sampleRate) +
           format("; pre-roll %.3f s not written)\n", prerollFrames / sampleRate);
    out += "blocks      " + std::to_string(blocks) + ", time requests " + std::to_string(timeRequests) + "\n";
    out += "time        " + format("%.3f s", secondsTaken) + format(", %.1fx real time\n", realTimeFactor());
    out += "peak        " + dbfsText(peak()) + " (left " + dbfsText(peak(0)) + ", right " + dbfsText(peak(1)) + ")\n";
    return out;
}

std::string RenderSummary::json() const
{
    std::string out = "{";
    out += "\"input\": " + jsonString(inputPath);
    out += ", \"output\": " + jsonString(outputPath);
    out += ", \"format\": " + jsonString(formatDescription);
    out += ", \"sampleRate\": " + jsonNumber(sampleRate);
    out += ", \"frames\": " + std::to_string(renderedFrames);
    out += ", \"seconds\": " + jsonNumber(renderedFrames / sampleRate);
    out += ", \"prerollFrames\": " + std::to_string(prerollFrames);
    out += ", \"tailFrames\": " + std::to_string(tailFrames);
    out += ", \"blocks\": " + std::to_string(blocks);
    out += ", \"timeRequests\": " + std::to_string(timeRequests);
    out += ", \"secondsTaken\": " + jsonNumber(secondsTaken);
    out += ", \"realTimeFactor\": " + jsonNumber(realTimeFactor());
    out += ", \"peak\": " + jsonNumber(peak());
    out += ", \"peakDbfs\": " + (peak() > 0.0 ? jsonNumber(20.0 * std::log10(peak())) : std::string("null"));
    out += ", \"clippedSamples\": " + std::to_string(clipped);
    out += ", \"nonFiniteSamples\": " + std::to_string(nonFinite);
    return out + "}\n";
}

std::vector<std::string> RenderSummary::warnings() const
{
    std::vector<std::string> lines;
    if (inputDeclaredFrames > inputFramesRead)
        lines.push_back(inputPath + ": the header declares " + std::to_string(inputDeclaredFrames) + " frames" +
                        format(" (%.3f s)", inputDeclaredFrames / sampleRate) + " but only " +
                        std::to_string(inputFramesRead) + format(" (%.3f s)", inputFramesRead / sampleRate) +
                        " could be read: the file is cut short; rendered what there is");
    if (!formatNarrowing.empty())
        lines.push_back(formatNarrowing);
    if (clipped > 0)
        lines.push_back(outputPath + ": " + std::to_string(clipped) + " samples above full scale (peak " +
                        dbfsText(peak()) + (floatOutput ? "; kept in the float output)" : "; clipped)"));
    if (nonFinite > 0)
        lines.push_back(outputPath + ": " + std::to_string(nonFinite) + " non-finite samples (NaN or infinite; " +
                        (floatOutput ? "kept in the float output)" : "written as 0)"));
    return lines;
}

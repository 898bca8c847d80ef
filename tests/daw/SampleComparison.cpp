#include "SampleComparison.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
uint32_t bitsOf(float value)
{
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

/// The bits of value; when flushing, a subnormal or a zero of either sign counts as +0.
uint32_t comparedBits(float value, bool flushSubnormals)
{
    if (flushSubnormals && (std::fpclassify(value) == FP_SUBNORMAL || value == 0.0f))
        return 0u;
    return bitsOf(value);
}

bool sameShape(const AudioClip& a, const AudioClip& b)
{
    return a.channels() == b.channels() && a.frames() == b.frames() && a.sampleRate() == b.sampleRate();
}
} // namespace

SampleComparison::SampleComparison(const AudioClip& expected, const AudioClip& actual, bool subnormalsAsZero)
    : subnormalRule(subnormalsAsZero)
{
    channelCount = expected.channels();
    frameCount = expected.frames();
    rate = expected.sampleRate();
    if (!sameShape(expected, actual))
    {
        char text[256];
        std::snprintf(text, sizeof text, "shapes differ: %d ch, %lld frames, %d Hz expected, %d ch, %lld frames, %d Hz",
                      channelCount, static_cast<long long>(frameCount), rate, actual.channels(),
                      static_cast<long long>(actual.frames()), actual.sampleRate());
        shapeProblem = text;
        return;
    }
    shapeMatches = true;
    for (int c = 0; c < channelCount; ++c)
    {
        const std::vector<float>& a = expected.channel(c);
        const std::vector<float>& b = actual.channel(c);
        for (int64_t i = 0; i < frameCount; ++i)
        {
            const float x = a[static_cast<size_t>(i)];
            const float y = b[static_cast<size_t>(i)];
            if (bitsOf(x) == bitsOf(y))
                continue;
            if (comparedBits(x, subnormalRule) == comparedBits(y, subnormalRule))
            {
                ++flushed;
                continue;
            }
            if (differences == 0 || i < firstFrame)
            {
                firstChannel = c;
                firstFrame = i;
                firstExpected = x;
                firstActual = y;
            }
            ++differences;
            if (std::isfinite(x) && std::isfinite(y))
                largestDifference = std::fmax(largestDifference, std::fabs(static_cast<double>(x) - y));
        }
    }
}

std::string SampleComparison::describe() const
{
    if (!shapeMatches)
        return shapeProblem;
    char text[400];
    const long long samples = static_cast<long long>(frameCount) * channelCount;
    if (differences == 0)
    {
        if (flushed == 0)
            std::snprintf(text, sizeof text, "identical: %lld frames x %d channels at %d Hz, every sample bit for bit",
                          static_cast<long long>(frameCount), channelCount, rate);
        else
            std::snprintf(text, sizeof text,
                          "identical: %lld frames x %d channels at %d Hz, bit for bit except %lld samples that are "
                          "subnormal or -0 in one and +0 in the other (flush-to-zero)",
                          static_cast<long long>(frameCount), channelCount, rate, static_cast<long long>(flushed));
        return text;
    }
    std::snprintf(text, sizeof text,
                  "%lld of %lld samples differ; first at frame %lld (%.6f s) channel %d: expected %.9g, got %.9g; "
                  "largest difference %.3g",
                  static_cast<long long>(differences), samples, static_cast<long long>(firstFrame),
                  rate > 0 ? static_cast<double>(firstFrame) / rate : 0.0, firstChannel + 1,
                  static_cast<double>(firstExpected), static_cast<double>(firstActual), largestDifference);
    return text;
}

int64_t SampleComparison::delayOf(const AudioClip& expected, const AudioClip& actual, int64_t maxFrames,
                                  bool subnormalsAsZero)
{
    if (!sameShape(expected, actual))
        return 0;
    const int64_t frames = expected.frames();
    for (int64_t delay = 1; delay <= maxFrames && delay < frames; ++delay)
    {
        bool fits = true;
        for (int c = 0; c < expected.channels() && fits; ++c)
        {
            const std::vector<float>& a = expected.channel(c);
            const std::vector<float>& b = actual.channel(c);
            for (int64_t i = 0; i < frames && fits; ++i)
            {
                const float got = b[static_cast<size_t>(i)];
                if (i < delay)
                    fits = comparedBits(got, subnormalsAsZero) == 0u || got == 0.0f; // a zero of either sign
                else
                    fits = comparedBits(got, subnormalsAsZero) ==
                           comparedBits(a[static_cast<size_t>(i - delay)], subnormalsAsZero);
            }
        }
        if (fits)
            return delay;
    }
    return 0;
}

#include "EnvelopePeriod.h"

#include <algorithm>
#include <cmath>

namespace
{
constexpr double kCoarseStepHz = 0.01;
constexpr double kFineStepHz = 0.0001;
} // namespace

EnvelopePeriod::EnvelopePeriod(const AudioClip& clip, double lowestHz, double highestHz)
{
    const int64_t hop = static_cast<int64_t>(std::lround(clip.sampleRate() * kHopSeconds));
    const int channels = clip.channels();
    if (hop < 1 || channels < 1 || clip.frames() < 2 * hop || !(lowestHz > 0.0) || !(highestHz > lowestHz))
        return;
    envelopeRate = static_cast<double>(clip.sampleRate()) / static_cast<double>(hop);

    const int64_t hops = clip.frames() / hop;
    envelope.resize(static_cast<size_t>(hops));
    for (int64_t k = 0; k < hops; ++k)
    {
        double power = 0.0;
        for (int c = 0; c < channels; ++c)
            for (int64_t i = k * hop; i < (k + 1) * hop; ++i)
            {
                const double x = clip.channel(c)[static_cast<size_t>(i)];
                power += x * x;
            }
        envelope[static_cast<size_t>(k)] = std::sqrt(power / static_cast<double>(hop * channels));
    }
    double mean = 0.0;
    for (double value : envelope)
        mean += value;
    mean /= static_cast<double>(hops);
    const double pi = std::acos(-1.0);
    for (int64_t k = 0; k < hops; ++k)
    {
        const double window =
            0.5 - 0.5 * std::cos(2.0 * pi * (static_cast<double>(k) + 0.5) / static_cast<double>(hops));
        envelope[static_cast<size_t>(k)] = (envelope[static_cast<size_t>(k)] - mean) * window;
    }

    // A coarse scan finds the strongest region; a fine scan around it places the peak well within a tenth of a
    // percent for the few-second clips this is used on.
    std::vector<double> magnitudes;
    double bestHz = 0.0;
    double best = 0.0;
    for (double hz = lowestHz; hz <= highestHz; hz += kCoarseStepHz)
    {
        const double m = magnitudeAt(hz);
        magnitudes.push_back(m);
        if (m > best)
        {
            best = m;
            bestHz = hz;
        }
    }
    if (!(best > 0.0))
        return;
    const double fineFrom = std::max(lowestHz, bestHz - kCoarseStepHz);
    const double fineTo = std::min(highestHz, bestHz + kCoarseStepHz);
    for (double hz = fineFrom; hz <= fineTo; hz += kFineStepHz)
    {
        const double m = magnitudeAt(hz);
        if (m > best)
        {
            best = m;
            bestHz = hz;
        }
    }
    strongestHz = bestHz;
    std::nth_element(magnitudes.begin(), magnitudes.begin() + static_cast<std::ptrdiff_t>(magnitudes.size() / 2),
                     magnitudes.end());
    const double median = magnitudes[magnitudes.size() / 2];
    prominenceRatio = median > 0.0 ? best / median : 0.0;
}

double EnvelopePeriod::magnitudeAt(double hz) const
{
    const double pi = std::acos(-1.0);
    const double step = 2.0 * pi * hz / envelopeRate;
    double re = 0.0;
    double im = 0.0;
    for (size_t k = 0; k < envelope.size(); ++k)
    {
        const double angle = step * static_cast<double>(k);
        re += envelope[k] * std::cos(angle);
        im -= envelope[k] * std::sin(angle);
    }
    return std::hypot(re, im);
}

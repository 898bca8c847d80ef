#include "dsp/Biquad.h"

#include <cmath>
#include <complex>

Biquad::Biquad(double sampleRateHz) noexcept : sampleRate(sampleRateHz)
{
}

void Biquad::design() noexcept
{
    // No caller asks for another type; keeping the last coefficients keeps the section stable and the output sane.
    if (type < LowPass || type > HighShelf)
        return;

    // Every formula keeps its written order of operations: the coefficients are part of the plug-in's behaviour
    // bit for bit, and a regrouped expression rounds differently.
    const double w0 = (frequency / sampleRate) * 6.283185307179586;
    const double s = std::sin(w0);
    const double c = std::cos(w0);
    double alpha = 0.0;
    if (bandwidthMode)
        alpha = s * std::sinh(std::log(2.0) * (q / s) * w0 * 0.5); // q is the bandwidth in octaves
    else
        alpha = s / (q * 2.0);

    double nb0 = 0.0, nb1 = 0.0, nb2 = 0.0; // numerator, before division by a0
    double na0 = 0.0, na1 = 0.0, na2 = 0.0; // denominator
    if (type < Peaking)
    {
        na0 = 1.0 + alpha;
        na1 = -2.0 * c;
        na2 = 1.0 - alpha;
        switch (type)
        {
        case LowPass:
            nb0 = (1.0 - c) * 0.5;
            nb1 = 1.0 - c;
            nb2 = (1.0 - c) * 0.5;
            break;
        case HighPass:
            nb0 = (1.0 + c) * 0.5;
            nb1 = -(1.0 + c);
            nb2 = (1.0 + c) * 0.5;
            break;
        case BandPass:
            nb0 = alpha;
            nb1 = 0.0;
            nb2 = -alpha;
            break;
        case BandPassSkirt:
            nb0 = s * 0.5;
            nb1 = 0.0;
            nb2 = s * -0.5;
            break;
        case Notch:
            nb0 = 1.0;
            nb1 = -2.0 * c;
            nb2 = 1.0;
            break;
        default: // AllPass
            nb0 = 1.0 - alpha;
            nb1 = -2.0 * c;
            nb2 = 1.0 + alpha;
            break;
        }
    }
    else
    {
        const double A = std::pow(10.0, gainDb * 0.025); // amplitude, 10^(gainDb / 40)
        const double S = std::sqrt(A) / q * s;           // shelf term: q is read as a Q even in bandwidth mode
        switch (type)
        {
        case Peaking:
            nb0 = 1.0 + alpha * A;
            nb1 = -2.0 * c;
            nb2 = 1.0 - alpha * A;
            na0 = 1.0 + alpha / A;
            na1 = -2.0 * c;
            na2 = 1.0 - alpha / A;
            break;
        case LowShelf:
            nb0 = A * ((A + 1.0) - (A - 1.0) * c + S);
            nb1 = 2.0 * A * ((A - 1.0) - (A + 1.0) * c);
            nb2 = A * ((A + 1.0) - (A - 1.0) * c - S);
            na0 = (A + 1.0) + (A - 1.0) * c + S;
            na1 = -2.0 * ((A - 1.0) + (A + 1.0) * c);
            na2 = (A + 1.0) + (A - 1.0) * c - S;
            break;
        default: // HighShelf
            nb0 = A * ((A + 1.0) + (A - 1.0) * c + S);
            nb1 = -2.0 * A * ((A - 1.0) + (A + 1.0) * c);
            nb2 = A * ((A + 1.0) + (A - 1.0) * c - S);
            na0 = (A + 1.0) - (A - 1.0) * c + S;
            na1 = 2.0 * ((A - 1.0) - (A + 1.0) * c);
            na2 = (A + 1.0) - (A - 1.0) * c - S;
            break;
        }
    }

    const double k = 1.0 / na0;
    b0 = k * nb0;
    b1 = k * nb1;
    b2 = k * nb2;
    a1 = k * na1;
    a2 = k * na2;
}

void Biquad::setDesign(int32_t newType, double frequencyHz, double qOrBandwidth, double newGainDb,
                       bool newBandwidthMode) noexcept
{
    type = newType;
    frequency = frequencyHz;
    q = qOrBandwidth;
    gainDb = newGainDb;
    bandwidthMode = newBandwidthMode;
    needsDesign = false;
    design();
}

void Biquad::redesign(int32_t newType, double frequencyHz, double newQ) noexcept
{
    // The old state means nothing to a different response; within one type it carries over into the new design.
    if (type != newType)
        clearHistory();
    type = newType;
    frequency = frequencyHz;
    q = newQ;
    gainDb = 0.0;
    bandwidthMode = false;
    needsDesign = false;
    design();
}

void Biquad::setSampleRate(double sampleRateHz) noexcept
{
    if (!std::isfinite(sampleRateHz) || sampleRateHz <= 0.0)
        return;
    sampleRate = sampleRateHz;
    needsDesign = true;
}

void Biquad::clearHistory() noexcept
{
    for (double& value : history)
        value = 0.0;
}

void Biquad::settleHistory() noexcept
{
    constexpr double kSmallestNormal = 2.2250738585072014e-308;
    for (const double value : history)
    {
        if (!(std::fabs(value) <= kRunawayLimit)) // also true for a NaN
        {
            clearHistory();
            return;
        }
    }
    for (double& value : history)
    {
        if (std::fabs(value) < kSmallestNormal)
            value = 0.0;
    }
}

bool Biquad::historyIsFinite() const noexcept
{
    for (const double value : history)
    {
        if (!std::isfinite(value))
            return false;
    }
    return true;
}

double Biquad::magnitudeAt(double hz) const noexcept
{
    // H(z) = (b0 + b1 z^-1 + b2 z^-2) / (1 + a1 z^-1 + a2 z^-2) on the unit circle, z^-1 = e^(-jw).
    const double w = 6.283185307179586 * hz / sampleRate;
    const std::complex<double> z1 = std::polar(1.0, -w);
    const std::complex<double> z2 = z1 * z1;
    const std::complex<double> numerator = b0 + b1 * z1 + b2 * z2;
    const std::complex<double> denominator = 1.0 + a1 * z1 + a2 * z2;
    return std::abs(numerator / denominator);
}

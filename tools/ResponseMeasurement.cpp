#include "tools/ResponseMeasurement.h"

#include "tools/BlockSchedule.h"
#include "tools/HostSession.h"
#include "tools/TemporaryFile.h"
#include "tools/ToolError.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <complex>
#include <cstring>
#include <iterator>

namespace
{

constexpr double kPi = 3.14159265358979323846;

// −300 dB stands for silence; a non-finite magnitude (the plug-in's output was) stays NaN.
double decibels(double magnitude)
{
    if (!std::isfinite(magnitude))
        return std::nan("");
    return magnitude > 1e-15 ? 20.0 * std::log10(magnitude) : -300.0;
}

} // namespace

std::vector<double> ResponseMeasurement::frequencies(double sampleRate)
{
    const double top = std::min(20000.0, 0.49 * sampleRate);
    std::vector<double> hz;
    for (int k = 0;; ++k)
    {
        const double f = 20.0 * std::pow(2.0, k / 24.0);
        if (f > top * (1.0 + 1e-9))
            break;
        hz.push_back(f);
    }
    return hz;
}

std::vector<ResponseMeasurement::Point> ResponseMeasurement::analyse(const std::vector<float>& left,
                                                                     const std::vector<float>& right, double sampleRate,
                                                                     float impulseLevel)
{
    std::vector<Point> points;
    const size_t length = std::min(left.size(), right.size());
    for (const double hz : frequencies(sampleRate))
    {
        // Sum of x[n]·e^(−iωn), the rotating factor advanced by multiplication and renormalised now and then so that
        // its magnitude does not drift over a long recording.
        const std::complex<double> step = std::polar(1.0, -2.0 * kPi * hz / sampleRate);
        std::complex<double> rotation(1.0, 0.0);
        std::complex<double> sumLeft;
        std::complex<double> sumRight;
        for (size_t n = 0; n < length; ++n)
        {
            sumLeft += static_cast<double>(left[n]) * rotation;
            sumRight += static_cast<double>(right[n]) * rotation;
            rotation *= step;
            if ((n & 1023) == 1023)
                rotation /= std::abs(rotation);
        }
        points.push_back(
            Point{hz, decibels(std::abs(sumLeft) / impulseLevel), decibels(std::abs(sumRight) / impulseLevel)});
    }
    return points;
}

std::vector<ResponseMeasurement::Point> ResponseMeasurement::measure(HostSession& session, int32_t firstBlock,
                                                                     int64_t prerollFrames)
{
    const double rate = session.sampleRate();
    const int64_t settleFrames = std::max<int64_t>(prerollFrames, std::llround(rate));
    const int64_t captureFrames = std::max<int64_t>(kMinimumCaptureFrames, std::llround(rate));
    BlockSchedule schedule(settleFrames, captureFrames, session.blockSize(), firstBlock);

    const size_t blockSize = static_cast<size_t>(session.blockSize());
    std::vector<float> inLeft(blockSize), inRight(blockSize), outLeft(blockSize), outRight(blockSize);
    float* const inputs[2] = {inLeft.data(), inRight.data()};
    float* const outputs[2] = {outLeft.data(), outRight.data()};
    std::vector<float> left;
    std::vector<float> right;
    left.reserve(static_cast<size_t>(captureFrames));
    right.reserve(static_cast<size_t>(captureFrames));

    session.start();
    Block block;
    while (schedule.next(block))
    {
        std::fill(inLeft.begin(), inLeft.end(), 0.0f);
        std::fill(inRight.begin(), inRight.end(), 0.0f);
        if (block.start == 0)
        {
            inLeft[0] = kImpulseLevel;
            inRight[0] = kImpulseLevel;
        }
        session.process(block, inputs, outputs);
        if (!block.preroll)
        {
            left.insert(left.end(), outLeft.begin(), outLeft.begin() + block.frames);
            right.insert(right.end(), outRight.begin(), outRight.begin() + block.frames);
        }
    }
    session.stop();
    return analyse(left, right, rate, kImpulseLevel);
}

void ResponseMeasurement::writeCsv(const std::string& path, const std::vector<Point>& points)
{
    std::string text = "frequency_hz,left_db,right_db\n";
    for (const Point& point : points)
        fmt::format_to(std::back_inserter(text), "{:.3f},{:.4f},{:.4f}\n", point.hz, point.leftDb, point.rightDb);
    TemporaryFile file(path);
    if (!writeAll(file.descriptor(), text.data(), text.size()))
        throw ToolError(path + ": cannot write: " + std::strerror(errno), ToolError::kFailure);
    file.commit();
}

#pragma once

#include <cstdint>
#include <string>
#include <vector>

class HostSession;

/// The plug-in's magnitude response for its current settings, measured as a host measures any effect: after a
/// second of silence (or the pre-roll, if longer) lets the glides settle, an impulse at −20 dBFS goes through both
/// inputs and the two outputs are recorded for max(65536 frames, one second), the LFO running as set. The
/// recording's discrete Fourier transform at 24 frequencies per octave from 20 Hz up to 20 kHz (or 0.49 of the
/// sample rate), divided by the impulse's level, gives the response in dB. A small impulse keeps the saturation
/// stages close to linear.
class ResponseMeasurement
{
public:
    /// One frequency of the response.
    struct Point
    {
        double hz = 0.0;
        double leftDb = 0.0;
        double rightDb = 0.0;
    };

    static constexpr float kImpulseLevel = 0.1f; // −20 dBFS
    static constexpr int64_t kMinimumCaptureFrames = 65536;

    /// The frequencies measured at a sample rate: 20 Hz · 2^(k/24) up to the top.
    static std::vector<double> frequencies(double sampleRate);
    /// The response of recorded impulse responses (left and right) to an impulse of impulseLevel.
    static std::vector<Point> analyse(const std::vector<float>& left, const std::vector<float>& right,
                                      double sampleRate, float impulseLevel);
    /// Measures through a session that is open with its parameters applied; starts and stops it.
    static std::vector<Point> measure(HostSession& session, int32_t firstBlock, int64_t prerollFrames);
    /// Writes "frequency_hz,left_db,right_db" and one line per point through a temporary file. Throws ToolError
    /// naming path when it cannot be written.
    static void writeCsv(const std::string& path, const std::vector<Point>& points);
};

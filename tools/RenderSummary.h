#pragma once

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <string>
#include <vector>

/// What a render did, for the report at its end: the files, the frames, the time it took, and the output's peak
/// level with the number of samples above full scale and of non-finite samples.
class RenderSummary
{
public:
    std::string inputPath;
    std::string outputPath;
    std::string formatDescription; // of the output file
    bool floatOutput = true;       // the output keeps samples above full scale and non-finite ones
    int inputChannels = 2;
    double sampleRate = 44100.0; // Hz
    int64_t prerollFrames = 0;
    int64_t renderedFrames = 0; // written: input and tail
    int64_t tailFrames = 0;
    int64_t blocks = 0;
    double secondsTaken = 0.0;        // wall-clock time of the processing loop
    int64_t timeRequests = 0;         // audioMasterGetTime requests of the plug-in
    int64_t inputDeclaredFrames = -1; // what the input's header declares; -1: unknown
    int64_t inputFramesRead = 0;
    std::string formatNarrowing; // why the output holds less than the input's samples; empty when it does not

    /// Takes a block of output into the peak and the counts.
    void addOutput(const float* left, const float* right, int32_t frames);

    /// Largest magnitude of each channel (finite samples only), and of both.
    double peak(int channel) const { return channelPeak[channel]; }
    double peak() const { return channelPeak[0] > channelPeak[1] ? channelPeak[0] : channelPeak[1]; }
    /// Audio seconds processed (pre-roll included) per second taken; 0 when no time was measured.
    double realTimeFactor() const;

    /// The summary as aligned lines of text, and as one JSON object.
    std::string text() const;
    nlohmann::ordered_json json() const;
    /// The summary in one line, for a batch: output, input, duration and peak.
    std::string line() const;
    /// One line per warning (an input cut short, a narrower sample format, clipping, non-finite samples), each
    /// naming its file; none when all is well.
    std::vector<std::string> warnings() const;

    /// A level in dBFS with one decimal ("-3.1 dBFS"), or "-inf dBFS" for silence.
    static std::string dbfsText(double magnitude);

private:
    double channelPeak[2] = {0.0, 0.0};
    int64_t clipped = 0;   // samples whose magnitude exceeds 1.0
    int64_t nonFinite = 0; // NaN or infinite
};

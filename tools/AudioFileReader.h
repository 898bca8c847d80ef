#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

/// An audio file read through libsndfile (WAV, AIFF, FLAC and the other formats it knows), one or two channels,
/// delivered as two channels of 32-bit float samples: a mono file feeds both.
class AudioFileReader
{
public:
    /// Opens path. Throws ToolError naming the file when it is missing, unreadable, not audio, or has more than two
    /// channels.
    explicit AudioFileReader(const std::string& path);
    ~AudioFileReader();

    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    /// Frames in the file, its sample rate in Hz, its channel count (1 or 2) and libsndfile format code.
    int64_t frames() const { return frameCount; }
    int sampleRate() const { return rate; }
    int channels() const { return channelCount; }
    int format() const { return formatCode; }

    /// Reads the next frames into left and right; frames past the end of the file are silence. Throws ToolError
    /// naming the file when reading fails.
    void read(float* left, float* right, int32_t frames);

private:
    std::string filePath;
    SNDFILE* file = nullptr;
    int64_t frameCount = 0;
    int rate = 0;
    int channelCount = 0;
    int formatCode = 0;
    bool ended = false;
    std::vector<float> interleaved;
};

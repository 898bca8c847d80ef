#pragma once

#include "tools/TemporaryFile.h"

#include <cstdint>
#include <string>
#include <vector>

typedef struct sf_private_tag SNDFILE;

/// A stereo audio file written through libsndfile into a temporary file beside the target and renamed onto it by
/// commit(); a writer destroyed before commit() leaves no file. Float output keeps every sample as it is; PCM output
/// clips at full scale and writes non-finite samples as 0.
class AudioFileWriter
{
public:
    /// The libsndfile format for path: the container from its extension (.wav, .aif/.aiff, .flac, .w64, .caf, .au)
    /// and the sample format from sampleFormat ("float", "pcm16", "pcm24", "pcm32"), or, when that is empty, the
    /// input's sample format if the container holds it (else float, or 24-bit PCM for containers without float).
    /// Throws ToolError (usage) for an unknown extension or a sample format the container cannot hold.
    static int formatFor(const std::string& path, const std::string& sampleFormat, int inputFormat, int sampleRate);
    /// A short description of a format ("WAV, 32-bit float").
    static std::string describe(int format);

    /// Creates the temporary file for path. Throws ToolError naming path when it cannot be written.
    AudioFileWriter(const std::string& path, int format, int sampleRate);
    ~AudioFileWriter();

    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    /// Appends frames of the two channels. Throws ToolError naming the target when writing fails.
    void write(const float* left, const float* right, int32_t frames);
    /// Finishes the file and renames it onto the target. Throws ToolError naming the target.
    void commit();

    /// True when the format holds floating-point samples.
    bool floatingPoint() const { return isFloat; }

private:
    TemporaryFile temporary;
    SNDFILE* file = nullptr;
    bool isFloat = true;
    std::vector<float> interleaved;
};

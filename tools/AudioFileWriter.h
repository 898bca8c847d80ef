#pragma once

#include "tools/AudioFileReader.h"
#include "tools/TemporaryFile.h"

#include <cstdint>
#include <string>
#include <vector>

/// The format of an output file and how it was chosen.
struct OutputFormat
{
    int format = 0;            // libsndfile format code
    bool wavWhenSmall = false; // RF64 chosen for a .wav that may pass 4 GiB: plain WAV if it stays below
    std::string narrowing;     // why the samples are narrower than the input's; empty when they are not
};

/// A mono or stereo audio file written through libsndfile into a temporary file beside the target and renamed onto it
/// by commit(); a writer destroyed before commit() leaves no file. The target "-" is standard output. Frames are
/// collected and written in chunks of kChunkFrames. Float output and the lossy codecs keep every sample as it is. PCM
/// output is rounded to the nearest step, after TPDF dither of one step peak to peak (two uniform values of half a
/// step each, from a fixed seed, so that a render repeats) unless dither is off, and clipped at full scale;
/// non-finite samples are written as 0.
class AudioFileWriter
{
public:
    static constexpr int32_t kChunkFrames = 16384;
    /// The most audio data a container with 32-bit sizes (WAV, AIFF, AU) is given: 4 GiB less room for its header.
    static constexpr int64_t kMaxDataBytes32 = 0xFFFFFFFFLL - (1LL << 20);

    /// The format for path: the container from type (an extension without the dot: "wav", "flac"...) or, when that
    /// is empty, from the extension of path (.wav, .aif/.aiff, .flac, .w64, .caf, .au, .rf64). The sample format is
    /// sampleFormat ("float", "pcm16", "pcm24", "pcm32", any case) or, when that is empty, the input's when the
    /// container holds it, else float where the container has float, else the container's widest PCM; narrowing
    /// says so when that holds less than the input's. Float WAV gets the extensible format chunk. A WAV that may
    /// pass 4 GiB (frames stereo frames, -1 when unknown) is RF64. Throws ToolError (usage) for an unknown container,
    /// a sample format the container cannot hold, or an AIFF or AU file that would pass 4 GiB.
    static OutputFormat choose(const std::string& path, const std::string& type, const std::string& sampleFormat,
                               int inputFormat, int sampleRate, int64_t frames);
    /// The format code alone, for a file of frames stereo frames.
    static int formatFor(const std::string& path, const std::string& sampleFormat, int inputFormat, int sampleRate,
                         int64_t frames = 0);
    /// A short description of a format ("WAV, 32-bit float").
    static std::string describe(int format);
    /// Bytes per sample of a format's samples; 0 for compressed ones.
    static int sampleBytes(int format);

    /// Creates the temporary file for path. Throws ToolError naming path when it cannot be written. With
    /// wavWhenSmall, an RF64 format is written as plain WAV when it stays below 4 GiB.
    AudioFileWriter(const std::string& path, int format, int sampleRate, bool wavWhenSmall = false,
                    bool noClobber = false, int channels = 2);
    ~AudioFileWriter();

    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    /// Settings that come before the first frame: dither on or off, the lossy codecs' quality from 0 (smallest) to
    /// 1 (best; throws ToolError (usage) for other formats), and the input's metadata, answering a warning that
    /// names what the format cannot hold (empty when everything passed).
    void setDither(bool on) { dither = on; }
    void setQuality(double quality);
    std::string passMetadata(const AudioMetadata& metadata);

    /// Appends frames of the two channels. Throws ToolError naming the target when writing fails or when the file
    /// would pass the 4 GiB its container can hold.
    void write(const float* left, const float* right, int32_t frames);
    /// Completes the file's contents, then commit() renames it onto the target. Throw ToolError naming the target.
    void finish();
    void commit();

    /// True when the samples are rounded to 8, 16 or 24 bits, where dither applies.
    bool dithers() const { return pcmBits > 0 && pcmBits < 32; }
    bool floatingPoint() const { return isFloat; }
    /// The format as written ("WAV, 32-bit float"); an RF64 that stayed small enough for WAV says "WAV".
    std::string description() const;

private:
    void flush();
    double nextUniform(); // uniform in [-0.5, 0.5)

    TemporaryFile temporary;
    SNDFILE* file = nullptr;
    int formatCode = 0;
    bool isFloat = true;
    bool downgrades = false;
    int64_t maxFrames = 0; // 0: no limit
    int64_t framesWritten = 0;
    int channelCount = 2;
    int pcmBits = 0; // 0: samples written as float
    bool dither = true;
    uint64_t noiseState = 0x9E3779B97F4A7C15ull;
    std::vector<float> interleaved;
    std::vector<int> quantised;
    int32_t pending = 0; // frames in interleaved
};

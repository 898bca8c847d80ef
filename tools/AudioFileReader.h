#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

/// What libsndfile carries of a file's metadata: its string tags (title, artist, ... by SF_STR_* code) and the
/// broadcast-WAV chunk with its time reference.
struct AudioMetadata
{
    std::vector<std::pair<int, std::string>> strings;
    bool hasBroadcast = false;
    SF_BROADCAST_INFO broadcast = {};
};

/// libsndfile's message for a failure without its decoration ("System error : ", the final full stop).
std::string libraryMessage(const char* text);

/// An audio file read through libsndfile (WAV, AIFF, FLAC and the other formats it knows), one or two channels,
/// delivered as two channels of 32-bit float samples: a mono file feeds both. The path "-" reads standard input; a
/// pipe is first copied into an unnamed spool file, since FLAC and other formats must seek to be read.
/// The file is read in chunks of kChunkFrames, whatever the length of the blocks asked for.
class AudioFileReader
{
public:
    static constexpr int32_t kChunkFrames = 16384;

    /// Opens path. With firstChannel and secondChannel (counted from 1; 0: none), those two channels of the file are
    /// read as left and right. Throws ToolError naming the file when it is missing, unreadable or not audio, when it
    /// has more than two channels and no pair is picked, or when a picked channel is not in it (usage).
    explicit AudioFileReader(const std::string& path, int firstChannel = 0, int secondChannel = 0);
    ~AudioFileReader();

    AudioFileReader(const AudioFileReader&) = delete;
    AudioFileReader& operator=(const AudioFileReader&) = delete;

    /// Frames in the file as far as it can be read (libsndfile's count), its sample rate in Hz, its channel count
    /// (1 or 2) and libsndfile format code.
    int64_t frames() const { return frameCount; }
    int sampleRate() const { return rate; }
    int channels() const { return channelCount; }
    int format() const { return formatCode; }
    const AudioMetadata& metadata() const { return tags; }
    /// True when the length is unknown: a stream from a pipe that does not say it. Then frames() means nothing.
    bool unknownLength() const { return declared < 0; }
    /// The frames the file's header declares; more than can be read from a file cut short (a partial download or
    /// copy). -1 when the length is unknown.
    int64_t declaredFrames() const { return declared; }

    /// Reads the next frames into left and right; frames past the end of the file are silence. Answers the frames
    /// read from the file. Throws ToolError naming the file when reading fails.
    int32_t read(float* left, float* right, int32_t frames);
    int64_t framesRead() const { return readCount; }
    bool ended() const { return atEnd; }

private:
    void fill();

    std::string filePath;
    SNDFILE* file = nullptr;
    AudioMetadata tags;
    int spool = -1;
    int64_t frameCount = 0;
    int64_t declared = 0;
    int rate = 0;
    int channelCount = 0; // as delivered: the file's, or 2 for a picked pair
    int fileChannels = 0;
    int leftChannel = 0;
    int rightChannel = 1;
    int formatCode = 0;
    bool atEnd = false;
    int64_t readCount = 0;
    std::vector<float> chunk; // interleaved
    int32_t chunkFrames = 0;  // frames in chunk
    int32_t chunkPosition = 0;
};

#include "tools/AudioFileReader.h"

#include "tools/AudioFileWriter.h"
#include "tools/TemporaryFile.h"
#include "tools/TextUtilities.h"
#include "tools/ToolError.h"

#include <sndfile.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace
{

// The frames the header declares, from what libsndfile noted while parsing it: the frame count of an AIFF's COMM
// chunk, or from a data chunk's size where it noted that the file holds less ("data : 576000 (should be 99956)"). -1
// for a size of 0x7FFFF000 or more: the placeholder of a program streaming to a pipe, which declares no length.
int64_t declaredByHeader(SNDFILE* file, int64_t frames, int format, int channels)
{
    std::vector<char> log(16384, '\0');
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()) - 1);
    int64_t declared = frames;
    const int frameBytes = AudioFileWriter::sampleBytes(format) * channels;
    for (const std::string& line : splitAt(log.data(), '\n'))
    {
        long long count = 0;
        if (std::sscanf(line.c_str(), "*** Frame count read from 'COMM' chunk (%lld)", &count) == 1)
            return std::max<int64_t>(frames, count);
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            continue;
        const std::string label = trimmed(line.substr(0, colon));
        long long size = 0;
        long long present = 0;
        if (label != "data" && label != "SSND" && label != "Data Size")
            continue;
        const int fields = std::sscanf(line.c_str() + colon + 1, " %lld (should be %lld)", &size, &present);
        if (fields >= 1 && size >= 0x7FFFF000LL)
            return -1;
        const long long header = label == "SSND" ? 8 : 0; // an AIFF's sound data starts with offset and block size
        if (fields == 2 && size > present && frameBytes > 0)
            declared = std::max<int64_t>(declared, (size - header) / frameBytes);
    }
    return declared;
}

// Standard input as a file that can seek: itself when it is one, else an unnamed copy of the whole stream.
int seekableStandardInput()
{
    if (lseek(STDIN_FILENO, 0, SEEK_CUR) >= 0)
        return -1;
    const int spool = openSpool("standard input: ");
    if (!copyAll(STDIN_FILENO, spool))
    {
        const int cause = errno;
        ::close(spool);
        throw ToolError(std::string("standard input: cannot spool: ") + std::strerror(cause), ToolError::kFailure);
    }
    lseek(spool, 0, SEEK_SET);
    return spool;
}

} // namespace

std::string libraryMessage(const char* text)
{
    std::string message = text != nullptr ? text : "";
    const std::string systemPrefix = "System error : ";
    if (message.compare(0, systemPrefix.size(), systemPrefix) == 0)
        message.erase(0, systemPrefix.size());
    while (!message.empty() && (message.back() == '.' || message.back() == ' ' || message.back() == '\n'))
        message.pop_back();
    return message;
}

AudioFileReader::AudioFileReader(const std::string& path, int firstChannel, int secondChannel) : filePath(path)
{
    SF_INFO info{};
    if (path == "-")
    {
        spool = seekableStandardInput();
        file = sf_open_fd(spool >= 0 ? spool : STDIN_FILENO, SFM_READ, &info, SF_FALSE);
        filePath = "standard input";
    }
    else
    {
        struct stat status = {};
        if (stat(path.c_str(), &status) != 0)
            throw ToolError(path + ": cannot read: " + std::strerror(errno), ToolError::kFailure);
        if (S_ISDIR(status.st_mode))
            throw ToolError(path + ": cannot read: it is a folder", ToolError::kFailure);
        file = sf_open(path.c_str(), SFM_READ, &info);
    }
    if (file == nullptr)
        throw ToolError(filePath + ": unreadable or unsupported audio: " + libraryMessage(sf_strerror(nullptr)),
                        ToolError::kFailure);
    frameCount = info.frames;
    rate = info.samplerate;
    channelCount = info.channels;
    formatCode = info.format;
    const bool picked = firstChannel > 0;
    if (channelCount < 1 || (channelCount > 2 && !picked) || firstChannel > channelCount ||
        secondChannel > channelCount)
    {
        const std::string count = std::to_string(channelCount);
        sf_close(file); // the destructor does not run for a constructor that throws
        throw ToolError(filePath + ": " + count + " channels; the plug-in takes mono or stereo audio" +
                            (channelCount > 1 ? ": pick a pair with --channels (1,2 to " + count + ")" : ""),
                        picked ? ToolError::kUsage : ToolError::kFailure);
    }
    fileChannels = channelCount;
    if (picked)
    {
        leftChannel = firstChannel - 1;
        rightChannel = secondChannel - 1;
        channelCount = 2;
    }
    else if (channelCount == 1)
        rightChannel = 0; // a mono file feeds both inputs
    if (rate <= 0 || frameCount < 0)
    {
        sf_close(file);
        throw ToolError(filePath + ": unsupported audio: no valid sample rate or length", ToolError::kFailure);
    }
    // libsndfile answers about SF_COUNT_MAX for a stream without a length; 2^40 frames are weeks of audio.
    declared = frameCount >= (int64_t(1) << 40) ? -1 : declaredByHeader(file, frameCount, formatCode, fileChannels);
    chunk.resize(static_cast<size_t>(kChunkFrames) * static_cast<size_t>(fileChannels));
    for (int id = SF_STR_FIRST; id <= SF_STR_LAST; ++id)
    {
        if (const char* const text = sf_get_string(file, id))
            tags.strings.emplace_back(id, text);
    }
    tags.hasBroadcast = sf_command(file, SFC_GET_BROADCAST_INFO, &tags.broadcast, sizeof(tags.broadcast)) == SF_TRUE;
}

AudioFileReader::~AudioFileReader()
{
    if (file != nullptr)
        sf_close(file);
    if (spool >= 0)
        ::close(spool);
}

void AudioFileReader::fill()
{
    chunkPosition = 0;
    chunkFrames = static_cast<int32_t>(sf_readf_float(file, chunk.data(), kChunkFrames));
    if (chunkFrames < kChunkFrames)
    {
        if (sf_error(file) != SF_ERR_NO_ERROR)
            throw ToolError(filePath + ": cannot read: " + libraryMessage(sf_strerror(file)), ToolError::kFailure);
        atEnd = true;
    }
    if (chunkFrames < 0)
        chunkFrames = 0;
}

int32_t AudioFileReader::read(float* left, float* right, int32_t frames)
{
    int32_t done = 0;
    while (done < frames)
    {
        if (chunkPosition == chunkFrames)
        {
            if (atEnd)
                break;
            fill();
            continue;
        }
        const int32_t count = std::min(frames - done, chunkFrames - chunkPosition);
        const size_t stride = static_cast<size_t>(fileChannels);
        const float* source = chunk.data() + static_cast<size_t>(chunkPosition) * stride;
        for (int32_t i = 0; i < count; ++i)
        {
            left[done + i] = source[stride * i + leftChannel];
            right[done + i] = source[stride * i + rightChannel];
        }
        done += count;
        chunkPosition += count;
    }
    std::fill(left + done, left + frames, 0.0f);
    std::fill(right + done, right + frames, 0.0f);
    readCount += done;
    return done;
}

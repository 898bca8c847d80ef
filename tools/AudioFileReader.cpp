#include "tools/AudioFileReader.h"

#include "tools/ToolError.h"

#include <sndfile.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

AudioFileReader::AudioFileReader(const std::string& path) : filePath(path)
{
    struct stat status = {};
    if (stat(path.c_str(), &status) != 0)
        throw ToolError(path + ": cannot read: " + std::strerror(errno), ToolError::kFailure);
    if (S_ISDIR(status.st_mode))
        throw ToolError(path + ": cannot read: it is a folder", ToolError::kFailure);

    SF_INFO info{};
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        throw ToolError(path + ": unreadable or unsupported audio: " + sf_strerror(nullptr), ToolError::kFailure);
    frameCount = info.frames;
    rate = info.samplerate;
    channelCount = info.channels;
    formatCode = info.format;
    if (channelCount < 1 || channelCount > 2)
    {
        const std::string count = std::to_string(channelCount);
        sf_close(file);
        file = nullptr;
        throw ToolError(path + ": " + count + " channels; the plug-in takes mono or stereo audio", ToolError::kFailure);
    }
    if (rate <= 0 || frameCount < 0)
    {
        sf_close(file);
        file = nullptr;
        throw ToolError(path + ": unsupported audio: no valid sample rate or length", ToolError::kFailure);
    }
}

AudioFileReader::~AudioFileReader()
{
    if (file != nullptr)
        sf_close(file);
}

void AudioFileReader::read(float* left, float* right, int32_t frames)
{
    if (frames <= 0)
        return;
    sf_count_t got = 0;
    if (!ended)
    {
        interleaved.resize(static_cast<size_t>(frames) * static_cast<size_t>(channelCount));
        got = sf_readf_float(file, interleaved.data(), frames);
        if (got < frames)
        {
            if (sf_error(file) != SF_ERR_NO_ERROR)
                throw ToolError(filePath + ": cannot read: " + sf_strerror(file), ToolError::kFailure);
            ended = true;
        }
    }
    for (sf_count_t i = 0; i < got; ++i)
    {
        left[i] = interleaved[static_cast<size_t>(i * channelCount)];
        right[i] = interleaved[static_cast<size_t>(i * channelCount + channelCount - 1)];
    }
    for (sf_count_t i = got; i < frames; ++i)
    {
        left[i] = 0.0f;
        right[i] = 0.0f;
    }
}

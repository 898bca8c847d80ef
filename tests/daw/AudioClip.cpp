#include "AudioClip.h"

#include <sndfile.h>

bool AudioClip::load(const std::string& path, std::string& error)
{
    filePath = path;
    samples.clear();
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
    {
        error = path + ": " + sf_strerror(nullptr);
        return false;
    }
    if (info.channels < 1 || info.frames < 0)
    {
        sf_close(file);
        error = path + ": no audio channels";
        return false;
    }
    rate = info.samplerate;
    floatFile = (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT;

    const size_t channelCount = static_cast<size_t>(info.channels);
    const size_t frameCount = static_cast<size_t>(info.frames);
    std::vector<float> interleaved(frameCount * channelCount);
    const sf_count_t read = sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    if (read != info.frames)
    {
        error = path + ": read " + std::to_string(read) + " of " + std::to_string(info.frames) + " frames";
        return false;
    }
    samples.assign(channelCount, std::vector<float>(frameCount));
    for (size_t frame = 0; frame < frameCount; ++frame)
        for (size_t c = 0; c < channelCount; ++c)
            samples[c][frame] = interleaved[frame * channelCount + c];
    return true;
}

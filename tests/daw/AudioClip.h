#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// A whole audio file in memory, read through libsndfile: one array of 32-bit float samples per channel.
class AudioClip
{
public:
    /// Reads the file at path; false, with the reason in error, when it cannot be read or holds no channels.
    bool load(const std::string& path, std::string& error);

    /// Channels, frames per channel and the sample rate in Hz.
    int channels() const { return static_cast<int>(samples.size()); }
    int64_t frames() const { return samples.empty() ? 0 : static_cast<int64_t>(samples[0].size()); }
    int sampleRate() const { return rate; }
    /// True when the file stores 32-bit float samples, which read back exactly as written.
    bool storedAsFloat() const { return floatFile; }
    /// The samples of one channel (0-based, below channels()).
    const std::vector<float>& channel(int index) const { return samples[static_cast<size_t>(index)]; }
    /// The file the clip was read from.
    const std::string& path() const { return filePath; }

private:
    std::string filePath;
    int rate = 0;
    bool floatFile = false;
    std::vector<std::vector<float>> samples;
};

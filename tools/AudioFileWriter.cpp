#include "tools/AudioFileWriter.h"

#include "tools/TextUtilities.h"
#include "tools/ToolError.h"

#include <sndfile.h>

#include <cmath>

namespace
{

struct Container
{
    const char* extension;
    int major;
    const char* name;
};

const Container kContainers[] = {
    {"wav", SF_FORMAT_WAV, "WAV"},    {"aif", SF_FORMAT_AIFF, "AIFF"}, {"aiff", SF_FORMAT_AIFF, "AIFF"},
    {"flac", SF_FORMAT_FLAC, "FLAC"}, {"w64", SF_FORMAT_W64, "W64"},   {"caf", SF_FORMAT_CAF, "CAF"},
    {"au", SF_FORMAT_AU, "AU"},
};

struct SampleFormat
{
    const char* option;
    int subtype;
    const char* name;
};

const SampleFormat kSampleFormats[] = {
    {"float", SF_FORMAT_FLOAT, "32-bit float"},
    {"pcm16", SF_FORMAT_PCM_16, "16-bit PCM"},
    {"pcm24", SF_FORMAT_PCM_24, "24-bit PCM"},
    {"pcm32", SF_FORMAT_PCM_32, "32-bit PCM"},
};

bool holds(int format, int sampleRate)
{
    SF_INFO info{};
    info.format = format;
    info.channels = 2;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

} // namespace

int AudioFileWriter::formatFor(const std::string& path, const std::string& sampleFormat, int inputFormat,
                               int sampleRate)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const std::string extension =
        (dot == std::string::npos || (slash != std::string::npos && dot < slash)) ? "" : path.substr(dot + 1);
    const Container* container = nullptr;
    for (const Container& c : kContainers)
    {
        if (equalsIgnoringCase(extension, c.extension))
            container = &c;
    }
    if (container == nullptr)
        throw ToolError(path + ": cannot tell the audio format from the name; end it in .wav, .aiff, .flac, .w64, "
                               ".caf or .au",
                        ToolError::kUsage);

    if (!sampleFormat.empty())
    {
        for (const SampleFormat& s : kSampleFormats)
        {
            if (sampleFormat != s.option)
                continue;
            const int format = container->major | s.subtype;
            if (!holds(format, sampleRate))
                throw ToolError(path + ": " + container->name + " files cannot hold " + s.name + " samples",
                                ToolError::kUsage);
            return format;
        }
        throw ToolError("--format " + sampleFormat + ": use float, pcm16, pcm24 or pcm32", ToolError::kUsage);
    }
    const int fromInput = container->major | (inputFormat & SF_FORMAT_SUBMASK);
    if ((inputFormat & SF_FORMAT_SUBMASK) != 0 && holds(fromInput, sampleRate))
        return fromInput;
    if (holds(container->major | SF_FORMAT_FLOAT, sampleRate))
        return container->major | SF_FORMAT_FLOAT;
    return container->major | SF_FORMAT_PCM_24;
}

std::string AudioFileWriter::describe(int format)
{
    SF_FORMAT_INFO major{};
    major.format = format & SF_FORMAT_TYPEMASK;
    SF_FORMAT_INFO subtype{};
    subtype.format = format & SF_FORMAT_SUBMASK;
    std::string text = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof(major)) == 0 ? major.name : "?";
    const std::string sub =
        sf_command(nullptr, SFC_GET_FORMAT_INFO, &subtype, sizeof(subtype)) == 0 ? subtype.name : "?";
    return text + ", " + sub;
}

AudioFileWriter::AudioFileWriter(const std::string& path, int format, int sampleRate) : temporary(path)
{
    SF_INFO info{};
    info.format = format;
    info.channels = 2;
    info.samplerate = sampleRate;
    const int subtype = format & SF_FORMAT_SUBMASK;
    isFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    file = sf_open_fd(temporary.descriptor(), SFM_WRITE, &info, SF_FALSE); // the temporary file keeps the descriptor
    if (file == nullptr)
        throw ToolError(path + ": cannot write audio: " + sf_strerror(nullptr), ToolError::kFailure);
    if (!isFloat)
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioFileWriter::~AudioFileWriter()
{
    if (file != nullptr)
        sf_close(file);
}

void AudioFileWriter::write(const float* left, const float* right, int32_t frames)
{
    if (frames <= 0)
        return;
    interleaved.resize(static_cast<size_t>(frames) * 2);
    for (int32_t i = 0; i < frames; ++i)
    {
        float l = left[i];
        float r = right[i];
        if (!isFloat)
        {
            l = std::isfinite(l) ? l : 0.0f;
            r = std::isfinite(r) ? r : 0.0f;
        }
        interleaved[static_cast<size_t>(i) * 2] = l;
        interleaved[static_cast<size_t>(i) * 2 + 1] = r;
    }
    if (sf_writef_float(file, interleaved.data(), frames) != frames)
        throw ToolError(temporary.targetPath() + ": cannot write: " + sf_strerror(file), ToolError::kFailure);
}

void AudioFileWriter::commit()
{
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0)
        throw ToolError(temporary.targetPath() + ": cannot write: " + sf_error_number(closed), ToolError::kFailure);
    temporary.commit();
}

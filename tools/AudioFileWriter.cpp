#include "tools/AudioFileWriter.h"

#include "tools/TextUtilities.h"
#include "tools/ToolError.h"

#include <sndfile.h>

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>

namespace
{

struct Container
{
    const char* extension;
    int major;
    const char* name;
    bool sizes32; // sizes held in 32 bits: 4 GiB at most
    int codec;    // the fixed encoding of a lossy format; 0 for containers of plain samples
};

const Container kContainers[] = {
    {"wav", SF_FORMAT_WAV, "WAV", true, 0},
    {"aif", SF_FORMAT_AIFF, "AIFF", true, 0},
    {"aiff", SF_FORMAT_AIFF, "AIFF", true, 0},
    {"flac", SF_FORMAT_FLAC, "FLAC", false, 0},
    {"w64", SF_FORMAT_W64, "W64", false, 0},
    {"caf", SF_FORMAT_CAF, "CAF", false, 0},
    {"au", SF_FORMAT_AU, "AU", true, 0},
    {"rf64", SF_FORMAT_RF64, "RF64", false, 0},
    {"ogg", SF_FORMAT_OGG, "Ogg", false, SF_FORMAT_VORBIS},
    {"opus", SF_FORMAT_OGG, "Ogg", false, SF_FORMAT_OPUS},
    {"mp3", SF_FORMAT_MPEG, "MP3", false, SF_FORMAT_MPEG_LAYER_III},
    {nullptr, SF_FORMAT_WAVEX, "WAV", true, 0},
};

const char* const kStringNames[] = {"",      "title",   "copyright",   "software", "artist", "comment", "date",
                                    "album", "license", "tracknumber", "",         "",       "",        "",
                                    "",      "",        "genre"};

struct SampleFormat
{
    const char* option; // for --format; null where it is only kept from an input
    int subtype;
    const char* name;
    int rank;  // how much it holds; 0 for formats that are no plain samples
    int bytes; // per sample; 0 for compressed ones
};

const SampleFormat kSampleFormats[] = {
    {"float", SF_FORMAT_FLOAT, "32-bit float", 33, 4},
    {"pcm16", SF_FORMAT_PCM_16, "16-bit PCM", 16, 2},
    {"pcm24", SF_FORMAT_PCM_24, "24-bit PCM", 24, 3},
    {"pcm32", SF_FORMAT_PCM_32, "32-bit PCM", 32, 4},
    {nullptr, SF_FORMAT_DOUBLE, "64-bit float", 64, 8},
    {nullptr, SF_FORMAT_PCM_S8, "8-bit PCM", 8, 1},
    {nullptr, SF_FORMAT_PCM_U8, "8-bit PCM", 8, 1},
    {nullptr, SF_FORMAT_ULAW, "u-law", 8, 1},
    {nullptr, SF_FORMAT_ALAW, "A-law", 8, 1},
    {nullptr, SF_FORMAT_VORBIS, "Vorbis", 0, 0},
    {nullptr, SF_FORMAT_OPUS, "Opus", 0, 0},
    {nullptr, SF_FORMAT_MPEG_LAYER_III, "MPEG Layer III", 0, 0},
};

const SampleFormat* findSample(int format)
{
    for (const SampleFormat& s : kSampleFormats)
    {
        if (s.subtype == (format & SF_FORMAT_SUBMASK))
            return &s;
    }
    return nullptr;
}

const Container* container(int format)
{
    for (const Container& c : kContainers)
    {
        if (c.major == (format & SF_FORMAT_TYPEMASK))
            return &c;
    }
    return nullptr;
}

bool holds(int format, int sampleRate)
{
    SF_INFO info{};
    info.format = format;
    info.channels = 2;
    info.samplerate = sampleRate;
    return sf_format_check(&info) != 0;
}

} // namespace

OutputFormat AudioFileWriter::choose(const std::string& path, const std::string& type, const std::string& sampleFormat,
                                     int inputFormat, int sampleRate, int64_t frames)
{
    std::string extension = type;
    const std::string name = std::filesystem::path(path).filename().string();
    if (extension.empty() && name.find('.') != std::string::npos)
        extension = name.substr(name.rfind('.') + 1);
    const Container* chosen = nullptr;
    for (const Container& c : kContainers)
    {
        if (c.extension != nullptr && equalsIgnoringCase(extension, c.extension))
            chosen = &c;
    }
    if (chosen == nullptr && !type.empty())
        throw ToolError("--type " + type + ": use wav, aiff, flac, w64, caf, au, rf64, ogg, opus or mp3",
                        ToolError::kUsage);
    if (chosen == nullptr)
        throw ToolError(path + (path == "-" ? ": give the format of standard output with --type"
                                            : ": cannot tell the audio format from the name; end it in .wav, .aiff, "
                                              ".flac, .w64, .caf, .au, .rf64, .ogg, .opus or .mp3"),
                        ToolError::kUsage);
    if (chosen->codec != 0)
    {
        if (!sampleFormat.empty())
            throw ToolError("--format " + sampleFormat + ": " + path + " is " + findSample(chosen->codec)->name +
                                ", which has no sample format to choose; set --quality instead",
                            ToolError::kUsage);
        if (!holds(chosen->major | chosen->codec, sampleRate))
            throw ToolError(path + ": " + findSample(chosen->codec)->name + " cannot be written at " +
                                std::to_string(sampleRate) + " Hz" +
                                (chosen->codec == SF_FORMAT_OPUS ? " (Opus takes 8, 12, 16, 24 or 48 kHz)" : ""),
                            ToolError::kUsage);
        return OutputFormat{chosen->major | chosen->codec, false, ""};
    }

    OutputFormat result;
    const int major = chosen->major;
    int subtype = 0;
    if (!sampleFormat.empty())
    {
        for (const SampleFormat& s : kSampleFormats)
        {
            if (s.option != nullptr && equalsIgnoringCase(sampleFormat, s.option))
                subtype = s.subtype;
        }
        if (subtype == 0)
            throw ToolError("--format " + sampleFormat + ": use float, pcm16, pcm24 or pcm32", ToolError::kUsage);
        if (!holds(major | subtype, sampleRate))
            throw ToolError(path + ": " + chosen->name + " files cannot hold " + findSample(subtype)->name + " samples",
                            ToolError::kUsage);
    }
    else
    {
        // The input's own samples, else float, else the widest PCM the container holds.
        const SampleFormat* const input = findSample(inputFormat);
        const int candidates[] = {input != nullptr ? input->subtype : 0,
                                  SF_FORMAT_FLOAT,
                                  SF_FORMAT_PCM_32,
                                  SF_FORMAT_PCM_24,
                                  SF_FORMAT_PCM_16,
                                  SF_FORMAT_PCM_S8,
                                  SF_FORMAT_PCM_U8};
        for (const int candidate : candidates)
        {
            if (subtype == 0 && candidate != 0 && holds(major | candidate, sampleRate))
                subtype = candidate;
        }
        if (input != nullptr && findSample(subtype)->rank < input->rank)
            result.narrowing = path + ": " + chosen->name + " files hold no " + input->name + " samples; written as " +
                               findSample(subtype)->name +
                               (input->rank > 32 ? " (samples above full scale are clipped)" : "");
    }

    result.format = major | subtype;
    if (major == SF_FORMAT_WAV && (subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE))
        result.format = SF_FORMAT_WAVEX | subtype; // the extensible format chunk readers expect for float
    const int64_t bytes = frames * 2 * sampleBytes(result.format);
    if (chosen->sizes32 && (frames < 0 || bytes > kMaxDataBytes32))
    {
        if (major == SF_FORMAT_WAV)
        {
            result.format = SF_FORMAT_RF64 | subtype;
            result.wavWhenSmall = true;
        }
        else if (frames >= 0)
            throw ToolError(
                path + fmt::format(": the render comes to {:.2f} GB, more than the 4 GiB {} files can hold; write "
                                   ".w64, .caf or .rf64 (or .wav, which becomes RF64)",
                                   static_cast<double>(bytes) / 1e9, chosen->name),
                ToolError::kUsage);
    }
    return result;
}

int AudioFileWriter::formatFor(const std::string& path, const std::string& sampleFormat, int inputFormat,
                               int sampleRate, int64_t frames)
{
    return choose(path, "", sampleFormat, inputFormat, sampleRate, frames).format;
}

std::string AudioFileWriter::describe(int format)
{
    const Container* const c = container(format);
    const SampleFormat* const s = findSample(format);
    return std::string(c != nullptr ? c->name : "?") + ", " + (s != nullptr ? s->name : "?");
}

int AudioFileWriter::sampleBytes(int format)
{
    const SampleFormat* const s = findSample(format);
    return s != nullptr ? s->bytes : 0;
}

AudioFileWriter::AudioFileWriter(const std::string& path, int format, int sampleRate, bool wavWhenSmall, bool noClobber,
                                 int channels)
    : temporary(path, noClobber), formatCode(format), downgrades(wavWhenSmall), channelCount(channels)
{
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = sampleRate;
    const int subtype = format & SF_FORMAT_SUBMASK;
    isFloat = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    // A PCM format's rank is its width.
    if ((subtype >= SF_FORMAT_PCM_S8 && subtype <= SF_FORMAT_PCM_32) || subtype == SF_FORMAT_PCM_U8)
        pcmBits = findSample(format)->rank;
    file = sf_open_fd(temporary.descriptor(), SFM_WRITE, &info, SF_FALSE); // the temporary file keeps the descriptor
    if (file == nullptr)
        throw ToolError(temporary.targetName() + ": cannot write audio: " + libraryMessage(sf_strerror(nullptr)),
                        ToolError::kFailure);
    if (!isFloat && pcmBits == 0)
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // No PEAK chunk: the summary reports the peak, and scanning every sample for it a second time costs a tenth of
    // a render.
    sf_command(file, SFC_SET_ADD_PEAK_CHUNK, nullptr, SF_FALSE);
    if (wavWhenSmall)
        sf_command(file, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE);
    if (container(format) != nullptr && container(format)->sizes32 && sampleBytes(format) > 0)
        maxFrames = kMaxDataBytes32 / (2 * sampleBytes(format));
    interleaved.resize(static_cast<size_t>(kChunkFrames) * 2);
    quantised.resize(pcmBits > 0 ? interleaved.size() : 0);
}

void AudioFileWriter::setQuality(double quality)
{
    const Container* const c = container(formatCode);
    if (c == nullptr || c->codec == 0)
        throw ToolError("--quality applies to .ogg, .opus and .mp3 outputs; " + temporary.targetName() + " is " +
                            describe(formatCode),
                        ToolError::kUsage);
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
}

std::string AudioFileWriter::passMetadata(const AudioMetadata& metadata)
{
    std::vector<std::string> dropped;
    for (const auto& [id, text] : metadata.strings)
    {
        if (sf_set_string(file, id, text.c_str()) != 0)
            dropped.push_back(id >= 0 && id <= SF_STR_LAST ? kStringNames[id] : "tag");
    }
    if (metadata.hasBroadcast)
    {
        SF_BROADCAST_INFO broadcast = metadata.broadcast;
        if (sf_command(file, SFC_SET_BROADCAST_INFO, &broadcast, sizeof(broadcast)) != SF_TRUE)
            dropped.push_back("broadcast chunk (bext, with its time reference)");
    }
    if (dropped.empty())
        return "";
    return fmt::format("{}: {} holds no {}; not passed on", temporary.targetName(), describe(formatCode),
                       fmt::join(dropped, ", "));
}

AudioFileWriter::~AudioFileWriter()
{
    if (file != nullptr)
        sf_close(file);
}

void AudioFileWriter::write(const float* left, const float* right, int32_t frames)
{
    if (maxFrames > 0 && framesWritten + pending + frames > maxFrames)
    {
        const Container* const c = container(formatCode);
        throw ToolError(temporary.targetName() + ": the output passes the 4 GiB " + (c != nullptr ? c->name : "") +
                            " files can hold; nothing written; write .w64, .caf or .rf64",
                        ToolError::kFailure);
    }
    int32_t done = 0;
    while (done < frames)
    {
        const int32_t count = std::min(frames - done, kChunkFrames - pending);
        float* const target = interleaved.data() + static_cast<size_t>(pending) * channelCount;
        const float* const sources[2] = {left, right};
        for (int32_t i = 0; i < count; ++i)
        {
            for (int c = 0; c < channelCount; ++c)
            {
                const float x = sources[c][done + i];
                target[channelCount * i + c] = isFloat || std::isfinite(x) ? x : 0.0f;
            }
        }
        pending += count;
        done += count;
        if (pending == kChunkFrames)
            flush();
    }
}

double AudioFileWriter::nextUniform()
{
    // xorshift64*: a fixed sequence, so that the same render gives the same file.
    noiseState ^= noiseState >> 12;
    noiseState ^= noiseState << 25;
    noiseState ^= noiseState >> 27;
    return static_cast<double>((noiseState * 2685821657736338717ull) >> 11) * 0x1.0p-53 - 0.5;
}

void AudioFileWriter::flush()
{
    const size_t samples = static_cast<size_t>(pending) * static_cast<size_t>(channelCount);
    sf_count_t written = 0;
    if (pcmBits > 0)
    {
        // libsndfile takes the upper bits of an int: the sample is rounded here, to its own width.
        const double steps = std::ldexp(1.0, pcmBits - 1);
        const bool noise = dither && pcmBits < 32;
        for (size_t i = 0; i < samples; ++i)
        {
            double scaled = static_cast<double>(interleaved[i]) * steps;
            if (noise)
                scaled += nextUniform() + nextUniform();
            const double step = std::min(std::max(std::nearbyint(scaled), -steps), steps - 1.0);
            quantised[i] = static_cast<int>(static_cast<int64_t>(step) * (int64_t(1) << (32 - pcmBits)));
        }
        written = sf_writef_int(file, quantised.data(), pending);
    }
    else
        written = sf_writef_float(file, interleaved.data(), pending);
    if (pending > 0 && written != pending)
        throw ToolError(temporary.targetName() + ": cannot write: " + libraryMessage(sf_strerror(file)),
                        ToolError::kFailure);
    framesWritten += pending;
    pending = 0;
}

void AudioFileWriter::finish()
{
    flush();
    const int closed = sf_close(file);
    file = nullptr;
    if (closed != 0)
        throw ToolError(temporary.targetName() + ": cannot write: " + libraryMessage(sf_error_number(closed)),
                        ToolError::kFailure);
}

void AudioFileWriter::commit()
{
    if (file != nullptr)
        finish();
    temporary.commit();
}

std::string AudioFileWriter::description() const
{
    const bool small = framesWritten * 2 * sampleBytes(formatCode) <= kMaxDataBytes32;
    return describe(downgrades && small ? (SF_FORMAT_WAV | (formatCode & SF_FORMAT_SUBMASK)) : formatCode);
}

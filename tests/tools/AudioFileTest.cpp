// Audio in and out through libsndfile: formats, mono input, and the temporary file that becomes the output only when
// it is complete.

#include "tools/AudioFileReader.h"
#include "tools/AudioFileWriter.h"
#include "tools/TemporaryFile.h"
#include "tools/ToolError.h"

#include "TestFolders.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{

void writeWithLibsndfile(const std::string& path, int format, int channels, const std::vector<float>& interleaved)
{
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = 44100;
    SNDFILE* const file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size()) / channels);
    sf_close(file);
}

int failureStatus(const std::string& path)
{
    try
    {
        AudioFileReader reader(path);
    }
    catch (const ToolError& error)
    {
        EXPECT_NE(std::string(error.what()).find(path), std::string::npos) << error.what();
        return error.exitStatus();
    }
    return 0;
}

} // namespace

TEST(AudioFileTest, FloatRoundTripKeepsEveryBit)
{
    const std::string folder = freshFolder("audio-file");
    const std::string path = folder + "/float.wav";
    std::vector<float> left(1000), right(1000);
    for (size_t i = 0; i < left.size(); ++i)
    {
        left[i] = std::sin(0.01f * static_cast<float>(i)) * 1.5f; // above full scale too
        right[i] = 1e-30f * static_cast<float>(i);                // tiny values
    }
    const int format = AudioFileWriter::formatFor(path, "float", 0, 44100);
    EXPECT_EQ(format, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT); // float WAV with the extensible format chunk
    {
        AudioFileWriter writer(path, format, 44100);
        EXPECT_TRUE(writer.floatingPoint());
        writer.write(left.data(), right.data(), 600);
        writer.write(left.data() + 600, right.data() + 600, 400);
        writer.commit();
    }
    AudioFileReader reader(path);
    EXPECT_EQ(reader.frames(), 1000);
    EXPECT_EQ(reader.channels(), 2);
    EXPECT_EQ(reader.sampleRate(), 44100);
    std::vector<float> readLeft(1200, -1.0f), readRight(1200, -1.0f);
    reader.read(readLeft.data(), readRight.data(), 1200); // 200 frames past the end: silence
    for (size_t i = 0; i < 1000; ++i)
    {
        ASSERT_EQ(readLeft[i], left[i]) << i;
        ASSERT_EQ(readRight[i], right[i]) << i;
    }
    for (size_t i = 1000; i < 1200; ++i)
        ASSERT_EQ(readLeft[i] + readRight[i], 0.0f);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"float.wav"}); // no temporary file left
}

TEST(AudioFileTest, MonoFeedsBothChannels)
{
    const std::string path = freshFolder("audio-file") + "/mono.wav";
    writeWithLibsndfile(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, {0.5f, -0.25f, 0.125f});
    AudioFileReader reader(path);
    EXPECT_EQ(reader.channels(), 1);
    float left[3];
    float right[3];
    reader.read(left, right, 3);
    EXPECT_EQ(left[0], 0.5f);
    EXPECT_EQ(right[0], 0.5f);
    EXPECT_EQ(left[1], -0.25f);
    EXPECT_EQ(right[2], 0.125f);
}

TEST(AudioFileTest, UnfinishedOutputLeavesNothing)
{
    const std::string folder = freshFolder("audio-file");
    const float samples[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    {
        AudioFileWriter writer(folder + "/never.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000);
        writer.write(samples, samples, 4);
        EXPECT_EQ(filesIn(folder).size(), 1u); // the hidden temporary file
        EXPECT_EQ(filesIn(folder)[0].compare(0, 11, ".never.wav."), 0);
    }
    EXPECT_TRUE(filesIn(folder).empty());
}

TEST(AudioFileTest, LinkedOutputKeepsTheLink)
{
    const std::string folder = freshFolder("audio-file");
    writeWithLibsndfile(folder + "/real.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, {0.5f});
    ASSERT_EQ(symlink("real.wav", (folder + "/link.wav").c_str()), 0);
    const float samples[3] = {0.25f, 0.25f, 0.25f};
    {
        AudioFileWriter writer(folder + "/link.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000);
        writer.write(samples, samples, 3);
        writer.commit();
    }
    struct stat status = {};
    ASSERT_EQ(lstat((folder + "/link.wav").c_str(), &status), 0);
    EXPECT_TRUE(S_ISLNK(status.st_mode));
    AudioFileReader reader(folder + "/real.wav");
    EXPECT_EQ(reader.frames(), 3);
    EXPECT_EQ(reader.sampleRate(), 48000);
}

TEST(AudioFileTest, PcmClipsAndWritesNonFiniteAsZero)
{
    const std::string folder = freshFolder("audio-file");
    const std::string path = folder + "/pcm.wav";
    const float left[4] = {2.0f, -2.0f, NAN, INFINITY};
    const float right[4] = {0.5f, 0.5f, 0.5f, 0.5f};
    {
        AudioFileWriter writer(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000);
        EXPECT_FALSE(writer.floatingPoint());
        writer.write(left, right, 4);
        writer.commit();
    }
    AudioFileReader reader(path);
    float readLeft[4];
    float readRight[4];
    reader.read(readLeft, readRight, 4);
    EXPECT_NEAR(readLeft[0], 1.0f, 1e-4f); // clipped, not wrapped round
    EXPECT_EQ(readLeft[1], -1.0f);
    EXPECT_EQ(readLeft[2], 0.0f);
    EXPECT_EQ(readLeft[3], 0.0f);
    EXPECT_EQ(readRight[0], 0.5f);
}

TEST(AudioFileTest, OutputFormatFromNameAndInput)
{
    const int pcm16Wav = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    EXPECT_EQ(AudioFileWriter::formatFor("x/out.wav", "", pcm16Wav, 44100), pcm16Wav);
    EXPECT_EQ(AudioFileWriter::formatFor("out.AIFF", "", pcm16Wav, 44100), SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    EXPECT_EQ(AudioFileWriter::formatFor("out.flac", "", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 44100),
              SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    // A float input into FLAC, which holds no float: 24-bit PCM.
    EXPECT_EQ(AudioFileWriter::formatFor("out.flac", "", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100),
              SF_FORMAT_FLAC | SF_FORMAT_PCM_24);
    EXPECT_EQ(AudioFileWriter::formatFor("out.wav", "pcm24", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100),
              SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(AudioFileWriter::describe(SF_FORMAT_WAV | SF_FORMAT_FLOAT).find("WAV"), 0u);

    for (const std::string& bad : {std::string("out.mp4"), std::string("out"), std::string("dir.wav/out")})
    {
        try
        {
            AudioFileWriter::formatFor(bad, "", pcm16Wav, 44100);
            ADD_FAILURE() << bad << " was accepted";
        }
        catch (const ToolError& error)
        {
            EXPECT_EQ(error.exitStatus(), ToolError::kUsage);
            EXPECT_NE(std::string(error.what()).find(bad), std::string::npos);
        }
    }
    EXPECT_THROW(AudioFileWriter::formatFor("out.flac", "float", pcm16Wav, 44100), ToolError);
    EXPECT_THROW(AudioFileWriter::formatFor("out.wav", "mp3", pcm16Wav, 44100), ToolError);
}

TEST(AudioFileTest, InputFailuresNameTheFile)
{
    const std::string folder = freshFolder("audio-file");
    EXPECT_EQ(failureStatus(folder + "/missing.wav"), ToolError::kFailure);
    EXPECT_EQ(failureStatus(folder), ToolError::kFailure); // a folder
    const std::string text = folder + "/text.wav";
    std::ofstream(text) << "this is not audio\n";
    EXPECT_EQ(failureStatus(text), ToolError::kFailure);
    const std::string empty = folder + "/empty.wav";
    std::ofstream(empty).close();
    EXPECT_EQ(failureStatus(empty), ToolError::kFailure);
    const std::string surround = folder + "/three.wav";
    writeWithLibsndfile(surround, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, std::vector<float>(30, 0.0f));
    EXPECT_EQ(failureStatus(surround), ToolError::kFailure);
    try
    {
        AudioFileReader reader(surround);
    }
    catch (const ToolError& error)
    {
        EXPECT_NE(std::string(error.what()).find("3 channels"), std::string::npos) << error.what();
    }
}

TEST(AudioFileTest, OutputFailuresNameTheFile)
{
    const std::string folder = freshFolder("audio-file");
    for (const std::string& target : {folder + "/no/such/folder/out.wav", folder})
    {
        try
        {
            AudioFileWriter writer(target, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000);
            ADD_FAILURE() << target << " was opened";
        }
        catch (const ToolError& error)
        {
            EXPECT_EQ(error.exitStatus(), ToolError::kFailure);
            EXPECT_EQ(std::string(error.what()).find(target + ": cannot write"), 0u) << error.what();
        }
    }
}

TEST(AudioFileTest, WavThatMayPassFourGigabytesIsRf64)
{
    // 4 GiB of float stereo is 536870912 frames less the room kept for the header.
    const int64_t limit = AudioFileWriter::kMaxDataBytes32 / 8;
    const int floatWav = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    const OutputFormat below = AudioFileWriter::choose("o.wav", "", "", floatWav, 384000, limit);
    EXPECT_EQ(below.format, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT);
    EXPECT_FALSE(below.wavWhenSmall);
    for (const int64_t frames : {limit + 1, int64_t(-1)}) // past the limit, or of unknown length
    {
        const OutputFormat past = AudioFileWriter::choose("o.wav", "", "", floatWav, 384000, frames);
        EXPECT_EQ(past.format, SF_FORMAT_RF64 | SF_FORMAT_FLOAT);
        EXPECT_TRUE(past.wavWhenSmall);
    }
    // 16-bit PCM holds twice the frames.
    EXPECT_EQ(AudioFileWriter::formatFor("o.wav", "pcm16", floatWav, 44100, limit + 1),
              SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_THROW(AudioFileWriter::choose("o.aiff", "", "", floatWav, 384000, limit + 1), ToolError);
    EXPECT_EQ(AudioFileWriter::formatFor("o.w64", "", floatWav, 384000, 4 * limit), SF_FORMAT_W64 | SF_FORMAT_FLOAT);

    // An RF64 that stays small is written as plain WAV.
    const std::string path = freshFolder("audio-file") + "/small.wav";
    const float samples[2] = {0.5f, -0.5f};
    {
        AudioFileWriter writer(path, SF_FORMAT_RF64 | SF_FORMAT_FLOAT, 48000, true);
        writer.write(samples, samples + 1, 1);
        writer.commit();
        EXPECT_EQ(writer.description(), "WAV, 32-bit float");
    }
    std::ifstream file(path, std::ios::binary);
    char magic[5] = {};
    file.read(magic, 4);
    EXPECT_EQ(std::string(magic), "RIFF");
}

TEST(AudioFileTest, HiddenNameFitsTheFileSystemsLimit)
{
    EXPECT_EQ(TemporaryFile::hiddenName("out.wav", 255), ".out.wav.");
    const std::string longName = std::string(250, 'a') + ".wav";
    const std::string hidden = TemporaryFile::hiddenName(longName, 255);
    EXPECT_EQ(hidden.size() + 6, 255u); // mkstemp's XXXXXX fill it exactly
    EXPECT_EQ(hidden.compare(0, 11, ".aaaaaaaaaa"), 0);
    EXPECT_NE(hidden, TemporaryFile::hiddenName(std::string(250, 'a') + ".flac", 255)); // the hash tells them apart
    // Shortening never cuts a UTF-8 character in two.
    const std::string accented =
        TemporaryFile::hiddenName(std::string(237, 'a') + "\xc3\xa4\xc3\xa4" + std::string(20, 'b') + ".wav", 255);
    ASSERT_NE(accented.find('~'), std::string::npos) << accented;
    EXPECT_EQ(accented.substr(0, accented.find('~')), "." + std::string(237, 'a')); // not "a...a\xc3"
}

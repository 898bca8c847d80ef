// tessaloom-render run as a user runs it: renders compared bit for bit with the plug-in driven directly through the
// test host, the transport it reports, parameter parsing, the response measurement, and every error case with its
// message, its exit status and no output file left behind.

#include "ToolRun.h"

#include "TestFolders.h"

#include "support/TestHost.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sndfile.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace
{

struct Stereo
{
    std::vector<float> left;
    std::vector<float> right;
};

// --- files ------------------------------------------------------------------------------------------------------

// A JSON document in its compact form (no spaces), to look for members; other text as it is.
std::string compactJson(const std::string& text)
{
    return nlohmann::json::accept(text) ? nlohmann::ordered_json::parse(text).dump() : text;
}

void writeAudio(const std::string& path, int format, int rate, int channels, const std::vector<float>& interleaved)
{
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = rate;
    SNDFILE* const file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(interleaved.size() / channels));
    sf_close(file);
}

// The file's samples as libsndfile delivers them (so a 16-bit file gives the floats the tool reads), channels
// spread into left and right (a mono file into both), and its format.
Stereo readAudio(const std::string& path, int* format = nullptr, int* rate = nullptr)
{
    Stereo audio;
    SF_INFO info{};
    SNDFILE* const file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
    if (file == nullptr)
        return audio;
    std::vector<float> interleaved(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    for (sf_count_t i = 0; i < info.frames; ++i)
    {
        audio.left.push_back(interleaved[static_cast<size_t>(i * info.channels)]);
        audio.right.push_back(interleaved[static_cast<size_t>(i * info.channels + info.channels - 1)]);
    }
    if (format != nullptr)
        *format = info.format;
    if (rate != nullptr)
        *rate = info.samplerate;
    return audio;
}

// Seeded noise and a chord, the two channels different.
std::vector<float> testSignal(size_t frames, int channels, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> noise(-0.3f, 0.3f);
    std::vector<float> interleaved;
    for (size_t i = 0; i < frames; ++i)
    {
        for (int c = 0; c < channels; ++c)
        {
            const double t = static_cast<double>(i) / 48000.0;
            const double chord = 0.2 * std::sin(2.0 * 3.141592653589793 * (110.0 + 55.0 * c) * t) +
                                 0.15 * std::sin(2.0 * 3.141592653589793 * 277.0 * t);
            interleaved.push_back(static_cast<float>(chord) + noise(random));
        }
    }
    return interleaved;
}

// --- the same render through the test host ------------------------------------------------------------------------

// What the reference host does: the render tool's documented behaviour, written out independently.
struct ReferenceSetup
{
    double rate = 48000.0;
    int32_t blockSize = 512;
    int32_t firstBlock = 0;
    int64_t prerollFrames = 0;
    int64_t tailFrames = 0;
    double tempo = 120.0;
    int32_t numerator = 4;
    int32_t denominator = 4;
    double start = 0.0;
    bool stopped = false;
    int64_t settleFrames = 1024; // one-frame blocks of silence before the pre-roll, unless --no-settle
    std::vector<std::pair<int32_t, float>> values; // parameter index, normalised value
    struct Ramp
    {
        int32_t index;
        std::vector<std::pair<double, float>> points; // seconds, normalised value
    };
    std::vector<Ramp> ramps;
};

float rampAt(const std::vector<std::pair<double, float>>& points, double t)
{
    if (t <= points.front().first)
        return points.front().second;
    if (t >= points.back().first)
        return points.back().second;
    size_t i = 0;
    while (points[i + 1].first <= t)
        ++i;
    const double v0 = points[i].second;
    const double v1 = points[i + 1].second;
    return static_cast<float>(v0 + (v1 - v0) * (t - points[i].first) / (points[i + 1].first - points[i].first));
}

// One block's time information: standing at the start in the pre-roll and when stopped, else rolling.
void fillTimeInfo(VstTimeInfo& info, const ReferenceSetup& setup, int64_t blockStart, bool rolling, bool changed)
{
    const double offset = rolling ? static_cast<double>(blockStart) : 0.0;
    const double quarters = setup.start + offset * setup.tempo / (60.0 * setup.rate);
    const double barLength = setup.numerator * 4.0 / setup.denominator;
    info = VstTimeInfo{};
    info.samplePos = setup.start * 60.0 * setup.rate / setup.tempo + offset;
    info.sampleRate = setup.rate;
    info.ppqPos = quarters;
    info.tempo = setup.tempo;
    info.barStartPos = std::floor(quarters / barLength) * barLength;
    info.timeSigNumerator = setup.numerator;
    info.timeSigDenominator = setup.denominator;
    info.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid |
                 (rolling ? kVstTransportPlaying : 0) | (changed ? kVstTransportChanged : 0);
}

Stereo referenceRender(const Stereo& input, const ReferenceSetup& setup)
{
    TestHost host;
    EXPECT_TRUE(host.isLoaded()) << host.loadError();
    EXPECT_NE(host.create(), nullptr);
    host.dispatch(effOpen);
    host.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(setup.rate));
    host.dispatch(effSetBlockSize, 0, setup.blockSize);
    for (const auto& value : setup.values)
        host.setParameter(value.first, value.second);
    for (const auto& ramp : setup.ramps)
        host.setParameter(ramp.index, ramp.points.front().second);
    host.dispatch(effMainsChanged, 0, 1);

    const int64_t inputFrames = static_cast<int64_t>(input.left.size());
    const int64_t rendered = inputFrames + setup.tailFrames;
    std::vector<float> inLeft(static_cast<size_t>(setup.blockSize)), inRight(inLeft.size());
    std::vector<float> outLeft(inLeft.size()), outRight(inLeft.size());
    Stereo output;
    bool first = true;
    bool wasRolling = false;
    // Pre-roll: full blocks, the remainder last; then the first block and full blocks.
    std::vector<std::pair<int64_t, int32_t>> blocks;
    for (int64_t i = 0; i < setup.settleFrames; ++i)
        blocks.emplace_back(-setup.prerollFrames - setup.settleFrames + i, 1);
    for (int64_t at = -setup.prerollFrames; at < 0;)
    {
        const int64_t left = -at;
        const int64_t remainder = setup.prerollFrames % setup.blockSize;
        const int32_t length = static_cast<int32_t>(left == remainder ? remainder : setup.blockSize);
        blocks.emplace_back(at, length);
        at += length;
    }
    for (int64_t at = 0; at < rendered;)
    {
        const int64_t wanted = (at == 0 && setup.firstBlock > 0) ? setup.firstBlock : setup.blockSize;
        const int32_t length = static_cast<int32_t>(std::min(wanted, rendered - at));
        blocks.emplace_back(at, length);
        at += length;
    }
    for (const auto& [start, frames] : blocks)
    {
        for (const auto& ramp : setup.ramps)
            host.setParameter(ramp.index, rampAt(ramp.points, static_cast<double>(start) / setup.rate));
        const bool rolling = !setup.stopped && start >= 0;
        fillTimeInfo(host.timeInfo(), setup, start, rolling, first || rolling != wasRolling);
        first = false;
        wasRolling = rolling;
        for (int32_t i = 0; i < frames; ++i)
        {
            const int64_t at = start + i;
            const bool fromInput = at >= 0 && at < inputFrames;
            inLeft[static_cast<size_t>(i)] = fromInput ? input.left[static_cast<size_t>(at)] : 0.0f;
            inRight[static_cast<size_t>(i)] = fromInput ? input.right[static_cast<size_t>(at)] : 0.0f;
        }
        host.processReplacing(inLeft.data(), inRight.data(), outLeft.data(), outRight.data(), frames);
        if (start >= 0)
        {
            output.left.insert(output.left.end(), outLeft.begin(), outLeft.begin() + frames);
            output.right.insert(output.right.end(), outRight.begin(), outRight.begin() + frames);
        }
    }
    host.dispatch(effMainsChanged, 0, 0);
    host.close();
    return output;
}

void expectSameBits(const Stereo& tool, const Stereo& reference)
{
    ASSERT_EQ(tool.left.size(), reference.left.size());
    ASSERT_EQ(tool.right.size(), reference.right.size());
    size_t different = 0;
    size_t firstDifferent = 0;
    for (size_t i = 0; i < tool.left.size(); ++i)
    {
        const bool same = std::memcmp(&tool.left[i], &reference.left[i], sizeof(float)) == 0 &&
                          std::memcmp(&tool.right[i], &reference.right[i], sizeof(float)) == 0;
        if (!same && different++ == 0)
            firstDifferent = i;
    }
    EXPECT_EQ(different, 0u) << "first different frame " << firstDifferent;
}

float entry(int k, int count)
{
    return static_cast<float>(k) / static_cast<float>(count);
}

// --- error cases ----------------------------------------------------------------------------------------------------

// The run failed with status, one line on stderr naming what, and the folder holds exactly the files it had.
void expectCleanFailure(const ToolRun& run, int status, const std::string& what, const std::string& folder,
                        const std::vector<std::string>& filesBefore)
{
    EXPECT_EQ(run.status, status) << run.err;
    EXPECT_EQ(run.err.rfind("tessaloom-render: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(what), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(filesIn(folder), filesBefore);
}

double csvValueNear(const std::string& csv, double hz, int column)
{
    std::istringstream lines(csv);
    std::string line;
    std::getline(lines, line); // header
    double best = 0.0;
    double bestDistance = 1e300;
    while (std::getline(lines, line))
    {
        double values[3] = {0, 0, 0};
        if (std::sscanf(line.c_str(), "%lf,%lf,%lf", &values[0], &values[1], &values[2]) != 3)
            continue;
        const double distance = std::fabs(std::log(values[0] / hz));
        if (distance < bestDistance)
        {
            bestDistance = distance;
            best = values[column];
        }
    }
    return best;
}

} // namespace

TEST(RenderToolTest, RenderMatchesTheDirectlyDrivenPluginBitForBit)
{
    const std::string folder = freshFolder("bit-exact-stereo");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(62000, 2, 7));
    const ToolRun run = ToolRun::run({"in.wav",
                                      "out.wav",
                                      "--block-size",
                                      "300",
                                      "--first-block",
                                      "100",
                                      "--preroll",
                                      "0.1",
                                      "--tail",
                                      "0.25",
                                      "--tempo",
                                      "128",
                                      "--time-signature",
                                      "6/8",
                                      "--start",
                                      "2",
                                      "--set",
                                      "Filter Type=Dual LP/HP",
                                      "--set",
                                      "Filter Reso=60%",
                                      "--set",
                                      "LFO Amount=0.8",
                                      "--set",
                                      "LFO Shape=Sinus",
                                      "--set",
                                      "LFO Freq=1/8 bar",
                                      "--set",
                                      "Pre Saturation=0.5",
                                      "--set",
                                      "Mix=0.7",
                                      "--automate",
                                      "Filter Freq=0s:10%,1s:90%",
                                      "--automate",
                                      "Post Saturation=0.2s:0,0.6s:1"},
                                     folder);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"in.wav", "out.wav"}));

    ReferenceSetup setup;
    setup.blockSize = 300;
    setup.firstBlock = 100;
    setup.prerollFrames = 4800;
    setup.tailFrames = 12000;
    setup.tempo = 128.0;
    setup.numerator = 6;
    setup.denominator = 8;
    setup.start = 2.0;
    setup.values = {{1, entry(2, 3)}, {3, 0.6f}, {4, 0.8f}, {8, entry(1, 5)}, {5, entry(1, 10)}, {0, 0.5f}, {11, 0.7f}};
    setup.ramps = {{2, {{0.0, 0.1f}, {1.0, 0.9f}}}, {10, {{0.2, 0.0f}, {0.6, 1.0f}}}};
    const Stereo tool = readAudio(folder + "/out.wav");
    EXPECT_EQ(tool.left.size(), 62000u + 12000u);
    expectSameBits(tool, referenceRender(readAudio(folder + "/in.wav"), setup));
}

TEST(RenderToolTest, MonoPcmInputWithStoppedTransportMatchesBitForBit)
{
    const std::string folder = freshFolder("bit-exact-mono");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, testSignal(30000, 1, 11));
    const ToolRun run =
        ToolRun::run({"in.wav", "out.wav", "--format", "float", "--stopped", "--start", "5.5", "--block-size", "64",
                      "--set", "LFO Amount=1", "--set", "LFO Sync=triplet", "--set", "LFO Direction=Up", "--set",
                      "Filter Freq=20%", "--set", "Filter Type=high pass"},
                     folder);
    ASSERT_EQ(run.status, 0) << run.err;
    int format = 0;
    const Stereo tool = readAudio(folder + "/out.wav", &format);
    EXPECT_EQ(format, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT);

    ReferenceSetup setup;
    setup.rate = 44100.0;
    setup.blockSize = 64;
    setup.stopped = true;
    setup.start = 5.5;
    setup.values = {{4, 1.0f}, {6, entry(2, 4)}, {7, entry(1, 2)}, {2, 0.2f}, {1, entry(1, 3)}};
    const Stereo input = readAudio(folder + "/in.wav"); // the mono file in both channels
    expectSameBits(tool, referenceRender(input, setup));
}

TEST(RenderToolTest, ReportedTransportAdvancesLikeAHosts)
{
    const std::string folder = freshFolder("transport");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(48000, 2, 3));
    // A moving phase offset makes the plug-in ask for the time on every block.
    const ToolRun run = ToolRun::run({"in.wav", "out.wav", "--verbose", "--tempo", "140", "--block-size", "1024",
                                      "--first-block", "256", "--preroll", "0.05", "--automate", "LFO Phase=0s:0,1s:1"},
                                     folder);
    ASSERT_EQ(run.status, 0) << run.err;

    std::istringstream log(run.err);
    std::string line;
    long long blockStart = 0;
    bool blockRolling = false;
    int requests = 0;
    int rollingRequests = 0;
    double lastRollingPpq = -1.0;
    while (std::getline(log, line))
    {
        long long start = 0;
        int frames = 0;
        if (std::sscanf(line.c_str(), "-- block at frame %lld, %d frames", &start, &frames) == 2)
        {
            blockStart = start;
            blockRolling = line.find("transport rolling") != std::string::npos;
            EXPECT_EQ(blockRolling, start >= 0) << line;
            continue;
        }
        const std::string request = "audioMasterGetTime(index 0, value 11777, opt 0) -> ";
        const size_t answer = line.find(request);
        if (answer == std::string::npos)
            continue;
        double samplePos = 0, ppq = 0, tempo = 0, bar = 0;
        int numerator = 0, denominator = 0;
        unsigned flags = 0;
        ASSERT_EQ(std::sscanf(line.c_str() + answer + request.size(),
                              "samplePos %lf ppqPos %lf tempo %lf barStartPos %lf timeSig %d/%d flags 0x%x", &samplePos,
                              &ppq, &tempo, &bar, &numerator, &denominator, &flags),
                  7)
            << line;
        ++requests;
        EXPECT_EQ(tempo, 140.0);
        EXPECT_EQ(numerator, 4);
        EXPECT_EQ(denominator, 4);
        EXPECT_EQ(flags & 0x2E00u, 0x2E00u); // position, tempo, bars and time signature valid
        if (blockRolling)
        {
            EXPECT_EQ(samplePos, static_cast<double>(blockStart));
            EXPECT_EQ(ppq, static_cast<double>(blockStart) * 140.0 / (60.0 * 48000.0)) << line;
            EXPECT_EQ(bar, std::floor(ppq / 4.0) * 4.0);
            EXPECT_NE(flags & kVstTransportPlaying, 0u);
            EXPECT_EQ((flags & kVstTransportChanged) != 0, blockStart == 0) << line;
            EXPECT_GT(ppq, lastRollingPpq);
            lastRollingPpq = ppq;
            ++rollingRequests;
        }
        else
        {
            EXPECT_EQ(ppq, 0.0); // the pre-roll stands at the start
            EXPECT_EQ(flags & kVstTransportPlaying, 0u);
        }
    }
    EXPECT_GT(rollingRequests, 30); // 47 blocks, asked every block while the phase offset moves
    EXPECT_GT(requests, rollingRequests);
}

TEST(RenderToolTest, ParametersByNameFrequencyAndEntry)
{
    const std::string folder = freshFolder("parameters");
    const ToolRun run = ToolRun::run({"--info", "--json", "--set", "filter type=Dual LP/HP", "--set",
                                      "Filter Freq=LP 300Hz", "--set", "LFO Sync=dotted", "--set", "Mix=0.25"},
                                     folder);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string info = compactJson(run.out);
    EXPECT_NE(info.find("\"name\":\"Filter Freq\",\"value\":0.196"), std::string::npos) << info;
    EXPECT_NE(info.find("\"display\":\"LP 300\""), std::string::npos) << info;
    EXPECT_NE(info.find("\"display\":\"Dotted\""), std::string::npos) << info;
    EXPECT_NE(info.find("\"name\":\"Mix\",\"value\":0.25,\"display\":\"0.25\""), std::string::npos);
    EXPECT_NE(info.find("\"entries\":[\"Triangle\",\"Sinus\",\"Sawtooth\",\"Square\",\"Exponent\"]"),
              std::string::npos);

    const ToolRun text = ToolRun::run({"--info", "--set", "Filter Freq=1200Hz"}, folder);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("effect name     Tessaloom"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("unique ID       'Wryx' (0x57727978)"), std::string::npos);
    EXPECT_NE(text.out.find(" 1200 "), std::string::npos) << text.out;

    // A free LFO rate in Hz, mapped through the law its display shows once LFO Sync is Free.
    const ToolRun free = ToolRun::run({"--info", "--json", "--set", "LFO Sync=Free", "--set", "LFO Freq=2Hz"}, folder);
    ASSERT_EQ(free.status, 0) << free.err;
    EXPECT_NE(compactJson(free.out).find("\"display\":\"2.00 Hz\""), std::string::npos) << free.out;
}

TEST(RenderToolTest, ResponseOfLowAndHighPass)
{
    const std::string folder = freshFolder("response");
    const ToolRun lowPass =
        ToolRun::run({"--response", "lp.csv", "--set", "Filter Freq=1000Hz", "--sample-rate", "48000"}, folder);
    ASSERT_EQ(lowPass.status, 0) << lowPass.err;
    const std::string csv = fileText(folder + "/lp.csv");
    EXPECT_EQ(csv.rfind("frequency_hz,left_db,right_db\n", 0), 0u);
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 241);
    // A second-order low-pass with Q 1: flat below, 0 dB at the cutoff, 12 dB per octave above.
    EXPECT_NEAR(csvValueNear(csv, 100.0, 1), 0.0, 0.5);
    EXPECT_NEAR(csvValueNear(csv, 1000.0, 1), 0.0, 1.0);
    EXPECT_LT(csvValueNear(csv, 10000.0, 1), -35.0);
    EXPECT_EQ(csvValueNear(csv, 10000.0, 1), csvValueNear(csv, 10000.0, 2));

    const ToolRun highPass =
        ToolRun::run({"--response", "hp.csv", "--set", "Filter Type=High Pass", "--set", "Filter Freq=1000Hz"}, folder);
    ASSERT_EQ(highPass.status, 0) << highPass.err;
    const std::string hp = fileText(folder + "/hp.csv");
    EXPECT_LT(csvValueNear(hp, 100.0, 1), -35.0);
    EXPECT_NEAR(csvValueNear(hp, 10000.0, 1), 0.0, 0.5);
}

TEST(RenderToolTest, SummaryFormatsAndWarnings)
{
    const std::string folder = freshFolder("summary");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, testSignal(24000, 2, 5));
    const ToolRun plain = ToolRun::run({"in.wav", "out.flac", "--tail", "0.5"}, folder);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(plain.err.empty()) << plain.err;
    EXPECT_NE(plain.out.find("rendered    out.flac (FLAC"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("frames      48000 (1.000 s; tail 0.500 s"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("x real time"), std::string::npos);
    EXPECT_NE(plain.out.find("peak        -"), std::string::npos);
    int format = 0;
    EXPECT_EQ(readAudio(folder + "/out.flac", &format).left.size(), 48000u);
    EXPECT_EQ(format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16); // the input's sample format

    const ToolRun summary = ToolRun::run({"in.wav", "out.wav", "--json"}, folder);
    EXPECT_NE(compactJson(summary.out).find("\"frames\":24000"), std::string::npos) << summary.out;
    EXPECT_NE(compactJson(summary.out).find("\"clippedSamples\":0"), std::string::npos) << summary.out;

    // Loud input through a resonant filter overshoots full scale. A non-finite input sample costs zeros in its own
    // block: the plug-in never hands one back, so there is nothing non-finite to warn about.
    std::vector<float> loud(20000 * 2);
    for (size_t i = 0; i < loud.size(); ++i)
        loud[i] = ((i / 2) / 100) % 2 == 0 ? 0.99f : -0.99f;
    loud[5000] = NAN;
    writeAudio(folder + "/loud.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, loud);
    const ToolRun warned =
        ToolRun::run({"loud.wav", "hot.wav", "--set", "Filter Reso=4", "--set", "Filter Freq=40%"}, folder);
    EXPECT_EQ(warned.status, 0) << warned.err;
    EXPECT_NE(warned.err.find("tessaloom-render: warning: hot.wav: "), std::string::npos) << warned.err;
    EXPECT_NE(warned.err.find("samples above full scale"), std::string::npos) << warned.err;
    EXPECT_EQ(warned.err.find("non-finite samples"), std::string::npos) << warned.err;
}

TEST(RenderToolTest, FileErrorsNameTheFileAndLeaveNoOutput)
{
    const std::string folder = freshFolder("file-errors");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(4800, 2, 1));
    writeAudio(folder + "/three.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 3, std::vector<float>(300, 0.1f));
    std::ofstream(folder + "/notes.wav") << "not audio\n";
    mkdir((folder + "/taken.wav").c_str(), 0755);
    const std::vector<std::string> before = filesIn(folder);

    expectCleanFailure(ToolRun::run({"missing.wav", "out.wav"}, folder), 1,
                       "missing.wav: cannot read: No such file or directory", folder, before);
    expectCleanFailure(ToolRun::run({"notes.wav", "out.wav"}, folder), 1, "notes.wav: unreadable or unsupported audio",
                       folder, before);
    expectCleanFailure(ToolRun::run({"three.wav", "out.wav"}, folder), 1,
                       "three.wav: 3 channels; the plug-in takes mono or stereo audio: pick a pair with --channels",
                       folder, before);
    expectCleanFailure(ToolRun::run({"three.wav", "out.wav", "--channels", "3,4"}, folder), 2, "three.wav: 3 channels",
                       folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "no/such/folder/out.wav"}, folder), 1,
                       "no/such/folder/out.wav: cannot write", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "taken.wav"}, folder), 1, "taken.wav: cannot write: it is a folder",
                       folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--plugin", "/no/such/plugin.so"}, folder), 1,
                       "/no/such/plugin.so: cannot load the plug-in", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--plugin", "notes.wav"}, folder), 1,
                       "notes.wav: cannot load the plug-in", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--plugin", TESSALOOM_NULL_PLUGIN_PATH}, folder), 1,
                       "created no effect", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--response", "no/such/folder/r.csv"}, folder), 1,
                       "no/such/folder/r.csv: cannot write", folder, before);
}

TEST(RenderToolTest, InterruptedRenderLeavesNoOutput)
{
    const std::string folder = freshFolder("interrupted");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, testSignal(800, 1, 2));
    // An hour of tail: still rendering when the temporary output file appears and the signal comes.
    const ToolRun run = ToolRun::run({"in.wav", "out.wav", "--tail", "3600"}, folder, ".out.wav.");
    EXPECT_EQ(run.status, 128 + SIGTERM) << run.err;
    EXPECT_NE(run.err.find("out.wav: interrupted; nothing written"), std::string::npos) << run.err;
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"in.wav"});
}

TEST(RenderToolTest, UsageErrorsExitWithTwoAndLeaveNoOutput)
{
    const std::string folder = freshFolder("usage-errors");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(4800, 2, 1));
    const std::vector<std::string> before = filesIn(folder);

    expectCleanFailure(ToolRun::run({"in.wav"}, folder), 2, "give both INPUT and OUTPUT", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--loud"}, folder), 2, "unknown option --loud", folder,
                       before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.mp4"}, folder), 2, "out.mp4: cannot tell the audio format", folder,
                       before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Cutoff=0.5"}, folder), 2,
                       "unknown parameter \"Cutoff\"; the parameters are: \"Pre Saturation\", \"Filter Type\"", folder,
                       before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "LFO Sync=Half"}, folder), 2,
                       "\"LFO Sync\" has no entry \"Half\"; its entries are: \"Whole\", \"Dotted\", \"Triplet\", "
                       "\"Free\"",
                       folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Mix=2"}, folder), 2, "\"Mix\" shows 0 to 1", folder,
                       before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Filter Freq=5Hz"}, folder), 2,
                       "lies outside its range, 20 Hz to 20000 Hz", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Mix=0.5", "--automate", "Mix=0s:0,1s:1"}, folder),
                       2, "\"Mix\" is given to --set and to --automate", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--automate", "Mix=1s:0,0s:1"}, folder), 2,
                       "must not go back", folder, before);

    const ToolRun help = ToolRun::run({"--help"}, folder);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tessaloom-render", 0), 0u);
}

TEST(RenderToolTest, OutputThatIsTheInputByAnyPathIsRefused)
{
    const std::string folder = freshFolder("same-file");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, testSignal(4800, 2, 4));
    ASSERT_EQ(symlink("in.wav", (folder + "/link.wav").c_str()), 0);
    ASSERT_EQ(link((folder + "/in.wav").c_str(), (folder + "/hard.wav").c_str()), 0);
    const std::string original = fileText(folder + "/in.wav");
    const std::vector<std::string> before = filesIn(folder);
    const std::vector<std::vector<std::string>> commands = {{"in.wav", "in.wav"},
                                                            {"in.wav", "./link.wav"},
                                                            {"link.wav", "hard.wav"},
                                                            {"in.wav", "out.wav", "--response", "hard.wav"}};
    for (const auto& command : commands)
    {
        expectCleanFailure(ToolRun::run(command, folder), 2, "is the same file as", folder, before);
        EXPECT_EQ(fileText(folder + "/in.wav"), original);
    }
}

TEST(RenderToolTest, OneSampleFormatRuleForEveryContainer)
{
    const std::string folder = freshFolder("format-rule");
    struct Case
    {
        int input;             // the input's format
        std::string output;    // OUTPUT
        std::string option;    // --format, or empty
        int written;           // the format read back
        const char* summary;   // in the summary
        const char* narrowing; // in the warning, or null
    };
    const Case cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, "o.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "(FLAC, 24-bit PCM",
         "FLAC files hold no 32-bit PCM samples; written as 24-bit PCM"},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "o.flac", "", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, "(FLAC, 24-bit PCM",
         "written as 24-bit PCM (samples above full scale are clipped)"},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "o.aiff", "", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, "(AIFF, 32-bit float",
         nullptr},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "o.wav", "", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, "(WAV, 32-bit float",
         nullptr},
        {SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, "o.wav", "", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, "(WAV, 32-bit float",
         nullptr}, // a codec is no sample format to keep
        {SF_FORMAT_AIFF | SF_FORMAT_PCM_16, "o.au", "", SF_FORMAT_AU | SF_FORMAT_PCM_16, "(AU, 16-bit PCM", nullptr},
        {SF_FORMAT_WAV | SF_FORMAT_FLOAT, "o.wav", "PCM24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, "(WAV, 24-bit PCM",
         nullptr}, // asked for: no warning
    };
    for (const Case& c : cases)
    {
        writeAudio(folder + "/in.audio", c.input, 48000, 2, testSignal(2000, 2, 9));
        std::vector<std::string> arguments = {"in.audio", c.output};
        if (!c.option.empty())
            arguments.insert(arguments.end(), {"--format", c.option});
        const ToolRun run = ToolRun::run(arguments, folder);
        ASSERT_EQ(run.status, 0) << c.output << ": " << run.err;
        int format = 0;
        EXPECT_EQ(readAudio(folder + "/" + c.output, &format).left.size(), readAudio(folder + "/in.audio").left.size());
        EXPECT_EQ(format, c.written) << c.output << " from " << std::hex << c.input;
        EXPECT_NE(run.out.find(c.summary), std::string::npos) << run.out;
        EXPECT_EQ(run.err.find("warning: " + c.output + ": ") != std::string::npos, c.narrowing != nullptr) << run.err;
        if (c.narrowing != nullptr)
        {
            EXPECT_NE(run.err.find(c.narrowing), std::string::npos) << run.err;
        }
    }
}

TEST(RenderToolTest, OutputsPastFourGigabytesAreRf64OrRefused)
{
    const std::string folder = freshFolder("large");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 384000, 2, testSignal(3840, 2, 6));
    const std::vector<std::string> before = filesIn(folder);
    // 1500 s of tail at 384 kHz in float is 4.6 GB: refused before anything is rendered.
    for (const std::string output : {"big.aiff", "big.au"})
        expectCleanFailure(ToolRun::run({"in.wav", output, "--tail", "1500"}, folder), 2, "more than the 4 GiB", folder,
                           before);
    EXPECT_NE(ToolRun::run({"in.wav", "big.aiff", "--tail", "1500s"}, folder).err.find(".w64, .caf or .rf64"),
              std::string::npos);

    // RF64 itself, small: the same bits as WAV.
    ASSERT_EQ(ToolRun::run({"in.wav", "r.rf64", "--tail", "10ms"}, folder).status, 0);
    ASSERT_EQ(ToolRun::run({"in.wav", "r.wav", "--tail", "10ms"}, folder).status, 0);
    int format = 0;
    const Stereo rf64 = readAudio(folder + "/r.rf64", &format);
    EXPECT_EQ(format, SF_FORMAT_RF64 | SF_FORMAT_FLOAT);
    EXPECT_EQ(rf64.left.size(), 3840u + 3840u);
    expectSameBits(rf64, readAudio(folder + "/r.wav"));
}

TEST(RenderToolTest, InputCutShortRendersWhatThereIsWithAWarning)
{
    const std::string folder = freshFolder("cut-short");
    for (const std::string name : {"in.wav", "in.aiff", "in.au"})
    {
        const int major = name == "in.wav" ? SF_FORMAT_WAV : name == "in.aiff" ? SF_FORMAT_AIFF : SF_FORMAT_AU;
        writeAudio(folder + "/whole", major | SF_FORMAT_PCM_16, 48000, 2, testSignal(144000, 2, 8));
        std::ofstream(folder + "/" + name, std::ios::binary) << fileText(folder + "/whole").substr(0, 100000);
        const ToolRun run = ToolRun::run({name, "out.wav", "--tail", "0.5"}, folder);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("warning: " + name + ": the header declares 144000 frames (3.000 s) but only "),
                  std::string::npos)
            << run.err;
        // About 24990 frames could be read (the header's bytes aside); the tail follows them.
        const size_t frames = readAudio(folder + "/out.wav").left.size();
        EXPECT_GT(frames, 24900u + 24000u);
        EXPECT_LE(frames, 25000u + 24000u);
        EXPECT_NE(run.out.find("frames      " + std::to_string(frames) + " "), std::string::npos) << run.out;
    }
}

TEST(RenderToolTest, ReportsAreOneValidJsonDocumentAndAFailedWriteFails)
{
    const std::string folder = freshFolder("reports");
    writeAudio(folder + "/n\xc3\xa4me.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(4800, 2, 2));
    const ToolRun all = ToolRun::run({"--info", "--json", "n\xc3\xa4me.wav", "out.wav", "--response", "r.csv"}, folder);
    ASSERT_EQ(all.status, 0) << all.err;
    const std::string reports = compactJson(all.out);
    EXPECT_EQ(reports.rfind("{\"info\":{", 0), 0u) << all.out;
    EXPECT_NE(reports.find("\"render\":{\"input\":\"n\xc3\xa4me.wav\""), std::string::npos) << all.out;
    EXPECT_NE(reports.find("\"response\":{\"file\":\"r.csv\",\"frequencies\":240"), std::string::npos);
    // A name that is no UTF-8 (Latin-1) keeps its bytes as code points: \xe4 is U+00E4, "\xc3\xa4" in UTF-8.
    EXPECT_NE(compactJson(ToolRun::run({"n\xc3\xa4me.wav", "\xe4.wav", "--json"}, folder).out)
                  .find("\"output\":\"\xc3\xa4.wav\""),
              std::string::npos);
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--info", "--json"}, {"n\xc3\xa4me.wav", "out.wav", "--json"}, {"--info"}})
        EXPECT_EQ(nlohmann::json::accept(ToolRun::run(arguments, folder).out), arguments.back() == "--json");

    // Standard output that cannot be written is a failure, whatever was written to it, and leaves no output.
    unlink((folder + "/out.wav").c_str());
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--info", "--json"}, {"n\xc3\xa4me.wav", "out.wav"}, {"--help"}, {"--version"}})
    {
        const ToolRun full = ToolRun::run(arguments, folder, "", SIGTERM, "/dev/null", "/dev/full");
        EXPECT_EQ(full.status, 1) << arguments.front();
        EXPECT_EQ(fileText(folder + "/out.wav").size(), 0u) << "a failed run leaves no output";
        EXPECT_NE(full.err.find("tessaloom-render: standard output: cannot write: No space left"), std::string::npos)
            << full.err;
    }
}

TEST(RenderToolTest, ReplacingOutputsKeepsModeHonoursNoClobberAndLongNames)
{
    const std::string folder = freshFolder("replacing");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, testSignal(2400, 2, 3));
    std::ofstream(folder + "/out.wav") << "old";
    chmod((folder + "/out.wav").c_str(), 0640);
    ASSERT_EQ(ToolRun::run({"in.wav", "out.wav"}, folder).status, 0);
    struct stat status = {};
    ASSERT_EQ(stat((folder + "/out.wav").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);

    const std::string replaced = fileText(folder + "/out.wav");
    const std::vector<std::string> before = filesIn(folder);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--no-clobber"}, folder), 1,
                       "out.wav: exists; not replaced (--no-clobber)", folder, before);
    EXPECT_EQ(fileText(folder + "/out.wav"), replaced);

    // Names up to the file system's 255 bytes: the hidden temporary name is shortened to fit.
    for (const size_t length : {240u, 251u})
    {
        const std::string name = std::string(length, 'x') + ".wav";
        const ToolRun run = ToolRun::run({"in.wav", name}, folder);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(readAudio(folder + "/" + name).left.size(), 2400u);
        unlink((folder + "/" + name).c_str());
    }
    EXPECT_EQ(filesIn(folder), before);
}

TEST(RenderToolTest, StandardInputAndOutput)
{
    const std::string folder = freshFolder("standard-streams");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(6000, 2, 12));
    ASSERT_EQ(ToolRun::run({"in.wav", "file.wav"}, folder).status, 0);
    const ToolRun streamed =
        ToolRun::run({"-", "-", "--type", "au", "--tail", "20ms"}, folder, "", SIGTERM, "in.wav", "streamed.au");
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_NE(streamed.err.find("rendered    standard output (AU, 32-bit float"), std::string::npos) << streamed.err;
    Stereo fromStream = readAudio(folder + "/streamed.au");
    ASSERT_EQ(fromStream.left.size(), 6000u + 960u);
    fromStream.left.resize(6000);
    fromStream.right.resize(6000);
    expectSameBits(fromStream, readAudio(folder + "/file.wav"));
}

TEST(RenderToolTest, SignalsExitWith128PlusTheirNumber)
{
    const std::string folder = freshFolder("signals");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, testSignal(800, 1, 2));
    for (const int signal : {SIGINT, SIGHUP, SIGTERM})
    {
        const ToolRun run = ToolRun::run({"in.wav", "out.wav", "--tail", "3600"}, folder, ".out.wav.", signal);
        EXPECT_EQ(run.status, 128 + signal) << run.err;
        EXPECT_EQ(filesIn(folder), std::vector<std::string>{"in.wav"});
    }
}

TEST(RenderToolTest, MessagesFitTheParameterAndTheOptions)
{
    const std::string folder = freshFolder("messages");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(4800, 2, 1));
    const std::vector<std::string> before = filesIn(folder);
    const std::vector<std::pair<std::vector<std::string>, std::string>> errors = {
        {{"--set", "Mix=abc"}, "\"Mix=abc\": give a number as --info shows it or a normalised value as a percentage"},
        {{"--set", "LFO Freq=2Hz"}, "shows no frequency unless \"LFO Sync=Free\" is set"},
        {{"--set", "LFO Freq=fast"}, "or a frequency once \"LFO Sync=Free\" is set"},
        {{"--set", "Filter Freq=abc"}, "a frequency such as 1200Hz"},
        {{"--set", "Filter Reso=0.5"}, "shows 1 to 4; as a normalised value it would show 2.5: write 50% for that"},
        {{"--set", "Filter Freq=0.3"},
         "would be 0.3 Hz, below any frequency the parameter shows; for the normalised "
         "value write 30%"},
        {{"--set", "Filter Type=1.5"}, "its number from 0 to 2 as --info numbers them"},
        {{"--tail", "0x10"}, "give a time from 0 to 3600 s"},
        {{"--tempo", "0x50"}, "give a tempo from 1 to 999 BPM"},
        {{"--json", "-q"}, "--json and --quiet contradict each other"},
        {{"--dither", "none"}, "--dither applies to PCM output"},
        {{"--quality", "0.5"}, "--quality applies to .ogg, .opus and .mp3 outputs"},
        {{"--preroll-rolling"}, "--preroll-rolling applies to a pre-roll"},
        {{"--preroll", "1s", "--preroll-rolling", "--stopped"}, "contradict each other"},
        {{"--tail", "2x"}, "give a time from 0 to 3600 s"},
        {{"--type", "au"}, "--type applies to OUTPUT \"-\""},
        {{"--format", "mp3"}, "use float, pcm16, pcm24 or pcm32"},
    };
    for (const auto& [options, message] : errors)
    {
        std::vector<std::string> arguments = {"in.wav", "out.wav"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        expectCleanFailure(ToolRun::run(arguments, folder), 2, message, folder, before);
    }
    expectCleanFailure(ToolRun::run({"in.wav", "-"}, folder), 2, "OUTPUT \"-\" (standard output) needs --type", folder,
                       before);
    expectCleanFailure(ToolRun::run({"--info", "--tail", "1"}, folder), 2, "--tail applies to a render", folder,
                       before);
    expectCleanFailure(ToolRun::run({"--info", "--tempo", "90"}, folder), 2, "--tempo has no effect on --info", folder,
                       before);
    expectCleanFailure(ToolRun::run({"--info", "-q"}, folder), 2, "--quiet has no effect on --info alone", folder,
                       before);

    // An entry learnt with the LFO synced means nothing once it runs free.
    const ToolRun free = ToolRun::run({"--info", "--set", "LFO Sync=Free", "--set", "LFO Freq=1 bar"}, folder);
    EXPECT_EQ(free.status, 0);
    EXPECT_NE(free.err.find("warning: \"LFO Freq=1 bar\": with \"LFO Sync=Free\" the plug-in shows \"0.22 Hz\""),
              std::string::npos)
        << free.err;
    EXPECT_TRUE(ToolRun::run({"--info", "--set", "LFO Freq=1 bar"}, folder).err.empty());

    const ToolRun version = ToolRun::run({"-V"}, folder);
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("tessaloom-render 1.0.0.2 (libsndfile-", 0), 0u) << version.out;
}

namespace
{

// Runs a shell command in folder with $TOOL the built tool, as a user's pipeline does; answers its exit status.
int shell(const std::string& folder, const std::string& command)
{
    setenv("TOOL", TESSALOOM_RENDER_PATH, 1);
    const int status = std::system(("cd '" + folder + "' && " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Stereo constant(size_t frames, float value)
{
    return Stereo{std::vector<float>(frames, value), std::vector<float>(frames, value)};
}

std::vector<float> interleave(const Stereo& audio)
{
    std::vector<float> frames;
    for (size_t i = 0; i < audio.left.size(); ++i)
        frames.insert(frames.end(), {audio.left[i], audio.right[i]});
    return frames;
}

} // namespace

TEST(RenderToolTest, EveryFormatPassesWholeThroughPipesAndAnInterruptEndsAStalledRead)
{
    const std::string folder = freshFolder("pipes");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, testSignal(9000, 2, 5));
    // Into a pipe, the same bytes as into a file: a FLAC header with its length, no bytes after the last frame.
    for (const std::string type : {"flac", "aiff", "wav", "au", "caf"})
    {
        ASSERT_EQ(shell(folder, "$TOOL in.wav file." + type + " -q"), 0) << type;
        ASSERT_EQ(shell(folder, "$TOOL in.wav - --type " + type + " -q | cat > piped." + type), 0) << type;
        EXPECT_EQ(fileText(folder + "/piped." + type), fileText(folder + "/file." + type)) << type;
    }
    // FLAC from a pipe.
    ASSERT_EQ(shell(folder, "cat file.flac | $TOOL - fromflac.wav -q --format float 2>err.txt"), 0)
        << fileText(folder + "/err.txt");
    EXPECT_EQ(readAudio(folder + "/fromflac.wav").left.size(), 9000u);
    // While standard input stalls, a signal ends the run at once with 128 + its number and no output.
    for (const std::string signal : {"TERM", "INT", "HUP"})
    {
        const std::string status = shell(folder, "rm -f fifo; mkfifo fifo; sleep 5 > fifo & s=$!; $TOOL - stalled.wav "
                                                 "< fifo 2>err.txt & p=$!; sleep 0.3; kill -s " +
                                                     signal + " $p; wait $p; echo $? > status.txt; kill $s") == 0
                                       ? fileText(folder + "/status.txt")
                                       : "";
        const int expected = 128 + (signal == "TERM" ? SIGTERM : signal == "INT" ? SIGINT : SIGHUP);
        EXPECT_EQ(status, std::to_string(expected) + "\n") << signal;
        EXPECT_NE(fileText(folder + "/err.txt").find("stalled.wav: interrupted; nothing written"), std::string::npos);
        EXPECT_FALSE(std::ifstream(folder + "/stalled.wav").good());
    }
}

TEST(RenderToolTest, SettingsHoldFromTheFirstSampleAndTheLaterOptionWins)
{
    const std::string folder = freshFolder("settled");
    const std::vector<float> input = testSignal(20000, 2, 4);
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, input);
    // Four channels, the stereo pair in the last two: --channels 3,4 renders it.
    std::vector<float> four;
    for (size_t i = 0; i < input.size(); i += 2)
        four.insert(four.end(), {0.5f, -0.5f, input[i], input[i + 1]});
    writeAudio(folder + "/in4.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 4, four);
    struct Case
    {
        std::vector<std::string> options;
        bool dry; // the output is the input, bit for bit, from the first sample
    };
    const Case cases[] = {
        {{"--set", "Mix=0"}, true},
        {{"--set", "Mix=0", "--block-size", "4096"}, true},
        {{"--set", "Mix=0.5", "--set", "Mix=0"}, true}, // the later value
        {{"--set", "Mix=0", "--no-settle"}, false},     // a DAW's start: the mix glides from 1
        {{"--set", "Mix=0", "--tail", "0:00:00.0", "--set", "Filter Freq=1k"}, true},
        {{"--set", "Mix=0", "--channels", "1,2"}, true}, // a stereo input's own pair
    };
    for (const Case& c : cases)
    {
        std::vector<std::string> arguments = {"in.wav", "out.wav", "--tail", "1:00", "--tail=0"};
        arguments.insert(arguments.end(), c.options.begin(), c.options.end());
        ASSERT_EQ(ToolRun::run(arguments, folder).status, 0) << c.options.back();
        const Stereo output = readAudio(folder + "/out.wav");
        ASSERT_EQ(output.left.size(), 20000u); // the later --tail
        EXPECT_EQ(interleave(output) == input, c.dry) << c.options.back();
    }
    ASSERT_EQ(ToolRun::run({"in4.wav", "out.wav", "--channels", "3,4", "--set", "Mix=0"}, folder).status, 0);
    EXPECT_EQ(interleave(readAudio(folder + "/out.wav")), input);
}

TEST(RenderToolTest, PcmIsRoundedAndDitheredAndMetadataPasses)
{
    const std::string folder = freshFolder("quality");
    // 1000.6 steps of 16 bits: truncation gives 1000, rounding 1001, dither averages 1000.6.
    const float level = 1000.6f / 32768.0f;
    writeAudio(folder + "/dc.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, interleave(constant(48000, level)));
    for (const std::string dither : {"none", "tpdf"})
    {
        ASSERT_EQ(
            ToolRun::run({"dc.wav", "dc16.wav", "--format", "pcm16", "--set", "Mix=0", "--dither", dither}, folder)
                .status,
            0);
        SF_INFO info{};
        SNDFILE* const file = sf_open((folder + "/dc16.wav").c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr);
        std::vector<short> samples(static_cast<size_t>(info.frames * info.channels));
        sf_read_short(file, samples.data(), static_cast<sf_count_t>(samples.size()));
        sf_close(file);
        double sum = 0.0;
        for (const short sample : samples)
            sum += sample;
        const double mean = sum / static_cast<double>(samples.size());
        const auto [lowest, highest] = std::minmax_element(samples.begin(), samples.end());
        if (dither == "none")
        {
            EXPECT_EQ(*lowest, 1001);
            EXPECT_EQ(*highest, 1001);
        }
        else
        {
            EXPECT_NEAR(mean, 1000.6, 0.02);
            EXPECT_GE(*lowest, 999);
            EXPECT_LE(*highest, 1002);
        }
    }

    // Tags and the broadcast chunk with its time reference pass; what a format cannot hold is named once.
    SF_INFO info{};
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    info.channels = 1;
    info.samplerate = 48000;
    SNDFILE* const tagged = sf_open((folder + "/tagged.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(tagged, nullptr);
    sf_set_string(tagged, SF_STR_TITLE, "Take 3");
    sf_set_string(tagged, SF_STR_ARTIST, "Band");
    SF_BROADCAST_INFO broadcast = {};
    std::strcpy(broadcast.description, "scene 12");
    broadcast.time_reference_low = 172800000u;
    sf_command(tagged, SFC_SET_BROADCAST_INFO, &broadcast, sizeof(broadcast));
    const std::vector<float> mono = testSignal(4800, 1, 3);
    sf_writef_float(tagged, mono.data(), 4800);
    sf_close(tagged);
    struct Case
    {
        std::string output;
        bool bext;
        const char* warning; // or null
    };
    for (const Case& c : {Case{"t.wav", true, nullptr}, Case{"t.flac", false, "holds no broadcast chunk"}})
    {
        const ToolRun run = ToolRun::run({"tagged.wav", c.output}, folder);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err.find(c.warning != nullptr ? c.warning : "warning") != std::string::npos, c.warning != nullptr)
            << run.err;
        SF_INFO read{};
        SNDFILE* const file = sf_open((folder + "/" + c.output).c_str(), SFM_READ, &read);
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(read.channels, 1) << "mono in, mono out";
        EXPECT_STREQ(sf_get_string(file, SF_STR_TITLE), "Take 3");
        EXPECT_STREQ(sf_get_string(file, SF_STR_ARTIST), "Band");
        SF_BROADCAST_INFO passed = {};
        EXPECT_EQ(sf_command(file, SFC_GET_BROADCAST_INFO, &passed, sizeof(passed)) == SF_TRUE, c.bext);
        if (c.bext)
        {
            EXPECT_EQ(passed.time_reference_low, 172800000u);
            EXPECT_STREQ(passed.description, "scene 12");
        }
        sf_close(file);
    }
}

TEST(RenderToolTest, LossyFormatsWithQuality)
{
    const std::string folder = freshFolder("lossy");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, testSignal(48000, 2, 6));
    const std::pair<std::string, int> cases[] = {{"o.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
                                                 {"o.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
                                                 {"o.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}};
    for (const auto& [output, format] : cases)
    {
        const ToolRun run = ToolRun::run({"in.wav", output, "--quality", "0.4"}, folder);
        ASSERT_EQ(run.status, 0) << output << ": " << run.err;
        int read = 0;
        EXPECT_GT(readAudio(folder + "/" + output, &read).left.size(), 40000u) << output;
        EXPECT_EQ(read, format) << output;
    }
}

TEST(RenderToolTest, FindsThePluginWithoutBeingTold)
{
    const std::string folder = freshFolder("plugin-search");
    // An installed tree: the library in ../lib/vst beside the program.
    ASSERT_EQ(shell(folder, std::string("mkdir -p inst/bin inst/lib/vst && cp \"$TOOL\" inst/bin/ && cp '") +
                                TESSALOOM_NULL_PLUGIN_PATH + "' inst/lib/vst/Tessaloom.so"),
              0);
    const struct
    {
        std::string command;
        int status;
        std::string said; // in standard output and error
    } cases[] = {
        {"inst/bin/tessaloom-render -V", 0, "plug-in: " + folder + "/inst/lib/vst/Tessaloom.so"},
        {"TESSALOOM_PLUGIN=none.so inst/bin/tessaloom-render --info", 1, "none.so: cannot load the plug-in"},
        {"inst/bin/tessaloom-render --plugin none.so -V", 0, "plug-in: none.so"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(shell(folder, c.command + " > said.txt 2>&1"), c.status) << c.command;
        EXPECT_NE(fileText(folder + "/said.txt").find(c.said), std::string::npos) << fileText(folder + "/said.txt");
    }
}

TEST(RenderToolTest, PresetsStartAndSetChangesSingleValues)
{
    const std::string folder = freshFolder("presets");
    const struct
    {
        std::vector<std::string> arguments;
        int status;
        std::string shown; // in the output
    } cases[] = {
        {{"--info"}, 0, "presets         \"Slow Filter Sweep\", \"Synced Wobble\""},
        {{"--info", "--json", "--preset", "synced wobble"}, 0, "\"name\":\"LFO Amount\",\"value\":0.85,"},
        {{"--info", "--json", "--preset", "Synced Wobble", "--set", "LFO Amount=0.2"},
         0,
         "\"name\":\"LFO Amount\",\"value\":0.2,"},
        {{"--info", "--json", "--preset", "Synced Wobble"}, 0, "\"display\":\"1/8 bar\""},
        {{"--info", "--preset", "Loud"}, 2, "--preset Loud: the presets are \"Slow Filter Sweep\""},
    };
    for (const auto& c : cases)
    {
        const ToolRun run = ToolRun::run(c.arguments, folder);
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((compactJson(run.out) + run.err).find(c.shown), std::string::npos) << run.out << run.err;
    }
}

TEST(RenderToolTest, SeveralInputsIntoAFolder)
{
    const std::string folder = freshFolder("batch");
    writeAudio(folder + "/a.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, testSignal(4800, 2, 1));
    writeAudio(folder + "/b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1, testSignal(2400, 1, 2));
    std::ofstream(folder + "/c.wav") << "not audio\n";
    mkdir((folder + "/out").c_str(), 0755);
    const ToolRun run = ToolRun::run({"-o", "out", "a.wav", "c.wav", "b.flac"}, folder);
    EXPECT_EQ(run.status, 1) << "one input failed";
    EXPECT_EQ(filesIn(folder + "/out"), (std::vector<std::string>{"a.wav", "b.flac"}));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 2) << run.out;
    EXPECT_NE(run.out.find("rendered    out/b.flac from b.flac (0.050 s, FLAC, 16-bit PCM"), std::string::npos);
    EXPECT_NE(run.err.find("c.wav: unreadable or unsupported audio: Format not recognised\n"), std::string::npos);
    EXPECT_EQ(readAudio(folder + "/out/a.wav").left.size(), 4800u);
}

// tessaloom-render run as a user runs it: renders compared bit for bit with the plug-in driven directly through the
// test host, the transport it reports, parameter parsing, the response measurement, and every error case with its
// message, its exit status and no output file left behind.

#include "ToolRun.h"

#include "TestFolders.h"

#include "support/TestHost.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
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

std::string readText(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
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
                                      "Filter Reso=0.6",
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
                                      "Filter Freq=0s:0.1,1s:0.9",
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
                      "Filter Freq=0.2", "--set", "Filter Type=high pass"},
                     folder);
    ASSERT_EQ(run.status, 0) << run.err;
    int format = 0;
    const Stereo tool = readAudio(folder + "/out.wav", &format);
    EXPECT_EQ(format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);

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
    EXPECT_NE(run.out.find("\"name\": \"Filter Freq\", \"value\": 0.196"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"display\": \"LP 300\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"display\": \"Dotted\""), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"name\": \"Mix\", \"value\": 0.25, \"display\": \"0.25\""), std::string::npos);
    EXPECT_NE(run.out.find("\"entries\": [\"Triangle\", \"Sinus\", \"Sawtooth\", \"Square\", \"Exponent\"]"),
              std::string::npos);

    const ToolRun text = ToolRun::run({"--info", "--set", "Filter Freq=1200Hz"}, folder);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("effect name     Tessaloom"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("unique ID       'Wryx' (0x57727978)"), std::string::npos);
    EXPECT_NE(text.out.find(" 1200 "), std::string::npos) << text.out;

    // A free LFO rate in Hz, mapped through the law its display shows once LFO Sync is Free.
    const ToolRun free = ToolRun::run({"--info", "--json", "--set", "LFO Sync=Free", "--set", "LFO Freq=2Hz"}, folder);
    ASSERT_EQ(free.status, 0) << free.err;
    EXPECT_NE(free.out.find("\"display\": \"2.00 Hz\""), std::string::npos) << free.out;
}

TEST(RenderToolTest, ResponseOfLowAndHighPass)
{
    const std::string folder = freshFolder("response");
    const ToolRun lowPass =
        ToolRun::run({"--response", "lp.csv", "--set", "Filter Freq=1000Hz", "--sample-rate", "48000"}, folder);
    ASSERT_EQ(lowPass.status, 0) << lowPass.err;
    const std::string csv = readText(folder + "/lp.csv");
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
    const std::string hp = readText(folder + "/hp.csv");
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

    const ToolRun json = ToolRun::run({"in.wav", "out.wav", "--json", "--quiet"}, folder);
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(json.out.empty()) << json.out;
    const ToolRun summary = ToolRun::run({"in.wav", "out.wav", "--json"}, folder);
    EXPECT_NE(summary.out.find("\"frames\": 24000"), std::string::npos) << summary.out;
    EXPECT_NE(summary.out.find("\"clippedSamples\": 0"), std::string::npos) << summary.out;

    // Loud input through a resonant filter overshoots full scale. A non-finite input sample costs zeros in its own
    // block: the plug-in never hands one back, so there is nothing non-finite to warn about.
    std::vector<float> loud(20000 * 2);
    for (size_t i = 0; i < loud.size(); ++i)
        loud[i] = ((i / 2) / 100) % 2 == 0 ? 0.99f : -0.99f;
    loud[5000] = NAN;
    writeAudio(folder + "/loud.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2, loud);
    const ToolRun warned =
        ToolRun::run({"loud.wav", "hot.wav", "--set", "Filter Reso=1", "--set", "Filter Freq=0.4"}, folder);
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
    expectCleanFailure(ToolRun::run({"three.wav", "out.wav"}, folder), 1, "three.wav: 3 channels", folder, before);
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
                       "no/such/folder/r.csv: cannot write", folder,
                       {"in.wav", "notes.wav", "out.wav", "taken.wav", "three.wav"});
}

TEST(RenderToolTest, InterruptedRenderLeavesNoOutput)
{
    const std::string folder = freshFolder("interrupted");
    writeAudio(folder + "/in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, testSignal(800, 1, 2));
    // An hour of tail: still rendering when the temporary output file appears and the signal comes.
    const ToolRun run = ToolRun::run({"in.wav", "out.wav", "--tail", "3600"}, folder, ".out.wav.");
    EXPECT_EQ(run.status, 130) << run.err;
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
    expectCleanFailure(ToolRun::run({"in.wav", "out.mp3"}, folder), 2, "out.mp3: cannot tell the audio format", folder,
                       before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Cutoff=0.5"}, folder), 2,
                       "unknown parameter \"Cutoff\"; the parameters are: \"Pre Saturation\", \"Filter Type\"", folder,
                       before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "LFO Sync=Half"}, folder), 2,
                       "\"LFO Sync\" has no entry \"Half\"; its entries are: \"Whole\", \"Dotted\", \"Triplet\", "
                       "\"Free\"",
                       folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Mix=2"}, folder), 2, "from 0 to 1", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Filter Freq=5Hz"}, folder), 2,
                       "lies outside its range, 20 Hz to 20000 Hz", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--set", "Mix=0.5", "--automate", "Mix=0s:0,1s:1"}, folder),
                       2, "\"Mix\" is given twice", folder, before);
    expectCleanFailure(ToolRun::run({"in.wav", "out.wav", "--automate", "Mix=1s:0,0s:1"}, folder), 2,
                       "must not go back", folder, before);

    const ToolRun help = ToolRun::run({"--help"}, folder);
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("usage: tessaloom-render", 0), 0u);
}

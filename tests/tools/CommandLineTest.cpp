// The render tool's command line: options, their checks, and what counts as a usage error.

#include "tools/CommandLine.h"
#include "tools/ToolError.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

std::string usageError(const std::vector<std::string>& arguments)
{
    try
    {
        CommandLine::parse(arguments);
    }
    catch (const ToolError& error)
    {
        EXPECT_EQ(error.exitStatus(), ToolError::kUsage);
        return error.what();
    }
    ADD_FAILURE() << "accepted";
    return std::string();
}

} // namespace

TEST(CommandLineTest, DefaultsForARender)
{
    const RenderOptions options = CommandLine::parse({"in.wav", "out.wav"});
    EXPECT_EQ(options.inputPath, "in.wav");
    EXPECT_EQ(options.outputPath, "out.wav");
    EXPECT_EQ(options.blockSize, 512);
    EXPECT_EQ(options.firstBlock, 0);
    EXPECT_EQ(options.transport.tempoBpm, 120.0);
    EXPECT_EQ(options.transport.numerator, 4);
    EXPECT_EQ(options.transport.denominator, 4);
    EXPECT_EQ(options.transport.startQuarters, 0.0);
    EXPECT_FALSE(options.transport.stopped);
    EXPECT_EQ(options.prerollSeconds, 0.0);
    EXPECT_EQ(options.tailSeconds, 0.0);
    EXPECT_TRUE(options.pluginPath.empty());
    EXPECT_FALSE(options.info || options.json || options.quiet || options.verbose);
}

TEST(CommandLineTest, EveryOptionInBothSpellings)
{
    const RenderOptions options = CommandLine::parse({"--tempo",
                                                      "128",
                                                      "--time-signature=6/8",
                                                      "--start",
                                                      "-2.5",
                                                      "--block-size=1024",
                                                      "--first-block",
                                                      "256",
                                                      "--preroll",
                                                      "2",
                                                      "--preroll-rolling",
                                                      "--tail=1.5",
                                                      "--ppq-resolution",
                                                      "1920",
                                                      "--set",
                                                      "Mix=0.5",
                                                      "--set=Filter Type=High Pass",
                                                      "--automate",
                                                      "Filter Freq=0s:0.1,8s:0.9",
                                                      "--format",
                                                      "pcm24",
                                                      "--plugin",
                                                      "/x/p.so",
                                                      "--response",
                                                      "r.csv",
                                                      "--info",
                                                      "--json",
                                                      "-v",
                                                      "in.flac",
                                                      "out.aiff"});
    EXPECT_EQ(options.transport.tempoBpm, 128.0);
    EXPECT_EQ(options.transport.numerator, 6);
    EXPECT_EQ(options.transport.denominator, 8);
    EXPECT_EQ(options.transport.startQuarters, -2.5);
    EXPECT_TRUE(options.transport.prerollRolling);
    EXPECT_TRUE(CommandLine::parse({"--stopped", "a", "b"}).transport.stopped);
    EXPECT_EQ(options.transport.ppqResolution, 1920);
    EXPECT_EQ(options.blockSize, 1024);
    EXPECT_EQ(options.firstBlock, 256);
    EXPECT_EQ(options.prerollSeconds, 2.0);
    EXPECT_EQ(options.tailSeconds, 1.5);
    EXPECT_EQ(options.sets, (std::vector<std::string>{"Mix=0.5", "Filter Type=High Pass"}));
    EXPECT_EQ(options.automations, std::vector<std::string>{"Filter Freq=0s:0.1,8s:0.9"});
    EXPECT_EQ(options.sampleFormat, "pcm24");
    EXPECT_EQ(options.pluginPath, "/x/p.so");
    EXPECT_EQ(options.responsePath, "r.csv");
    EXPECT_TRUE(options.info && options.json && options.verbose);
    EXPECT_EQ(options.inputPath, "in.flac");
    EXPECT_EQ(options.outputPath, "out.aiff");
}

TEST(CommandLineTest, ReportsWithoutFiles)
{
    EXPECT_TRUE(CommandLine::parse({"--info"}).info);
    const RenderOptions response = CommandLine::parse({"--response", "r.csv", "--sample-rate", "96000"});
    EXPECT_EQ(response.responsePath, "r.csv");
    EXPECT_EQ(response.sampleRate, 96000.0);
    EXPECT_TRUE(CommandLine::parse({"--help"}).help);
    EXPECT_TRUE(CommandLine::parse({"-h", "--no-such-option-after-help"}).help);
    // "--" ends the options: a file may start with a dash.
    EXPECT_EQ(CommandLine::parse({"--", "-in.wav", "out.wav"}).inputPath, "-in.wav");
}

TEST(CommandLineTest, UsageErrorsNameTheOption)
{
    EXPECT_NE(usageError({}).find("give INPUT and OUTPUT"), std::string::npos);
    EXPECT_NE(usageError({"in.wav"}).find("one file given: in.wav"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "c"}).find("too many files"), std::string::npos);
    EXPECT_NE(usageError({"--bogus", "a", "b"}).find("unknown option --bogus"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--tempo"}).find("--tempo needs a value"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--tempo", "0"}).find("--tempo 0"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--tempo", "fast"}).find("--tempo fast"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--tempo", "inf"}).find("--tempo inf"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--tempo", "0x50"}).find("--tempo 0x50"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--time-signature", "6/7"}).find("--time-signature 6/7"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--time-signature", "0/4"}).find("N/D"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--time-signature", "4"}).find("N/D"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--block-size", "0"}).find("--block-size 0"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--block-size", "12.5"}).find("--block-size 12.5"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--block-size", "99999999999999999999"}).find("--block-size"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--first-block", "600"}).find("longer than the block size 512"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--tail", "-1"}).find("--tail -1"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--preroll", "nan"}).find("--preroll nan"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--info=yes"}).find("--info takes no value"), std::string::npos);
    EXPECT_NE(usageError({"a", "b", "--sample-rate", "44100"}).find("input's rate"), std::string::npos);
}

TEST(CommandLineTest, HelpListsEveryOptionTheParserTakes)
{
    const std::string help = CommandLine::usage();
    std::vector<std::string> listed;
    for (size_t at = help.find("  -"); at != std::string::npos; at = help.find("\n  -", at + 1))
    {
        const size_t start = help.find('-', at);
        listed.push_back(help.substr(start, help.find_first_of(" ,\n", start) - start));
    }
    EXPECT_EQ(listed.size(), 30u);
    for (const std::string& option : listed)
    {
        try
        {
            CommandLine::parse({option, "x", "a", "b"});
        }
        catch (const ToolError& error)
        {
            EXPECT_EQ(std::string(error.what()).find("unknown option"), std::string::npos) << option;
        }
    }
    for (const char* range : {"1 to 999 BPM", "1 to 65536", "1 to 64", "0 to 3600 s", "1000 to 768000",
                              "0 (exact, the default) to 1000000", "128 + N"})
        EXPECT_NE(help.find(range), std::string::npos) << range;
}

TEST(CommandLineTest, TimesTakeUnits)
{
    const RenderOptions options = CommandLine::parse({"a", "b", "--preroll", "2s", "--tail=250ms"});
    EXPECT_EQ(options.prerollSeconds, 2.0);
    EXPECT_EQ(options.tailSeconds, 0.25);
    EXPECT_EQ(CommandLine::parse({"a", "b", "--tail", "1.5"}).tailSeconds, 1.5);
    for (const auto& [text, seconds] : {std::pair<const char*, double>{"1:30", 90.0}, {"00:59:59.5", 3599.5}})
        EXPECT_EQ(CommandLine::parse({"a", "b", "--tail", text}).tailSeconds, seconds) << text;
    for (const char* bad : {"1:60", "1.5:00", "1:2:3:4", "1e1:00"})
        EXPECT_NE(usageError({"a", "b", "--tail", bad}).find("--tail"), std::string::npos) << bad;
    EXPECT_EQ(CommandLine::parse({"--info", "--sample-rate", "44.1k"}).sampleRate, 44100.0);
}

// The host classes driving the built plug-in: loading, the host callback's answers, probing the parameters, and the
// session's order of calls.

#include "tools/PluginInstance.h"
#include "tools/HostSession.h"
#include "tools/ParameterAssignment.h"
#include "tools/ParameterCatalogue.h"
#include "tools/ToolError.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace
{

// A call log written to a temporary stream, read back as text.
class LogCapture
{
public:
    LogCapture() : stream(std::tmpfile()), log(stream) {}
    ~LogCapture() { std::fclose(stream); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::string text()
    {
        std::fflush(stream);
        std::rewind(stream);
        std::string all;
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof(buffer), stream)) > 0)
            all.append(buffer, n);
        return all;
    }

    std::FILE* stream;
    CallLog log;
};

std::string loadError(const std::string& path)
{
    CallLog quiet;
    PluginInstance plugin(quiet);
    try
    {
        plugin.load(path);
    }
    catch (const ToolError& error)
    {
        EXPECT_EQ(error.exitStatus(), ToolError::kFailure);
        EXPECT_EQ(std::string(error.what()).find(path + ": "), 0u) << error.what();
        return error.what();
    }
    ADD_FAILURE() << path << " loaded";
    return std::string();
}

TransportSettings at48k()
{
    TransportSettings settings;
    settings.sampleRate = 48000.0;
    return settings;
}

} // namespace

TEST(PluginInstanceTest, LoadFailuresNameTheLibraryAndTheCause)
{
    EXPECT_NE(loadError("/no/such/plugin.so").find("cannot load the plug-in"), std::string::npos);
    const std::string text =
        std::string(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp") + "/tessaloom-not-a-library.so";
    std::ofstream(text) << "not a library\n";
    EXPECT_NE(loadError(text).find("cannot load the plug-in"), std::string::npos);
    EXPECT_NE(loadError(TESSALOOM_NULL_PLUGIN_PATH).find("created no effect"), std::string::npos);
}

TEST(PluginInstanceTest, CreatesTheEffectAndClosesIt)
{
    LogCapture capture;
    {
        PluginInstance plugin(capture.log);
        plugin.load(TESSALOOM_PLUGIN_PATH);
        ASSERT_NE(plugin.effect(), nullptr);
        EXPECT_EQ(plugin.effect()->uniqueID, fourCharCode('W', 'r', 'y', 'x'));
        EXPECT_EQ(plugin.dispatchText(effGetEffectName), "Tessaloom");
        plugin.close();
        EXPECT_EQ(plugin.effect(), nullptr);
    }
    const std::string log = capture.text();
    EXPECT_NE(log.find("host -> plug-in  VSTPluginMain(host callback)"), std::string::npos) << log;
    EXPECT_NE(log.find("plug-in -> host  audioMasterVersion(index 0, value 0, opt 0) -> 2400"), std::string::npos)
        << log;
    EXPECT_NE(log.find("host -> plug-in  effGetEffectName(index 0) -> \"Tessaloom\""), std::string::npos) << log;
    EXPECT_NE(log.find("host -> plug-in  effClose(index 0, value 0, opt 0) -> 1"), std::string::npos) << log;
}

TEST(PluginInstanceTest, ProbesNamesEntriesAndRestoresValues)
{
    CallLog quiet;
    PluginInstance plugin(quiet);
    plugin.load(TESSALOOM_PLUGIN_PATH);
    const ParameterCatalogue catalogue = ParameterCatalogue::probe(plugin);
    const std::vector<std::string> names = {"Pre Saturation", "Filter Type", "Filter Freq",     "Filter Reso",
                                            "LFO Amount",     "LFO Freq",    "LFO Sync",        "LFO Direction",
                                            "LFO Shape",      "LFO Phase",   "Post Saturation", "Mix"};
    ASSERT_EQ(catalogue.parameters().size(), names.size());
    for (size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(catalogue.parameters()[i].name, names[i]);
    EXPECT_EQ(catalogue.parameters()[2].label, "Hz");

    const std::vector<size_t> entryCounts = {0, 3, 0, 0, 0, 10, 4, 2, 5, 0, 0, 0};
    for (size_t i = 0; i < names.size(); ++i)
    {
        const ParameterInfo& info = catalogue.parameters()[i];
        ASSERT_EQ(info.entries.size(), entryCounts[i]) << info.name;
        // Entry k of n is selected with k/n, the plug-in's own default convention.
        for (size_t k = 0; k < info.entries.size(); ++k)
            EXPECT_EQ(info.entries[k].value, static_cast<float>(k) / static_cast<float>(info.entries.size()));
    }
    EXPECT_EQ(catalogue.parameters()[5].entries[0].name, "1/16 bar");
    EXPECT_EQ(catalogue.parameters()[5].entries[9].name, "32 bars");
    EXPECT_EQ(catalogue.parameters()[1].entries[2].name, "Dual LP/HP");
    EXPECT_EQ(catalogue.parameters()[8].entries[1].name, "Sinus");

    // Probing put every value back: the defaults.
    const std::vector<float> defaults = {0, 0, 1, 0, 0, 0.4f, 0, 0, 0, 0, 0, 1};
    for (int32_t i = 0; i < 12; ++i)
        EXPECT_EQ(plugin.getParameter(i), defaults[static_cast<size_t>(i)]) << names[static_cast<size_t>(i)];
    EXPECT_EQ(plugin.dispatchText(effGetParamDisplay, 5), "1 bar");
}

TEST(PluginInstanceTest, FrequencyScalesFollowTheOtherParameters)
{
    CallLog quiet;
    PluginInstance plugin(quiet);
    plugin.load(TESSALOOM_PLUGIN_PATH);
    const auto single = ParameterCatalogue::probeFrequencyScale(plugin, 2);
    ASSERT_TRUE(single);
    EXPECT_EQ(single->lowestHz(), 20.0);
    EXPECT_EQ(single->highestHz(), 20000.0);
    EXPECT_FALSE(single->split());
    EXPECT_EQ(plugin.getParameter(2), 1.0f); // put back

    plugin.setParameter(1, 2.0f / 3.0f); // Dual LP/HP
    const auto dual = ParameterCatalogue::probeFrequencyScale(plugin, 2);
    ASSERT_TRUE(dual);
    EXPECT_TRUE(dual->split());
    EXPECT_EQ(dual->lowerHalfPrefix(), "LP");
    EXPECT_EQ(dual->upperHalfPrefix(), "HP");

    EXPECT_FALSE(ParameterCatalogue::probeFrequencyScale(plugin, 5)); // synced LFO Freq: note lengths
    plugin.setParameter(6, 0.75f);                                    // LFO Sync Free
    const auto freeRate = ParameterCatalogue::probeFrequencyScale(plugin, 5);
    ASSERT_TRUE(freeRate);
    EXPECT_EQ(freeRate->lowestHz(), 0.01);
    EXPECT_EQ(freeRate->highestHz(), 24.0);
    EXPECT_FALSE(ParameterCatalogue::probeFrequencyScale(plugin, 11)); // Mix
}

TEST(PluginInstanceTest, SessionAppliesValuesThenFrequenciesAndAnswersTime)
{
    LogCapture capture;
    PluginInstance plugin(capture.log);
    plugin.load(TESSALOOM_PLUGIN_PATH);
    HostSession session(plugin, at48k(), 256);
    session.open();
    const ParameterCatalogue catalogue = ParameterCatalogue::probe(plugin);
    // The frequency comes first on the command line but is mapped once Dual mode is set.
    std::vector<ParameterAssignment> assignments = {
        ParameterAssignment::parseSet("Filter Freq=HP 1200Hz", catalogue),
        ParameterAssignment::parseSet("Filter Type=Dual LP/HP", catalogue),
        ParameterAssignment::parseAutomation("Mix=0s:1,0.01s:0.5", catalogue)};
    session.applyAssignments(assignments);
    EXPECT_EQ(plugin.dispatchText(effGetParamDisplay, 2), "HP 1200");
    EXPECT_EQ(plugin.getParameter(11), 1.0f);

    std::vector<float> in(256, 0.0f), outLeft(256), outRight(256);
    float* const inputs[2] = {in.data(), in.data()};
    float* const outputs[2] = {outLeft.data(), outRight.data()};
    session.start();
    session.process(Block{0, 256, false}, inputs, outputs);
    EXPECT_EQ(plugin.getParameter(11), 1.0f);
    session.process(Block{240, 256, false}, inputs, outputs); // 5 ms: halfway down the ramp
    EXPECT_EQ(plugin.getParameter(11), 0.75f);
    EXPECT_GE(plugin.timeRequests(), 1);
    session.stop();

    const std::string log = capture.text();
    const size_t open = log.find("effOpen");
    const size_t rate = log.find("effSetSampleRate(index 0, value 0, opt 48000)");
    const size_t block = log.find("effSetBlockSize(index 0, value 256,");
    const size_t mainsOn = log.find("effMainsChanged(index 0, value 1,");
    const size_t process = log.find("processReplacing(256 frames)");
    const size_t mainsOff = log.find("effMainsChanged(index 0, value 0,");
    const size_t close = log.find("effClose");
    ASSERT_NE(close, std::string::npos) << log;
    EXPECT_LT(open, rate);
    EXPECT_LT(rate, block);
    EXPECT_LT(block, mainsOn);
    EXPECT_LT(mainsOn, process);
    EXPECT_LT(process, mainsOff);
    EXPECT_LT(mainsOff, close);
    EXPECT_NE(log.find("plug-in -> host  audioMasterGetTime(index 0, value 11777, opt 0) -> samplePos 0 ppqPos 0 "
                       "tempo 120 barStartPos 0 timeSig 4/4 flags 0x2e03"),
              std::string::npos)
        << log;
}

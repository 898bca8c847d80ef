// Tessaloom.clap renders the same samples as the VST plug-in driven through its record, over the differential
// scenarios that the LV2 tests share: the same input, blocks, parameter values and transport, with settings and
// position events inside blocks sent as sample-accurate events (and the VST plug-in given the same split).

#include "ClapHost.h"
#include "Lv2Scenarios.h"
#include "clap/ClapParameters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace
{

clap_event_transport transportOf(const VstTimeInfo& time, uint32_t atFrame)
{
    clap_event_transport t = ClapHost::transportAt(time.ppqPos, time.tempo, (time.flags & kVstTransportPlaying) != 0,
                                                   static_cast<uint16_t>(time.timeSigNumerator),
                                                   static_cast<uint16_t>(time.timeSigDenominator));
    t.bar_start = std::llround(time.barStartPos * static_cast<double>(CLAP_BEATTIME_FACTOR));
    t.header.time = atFrame;
    return t;
}

Lv2Scenarios::Stereo renderClap(const Lv2Scenarios::Scenario& scenario, const Lv2Scenarios::Stereo& input)
{
    Lv2Scenarios::Stereo output = input;
    ClapHost::Library library(TESSALOOM_CLAP_PATH);
    ClapHost::Instance instance(library);
    int32_t longest = 0;
    for (int32_t n : scenario.blockLengths)
        longest = std::max(longest, n);
    if (!instance.ok() || !instance.activate(scenario.sampleRate, static_cast<uint32_t>(longest)))
        return {};
    size_t start = 0;
    ClapHost::EventList events;
    for (const Lv2Scenarios::BlockPlan& block : Lv2Scenarios::hostPlan(scenario, true))
    {
        events.clear();
        // A scenario without position events is a host without a transport; the plug-in runs at its own 120 BPM.
        const bool hasTransport = !scenario.events.empty();
        const clap_event_transport atStart = transportOf(block.parts.front().time, 0);
        for (const Lv2Scenarios::BlockPlan::Part& part : block.parts)
        {
            if (part.offset > 0 && part.positionEvent)
            {
                const clap_event_transport change = transportOf(part.time, part.offset);
                events.add(&change, sizeof(change));
            }
            for (const auto& parameter : part.parameters)
            {
                const ClapParameters::Parameter& p = ClapParameters::kParameters[parameter.first];
                events.addParameter(p.id, part.offset, ClapParameters::clapValue(p, parameter.second));
            }
        }
        const uint32_t n = static_cast<uint32_t>(block.frames);
        const std::vector<float> left(input.left.begin() + start, input.left.begin() + start + n);
        const std::vector<float> right(input.right.begin() + start, input.right.begin() + start + n);
        instance.process(left, right, n, hasTransport ? &atStart : nullptr, &events);
        EXPECT_EQ(instance.processProblem(), "");
        std::copy_n(instance.left().begin(), n, output.left.begin() + start);
        std::copy_n(instance.right().begin(), n, output.right.begin() + start);
        start += n;
    }
    return output;
}

TEST(ClapDifferentialTest, RendersLikeTheVstPluginOverTheSharedScenarios)
{
    for (const Lv2Scenarios::Scenario& scenario : Lv2Scenarios::differentialScenarios())
    {
        SCOPED_TRACE(scenario.name);
        const Lv2Scenarios::Stereo input = Lv2Scenarios::scenarioInput(scenario);
        std::string error;
        const Lv2Scenarios::Stereo expected =
            Lv2Scenarios::renderVst(scenario, input, TESSALOOM_PLUGIN_PATH, error, true);
        ASSERT_EQ(error, "");
        const Lv2Scenarios::Stereo actual = renderClap(scenario, input);
        EXPECT_EQ(Lv2Scenarios::firstDifference(expected, actual), "");
        EXPECT_TRUE(Lv2Scenarios::isProcessed(actual, input));
    }
}

} // namespace

// A host of the project's own on lilv: it finds the bundle by its URI on LV2_PATH, checks what a host shows of it
// against the effect itself (through the VST plug-in's record), and renders every differential case through lilv.

#include "Lv2Scenarios.h"
#include "lv2/PortTable.h"
#include "support/TestHost.h"

#include <gtest/gtest.h>
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/port-props/port-props.h>
#include <lv2/time/time.h>
#include <lv2/units/units.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace
{

using namespace PortTable;

class Lv2HostTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        // As a user points hosts at a bundle folder; /usr/lib/lv2 gives lilv the vocabularies (plug-in classes).
        setenv("LV2_PATH", TESSALOOM_LV2_PATH ":/usr/lib/lv2", 1);
        world = lilv_world_new();
        lilv_world_load_all(world);
        LilvNode* uri = lilv_new_uri(world, kPluginUri);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
    static void TearDownTestSuite()
    {
        lilv_world_free(world);
        world = nullptr;
        plugin = nullptr;
    }

    /// A node that frees itself.
    struct Node
    {
        explicit Node(LilvNode* n) : node(n) {}
        ~Node() { lilv_node_free(node); }
        Node(const Node&) = delete;
        Node& operator=(const Node&) = delete;
        LilvNode* node;
    };
    static Node uri(const char* text) { return Node(lilv_new_uri(world, text)); }

    static LilvWorld* world;
    static const LilvPlugin* plugin;
};

LilvWorld* Lv2HostTest::world = nullptr;
const LilvPlugin* Lv2HostTest::plugin = nullptr;

/// The number in a display text such as " 1200", "2.50" or "3.50 Hz".
double displayedNumber(const std::string& text)
{
    const size_t at = text.find_first_of("0123456789-");
    return at == std::string::npos ? std::nan("") : std::strtod(text.c_str() + at, nullptr);
}

} // namespace

TEST_F(Lv2HostTest, WhatAHostSeesMatchesTheEffect)
{
    ASSERT_NE(plugin, nullptr) << kPluginUri << " not found on LV2_PATH=" << TESSALOOM_LV2_PATH;
    EXPECT_TRUE(lilv_plugin_verify(plugin));
    Node name(lilv_plugin_get_name(plugin));
    Node author(lilv_plugin_get_author_name(plugin));
    EXPECT_STREQ(lilv_node_as_string(name.node), "Tessaloom");
    EXPECT_STREQ(lilv_node_as_string(author.node), "Vornmark");
    EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(lilv_plugin_get_class(plugin))), LV2_CORE__FilterPlugin);
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u) << "a host that offers no features must be able to load it";
    lilv_nodes_free(required);
    const Node hardRt = uri(LV2_CORE__hardRTCapable);
    EXPECT_TRUE(lilv_plugin_has_feature(plugin, hardRt.node));
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), kPortCount);

    const Node audioPort = uri(LV2_CORE__AudioPort), inputPort = uri(LV2_CORE__InputPort),
               outputPort = uri(LV2_CORE__OutputPort), atomPort = uri(LV2_ATOM__AtomPort),
               controlPort = uri(LV2_CORE__ControlPort), position = uri(LV2_TIME__Position),
               optional = uri(LV2_CORE__connectionOptional), integer = uri(LV2_CORE__integer),
               enumeration = uri(LV2_CORE__enumeration), logarithmic = uri(LV2_PORT_PROPS__logarithmic),
               unit = uri(LV2_UNITS__unit), hz = uri(LV2_UNITS__hz);
    for (uint32_t i = 0; i < kFirstControl; ++i)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
        const bool audio = i != kTimeEvents;
        EXPECT_TRUE(lilv_port_is_a(plugin, port, audio ? audioPort.node : atomPort.node)) << "port " << i;
        EXPECT_TRUE(lilv_port_is_a(plugin, port, i == kOutLeft || i == kOutRight ? outputPort.node : inputPort.node))
            << "port " << i;
    }
    const LilvPort* timePort = lilv_plugin_get_port_by_index(plugin, kTimeEvents);
    EXPECT_TRUE(lilv_port_supports_event(plugin, timePort, position.node));
    EXPECT_TRUE(lilv_port_has_property(plugin, timePort, optional.node)) << "lv2apply connects no atom port";

    // The effect's own answers, through the VST record.
    TestHost vst;
    ASSERT_TRUE(vst.isLoaded() && vst.create() != nullptr) << vst.loadError();
    float defaults[12];
    for (int32_t p = 0; p < 12; ++p)
        defaults[p] = vst.getParameter(p);

    for (const ControlPort& c : kControlPorts)
    {
        SCOPED_TRACE(c.symbol);
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, c.port);
        ASSERT_TRUE(lilv_port_is_a(plugin, port, controlPort.node) && lilv_port_is_a(plugin, port, inputPort.node));
        EXPECT_STREQ(lilv_node_as_string(lilv_port_get_symbol(plugin, port)), c.symbol);
        Node portName(lilv_port_get_name(plugin, port));
        EXPECT_STREQ(lilv_node_as_string(portName.node), c.name);
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, port, &def, &min, &max);
        ASSERT_TRUE(def != nullptr && min != nullptr && max != nullptr);
        EXPECT_EQ(lilv_node_as_float(def), c.defaultValue);
        EXPECT_EQ(lilv_node_as_float(min), c.minimum);
        EXPECT_EQ(lilv_node_as_float(max), c.maximum);
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);

        const bool lfoFreq = c.port == kLfoLength || c.port == kLfoRate;
        const std::string parameterName = vst.dispatchText(effGetParamName, c.parameter);
        EXPECT_EQ(parameterName, lfoFreq ? "LFO Freq" : c.name);
        // "LFO Freq" reads as a rate in Hz only in Free mode.
        vst.setParameter(6, c.port == kLfoRate ? 1.0f : 0.0f);

        const bool choice = c.law == Law::choiceEntry;
        EXPECT_EQ(lilv_port_has_property(plugin, port, integer.node), choice);
        EXPECT_EQ(lilv_port_has_property(plugin, port, enumeration.node), choice);
        const bool inHz = c.law == Law::cutoffHz || c.law == Law::freeRateHz;
        EXPECT_EQ(lilv_port_has_property(plugin, port, logarithmic.node), inHz);
        LilvNodes* units = lilv_port_get_value(plugin, port, unit.node);
        EXPECT_EQ(units != nullptr && lilv_nodes_contains(units, hz.node), inHz);
        lilv_nodes_free(units);
        if (c.law == Law::cutoffHz)
        {
            EXPECT_EQ(vst.dispatchText(effGetParamLabel, c.parameter), "Hz");
        }

        // The default is the effect's own; the free rate's is the rate its default position stands for.
        const float defaultNormalised = normalisedValue(c, c.defaultValue);
        if (c.law == Law::freeRateHz)
            EXPECT_NEAR(defaultNormalised, defaults[c.parameter], 1e-6);
        else
            EXPECT_EQ(defaultNormalised, defaults[c.parameter]);

        if (choice)
        {
            // One scale point per entry, labelled as the effect names the entry that the port's value selects.
            LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
            const int32_t entries = static_cast<int32_t>(c.maximum) + 1;
            ASSERT_EQ(static_cast<int32_t>(lilv_scale_points_size(points)), entries);
            std::string lastLabel;
            LILV_FOREACH(scale_points, it, points)
            {
                const LilvScalePoint* point = lilv_scale_points_get(points, it);
                const float value = lilv_node_as_float(lilv_scale_point_get_value(point));
                const std::string label = lilv_node_as_string(lilv_scale_point_get_label(point));
                vst.setParameter(c.parameter, normalisedValue(c, value));
                EXPECT_EQ(vst.dispatchText(effGetParamDisplay, c.parameter), label) << "entry " << value;
                if (value == c.maximum)
                    lastLabel = label;
            }
            lilv_scale_points_free(points);
            vst.setParameter(c.parameter, 1.0f); // nothing beyond the last entry
            EXPECT_EQ(vst.dispatchText(effGetParamDisplay, c.parameter), lastLabel);
        }
        else
        {
            // The mapping is the inverse of the display: the effect shows the port's value (the cutoff rounded up
            // to whole Hz, the rest with two decimals).
            const double tolerance = c.law == Law::cutoffHz ? 1.0 : 0.0051;
            const float middle = inHz ? (c.law == Law::cutoffHz ? 1200.0f : 2.0f) : 0.5f * (c.minimum + c.maximum);
            for (const float plain : {c.minimum, middle, c.defaultValue, c.maximum})
            {
                vst.setParameter(c.parameter, normalisedValue(c, plain));
                const std::string shown = vst.dispatchText(effGetParamDisplay, c.parameter);
                EXPECT_NEAR(displayedNumber(shown), plain, tolerance) << "shown \"" << shown << "\"";
            }
        }
        vst.setParameter(c.parameter, defaults[c.parameter]);
        vst.setParameter(6, defaults[6]);
    }

    // Cutoffs at these positions are exact: the LV2 host tests (tests/lv2/host-render.sh) give hosts their frequencies
    // and the render tool the positions, and compares bit for bit.
    const ControlPort& cutoff = *PortTable::controlPort(kFilterFreq);
    for (const double x : {0.25, 0.375, 0.5, 0.625, 0.75, 0.875, 1.0})
        EXPECT_EQ(normalisedValue(cutoff, static_cast<float>(20.0 * std::pow(1000.0, x))), static_cast<float>(x))
            << "position " << x;
}

TEST_F(Lv2HostTest, RendersThroughLilvLikeTheVstPlugin)
{
    ASSERT_NE(plugin, nullptr);
    for (const Lv2Scenarios::Scenario& scenario : Lv2Scenarios::differentialScenarios())
    {
        if (!Lv2Scenarios::settingsAtBlockStarts(scenario))
            continue; // control ports change at block starts only
        const Lv2Scenarios::Stereo input = Lv2Scenarios::scenarioInput(scenario);
        std::string error;
        const Lv2Scenarios::Stereo expected = Lv2Scenarios::renderVst(scenario, input, TESSALOOM_PLUGIN_PATH, error);
        ASSERT_TRUE(error.empty()) << error;

        Lv2Scenarios::Lv2Host host(scenario, true);
        LilvInstance* instance = lilv_plugin_instantiate(plugin, scenario.sampleRate, host.features());
        ASSERT_NE(instance, nullptr) << scenario.name;
        const Lv2Scenarios::Stereo rendered =
            host.render(lilv_instance_get_descriptor(instance), lilv_instance_get_handle(instance), input);
        lilv_instance_free(instance);
        EXPECT_EQ(Lv2Scenarios::firstDifference(rendered, expected), "") << scenario.name;
        EXPECT_TRUE(Lv2Scenarios::isProcessed(rendered, input)) << scenario.name;
    }
}

// The installed LV2 bundle's factory presets, loaded through lilv and rendered in blocks of 512 frames, give the
// same samples as the render tool with --preset of the same name (blocks of 512 too, and like a host starting from
// the defaults: --no-settle). Only presets with a still
// LFO take part: an LV2 host without a transport gives the LFO no tempo, the render tool a rolling one.
// Usage: PresetRenderCheck RENDER_TOOL INPUT.wav WORK_FOLDER; exit 77 when the tool has no --preset.

#include "lv2/PortTable.h"

#include <lilv/lilv.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>
#include <sndfile.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
std::vector<std::string> uris; // the URID map: URID n is uris[n - 1]

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri)
{
    for (size_t i = 0; i < uris.size(); ++i)
        if (uris[i] == uri)
            return static_cast<LV2_URID>(i + 1);
    uris.emplace_back(uri);
    return static_cast<LV2_URID>(uris.size());
}

void setPortValue(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type)
{
    auto* controls = static_cast<float*>(data);
    for (uint32_t i = 0; i < PortTable::kControlCount; ++i)
        if (std::string(PortTable::kControlPorts[i].symbol) == symbol && size == sizeof(float) &&
            type == mapUri(nullptr, "http://lv2plug.in/ns/ext/atom#Float"))
            controls[PortTable::kControlPorts[i].port] = *static_cast<const float*>(value);
}

/// The interleaved samples of a stereo file (none for another file); rate set to its sample rate.
std::vector<float> readStereo(const std::string& path, int& rate)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    std::vector<float> samples;
    if (file != nullptr && info.channels == 2)
    {
        samples.resize(static_cast<size_t>(info.frames) * 2);
        sf_readf_float(file, samples.data(), info.frames);
    }
    if (file != nullptr)
        sf_close(file);
    rate = info.samplerate;
    return samples;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const std::string tool = argv[1];
    const std::string input = argv[2];
    const std::string work = argv[3];
    if (std::system(("'" + tool + "' --help 2>&1 | grep -q -- --preset").c_str()) != 0)
    {
        std::printf("skipped: %s has no --preset option yet\n", tool.c_str());
        return 77;
    }
    int rate = 0;
    const std::vector<float> in = readStereo(input, rate);
    const size_t frames = in.size() / 2;
    if (frames == 0)
    {
        std::fprintf(stderr, "cannot read %s as stereo audio\n", input.c_str());
        return 1;
    }

    LV2_URID_Map map{nullptr, mapUri};
    const LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[] = {&mapFeature, nullptr};
    LilvWorld* world = lilv_world_new();
    lilv_world_load_all(world);
    LilvNode* pluginUri = lilv_new_uri(world, PortTable::kPluginUri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), pluginUri);
    LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
    LilvNode* label = lilv_new_uri(world, LILV_NS_RDFS "label");
    LilvNodes* presets = plugin != nullptr ? lilv_plugin_get_related(plugin, presetClass) : nullptr;
    int compared = 0;
    int failures = plugin == nullptr ? 1 : 0;
    LILV_FOREACH(nodes, it, presets)
    {
        const LilvNode* preset = lilv_nodes_get(presets, it);
        lilv_world_load_resource(world, preset);
        LilvNode* name = lilv_world_get(world, preset, label, nullptr);
        LilvState* state = lilv_state_new_from_world(world, &map, preset);
        float controls[PortTable::kPortCount] = {};
        lilv_state_restore(state, nullptr, setPortValue, controls, 0, nullptr);
        const std::string presetName = lilv_node_as_string(name);
        if (controls[PortTable::kLfoAmount] == 0.0f)
        {
            std::vector<float> left(frames), right(frames), outLeft(frames), outRight(frames);
            for (size_t i = 0; i < frames; ++i)
            {
                left[i] = in[2 * i];
                right[i] = in[2 * i + 1];
            }
            LilvInstance* instance = lilv_plugin_instantiate(plugin, rate, features);
            for (uint32_t p = PortTable::kFirstControl; p < PortTable::kPortCount; ++p)
                lilv_instance_connect_port(instance, p, &controls[p]);
            lilv_instance_connect_port(instance, PortTable::kTimeEvents, nullptr);
            lilv_instance_activate(instance);
            for (size_t start = 0; start < frames; start += 512)
            {
                const uint32_t block = static_cast<uint32_t>(std::min<size_t>(512, frames - start));
                lilv_instance_connect_port(instance, PortTable::kInLeft, left.data() + start);
                lilv_instance_connect_port(instance, PortTable::kInRight, right.data() + start);
                lilv_instance_connect_port(instance, PortTable::kOutLeft, outLeft.data() + start);
                lilv_instance_connect_port(instance, PortTable::kOutRight, outRight.data() + start);
                lilv_instance_run(instance, block);
            }
            lilv_instance_deactivate(instance);
            lilv_instance_free(instance);

            const std::string out = work + "/preset-render.wav";
            const std::string command = "'" + tool + "' --quiet --no-settle --format float --preset '" + presetName +
                                        "' '" + input + "' '" + out + "'";
            int outRate = 0;
            const std::vector<float> rendered = std::system(command.c_str()) == 0 ? readStereo(out, outRate) : in;
            size_t differing = rendered.size() == in.size() ? 0 : frames;
            for (size_t i = 0; differing == 0 && i < frames; ++i)
                if (rendered[2 * i] != outLeft[i] || rendered[2 * i + 1] != outRight[i])
                    differing = i + 1;
            std::printf("%s: %s\n", presetName.c_str(), differing == 0 ? "the same samples" : "DIFFERENT");
            failures += differing == 0 ? 0 : 1;
            ++compared;
        }
        lilv_state_free(state);
        lilv_node_free(name);
    }
    lilv_nodes_free(presets);
    lilv_node_free(label);
    lilv_node_free(presetClass);
    lilv_node_free(pluginUri);
    lilv_world_free(world);
    if (compared == 0)
        std::fprintf(stderr, "no preset with a still LFO was found through lilv\n");
    return failures == 0 && compared > 0 ? 0 : 1;
}

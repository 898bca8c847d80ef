#include "tools/PluginInfoReport.h"

#include "tools/CommandLine.h"

#include "tools/ParameterCatalogue.h"
#include "tools/PluginInstance.h"
#include "tools/TextUtilities.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

struct ParameterState
{
    const ParameterInfo* info = nullptr;
    float value = 0.0f;
    std::string display;
};

// Everything the report shows, read from the instance once.
struct Identity
{
    std::string effectName;
    std::string vendor;
    std::string product;
    long long vendorVersion = 0;
    long long vstVersion = 0;
    int32_t uniqueId = 0;
    int32_t inputs = 0;
    int32_t outputs = 0;
    int32_t flags = 0;
    long long category = 0;
    int32_t programs = 0;
    std::string programName;
    long long tailSize = 0;
    std::vector<ParameterState> parameters;
};

Identity gather(PluginInstance& plugin, const ParameterCatalogue& catalogue)
{
    Identity id;
    const AEffect* const effect = plugin.effect();
    id.effectName = plugin.dispatchText(effGetEffectName);
    id.vendor = plugin.dispatchText(effGetVendorString);
    id.product = plugin.dispatchText(effGetProductString);
    id.vendorVersion = plugin.dispatch(effGetVendorVersion);
    id.vstVersion = plugin.dispatch(effGetVstVersion);
    id.uniqueId = effect->uniqueID;
    id.inputs = effect->numInputs;
    id.outputs = effect->numOutputs;
    id.flags = effect->flags;
    id.category = plugin.dispatch(effGetPlugCategory);
    id.programs = effect->numPrograms;
    id.programName = plugin.dispatchText(effGetProgramName);
    id.tailSize = plugin.dispatch(effGetTailSize);
    for (const ParameterInfo& info : catalogue.parameters())
    {
        ParameterState state;
        state.info = &info;
        state.value = plugin.getParameter(info.index);
        state.display = plugin.dispatchText(effGetParamDisplay, info.index);
        id.parameters.push_back(state);
    }
    return id;
}

std::string fourCharText(int32_t code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const char c = static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::string hex(int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08x", static_cast<unsigned>(value));
    return text;
}

std::string number(double value)
{
    char text[40];
    std::snprintf(text, sizeof(text), "%.9g", value);
    return text;
}

std::vector<std::string> entryNames(const ParameterInfo& info)
{
    std::vector<std::string> names;
    for (const ChoiceEntry& entry : info.entries)
        names.push_back(entry.name);
    return names;
}

} // namespace

std::string PluginInfoReport::text(PluginInstance& plugin, const ParameterCatalogue& catalogue)
{
    const Identity id = gather(plugin, catalogue);
    char line[512];
    std::string out;
    auto add = [&out](const char* key, const std::string& value)
    {
        char row[600];
        std::snprintf(row, sizeof(row), "%-15s %s\n", key, value.c_str());
        out += row;
    };
    add("plug-in", plugin.path());
    add("effect name", id.effectName);
    add("vendor", id.vendor);
    add("product", id.product);
    add("vendor version", std::to_string(id.vendorVersion));
    add("VST version", std::to_string(id.vstVersion));
    add("unique ID", "'" + fourCharText(id.uniqueId) + "' (" + hex(id.uniqueId) + ")");
    add("inputs/outputs", std::to_string(id.inputs) + "/" + std::to_string(id.outputs));
    add("flags", std::to_string(id.flags) + ((id.flags & effFlagsCanReplacing) ? " (replacing processing)" : ""));
    add("category", std::to_string(id.category));
    add("programs", std::to_string(id.programs) + ", current \"" + id.programName + "\"");
    add("tail size", std::to_string(id.tailSize));
    add("presets", presetList());
    add("parameters", std::to_string(id.parameters.size()));
    std::snprintf(line, sizeof(line), "  %2s  %-18s %-12s %-12s %-6s %s\n", "#", "name", "value", "display", "label",
                  "entries");
    out += line;
    for (const ParameterState& p : id.parameters)
    {
        std::snprintf(line, sizeof(line), "  %2d  %-18s %-12s %-12s %-6s %s\n", static_cast<int>(p.info->index),
                      p.info->name.c_str(), number(p.value).c_str(), p.display.c_str(), p.info->label.c_str(),
                      p.info->entries.empty() ? "" : quotedList(entryNames(*p.info)).c_str());
        out += line;
    }
    return out;
}

std::string PluginInfoReport::json(PluginInstance& plugin, const ParameterCatalogue& catalogue)
{
    const Identity id = gather(plugin, catalogue);
    std::string out = "{\n";
    out += "  \"plugin\": " + jsonString(plugin.path()) + ",\n";
    out += "  \"effectName\": " + jsonString(id.effectName) + ",\n";
    out += "  \"vendor\": " + jsonString(id.vendor) + ",\n";
    out += "  \"product\": " + jsonString(id.product) + ",\n";
    out += "  \"vendorVersion\": " + std::to_string(id.vendorVersion) + ",\n";
    out += "  \"vstVersion\": " + std::to_string(id.vstVersion) + ",\n";
    out += "  \"uniqueId\": " + jsonString(fourCharText(id.uniqueId)) + ",\n";
    out += "  \"uniqueIdValue\": " + std::to_string(id.uniqueId) + ",\n";
    out += "  \"inputs\": " + std::to_string(id.inputs) + ",\n";
    out += "  \"outputs\": " + std::to_string(id.outputs) + ",\n";
    out += "  \"flags\": " + std::to_string(id.flags) + ",\n";
    out += "  \"category\": " + std::to_string(id.category) + ",\n";
    out += "  \"programs\": " + std::to_string(id.programs) + ",\n";
    out += "  \"programName\": " + jsonString(id.programName) + ",\n";
    out += "  \"tailSize\": " + std::to_string(id.tailSize) + ",\n";
    out += "  \"presets\": [" + presetList() + "],\n";
    out += "  \"parameters\": [";
    for (size_t i = 0; i < id.parameters.size(); ++i)
    {
        const ParameterState& p = id.parameters[i];
        out += i == 0 ? "\n" : ",\n";
        out += "    {\"index\": " + std::to_string(p.info->index) + ", \"name\": " + jsonString(p.info->name) +
               ", \"value\": " + (std::isfinite(p.value) ? number(p.value) : std::string("null")) +
               ", \"display\": " + jsonString(p.display) + ", \"label\": " + jsonString(p.info->label);
        if (!p.info->entries.empty())
        {
            out += ", \"entries\": [";
            for (size_t e = 0; e < p.info->entries.size(); ++e)
                out += (e == 0 ? "" : ", ") + jsonString(p.info->entries[e].name);
            out += "]";
        }
        out += "}";
    }
    out += "\n  ]\n}\n";
    return out;
}

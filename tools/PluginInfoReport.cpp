#include "tools/PluginInfoReport.h"

#include "tools/CommandLine.h"
#include "tools/ParameterCatalogue.h"
#include "tools/PluginInstance.h"
#include "tools/TextUtilities.h"

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include <cstdlib>

namespace
{

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

} // namespace

nlohmann::ordered_json PluginInfoReport::json(PluginInstance& plugin, const ParameterCatalogue& catalogue)
{
    // The members are read from the instance in their order: a braced list is evaluated from left to right.
    const AEffect* const effect = plugin.effect();
    nlohmann::ordered_json report = {{"plugin", plugin.path()},
                                     {"effectName", plugin.dispatchText(effGetEffectName)},
                                     {"vendor", plugin.dispatchText(effGetVendorString)},
                                     {"product", plugin.dispatchText(effGetProductString)},
                                     {"vendorVersion", plugin.dispatch(effGetVendorVersion)},
                                     {"vstVersion", plugin.dispatch(effGetVstVersion)},
                                     {"uniqueId", fourCharText(effect->uniqueID)},
                                     {"uniqueIdValue", effect->uniqueID},
                                     {"inputs", effect->numInputs},
                                     {"outputs", effect->numOutputs},
                                     {"flags", effect->flags},
                                     {"category", plugin.dispatch(effGetPlugCategory)},
                                     {"programs", effect->numPrograms},
                                     {"programName", plugin.dispatchText(effGetProgramName)},
                                     {"tailSize", plugin.dispatch(effGetTailSize)},
                                     {"presets", presetNames()},
                                     {"parameters", nlohmann::ordered_json::array()}};
    for (const ParameterInfo& info : catalogue.parameters())
    {
        // The float's shortest text, so that 0.85 reads 0.85 and not 0.8500000238418579 (NaN becomes null).
        const double value = std::strtod(fmt::format("{}", plugin.getParameter(info.index)).c_str(), nullptr);
        nlohmann::ordered_json parameter = {{"index", info.index},
                                            {"name", info.name},
                                            {"value", value},
                                            {"display", plugin.dispatchText(effGetParamDisplay, info.index)},
                                            {"label", info.label}};
        for (const ChoiceEntry& entry : info.entries)
            parameter["entries"].push_back(entry.name);
        report["parameters"].push_back(parameter);
    }
    return report;
}

std::string PluginInfoReport::text(PluginInstance& plugin, const ParameterCatalogue& catalogue)
{
    nlohmann::ordered_json report = json(plugin, catalogue);
    std::string out;
    // A string as it is, a number as JSON writes it.
    const auto add = [&out](const char* key, const nlohmann::ordered_json& value)
    { out += fmt::format("{:<15} {}\n", key, value.is_string() ? value.get<std::string>() : value.dump()); };
    const int32_t flags = report["flags"];
    add("plug-in", report["plugin"]);
    add("effect name", report["effectName"]);
    add("vendor", report["vendor"]);
    add("product", report["product"]);
    add("vendor version", report["vendorVersion"]);
    add("VST version", report["vstVersion"]);
    add("unique ID", fmt::format("'{}' (0x{:08x})", report["uniqueId"].get<std::string>(),
                                 static_cast<uint32_t>(report["uniqueIdValue"].get<int32_t>())));
    add("inputs/outputs", fmt::format("{}/{}", report["inputs"].get<int>(), report["outputs"].get<int>()));
    add("flags", fmt::format("{}{}", flags, (flags & effFlagsCanReplacing) ? " (replacing processing)" : ""));
    add("category", report["category"]);
    add("programs",
        fmt::format("{}, current \"{}\"", report["programs"].get<int>(), report["programName"].get<std::string>()));
    add("tail size", report["tailSize"]);
    add("presets", quotedList(presetNames()));
    add("parameters", report["parameters"].size());
    const char* const row = "  {:>2}  {:<18} {:<12} {:<12} {:<6} {}\n";
    out += fmt::format(row, "#", "name", "value", "display", "label", "entries");
    for (nlohmann::ordered_json& p : report["parameters"])
        out += fmt::format(row, p["index"].get<int>(), p["name"].get<std::string>(),
                           fmt::format("{:.9g}", p["value"].get<float>()), p["display"].get<std::string>(),
                           p["label"].get<std::string>(),
                           p.contains("entries") ? quotedList(p["entries"].get<std::vector<std::string>>()) : "");
    return out;
}

// Writes the LV2 bundle's description from the tables it describes: Tessaloom.ttl (the plug-in's head from its
// template, then one control port per entry of the port table, with the effect's entry names as scale points), one
// pset:Preset file per factory preset, and the manifest, which lists the presets after the plug-in. Run by the build,
// so that the bundle cannot drift from the effect.
// Usage: tessaloom-lv2-bundle PLUGIN_HEAD MANIFEST_BASE BUNDLE_DIR

#include "effect/FactoryPresets.h"
#include "effect/ParameterTables.h"
#include "lv2/PortTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

namespace
{
/// "Slow Filter Sweep" -> "slow-filter-sweep": the preset's file name and URI fragment.
std::string slugOf(const char* name)
{
    std::string slug;
    for (const char* c = name; *c != '\0'; ++c)
    {
        if (std::isalnum(static_cast<unsigned char>(*c)))
            slug += static_cast<char>(std::tolower(static_cast<unsigned char>(*c)));
        else if (!slug.empty() && slug.back() != '-')
            slug += '-';
    }
    return slug;
}

/// The plain port value that the port maps back to exactly the normalised value x (a choice: to its entry), or NaN.
/// The forward law gives a first guess; rounding may put it a few steps of float away from the exact one.
float plainValueFor(const PortTable::ControlPort& port, float x)
{
    using PortTable::Law;
    const double lo = port.minimum;
    const double hi = port.maximum;
    if (port.law == Law::choiceEntry)
    {
        const int32_t count = static_cast<int32_t>(port.maximum) + 1;
        const int32_t entry = std::min(static_cast<int32_t>(x * static_cast<float>(count)), count - 1);
        return static_cast<float>(entry);
    }
    double guess = lo + x * (hi - lo);
    if (port.law == Law::cutoffHz || port.law == Law::freeRateHz)
        guess = std::exp(std::log(lo) + x * (std::log(hi) - std::log(lo)));
    float below = static_cast<float>(guess);
    float above = below;
    for (int step = 0; step < 256; ++step)
    {
        if (PortTable::normalisedValue(port, below) == x)
            return below;
        if (PortTable::normalisedValue(port, above) == x)
            return above;
        below = std::nextafter(below, -INFINITY);
        above = std::nextafter(above, INFINITY);
    }
    return NAN;
}

/// v in the fewest digits that read back as v, with a decimal point, as the port ranges are written.
std::string number(float v)
{
    char text[32] = "";
    for (int digits = 6; digits <= 9; ++digits)
    {
        std::snprintf(text, sizeof text, "%.*g", digits, static_cast<double>(v));
        if (std::strtof(text, nullptr) == v)
            break;
    }
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}
/// The control ports in Turtle, each after " , ", the list's end not written.
std::string controlPortsTurtle()
{
    using PortTable::Law;
    std::ostringstream ttl;
    for (const PortTable::ControlPort& port : PortTable::kControlPorts)
    {
        const bool choice = port.law == Law::choiceEntry;
        const auto value = [choice](float v) { return choice ? std::to_string(std::lround(v)) : number(v); };
        ttl << " , [\n\t\ta lv2:ControlPort , lv2:InputPort ;\n\t\tlv2:index " << port.port << " ;\n\t\tlv2:symbol \""
            << port.symbol << "\" ;\n\t\tlv2:name \"" << port.name << "\" ;\n";
        if (port.comment != nullptr)
            ttl << "\t\trdfs:comment \"" << port.comment << "\" ;\n";
        ttl << "\t\tlv2:default " << value(port.defaultValue) << " ;\n\t\tlv2:minimum " << value(port.minimum)
            << " ;\n\t\tlv2:maximum " << value(port.maximum);
        if (port.law == Law::cutoffHz || port.law == Law::freeRateHz)
            ttl << " ;\n\t\tunits:unit units:hz ;\n\t\tlv2:portProperty pprops:logarithmic";
        if (choice)
        {
            ttl << " ;\n\t\tlv2:portProperty lv2:integer , lv2:enumeration ;\n\t\tlv2:scalePoint ";
            for (int32_t entry = 0; entry <= static_cast<int32_t>(port.maximum); ++entry)
                ttl << (entry == 0 ? "" : " ,\n\t\t\t") << "[ rdfs:label \"" << choiceEntryName(port.parameter, entry)
                    << "\" ; rdf:value " << entry << " ]";
        }
        ttl << "\n\t]";
    }
    return ttl.str();
}

/// The whole text of file, or nothing when it cannot be read.
std::optional<std::string> fileText(const char* path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    if (!file)
        return std::nullopt;
    return text.str();
}

bool writeFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path);
    out << text;
    if (!out)
        std::fprintf(stderr, "tessaloom-lv2-bundle: cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
    {
        std::fprintf(stderr, "usage: tessaloom-lv2-bundle PLUGIN_HEAD MANIFEST_BASE BUNDLE_DIR\n");
        return 2;
    }
    const std::string uri = PortTable::kPluginUri;
    const std::string bundle = argv[3];
    const std::optional<std::string> head = fileText(argv[1]);
    const std::optional<std::string> manifestBase = fileText(argv[2]);
    if (!head || !manifestBase)
    {
        std::fprintf(stderr, "tessaloom-lv2-bundle: cannot read %s\n", head ? argv[2] : argv[1]);
        return 1;
    }
    const std::string plugin = head->substr(0, head->find_last_not_of("\n") + 1);
    if (!writeFile(bundle + "/Tessaloom.ttl", plugin + controlPortsTurtle() + " .\n"))
        return 1;
    std::ostringstream manifest;
    manifest << *manifestBase << "\n";

    for (int32_t p = 0; p < kFactoryPresetCount; ++p)
    {
        const FactoryPreset& preset = kFactoryPresets[p];
        const std::string slug = slugOf(preset.name);
        const std::string presetUri = uri + "#preset-" + slug;
        manifest << "<" << presetUri << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << uri << "> ;\n\trdfs:seeAlso <"
                 << slug << ".ttl> .\n\n";

        std::ostringstream ttl;
        ttl << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
            << "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n\n<" << presetUri
            << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << uri << "> ;\n\trdfs:label \"" << preset.name
            << "\" ;\n\tlv2:port ";
        for (uint32_t i = 0; i < PortTable::kControlCount; ++i)
        {
            const PortTable::ControlPort& port = PortTable::kControlPorts[i];
            // Only one of the two "LFO Freq" ports drives it, as "LFO Sync" says; the other keeps its default.
            const bool free = PortTable::lfoSyncEntry(plainValueFor(*PortTable::controlPort(PortTable::kLfoSync),
                                                                    preset.normalisedValues[FilterEffect::kLfoSync])) ==
                              FilterEffect::kSyncFree;
            const bool idle =
                (port.port == PortTable::kLfoRate && !free) || (port.port == PortTable::kLfoLength && free);
            const float plain = idle ? port.defaultValue : plainValueFor(port, preset.normalisedValues[port.parameter]);
            if (!std::isfinite(plain))
            {
                std::fprintf(stderr, "tessaloom-lv2-bundle: \"%s\": no value of port %s gives %.9g\n", preset.name,
                             port.symbol, static_cast<double>(preset.normalisedValues[port.parameter]));
                return 1;
            }
            ttl << (i == 0 ? "[\n" : " , [\n") << "\t\tlv2:symbol \"" << port.symbol << "\" ;\n\t\tpset:value "
                << number(plain) << "\n\t]";
        }
        ttl << " .\n";
        if (!writeFile(bundle + "/" + slug + ".ttl", ttl.str()))
            return 1;
    }
    return writeFile(bundle + "/manifest.ttl", manifest.str()) ? 0 : 1;
}

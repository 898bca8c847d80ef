// Writes the LV2 bundle's factory presets from the core's preset table: one pset:Preset file per preset and the
// manifest, which lists them after the plug-in. Run by the build; the table stays the one source of the presets.
// Usage: tessaloom-lv2-presets MANIFEST_BASE BUNDLE_DIR

#include "effect/FactoryPresets.h"
#include "lv2/PortTable.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
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
    if (port.law == Law::cutoffHz)
        guess = std::exp(std::log(lo) + x * (std::log(hi) - std::log(lo)));
    else if (port.law == Law::freeRateHz)
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

std::string number(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0"; // a decimal, as the port ranges are written
    return s;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: tessaloom-lv2-presets MANIFEST_BASE BUNDLE_DIR\n");
        return 2;
    }
    const std::string uri = PortTable::kPluginUri;
    const std::string bundle = argv[2];
    std::ifstream baseFile(argv[1]);
    std::stringstream manifest;
    manifest << baseFile.rdbuf();
    if (!baseFile)
    {
        std::fprintf(stderr, "tessaloom-lv2-presets: cannot read %s\n", argv[1]);
        return 1;
    }
    manifest << "\n";

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
                              PortTable::kLfoSyncFree;
            const bool idle =
                (port.port == PortTable::kLfoRate && !free) || (port.port == PortTable::kLfoLength && free);
            const float plain = idle ? port.defaultValue : plainValueFor(port, preset.normalisedValues[port.parameter]);
            if (!std::isfinite(plain))
            {
                std::fprintf(stderr, "tessaloom-lv2-presets: \"%s\": no value of port %s gives %.9g\n", preset.name,
                             port.symbol, static_cast<double>(preset.normalisedValues[port.parameter]));
                return 1;
            }
            ttl << (i == 0 ? "[\n" : " , [\n") << "\t\tlv2:symbol \"" << port.symbol << "\" ;\n\t\tpset:value "
                << number(plain) << "\n\t]";
        }
        ttl << " .\n";
        std::ofstream out(bundle + "/" + slug + ".ttl");
        out << ttl.str();
        if (!out)
        {
            std::fprintf(stderr, "tessaloom-lv2-presets: cannot write %s/%s.ttl\n", bundle.c_str(), slug.c_str());
            return 1;
        }
    }
    std::ofstream out(bundle + "/manifest.ttl");
    out << manifest.str();
    return out ? 0 : 1;
}

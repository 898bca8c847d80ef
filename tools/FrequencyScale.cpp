#include "tools/FrequencyScale.h"

#include "tools/TextUtilities.h"
#include "tools/ToolError.h"

#include <fmt/format.h>

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace
{

std::string hzText(double hz)
{
    return fmt::format("{:g} Hz", hz);
}

} // namespace

std::optional<FrequencyScale::DisplayParts> FrequencyScale::parseDisplay(const std::string& text)
{
    for (size_t i = 0; i < text.size(); ++i)
    {
        const bool digitHere = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
        const bool digitNext = i + 1 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1])) != 0;
        const bool signOrPoint = text[i] == '-' || text[i] == '+' || text[i] == '.';
        if (!digitHere && !(signOrPoint && digitNext))
            continue;
        const char* const begin = text.c_str() + i;
        char* end = nullptr;
        const double number = std::strtod(begin, &end);
        if (end == begin || !std::isfinite(number))
            return std::nullopt;
        DisplayParts parts;
        parts.prefix = trimmed(text.substr(0, i));
        parts.number = number;
        parts.unit = trimmed(std::string(end));
        return parts;
    }
    return std::nullopt;
}

std::optional<FrequencyScale> FrequencyScale::fromDisplays(const std::string& atZero, const std::string& atHalf,
                                                           const std::string& atOne, const std::string& label)
{
    const auto low = parseDisplay(atZero);
    const auto middle = parseDisplay(atHalf);
    const auto high = parseDisplay(atOne);
    if (!low || !middle || !high)
        return std::nullopt;
    const bool inHz = equalsIgnoringCase(trimmed(label), "Hz") ||
                      (equalsIgnoringCase(low->unit, "Hz") && equalsIgnoringCase(high->unit, "Hz"));
    if (!inHz || !(low->number > 0.0) || !(high->number > low->number))
        return std::nullopt;

    FrequencyScale scale;
    scale.lowest = low->number;
    scale.highest = high->number;
    if (!low->prefix.empty() && !high->prefix.empty() && !equalsIgnoringCase(low->prefix, high->prefix))
    {
        scale.lowerPrefix = low->prefix;
        scale.upperPrefix = high->prefix;
        scale.middleInLowerHalf = equalsIgnoringCase(middle->prefix, low->prefix);
    }
    return scale;
}

double FrequencyScale::frequencyAt(double position) const
{
    const double lo = std::log(lowest);
    const double hi = std::log(highest);
    return std::exp(lo + (hi - lo) * position);
}

float FrequencyScale::positionFor(double hz, double offset, double span) const
{
    // The nearest float can land a hair above the frequency; step down to the last one at or below it, so that the
    // plug-in, which rounds its display up to whole hertz, shows the frequency asked for.
    const double exact = (std::log(hz) - std::log(lowest)) / (std::log(highest) - std::log(lowest));
    float value = static_cast<float>(offset + exact * span);
    for (int step = 0; step < 4 && value > 0.0f && frequencyAt((value - offset) / span) > hz; ++step)
        value = std::nextafter(value, 0.0f);
    return value;
}

float FrequencyScale::normalisedFor(const std::string& prefix, double hz, const std::string& parameterName) const
{
    const std::string range = hzText(lowest) + " to " + hzText(highest);
    if (!(hz >= lowest && hz <= highest))
        throw ToolError("\"" + parameterName + "\": " + hzText(hz) + " lies outside its range, " + range,
                        ToolError::kUsage);
    if (!split())
    {
        if (!prefix.empty())
            throw ToolError("\"" + parameterName + "\" is not split into halves now; give the frequency without \"" +
                                prefix + "\"",
                            ToolError::kUsage);
        return positionFor(hz, 0.0, 1.0);
    }
    if (equalsIgnoringCase(prefix, lowerPrefix))
    {
        const float value = positionFor(hz, 0.0, 0.5);
        // An exclusive upper end of the lower half: stay just below the middle.
        return (!middleInLowerHalf && value >= 0.5f) ? std::nextafter(0.5f, 0.0f) : value;
    }
    if (equalsIgnoringCase(prefix, upperPrefix))
    {
        const float value = positionFor(hz, 0.5, 0.5);
        // The middle belongs to the lower half: the upper half starts just above it.
        return (middleInLowerHalf && value <= 0.5f) ? std::nextafter(0.5f, 1.0f) : value;
    }
    throw ToolError("\"" + parameterName + "\" is split into " + lowerPrefix + " and " + upperPrefix +
                        " halves now; write for example \"" + lowerPrefix + " 1200Hz\" or \"" + upperPrefix +
                        " 1200Hz\"",
                    ToolError::kUsage);
}

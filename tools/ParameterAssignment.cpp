#include "tools/ParameterAssignment.h"

#include "tools/FrequencyScale.h"
#include "tools/TextUtilities.h"
#include "tools/ToolError.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace
{

std::string numberText(double value)
{
    return fmt::format("{:g}", value);
}

// "1200Hz", "1.2 kHz", "LP 1200Hz": true with the prefix and the frequency in Hz.
bool parseFrequency(const std::string& text, std::string& prefix, double& hz)
{
    const std::string body = trimmed(text);
    if (body.size() < 2 || !equalsIgnoringCase(body.substr(body.size() - 2), "Hz"))
        return false;
    // What follows the number is "k" for kHz, or nothing.
    const auto parts = FrequencyScale::parseDisplay(body.substr(0, body.size() - 2));
    if (!parts || !(parts->unit.empty() || equalsIgnoringCase(parts->unit, "k")) || !(parts->number > 0.0))
        return false;
    prefix = parts->prefix;
    hz = parts->number * (parts->unit.empty() ? 1.0 : 1000.0);
    return true;
}

} // namespace

std::string valueAdvice(const std::optional<std::string>& frequencyCondition)
{
    if (!frequencyCondition)
        return "a number as --info shows it or a normalised value as a percentage (30%)";
    if (frequencyCondition->empty())
        return "a frequency such as 1200Hz or a normalised value as a percentage (30%)";
    return "a normalised value as a percentage (30%), or a frequency once \"" + *frequencyCondition + "\" is set";
}

ParameterAssignment ParameterAssignment::start(const std::string& text, const ParameterCatalogue& catalogue,
                                               std::string& valueText)
{
    const size_t equals = text.find('=');
    if (equals == std::string::npos)
        throw ToolError("\"" + text + "\": write NAME=VALUE, for example \"Filter Freq=0.3\"", ToolError::kUsage);
    const std::string name = text.substr(0, equals);
    const ParameterInfo* const info = catalogue.find(name);
    if (info == nullptr)
        throw ToolError("unknown parameter \"" + trimmed(name) + "\"; the parameters are: " + catalogue.nameList(),
                        ToolError::kUsage);
    ParameterAssignment assignment;
    assignment.parameterIndex = info->index;
    assignment.parameterName = info->name;
    assignment.shown = *info;
    valueText = text.substr(equals + 1);
    return assignment;
}

ParameterAssignment ParameterAssignment::parseSet(const std::string& text, const ParameterCatalogue& catalogue)
{
    std::string valueText;
    ParameterAssignment assignment = start(text, catalogue, valueText);
    assignment.timeline.push_back(assignment.parseValue(valueText, catalogue));
    return assignment;
}

ParameterAssignment ParameterAssignment::parseAutomation(const std::string& text, const ParameterCatalogue& catalogue)
{
    std::string valueText;
    ParameterAssignment assignment = start(text, catalogue, valueText);
    assignment.isAutomation = true;
    for (const std::string& pointText : splitAt(valueText, ','))
    {
        const size_t colon = pointText.rfind(':'); // the time may be written 1:30
        const auto time = colon == std::string::npos ? std::nullopt : parseSeconds(pointText.substr(0, colon));
        if (!time)
            throw ToolError("\"" + assignment.parameterName + "\": \"" + trimmed(pointText) +
                                "\" is no point; write TIME:VALUE with the time in seconds, for example \"8s:0.9\"",
                            ToolError::kUsage);
        const double seconds = *time;
        if (!assignment.timeline.empty() && seconds < assignment.timeline.back().seconds)
            throw ToolError("\"" + assignment.parameterName + "\": the point at " + numberText(seconds) +
                                " s comes after one at " + numberText(assignment.timeline.back().seconds) +
                                " s; times must not go back",
                            ToolError::kUsage);
        Point point = assignment.parseValue(pointText.substr(colon + 1), catalogue);
        point.seconds = seconds;
        assignment.timeline.push_back(point);
    }
    return assignment;
}

ParameterAssignment::Point ParameterAssignment::parseValue(const std::string& valueText,
                                                           const ParameterCatalogue& catalogue) const
{
    const std::vector<ChoiceEntry>& entries = shown.entries;
    Point point;
    point.text = trimmed(valueText);
    const auto entryPoint = [&point](const ChoiceEntry& entry)
    {
        point.normalised = entry.value;
        point.entry = true;
        point.entryName = trimmed(entry.name);
        return point;
    };
    for (const ChoiceEntry& entry : entries)
    {
        if (equalsIgnoringCase(trimmed(entry.name), point.text))
            return entryPoint(entry);
    }
    const std::string given = "\"" + parameterName + "=" + point.text + "\": ";
    if (!point.text.empty() && point.text.back() == '%')
    {
        const auto percent = parseNumber(point.text.substr(0, point.text.size() - 1));
        if (!percent || *percent < 0.0 || *percent > 100.0)
            throw ToolError(given + "a normalised value lies from 0% to 100%", ToolError::kUsage);
        point.normalised = static_cast<float>(*percent / 100.0);
        return point;
    }
    if (const auto number = shown.showsFrequency ? parseHertz(point.text) : parseNumber(point.text))
    {
        if (!entries.empty())
        {
            const double last = static_cast<double>(entries.size() - 1);
            if (*number != std::floor(*number) || *number < 0.0 || *number > last)
                throw ToolError(given + "give an entry's name or its number from 0 to " + numberText(last) +
                                    " as --info numbers them (or the normalised value as a percentage, " +
                                    numberText(*number * 100.0) + "%)",
                                ToolError::kUsage);
            return entryPoint(entries[static_cast<size_t>(*number)]);
        }
        if (shown.showsFrequency && *number <= 1.0)
            throw ToolError(given + "as shown, " + point.text + " would be " + point.text +
                                " Hz, below any frequency the parameter shows; for the normalised value write " +
                                numberText(*number * 100.0) + "%",
                            ToolError::kUsage);
        if (shown.showsFrequency)
        {
            point.frequency = true;
            point.hz = *number;
            return point;
        }
        if (!shown.showsLinearRange)
        {
            if (*number < 0.0 || *number > 1.0)
                throw ToolError(given + "a normalised value lies from 0 to 1", ToolError::kUsage);
            point.normalised = static_cast<float>(*number);
            return point;
        }
        const double low = std::min(shown.shownAtZero, shown.shownAtOne);
        const double high = std::max(shown.shownAtZero, shown.shownAtOne);
        if (*number >= low && *number <= high)
        {
            point.normalised =
                static_cast<float>((*number - shown.shownAtZero) / (shown.shownAtOne - shown.shownAtZero));
            return point;
        }
        const std::string range = "\"" + parameterName + "\" shows " + numberText(low) + " to " + numberText(high);
        if (*number >= 0.0 && *number <= 1.0)
            throw ToolError(given + "as shown, " + point.text + " lies outside: " + range +
                                "; as a normalised value it " + "would show " +
                                numberText(shown.shownAtZero + *number * (shown.shownAtOne - shown.shownAtZero)) +
                                ": write " + numberText(*number * 100.0) + "% for that",
                            ToolError::kUsage);
        throw ToolError(given + range, ToolError::kUsage);
    }
    if (parseFrequency(point.text, point.prefix, point.hz))
    {
        point.frequency = true;
        return point;
    }
    if (!entries.empty())
    {
        std::vector<std::string> names;
        for (const ChoiceEntry& entry : entries)
            names.push_back(entry.name);
        throw ToolError("\"" + parameterName + "\" has no entry \"" + point.text +
                            "\"; its entries are: " + quotedList(names) + " (or " +
                            valueAdvice(catalogue.frequencyCondition(parameterIndex)) + ")",
                        ToolError::kUsage);
    }
    throw ToolError("\"" + parameterName + "=" + point.text + "\": give " +
                        valueAdvice(catalogue.frequencyCondition(parameterIndex)),
                    ToolError::kUsage);
}

bool ParameterAssignment::needsFrequencyScale() const
{
    return std::any_of(timeline.begin(), timeline.end(), [](const Point& point) { return point.frequency; });
}

void ParameterAssignment::resolveFrequencies(const FrequencyScale* scale, const std::optional<std::string>& condition)
{
    for (Point& point : timeline)
    {
        if (!point.frequency)
            continue;
        if (scale == nullptr)
            throw ToolError(
                "\"" + parameterName + "\" shows no frequency" +
                    (condition && !condition->empty() ? " unless \"" + *condition + "\" is set" : "") + ", so \"" +
                    point.text + "\" cannot be mapped; " +
                    (condition && !condition->empty() ? "set \"" + *condition + "\" too, or give " : "give ") +
                    "a normalised value from 0 to 1",
                ToolError::kUsage);
        point.normalised = scale->normalisedFor(point.prefix, point.hz, parameterName);
        point.frequency = false;
    }
}

float ParameterAssignment::valueAt(double seconds) const
{
    if (timeline.empty())
        return 0.0f;
    size_t i = timeline.size() - 1;
    while (i > 0 && timeline[i].seconds > seconds)
        --i;
    if (i + 1 >= timeline.size() || timeline[i].seconds > seconds) // after the last point, or before the first
        return timeline[i].normalised;
    const Point& a = timeline[i];
    const Point& b = timeline[i + 1];
    const double v0 = a.normalised;
    const double v1 = b.normalised;
    return static_cast<float>(v0 + (v1 - v0) * (seconds - a.seconds) / (b.seconds - a.seconds));
}

#pragma once

#include "tools/ParameterCatalogue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class FrequencyScale;

/// A value given for a parameter on the command line: fixed (--set "Filter Freq=0.3") or automated
/// (--automate "Filter Freq=0s:0.1,8s:0.9"), checked against the plug-in's own parameter names and entries.
///
/// What a value may be for one parameter, for messages: "a normalised value from 0 to 1", with the frequency the
/// condition (as ParameterCatalogue::frequencyCondition answers it) allows.
std::string valueAdvice(const std::optional<std::string>& frequencyCondition);

/// A value is a number as the plug-in shows it ("2.5" for a range 1 to 4 shown at 0 and 1, mapped back along that
/// line); a frequency ("1200", "1200Hz", "1.2 kHz", with the half's prefix on a split knob: "LP 1200Hz"), mapped
/// through the law the parameter shows; a choice's entry by name ("Dotted", ignoring case) or number (0 for the
/// first); or the normalised value as a percentage ("30%"). A bare number outside what the parameter shows that
/// would be a normalised value is refused with both readings. An automation is a list of time:value points with times
/// in seconds ("8s", "8", "250ms") that do not go back; between points the normalised value moves linearly, before the
/// first and after the last it holds.
class ParameterAssignment
{
public:
    /// Parses --set "NAME=VALUE". Throws ToolError (usage) with the valid names or values when it does not fit.
    static ParameterAssignment parseSet(const std::string& text, const ParameterCatalogue& catalogue);
    /// Parses --automate "NAME=TIME:VALUE,TIME:VALUE,...". Throws like parseSet.
    static ParameterAssignment parseAutomation(const std::string& text, const ParameterCatalogue& catalogue);

    /// The parameter's index and name as the plug-in reports it.
    int32_t index() const { return parameterIndex; }
    const std::string& name() const { return parameterName; }
    /// True for --automate.
    bool automated() const { return isAutomation; }

    /// True while a frequency value still waits for the parameter's law.
    bool needsFrequencyScale() const;
    /// Maps the frequency values through scale (null: the parameter shows no frequency now; then condition, as
    /// ParameterCatalogue::frequencyCondition answers it, says what would make it show one). Throws ToolError
    /// (usage) when a frequency cannot be mapped.
    void resolveFrequencies(const FrequencyScale* scale, const std::optional<std::string>& condition = std::nullopt);

    /// The normalised value at a time in seconds from the input's first frame: v0 + (v1 − v0) · (t − t0) / (t1 − t0)
    /// in double precision between the two points around t, rounded to float.
    float valueAt(double seconds) const;

    /// One point as given: its time, the value's text and the normalised value it stands for.
    struct Point
    {
        double seconds = 0.0;
        std::string text;
        float normalised = 0.0f;
        bool frequency = false; // a frequency not yet mapped
        bool entry = false;     // an entry, by name or number
        std::string entryName;  // its name
        std::string prefix;     // the half a frequency names ("LP"), or empty
        double hz = 0.0;
    };
    const std::vector<Point>& points() const { return timeline; }

private:
    static ParameterAssignment start(const std::string& text, const ParameterCatalogue& catalogue,
                                     std::string& valueText);
    Point parseValue(const std::string& valueText, const ParameterCatalogue& catalogue) const;

    int32_t parameterIndex = 0;
    std::string parameterName;
    ParameterInfo shown; // its entries and how it shows numbers
    bool isAutomation = false;
    std::vector<Point> timeline; // one point for --set
};

#pragma once

#include <optional>
#include <string>

/// The logarithmic frequency law of a parameter, learnt from what the plug-in shows: the display texts at the ends
/// of the knob give the lowest and highest frequency, and a value in Hz maps to the knob position
/// (ln f − ln lowest) / (ln highest − ln lowest). A knob whose two ends show different prefixes ("LP 20" at 0,
/// "HP 20000" at 1) is split: each half covers the whole range, and a value names its half with the prefix.
class FrequencyScale
{
public:
    /// The scale shown by the display texts at knob positions 0, 0.5 and 1 with the parameter's label; nothing when
    /// they are not frequencies (numbers with the label "Hz" or the unit "Hz" after them, rising from 0 to 1).
    static std::optional<FrequencyScale> fromDisplays(const std::string& atZero, const std::string& atHalf,
                                                      const std::string& atOne, const std::string& label);

    /// The knob position (normalised value) at or just below hz in the half named by prefix (empty for an unsplit
    /// knob). Throws ToolError (usage) naming the parameter when the frequency lies outside the range or the prefix
    /// does not fit the knob.
    float normalisedFor(const std::string& prefix, double hz, const std::string& parameterName) const;

    double lowestHz() const { return lowest; }
    double highestHz() const { return highest; }
    /// True when the knob is split into two halves; then their prefixes.
    bool split() const { return !lowerPrefix.empty(); }
    const std::string& lowerHalfPrefix() const { return lowerPrefix; }
    const std::string& upperHalfPrefix() const { return upperPrefix; }

    /// A display text taken apart: a word before the number, the number, and what follows it.
    struct DisplayParts
    {
        std::string prefix;
        double number = 0.0;
        std::string unit;
    };
    /// Takes a display text apart; nothing when it holds no number.
    static std::optional<DisplayParts> parseDisplay(const std::string& text);

    /// The frequency at a position from 0 to 1 along the knob (or along one half of a split knob).
    double frequencyAt(double position) const;

private:
    float positionFor(double hz, double offset, double span) const;

    double lowest = 20.0;     // Hz at the bottom of the knob (or of each half)
    double highest = 20000.0; // Hz at the top
    std::string lowerPrefix;  // empty for an unsplit knob
    std::string upperPrefix;
    bool middleInLowerHalf = true; // the position 0.5 shows the lower half
};

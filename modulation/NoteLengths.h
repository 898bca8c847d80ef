#pragma once
// The entries of "LFO Freq": one table gives both the names the host shows and the oscillator's cycles per quarter
// note that the tempo sync uses.

#include <cstdint>
#include <iterator>

/// One "LFO Freq" entry: its name and how many oscillator cycles it makes per quarter note (a bar is four).
struct NoteLength
{
    const char* name;
    double cyclesPerQuarterNote;
};

constexpr NoteLength kNoteLengths[] = {
    {"1/16 bar", 4.0}, {"1/8 bar", 2.0},   {"1/4 bar", 1.0},    {"1/2 bar", 0.5},      {"1 bar", 0.25},
    {"2 bars", 0.125}, {"4 bars", 0.0625}, {"8 bars", 0.03125}, {"16 bars", 0.015625}, {"32 bars", 0.0078125},
};
constexpr int32_t kNoteLengthCount = static_cast<int32_t>(std::size(kNoteLengths));
constexpr int32_t kDefaultNoteLength = 4; // "1 bar"

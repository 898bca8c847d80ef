#pragma once
// The entries of "LFO Freq" and "LFO Sync": each table gives both the names the host shows and what the tempo sync
// does with an entry (cycles per quarter note; the factor on them).

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

/// One "LFO Sync" entry: its name and the factor on the note length's rate ("Free" does not use the note length).
struct SyncMode
{
    const char* name;
    double rateFactor;
};

constexpr SyncMode kSyncModes[] = {{"Whole", 1.0}, {"Dotted", 1.5}, {"Triplet", 0.6666666666666666}, {"Free", 1.0}};
constexpr int32_t kSyncModeCount = static_cast<int32_t>(std::size(kSyncModes));

#pragma once

#include <cstdint>

/// The ports of Tessaloom's LV2 plug-in and how each control port's plain value becomes the normalised value of the
/// effect parameter it drives. Names, ranges and defaults come from the effect's parameter tables; the build writes
/// Tessaloom.ttl from this table (tessaloom-lv2-bundle), and the LV2 tests check what hosts read against the effect.
namespace PortTable
{

constexpr const char* kPluginUri = TESSALOOM_LV2_URI; // stable: hosts store it in their sessions (lv2/CMakeLists.txt)

enum PortIndex : uint32_t
{
    kInLeft = 0,
    kInRight = 1,
    kOutLeft = 2,
    kOutRight = 3,
    kTimeEvents = 4, // atom sequence carrying time:Position objects
    kFirstControl = 5,
    kPreSaturation = 5,
    kFilterType = 6,
    kFilterFreq = 7,
    kFilterReso = 8,
    kLfoAmount = 9,
    kLfoLength = 10, // "LFO Freq" while LFO Sync is Whole, Dotted or Triplet
    kLfoRate = 11,   // "LFO Freq" while LFO Sync is Free
    kLfoSync = 12,
    kLfoDirection = 13,
    kLfoShape = 14,
    kLfoPhase = 15,
    kPostSaturation = 16,
    kMix = 17,
    kPortCount = 18,
};
constexpr uint32_t kControlCount = kPortCount - kFirstControl;

/// How a control port's plain value maps to the parameter's normalised value: the inverse of the law by which the
/// effect displays the parameter.
enum class Law
{
    linear,      // display min + x · (max − min): x = (v − min) / (max − min)
    cutoffHz,    // display exp(ln min + x · (ln max − ln min)) Hz: x = (ln v − ln min) / (ln max − ln min)
    freeRateHz,  // display exp(ln 0.01 + x · (ln 24 − ln 0.01)) Hz, ln 0.01 in single precision: inverse likewise
    choiceEntry, // entry k of n is selected by x = k / n; v is rounded to the nearest entry
};

/// One control port: what it is called, which parameter it writes and its range in plain units.
struct ControlPort
{
    uint32_t port;
    const char* symbol;
    const char* name;
    int32_t parameter; // effect parameter index, 0..11
    Law law;
    float minimum;                 // plain units
    float maximum;                 // plain units; for a choice, entries − 1
    float defaultValue;            // plain units
    const char* comment = nullptr; // what hosts show beside the name, or null
};

/// The control ports in port order.
extern const ControlPort kControlPorts[kControlCount];

/// The control port with index port (kFirstControl..kPortCount − 1), or null.
const ControlPort* controlPort(uint32_t port) noexcept;

/// The normalised parameter value for a plain port value: clamped to the port's range first, a choice rounded to
/// its nearest entry. Callers pass finite values only.
float normalisedValue(const ControlPort& control, float plainValue) noexcept;

/// The "LFO Sync" entry for a plain port value of kLfoSync (rounded and clamped like normalisedValue).
int32_t lfoSyncEntry(float plainValue) noexcept;

} // namespace PortTable

#pragma once

#include "host/VstInterface.h"
#include "lv2/PortTable.h"
#include "lv2/TimePosition.h"

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/urid/urid.h>

#include <cstdint>

/// One instance of the LV2 plug-in: the host of one Tessaloom effect. It creates the effect through the VST 2.4
/// entry point, answers the effect's requests (version 2400, the time information from the LV2 host's
/// time:Position) and drives it only through its effect record: the sample rate from instantiate, the block size
/// from the host's options:maxBlockLength, changed control ports as parameter writes, and each run(n) as one
/// processing call of n frames.
///
/// Threads: instantiate, activate, deactivate and the destructor run on the host's instantiation thread;
/// connectPort and run on its audio thread. run allocates nothing, takes no lock and makes no system call.
class Lv2Plugin
{
public:
    /// A plug-in at sampleRateHz with the host's features; isValid() tells whether the effect was created.
    Lv2Plugin(double sampleRateHz, const LV2_Feature* const* features) noexcept;
    /// Turns the effect off if it is on and closes it.
    ~Lv2Plugin();

    Lv2Plugin(const Lv2Plugin&) = delete;
    Lv2Plugin& operator=(const Lv2Plugin&) = delete;

    bool isValid() const noexcept { return record != nullptr; }

    void connectPort(uint32_t port, void* data) noexcept;
    /// Announces the block size again and turns the effect on (effMainsChanged 1).
    void activate() noexcept;
    /// Turns the effect off (effMainsChanged 0).
    void deactivate() noexcept;
    /// Takes over changed control ports and position objects, then processes frames as one block.
    void run(uint32_t frames) noexcept;

private:
    /// URIDs of the atom and time vocabulary; all 0 without the host's urid:map.
    struct Urids
    {
        LV2_URID atomBlank = 0;
        LV2_URID atomObject = 0;
        LV2_URID atomSequence = 0;
        LV2_URID atomFloat = 0;
        LV2_URID atomDouble = 0;
        LV2_URID atomInt = 0;
        LV2_URID atomLong = 0;
        LV2_URID timePosition = 0;
        LV2_URID timeBar = 0;
        LV2_URID timeBarBeat = 0;
        LV2_URID timeBeatsPerBar = 0;
        LV2_URID timeBeatUnit = 0;
        LV2_URID timeBeatsPerMinute = 0;
        LV2_URID timeSpeed = 0;
        LV2_URID timeFrame = 0;
        LV2_URID bufSizeMaxBlockLength = 0;
    };

    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                             float opt) noexcept;
    intptr_t answer(int32_t opcode) noexcept;
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) noexcept;

    void readFeatures(const LV2_Feature* const* features) noexcept;
    void takeControlPorts() noexcept;
    /// Applies the position objects at frame offsets within [from, to) of the block, advancing the position to each.
    void takePositions(int64_t from, int64_t to, int64_t& positionFrame) noexcept;
    bool readPosition(const LV2_Atom_Object_Body* body, uint32_t size, TimePosition::Update& update) const noexcept;
    bool readNumber(const LV2_Atom* atom, double& value) const noexcept;

    AEffect* record = nullptr;
    double sampleRate;          // Hz, from instantiate
    int32_t maxBlockLength = 0; // frames; 0 when the host did not say
    bool mainsOn = false;
    Urids urids;
    TimePosition position;
    VstTimeInfo blockTime{}; // what audioMasterGetTime answers during the current block

    float* audio[4] = {}; // in left, in right, out left, out right
    const LV2_Atom_Sequence* timeEvents = nullptr;
    const float* controls[PortTable::kControlCount] = {};
    float lastControls[PortTable::kControlCount]; // values last taken over; NaN before the first run
};

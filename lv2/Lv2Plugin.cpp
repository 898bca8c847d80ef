#include "lv2/Lv2Plugin.h"

#include "effect/FilterEffect.h"

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/time/time.h>

#include <cmath>
#include <cstring>
#include <limits>

// The effect's entry point (host/PluginEntry.cpp), linked into this library and not exported from it.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

namespace
{
constexpr int32_t kMaxBlockLength = 1 << 24; // frames; a larger announcement is taken for a mistake
} // namespace

Lv2Plugin::Lv2Plugin(double sampleRateHz, const LV2_Feature* const* features) noexcept
    : sampleRate(sampleRateHz), position(sampleRateHz)
{
    for (float& value : lastControls)
        value = std::numeric_limits<float>::quiet_NaN();
    if (!std::isfinite(sampleRateHz) || !(sampleRateHz > 0.0))
        return;
    readFeatures(features);

    record = VSTPluginMain(hostCallback);
    if (record == nullptr)
        return;
    record->resvd1 = reinterpret_cast<intptr_t>(this); // the host's own field: how the callback finds this instance
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRateHz));
    if (maxBlockLength > 0)
        dispatch(effSetBlockSize, 0, maxBlockLength);
}

Lv2Plugin::~Lv2Plugin()
{
    if (record == nullptr)
        return;
    if (mainsOn)
        dispatch(effMainsChanged, 0, 0);
    dispatch(effClose); // the effect frees itself
    record = nullptr;
}

void Lv2Plugin::readFeatures(const LV2_Feature* const* features) noexcept
{
    if (features == nullptr)
        return;
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    for (const LV2_Feature* const* f = features; *f != nullptr; ++f)
    {
        if (std::strcmp((*f)->URI, LV2_URID__map) == 0)
            map = static_cast<const LV2_URID_Map*>((*f)->data);
        else if (std::strcmp((*f)->URI, LV2_OPTIONS__options) == 0)
            options = static_cast<const LV2_Options_Option*>((*f)->data);
    }
    if (map == nullptr || map->map == nullptr)
        return; // without URIDs neither options nor atoms can be read: the transport runs on its own

    const auto id = [map](const char* uri) { return map->map(map->handle, uri); };
    urids.atomBlank = id(LV2_ATOM__Blank);
    urids.atomObject = id(LV2_ATOM__Object);
    urids.atomSequence = id(LV2_ATOM__Sequence);
    urids.atomFloat = id(LV2_ATOM__Float);
    urids.atomDouble = id(LV2_ATOM__Double);
    urids.atomInt = id(LV2_ATOM__Int);
    urids.atomLong = id(LV2_ATOM__Long);
    urids.timePosition = id(LV2_TIME__Position);
    urids.timeBar = id(LV2_TIME__bar);
    urids.timeBarBeat = id(LV2_TIME__barBeat);
    urids.timeBeatsPerBar = id(LV2_TIME__beatsPerBar);
    urids.timeBeatUnit = id(LV2_TIME__beatUnit);
    urids.timeBeatsPerMinute = id(LV2_TIME__beatsPerMinute);
    urids.timeSpeed = id(LV2_TIME__speed);
    urids.timeFrame = id(LV2_TIME__frame);
    urids.bufSizeMaxBlockLength = id(LV2_BUF_SIZE__maxBlockLength);

    if (options == nullptr)
        return;
    for (const LV2_Options_Option* o = options; o->key != 0 || o->value != nullptr; ++o)
    {
        if (o->key != urids.bufSizeMaxBlockLength || o->value == nullptr)
            continue;
        int64_t frames = 0;
        if (o->type == urids.atomInt && o->size == sizeof(int32_t))
            frames = *static_cast<const int32_t*>(o->value);
        else if (o->type == urids.atomLong && o->size == sizeof(int64_t))
            frames = *static_cast<const int64_t*>(o->value);
        if (frames > 0 && frames <= kMaxBlockLength)
            maxBlockLength = static_cast<int32_t>(frames);
    }
}

intptr_t Lv2Plugin::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) noexcept
{
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

intptr_t VSTCALLBACK Lv2Plugin::hostCallback(AEffect* effect, int32_t opcode, int32_t, intptr_t, void*, float) noexcept
{
    // The entry point's version request comes before the record exists.
    if (effect == nullptr || effect->resvd1 == 0)
        return opcode == audioMasterVersion ? kVstVersion : 0;
    return reinterpret_cast<Lv2Plugin*>(effect->resvd1)->answer(opcode);
}

intptr_t Lv2Plugin::answer(int32_t opcode) noexcept
{
    switch (opcode)
    {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetTime:
        return reinterpret_cast<intptr_t>(&blockTime);
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(sampleRate);
    case audioMasterGetBlockSize:
        return maxBlockLength;
    default:
        return 0;
    }
}

void Lv2Plugin::connectPort(uint32_t port, void* data) noexcept
{
    if (port <= PortTable::kOutRight)
        audio[port] = static_cast<float*>(data);
    else if (port == PortTable::kTimeEvents)
        timeEvents = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port < PortTable::kPortCount)
        controls[port - PortTable::kFirstControl] = static_cast<const float*>(data);
}

void Lv2Plugin::activate() noexcept
{
    if (record == nullptr)
        return;
    if (maxBlockLength > 0)
        dispatch(effSetBlockSize, 0, maxBlockLength);
    dispatch(effMainsChanged, 0, 1);
    mainsOn = true;
}

void Lv2Plugin::deactivate() noexcept
{
    if (record == nullptr || !mainsOn)
        return;
    dispatch(effMainsChanged, 0, 0);
    mainsOn = false;
}

void Lv2Plugin::takeControlPorts() noexcept
{
    using namespace PortTable;
    bool changed[kControlCount] = {};
    for (uint32_t i = 0; i < kControlCount; ++i)
    {
        if (controls[i] == nullptr)
            continue;
        const float value = *controls[i];
        if (!std::isfinite(value) || value == lastControls[i])
            continue;
        lastControls[i] = value;
        changed[i] = true;
    }

    for (uint32_t i = 0; i < kControlCount; ++i)
    {
        const uint32_t port = kFirstControl + i;
        if (changed[i] && port != kLfoLength && port != kLfoRate)
            record->setParameter(record, kControlPorts[i].parameter,
                                 normalisedValue(kControlPorts[i], lastControls[i]));
    }

    // "LFO Freq" follows the port that the current LFO Sync entry uses, also when the entry has just switched.
    const uint32_t syncSlot = kLfoSync - kFirstControl;
    const float syncValue =
        std::isnan(lastControls[syncSlot]) ? kControlPorts[syncSlot].defaultValue : lastControls[syncSlot];
    const uint32_t lfoFreqSlot =
        (lfoSyncEntry(syncValue) == FilterEffect::kSyncFree ? kLfoRate : kLfoLength) - kFirstControl;
    if ((changed[lfoFreqSlot] || changed[syncSlot]) && !std::isnan(lastControls[lfoFreqSlot]))
        record->setParameter(record, kControlPorts[lfoFreqSlot].parameter,
                             normalisedValue(kControlPorts[lfoFreqSlot], lastControls[lfoFreqSlot]));
}

bool Lv2Plugin::readNumber(const LV2_Atom* atom, double& value) const noexcept
{
    const void* body = atom + 1;
    if (atom->type == urids.atomFloat && atom->size >= sizeof(float))
        value = *static_cast<const float*>(body);
    else if (atom->type == urids.atomDouble && atom->size >= sizeof(double))
        value = *static_cast<const double*>(body);
    else if (atom->type == urids.atomInt && atom->size >= sizeof(int32_t))
        value = *static_cast<const int32_t*>(body);
    else if (atom->type == urids.atomLong && atom->size >= sizeof(int64_t))
        value = static_cast<double>(*static_cast<const int64_t*>(body));
    else
        return false;
    return true;
}

bool Lv2Plugin::readPosition(const LV2_Atom_Object_Body* body, uint32_t size,
                             TimePosition::Update& update) const noexcept
{
    if (body->otype != urids.timePosition)
        return false;
    LV2_ATOM_OBJECT_BODY_FOREACH(body, size, property)
    {
        double v = 0.0;
        if (!readNumber(&property->value, v))
            continue;
        const LV2_URID key = property->key;
        const struct
        {
            LV2_URID key;
            bool* present;
            double* value;
        } fields[] = {
            {urids.timeBar, &update.hasBar, &update.bar},
            {urids.timeBarBeat, &update.hasBarBeat, &update.barBeat},
            {urids.timeBeatsPerBar, &update.hasBeatsPerBar, &update.beatsPerBar},
            {urids.timeBeatUnit, &update.hasBeatUnit, &update.beatUnit},
            {urids.timeBeatsPerMinute, &update.hasBeatsPerMinute, &update.beatsPerMinute},
            {urids.timeSpeed, &update.hasSpeed, &update.speed},
            {urids.timeFrame, &update.hasFrame, &update.frame},
        };
        for (const auto& field : fields)
        {
            if (key == field.key)
            {
                *field.present = true;
                *field.value = v;
            }
        }
    }
    return true;
}

void Lv2Plugin::takePositions(int64_t from, int64_t to, int64_t& positionFrame) noexcept
{
    if (timeEvents == nullptr || urids.timePosition == 0 || timeEvents->atom.type != urids.atomSequence)
        return;
    LV2_ATOM_SEQUENCE_FOREACH(timeEvents, event)
    {
        const int64_t frame = event->time.frames > 0 ? event->time.frames : 0;
        if (frame < from || frame >= to)
            continue;
        const LV2_Atom& atom = event->body;
        if ((atom.type != urids.atomObject && atom.type != urids.atomBlank) || atom.size < sizeof(LV2_Atom_Object_Body))
            continue;
        TimePosition::Update update;
        if (!readPosition(reinterpret_cast<const LV2_Atom_Object_Body*>(&atom + 1), atom.size, update))
            continue;
        position.advance(frame - positionFrame);
        positionFrame = frame;
        position.apply(update);
    }
}

void Lv2Plugin::run(uint32_t frames) noexcept
{
    if (record == nullptr)
        return;
    takeControlPorts();

    // Positions at the block's first frame hold for the whole block: the effect asks once, at its start. Later ones
    // give the position the next block starts from.
    int64_t positionFrame = 0;
    takePositions(0, 1, positionFrame);
    const bool connected = audio[0] != nullptr && audio[1] != nullptr && audio[2] != nullptr && audio[3] != nullptr;
    const int32_t blockFrames = frames > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(frames);
    if (blockFrames > 0 && connected)
    {
        blockTime = position.timeInfo();
        float* inputs[2] = {audio[0], audio[1]};
        float* outputs[2] = {audio[2], audio[3]};
        record->processReplacing(record, inputs, outputs, blockFrames);
    }
    takePositions(1, static_cast<int64_t>(blockFrames) + 1, positionFrame);
    position.advance(static_cast<int64_t>(blockFrames) - positionFrame);
}

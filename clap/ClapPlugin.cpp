#include "clap/ClapPlugin.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The effect's entry point (host/PluginEntry.cpp), linked into this library and not exported from it.
extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

namespace
{

using ClapParameters::kCount;
using ClapParameters::kParameters;
using ClapParameters::Parameter;

constexpr int32_t kProgramNameSize = 25; // the effect's 24 characters and a terminator
// The saved state: magic, format version, the parameter count, each normalised value as its 32-bit pattern (all
// little-endian), then the program name in a zero-padded field.
constexpr uint8_t kStateMagic[4] = {'T', 's', 'l', 'm'};
constexpr uint32_t kStateVersion = 1;
constexpr size_t kStateSize = 4 + 4 + 4 + 4 * kCount + kProgramNameSize;

// The slowest ringing: the highest resonance (Q 4) at the lowest cutoff (20 Hz) decays by 1/e in 2Q / ω0 seconds;
// the tail lasts until it is 120 dB down.
constexpr double kMaxQ = 4.0;
constexpr double kLowestCutoffHz = 20.0;
constexpr double kTailDecayNepers = 13.815510557964274; // ln 10^6

void putU32(uint8_t* at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint32_t getU32(const uint8_t* at)
{
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
           static_cast<uint32_t>(at[3]) << 24;
}

/// The number a display text shows, and which half of Dual LP/HP it names (0 none, 1 LP, 2 HP).
bool readNumber(const char* text, double& number, int& half)
{
    while (*text == ' ')
        ++text;
    half = 0;
    if (std::strncmp(text, "LP", 2) == 0 || std::strncmp(text, "HP", 2) == 0)
    {
        half = text[0] == 'L' ? 1 : 2;
        text += 2;
    }
    char* end = nullptr;
    number = std::strtod(text, &end);
    return end != text && std::isfinite(number);
}

std::string trimmed(const char* text)
{
    std::string s(text);
    const size_t first = s.find_first_not_of(' ');
    const size_t last = s.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first, last - first + 1);
}

} // namespace

ClapPlugin::ClapPlugin(const clap_host* clapHost, const clap_plugin_descriptor* descriptor) noexcept : host(clapHost)
{
    record.desc = descriptor;
    record.plugin_data = this;
    for (std::atomic<float>& value : normalised)
        value.store(0.0f);
}

ClapPlugin::~ClapPlugin()
{
    if (effect != nullptr)
    {
        if (active)
            dispatch(effect, effMainsChanged, 0, 0);
        dispatch(effect, effClose); // the effect frees itself
    }
    if (displayEffect != nullptr)
        dispatch(displayEffect, effClose);
}

intptr_t ClapPlugin::dispatch(AEffect* target, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                              float opt) noexcept
{
    return target->dispatcher(target, opcode, index, value, ptr, opt);
}

intptr_t VSTCALLBACK ClapPlugin::hostCallback(AEffect* target, int32_t opcode, int32_t, intptr_t, void*, float) noexcept
{
    // The entry point's version request comes before the record exists; the display twin gets no time.
    if (target == nullptr || target->resvd1 == 0)
        return opcode == audioMasterVersion ? kVstVersion : 0;
    return reinterpret_cast<ClapPlugin*>(target->resvd1)->answer(opcode);
}

intptr_t ClapPlugin::answer(int32_t opcode) noexcept
{
    switch (opcode)
    {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetTime:
        return reinterpret_cast<intptr_t>(&partTime);
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(sampleRate);
    default:
        return 0;
    }
}

bool ClapPlugin::init() noexcept
{
    if (effect != nullptr)
        return true;
    effect = VSTPluginMain(hostCallback);
    displayEffect = VSTPluginMain(hostCallback);
    if (effect == nullptr || displayEffect == nullptr || effect->numParams != static_cast<int32_t>(kCount))
        return false;
    effect->resvd1 = reinterpret_cast<intptr_t>(this); // the host's own field: how the callback finds this instance
    dispatch(effect, effOpen);
    dispatch(displayEffect, effOpen);
    for (const Parameter& p : kParameters)
        normalised[p.index].store(effect->getParameter(effect, p.index));
    if (host != nullptr && host->get_extension != nullptr)
        hostParams = static_cast<const clap_host_params*>(host->get_extension(host, CLAP_EXT_PARAMS));
    return true;
}

bool ClapPlugin::activate(double sampleRateHz, uint32_t maxFrames) noexcept
{
    if (effect == nullptr || active || !std::isfinite(sampleRateHz) || !(sampleRateHz > 0.0) || maxFrames == 0 ||
        maxFrames > static_cast<uint32_t>(INT32_MAX))
        return false;
    sampleRate = sampleRateHz;
    transport = ClapTransport();
    transport.setSampleRate(sampleRateHz);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRateHz));
    dispatch(effect, effSetBlockSize, 0, static_cast<intptr_t>(maxFrames)); // sizes the dry buffers
    dispatch(effect, effMainsChanged, 0, 1);
    active = true;
    return true;
}

void ClapPlugin::deactivate() noexcept
{
    if (!active)
        return;
    dispatch(effect, effMainsChanged, 0, 0);
    active = false;
}

void ClapPlugin::setNormalised(const Parameter& parameter, float value) noexcept
{
    normalised[parameter.index].store(value);
    effect->setParameter(effect, parameter.index, value);
}

void ClapPlugin::applyEvent(const clap_event_header& event, uint32_t atFrame) noexcept
{
    if (event.space_id != CLAP_CORE_EVENT_SPACE_ID)
        return;
    if (event.type == CLAP_EVENT_PARAM_VALUE && event.size >= sizeof(clap_event_param_value))
    {
        const auto& change = reinterpret_cast<const clap_event_param_value&>(event);
        const Parameter* parameter = ClapParameters::byId(change.param_id);
        if (parameter != nullptr && std::isfinite(change.value))
            setNormalised(*parameter, ClapParameters::normalisedValue(*parameter, change.value));
    }
    else if (event.type == CLAP_EVENT_TRANSPORT && event.size >= sizeof(clap_event_transport))
    {
        transport.take(reinterpret_cast<const clap_event_transport&>(event), atFrame);
    }
}

int32_t ClapPlugin::process(const clap_process& p) noexcept
{
    if (!active)
        return CLAP_PROCESS_ERROR;
    const uint32_t frames = p.frames_count;
    if (p.transport != nullptr)
        transport.take(*p.transport, 0);
    const bool stereo = p.audio_inputs_count >= 1 && p.audio_outputs_count >= 1 && p.audio_inputs != nullptr &&
                        p.audio_outputs != nullptr && p.audio_inputs[0].data32 != nullptr &&
                        p.audio_outputs[0].data32 != nullptr && p.audio_inputs[0].channel_count >= 2 &&
                        p.audio_outputs[0].channel_count >= 2;
    float* const* in = stereo ? p.audio_inputs[0].data32 : nullptr;
    float* const* out = stereo ? p.audio_outputs[0].data32 : nullptr;
    if (stereo)
        p.audio_outputs[0].constant_mask = 0;

    const clap_input_events* events = p.in_events;
    const uint32_t count = events != nullptr && events->size != nullptr ? events->size(events) : 0;
    uint32_t next = 0;
    uint32_t position = 0;
    while (position < frames)
    {
        // Events up to this frame take effect from it; the part runs to the next later event.
        uint32_t end = frames;
        for (; next < count; ++next)
        {
            const clap_event_header* event = events->get(events, next);
            if (event == nullptr)
                continue;
            if (event->time > position)
            {
                end = event->time < frames ? event->time : frames;
                break;
            }
            applyEvent(*event, position);
        }
        if (stereo)
        {
            partTime = transport.timeInfo(position);
            float* inputs[2] = {in[0] + position, in[1] + position};
            float* outputs[2] = {out[0] + position, out[1] + position};
            effect->processReplacing(effect, inputs, outputs, static_cast<int32_t>(end - position));
        }
        position = end;
    }
    // Events at or past the block's end hold from the next block.
    for (; next < count; ++next)
    {
        const clap_event_header* event = events->get(events, next);
        if (event != nullptr)
            applyEvent(*event, frames);
    }
    transport.endBlock(frames);
    return stereo || frames == 0 ? CLAP_PROCESS_CONTINUE : CLAP_PROCESS_ERROR;
}

void ClapPlugin::flush(const clap_input_events* in) noexcept
{
    if (effect == nullptr || in == nullptr || in->size == nullptr)
        return;
    const uint32_t count = in->size(in);
    for (uint32_t i = 0; i < count; ++i)
    {
        const clap_event_header* event = in->get(in, i);
        if (event != nullptr && event->type != CLAP_EVENT_TRANSPORT)
            applyEvent(*event, 0);
    }
}

bool ClapPlugin::parameterInfo(uint32_t index, clap_param_info& info) noexcept
{
    if (effect == nullptr || index >= kCount)
        return false;
    const Parameter& p = kParameters[index];
    info = clap_param_info{};
    info.id = p.id;
    info.flags = CLAP_PARAM_IS_AUTOMATABLE | (p.entries > 0 ? CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM : 0u);
    char name[256] = {};
    dispatch(displayEffect, effGetParamName, p.index, 0, name);
    std::snprintf(info.name, sizeof(info.name), "%s", name);
    info.min_value = 0.0;
    info.max_value = ClapParameters::maximumValue(p);
    // The twin keeps its defaults: it is only ever changed for a text and set back.
    info.default_value = ClapParameters::clapValue(p, displayEffect->getParameter(displayEffect, p.index));
    return true;
}

bool ClapPlugin::parameterValue(clap_id id, double& value) const noexcept
{
    const Parameter* p = ClapParameters::byId(id);
    if (p == nullptr)
        return false;
    value = ClapParameters::clapValue(*p, normalised[p->index].load());
    return true;
}

std::string ClapPlugin::displayText(const Parameter& parameter, double value) noexcept
{
    // Texts depend on other parameters ("Filter Freq" on Filter Type, "LFO Freq" on LFO Sync): the twin takes all
    // current values, gives the text, and gets its own values back.
    float kept[kCount];
    for (const Parameter& p : kParameters)
    {
        kept[p.index] = displayEffect->getParameter(displayEffect, p.index);
        displayEffect->setParameter(displayEffect, p.index, normalised[p.index].load());
    }
    displayEffect->setParameter(displayEffect, parameter.index, ClapParameters::normalisedValue(parameter, value));
    char display[256] = {};
    char label[256] = {};
    dispatch(displayEffect, effGetParamDisplay, parameter.index, 0, display);
    dispatch(displayEffect, effGetParamLabel, parameter.index, 0, label);
    for (const Parameter& p : kParameters)
        displayEffect->setParameter(displayEffect, p.index, kept[p.index]);
    std::string text = display;
    if (label[0] != '\0')
        text += std::string(" ") + label;
    return text;
}

bool ClapPlugin::valueToText(clap_id id, double value, char* text, uint32_t capacity) noexcept
{
    const Parameter* p = ClapParameters::byId(id);
    if (p == nullptr || effect == nullptr || text == nullptr || capacity == 0)
        return false;
    try
    {
        std::snprintf(text, capacity, "%s", displayText(*p, value).c_str());
        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapPlugin::textToValue(clap_id id, const char* text, double& value) noexcept
{
    const Parameter* p = ClapParameters::byId(id);
    if (p == nullptr || effect == nullptr || text == nullptr)
        return false;
    try
    {
        const std::string wanted = trimmed(text);
        // An entry name: the value whose text it is. Choices, and "LFO Freq" while synced (ten note lengths).
        const int32_t entries = p->entries > 0 ? p->entries : (p->index == 5 ? 10 : 0);
        for (int32_t k = 0; k < entries; ++k)
        {
            const double candidate = p->entries > 0 ? k : static_cast<double>(static_cast<float>(k) / 10.0f);
            if (trimmed(displayText(*p, candidate).c_str()) == wanted)
            {
                value = candidate;
                return true;
            }
        }
        if (p->entries > 0)
            return false;

        // A number: the smallest value whose text shows at least that number (every display grows with the value;
        // Dual LP/HP counts each half on its own).
        double target = 0.0;
        int half = 0;
        if (!readNumber(text, target, half))
            return false;
        float low = half == 2 ? 0.5f : 0.0f;
        float high = half == 1 ? 0.5f : 1.0f;
        const auto shown = [&](float x)
        {
            double number = 0.0;
            int h = 0;
            return readNumber(displayText(*p, x).c_str(), number, h) ? number : -HUGE_VAL;
        };
        if (shown(low) >= target)
            high = low;
        while (high > low)
        {
            const float middle = static_cast<float>((static_cast<double>(low) + high) / 2.0);
            if (middle <= low || middle >= high)
                break;
            if (shown(middle) >= target)
                high = middle;
            else
                low = middle;
        }
        value = static_cast<double>(high);
        return true;
    }
    catch (...)
    {
        return false;
    }
}

bool ClapPlugin::save(const clap_ostream& stream) noexcept
{
    if (effect == nullptr || stream.write == nullptr)
        return false;
    uint8_t bytes[kStateSize] = {};
    std::memcpy(bytes, kStateMagic, 4);
    putU32(bytes + 4, kStateVersion);
    putU32(bytes + 8, kCount);
    for (uint32_t i = 0; i < kCount; ++i)
    {
        const float v = normalised[i].load();
        uint32_t bits = 0;
        std::memcpy(&bits, &v, sizeof(bits));
        putU32(bytes + 12 + 4 * i, bits);
    }
    char name[256] = {};
    dispatch(effect, effGetProgramName, 0, 0, name);
    std::memcpy(bytes + 12 + 4 * kCount, name, strnlen(name, kProgramNameSize - 1)); // the rest stays zero

    for (size_t done = 0; done < kStateSize;)
    {
        const int64_t written = stream.write(&stream, bytes + done, kStateSize - done);
        if (written <= 0 || static_cast<uint64_t>(written) > kStateSize - done)
            return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

bool ClapPlugin::load(const clap_istream& stream) noexcept
{
    if (effect == nullptr || stream.read == nullptr)
        return false;
    // Exactly one state, then the stream's end; anything else leaves the plug-in as it was.
    uint8_t bytes[kStateSize + 1] = {};
    size_t done = 0;
    while (done < sizeof(bytes))
    {
        const int64_t got = stream.read(&stream, bytes + done, sizeof(bytes) - done);
        if (got < 0 || static_cast<uint64_t>(got) > sizeof(bytes) - done)
            return false;
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    if (done != kStateSize || std::memcmp(bytes, kStateMagic, 4) != 0 || getU32(bytes + 4) != kStateVersion ||
        getU32(bytes + 8) != kCount)
        return false;
    float values[kCount];
    for (uint32_t i = 0; i < kCount; ++i)
    {
        const uint32_t bits = getU32(bytes + 12 + 4 * i);
        std::memcpy(&values[i], &bits, sizeof(bits));
        if (!std::isfinite(values[i]))
            return false;
    }
    char name[kProgramNameSize + 1] = {};
    std::memcpy(name, bytes + 12 + 4 * kCount, kProgramNameSize - 1);

    for (const Parameter& p : kParameters)
        setNormalised(p, values[p.index]);
    dispatch(effect, effSetProgramName, 0, 0, name);
    if (hostParams != nullptr && hostParams->rescan != nullptr)
        hostParams->rescan(host, CLAP_PARAM_RESCAN_VALUES);
    return true;
}

uint32_t ClapPlugin::tailFrames() const noexcept
{
    const double seconds = 2.0 * kMaxQ * kTailDecayNepers / (2.0 * M_PI * kLowestCutoffHz);
    return static_cast<uint32_t>(std::ceil(seconds * sampleRate));
}

#pragma once

#include "clap/ClapAbi.h"
#include "clap/ClapParameters.h"
#include "clap/ClapTransport.h"
#include "host/VstInterface.h"

#include <atomic>
#include <cstdint>
#include <string>

/// One instance of the CLAP plug-in: the host of one Tessaloom effect. It creates the effect through the VST 2.4
/// entry point, answers the effect's requests (version 2400, the time information from the CLAP transport) and
/// drives it only through its effect record: the sample rate and the longest block at activate, parameter events as
/// parameter writes, and each process call as processing calls of the effect. Parameter events are sample-accurate:
/// the block is split at each event's frame and the effect processes the parts in turn, so that without events one
/// process call of n frames is one effect block of n frames.
///
/// Threads: the main thread creates, initialises, activates, deactivates and destroys, and calls the parameter,
/// state and text operations, possibly while the audio thread processes. The normalised values are atomics; the
/// effect takes parameter writes from any thread. process allocates nothing, takes no lock and makes no system call.
class ClapPlugin
{
public:
    ClapPlugin(const clap_host* host, const clap_plugin_descriptor* descriptor) noexcept;
    /// Turns the effect off if it is on and closes it (and its twin for display texts).
    ~ClapPlugin();

    ClapPlugin(const ClapPlugin&) = delete;
    ClapPlugin& operator=(const ClapPlugin&) = delete;

    const clap_plugin* plugin() const noexcept { return &record; }
    static ClapPlugin* of(const clap_plugin* plugin) noexcept { return static_cast<ClapPlugin*>(plugin->plugin_data); }

    bool init() noexcept;
    bool activate(double sampleRateHz, uint32_t maxFrames) noexcept;
    void deactivate() noexcept;
    int32_t process(const clap_process& process) noexcept;

    bool parameterInfo(uint32_t index, clap_param_info& info) noexcept;
    bool parameterValue(clap_id id, double& value) const noexcept;
    bool valueToText(clap_id id, double value, char* text, uint32_t capacity) noexcept;
    bool textToValue(clap_id id, const char* text, double& value) noexcept;
    /// Applies the parameter events of in (also while inactive); no audio.
    void flush(const clap_input_events* in) noexcept;

    bool save(const clap_ostream& stream) noexcept;
    bool load(const clap_istream& stream) noexcept;
    /// Frames the resonant filter can ring after the input stops, at the active sample rate.
    uint32_t tailFrames() const noexcept;

private:
    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                             float opt) noexcept;
    intptr_t answer(int32_t opcode) noexcept;
    static intptr_t dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
                             void* ptr = nullptr, float opt = 0.0f) noexcept;

    void setNormalised(const ClapParameters::Parameter& parameter, float normalised) noexcept;
    /// Applies a parameter or transport event at frame atFrame of the block; others are ignored.
    void applyEvent(const clap_event_header& event, uint32_t atFrame) noexcept;
    /// The display text and label the effect gives for parameter at a CLAP value, the other parameters as they are.
    std::string displayText(const ClapParameters::Parameter& parameter, double value) noexcept;

    clap_plugin record{};
    const clap_host* host;
    const clap_host_params* hostParams = nullptr;
    AEffect* effect = nullptr;
    AEffect* displayEffect = nullptr; // a twin the display texts are asked from, so that asking changes no sound
    bool active = false;
    double sampleRate = 44100.0;
    ClapTransport transport;
    VstTimeInfo partTime{}; // what audioMasterGetTime answers during the current part of a block
    std::atomic<float> normalised[ClapParameters::kCount];
};

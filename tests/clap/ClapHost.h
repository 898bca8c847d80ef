#pragma once

#include "clap/ClapAbi.h"

#include <cstdint>
#include <string>
#include <vector>

/// The project's CLAP test host: loads a .clap file, creates its plug-ins through the factory and drives them as a
/// host does (activate on the main thread, processing on an audio thread), with event lists, memory streams and a
/// clap_host that records what the plug-in asks of it. Used by the checks (ClapChecks.cpp) and by the differential
/// renders (ClapScenarios.cpp).
namespace ClapHost
{

/// A loaded .clap library and its entry (dlopen with RTLD_NOW, LoadLibrary on Windows).
class Library
{
public:
    explicit Library(const std::string& path);
    ~Library();
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    /// The entry, initialised; null (and error says why) when loading, the symbol, the version or init failed.
    const clap_plugin_entry* entry() const { return initialised ? clapEntry : nullptr; }
    const clap_plugin_factory* factory() const;
    const std::string& error() const { return why; }
    const std::string& path() const { return file; }

private:
    std::string file;
    void* handle = nullptr;
    const clap_plugin_entry* clapEntry = nullptr;
    bool initialised = false;
    std::string why;
};

/// Host side of one instance: the clap_host it is created with and what the plug-in asked of it.
struct HostRecord
{
    clap_host host{};
    int rescans = 0;          // params.rescan requests
    int wrongThreadCalls = 0; // host functions called from a thread they are not for
};

/// A parameter, value, transport or other event, stored whole.
class EventList
{
public:
    void add(const void* event, uint32_t size);
    void addParameter(clap_id id, uint32_t time, double value, uint16_t space = CLAP_CORE_EVENT_SPACE_ID,
                      void* cookie = nullptr);
    void clear() { events.clear(); }
    const clap_input_events* input();

private:
    std::vector<std::vector<uint8_t>> events;
    clap_input_events list{};
};

/// One plug-in instance with its own stereo buffers of maxFrames.
class Instance
{
public:
    /// Creates plug-in index (or pluginId when given) from library and initialises it; ok() says whether it worked.
    Instance(const Library& library, uint32_t index = 0, const char* pluginId = nullptr);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return plugin != nullptr; }
    const clap_plugin* get() const { return plugin; }
    const HostRecord& hostRecord() const { return *record; }
    template <typename T> const T* extension(const char* id) const
    {
        return static_cast<const T*>(plugin->get_extension(plugin, id));
    }

    bool activate(double sampleRate, uint32_t maxFrames);
    void deactivate();

    /// Processes one block on the calling thread: the input is copied to every input port, outputs are filled with
    /// a NaN pattern first. inPlace hands the main ports the same buffers. Returns the status; outputs of the main
    /// port in left and right.
    int32_t process(const std::vector<float>& inLeft, const std::vector<float>& inRight, uint32_t frames,
                    const clap_event_transport* transport, EventList* events, bool inPlace = false);
    const std::vector<float>& left() const { return outputs[0][0]; }
    const std::vector<float>& right() const { return outputs[0].back(); }
    /// Why the last block was wrong (an output sample not finite or subnormal, an input changed), or empty.
    const std::string& processProblem() const { return problem; }

    std::vector<double> values() const; // every parameter's get_value, in index order
    std::vector<clap_id> ids() const;

private:
    HostRecord* record;
    const clap_plugin* plugin = nullptr;
    bool active = false;
    bool processing = false;
    int64_t steadyTime = 0;
    std::vector<std::vector<std::vector<float>>> inputs, outputs; // [port][channel][frame]
    std::string problem;
};

/// A memory stream moving at most chunk bytes per call.
struct MemoryStream
{
    std::vector<uint8_t> bytes;
    size_t readAt = 0;
    size_t chunk = SIZE_MAX;
    clap_istream in{};
    clap_ostream out{};
    MemoryStream();
    const clap_istream* reader()
    {
        readAt = 0;
        return &in;
    }
};

/// A transport at quarter note position playing at tempo (quarter notes per minute) in num/denom.
clap_event_transport transportAt(double quarters, double tempo, bool playing, uint16_t num = 4, uint16_t denom = 4);

} // namespace ClapHost

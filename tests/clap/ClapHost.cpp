#include "ClapHost.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ClapHost
{

namespace
{

std::thread::id mainThread = std::this_thread::get_id();

bool CLAPCALL isMainThread(const clap_host*)
{
    return std::this_thread::get_id() == mainThread;
}

bool CLAPCALL isAudioThread(const clap_host*)
{
    return std::this_thread::get_id() != mainThread;
}

const clap_host_thread_check kThreadCheck = {isMainThread, isAudioThread};

HostRecord& recordOf(const clap_host* host)
{
    return *static_cast<HostRecord*>(host->host_data);
}

void CLAPCALL rescan(const clap_host* host, uint32_t)
{
    HostRecord& r = recordOf(host);
    ++r.rescans;
    if (!isMainThread(host))
        ++r.wrongThreadCalls;
}

void CLAPCALL clearParameter(const clap_host* host, clap_id, uint32_t)
{
    if (!isMainThread(host))
        ++recordOf(host).wrongThreadCalls;
}

void CLAPCALL requestFlush(const clap_host*)
{
}

const clap_host_params kHostParams = {rescan, clearParameter, requestFlush};

const void* CLAPCALL hostExtension(const clap_host*, const char* id)
{
    if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0)
        return &kThreadCheck;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0)
        return &kHostParams;
    return nullptr;
}

void CLAPCALL requestNothing(const clap_host*)
{
}

uint32_t CLAPCALL eventCount(const clap_input_events* list)
{
    return static_cast<uint32_t>(static_cast<std::vector<std::vector<uint8_t>>*>(list->ctx)->size());
}

const clap_event_header* CLAPCALL eventAt(const clap_input_events* list, uint32_t index)
{
    const auto& events = *static_cast<std::vector<std::vector<uint8_t>>*>(list->ctx);
    return index < events.size() ? reinterpret_cast<const clap_event_header*>(events[index].data()) : nullptr;
}

bool CLAPCALL pushNothing(const clap_output_events*, const clap_event_header*)
{
    return true;
}

const clap_output_events kNoOutput = {nullptr, pushNothing};

int64_t CLAPCALL streamRead(const clap_istream* stream, void* buffer, uint64_t size)
{
    MemoryStream& m = *static_cast<MemoryStream*>(stream->ctx);
    const size_t n = std::min<uint64_t>(std::min<uint64_t>(size, m.chunk), m.bytes.size() - m.readAt);
    if (n > 0)
        std::memcpy(buffer, m.bytes.data() + m.readAt, n);
    m.readAt += n;
    return static_cast<int64_t>(n);
}

int64_t CLAPCALL streamWrite(const clap_ostream* stream, const void* buffer, uint64_t size)
{
    MemoryStream& m = *static_cast<MemoryStream*>(stream->ctx);
    const size_t n = std::min<uint64_t>(size, m.chunk);
    m.bytes.insert(m.bytes.end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + n);
    return static_cast<int64_t>(n);
}

constexpr uint32_t kNanPattern = 0x7FC01234u;

} // namespace

Library::Library(const std::string& path) : file(path)
{
#if defined(_WIN32)
    handle = reinterpret_cast<void*>(LoadLibraryA(path.c_str()));
    if (handle == nullptr)
    {
        why = "LoadLibrary failed";
        return;
    }
    clapEntry = reinterpret_cast<const clap_plugin_entry*>(GetProcAddress(static_cast<HMODULE>(handle), "clap_entry"));
#else
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
    {
        why = dlerror();
        return;
    }
    clapEntry = static_cast<const clap_plugin_entry*>(dlsym(handle, "clap_entry"));
#endif
    if (clapEntry == nullptr)
        why = "no clap_entry";
    else if (clapEntry->clap_version.major < 1)
        why = "incompatible CLAP version";
    else if (!clapEntry->init(path.c_str()))
        why = "entry init failed";
    else
        initialised = true;
}

Library::~Library()
{
    if (initialised)
        clapEntry->deinit();
#if defined(_WIN32)
    if (handle != nullptr)
        FreeLibrary(static_cast<HMODULE>(handle));
#else
    if (handle != nullptr)
        dlclose(handle);
#endif
}

const clap_plugin_factory* Library::factory() const
{
    return initialised ? static_cast<const clap_plugin_factory*>(clapEntry->get_factory(CLAP_PLUGIN_FACTORY_ID))
                       : nullptr;
}

void EventList::add(const void* event, uint32_t size)
{
    const auto* bytes = static_cast<const uint8_t*>(event);
    events.emplace_back(bytes, bytes + size);
}

void EventList::addParameter(clap_id id, uint32_t time, double value, uint16_t space, void* cookie)
{
    clap_event_param_value e{};
    e.header = {sizeof(e), time, space, CLAP_EVENT_PARAM_VALUE, 0};
    e.param_id = id;
    e.cookie = cookie;
    e.note_id = e.port_index = e.channel = e.key = -1;
    e.value = value;
    add(&e, sizeof(e));
}

const clap_input_events* EventList::input()
{
    list = {&events, eventCount, eventAt};
    return &list;
}

MemoryStream::MemoryStream()
{
    in = {this, streamRead};
    out = {this, streamWrite};
}

clap_event_transport transportAt(double quarters, double tempo, bool playing, uint16_t num, uint16_t denom)
{
    clap_event_transport t{};
    t.header = {sizeof(t), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    t.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
              (playing ? CLAP_TRANSPORT_IS_PLAYING : 0u);
    const double barQuarters = num * 4.0 / denom;
    t.song_pos_beats = std::llround(quarters * static_cast<double>(CLAP_BEATTIME_FACTOR));
    t.bar_start =
        std::llround(std::floor(quarters / barQuarters) * barQuarters * static_cast<double>(CLAP_BEATTIME_FACTOR));
    t.bar_number = static_cast<int32_t>(std::floor(quarters / barQuarters));
    t.tempo = tempo;
    t.tsig_num = num;
    t.tsig_denom = denom;
    return t;
}

Instance::Instance(const Library& library, uint32_t index, const char* pluginId) : record(new HostRecord)
{
    record->host = {kClapVersion,
                    record,
                    "Tessaloom CLAP test host",
                    "Vornmark",
                    "",
                    "1.0.0.2",
                    hostExtension,
                    requestNothing,
                    requestNothing,
                    requestNothing};
    const clap_plugin_factory* factory = library.factory();
    if (factory == nullptr || (pluginId == nullptr && index >= factory->get_plugin_count(factory)))
        return;
    const clap_plugin_descriptor* descriptor = factory->get_plugin_descriptor(factory, index);
    const char* id = pluginId != nullptr ? pluginId : (descriptor != nullptr ? descriptor->id : nullptr);
    if (id == nullptr)
        return;
    const clap_plugin* created = factory->create_plugin(factory, &record->host, id);
    if (created == nullptr)
        return;
    if (!created->init(created))
    {
        created->destroy(created);
        return;
    }
    plugin = created;

    // Buffers for every port the plug-in has, not only the main ones.
    const auto* ports = extension<clap_plugin_audio_ports>(CLAP_EXT_AUDIO_PORTS);
    for (int side = 0; side < 2; ++side)
    {
        auto& buffers = side == 0 ? inputs : outputs;
        const uint32_t count = ports != nullptr ? ports->count(plugin, side == 0) : 0;
        for (uint32_t i = 0; i < count; ++i)
        {
            clap_audio_port_info info{};
            ports->get(plugin, i, side == 0, &info);
            buffers.emplace_back(info.channel_count < 1 ? 1 : info.channel_count);
        }
    }
}

Instance::~Instance()
{
    if (plugin != nullptr)
    {
        deactivate();
        plugin->destroy(plugin);
    }
    delete record;
}

bool Instance::activate(double sampleRate, uint32_t maxFrames)
{
    deactivate();
    for (auto* side : {&inputs, &outputs})
        for (auto& port : *side)
            for (auto& channel : port)
                channel.assign(maxFrames, 0.0f);
    active = plugin->activate(plugin, sampleRate, 1, maxFrames);
    processing = false;
    return active;
}

void Instance::deactivate()
{
    if (!active)
        return;
    if (processing)
        plugin->stop_processing(plugin);
    processing = false;
    plugin->deactivate(plugin);
    active = false;
}

int32_t Instance::process(const std::vector<float>& inLeft, const std::vector<float>& inRight, uint32_t frames,
                          const clap_event_transport* transport, EventList* events, bool inPlace)
{
    problem.clear();
    if (!processing)
        processing = plugin->start_processing(plugin);
    std::vector<clap_audio_buffer> in(inputs.size()), out(outputs.size());
    std::vector<std::vector<float*>> pointers;
    pointers.reserve(inputs.size() + outputs.size());
    for (size_t p = 0; p < inputs.size(); ++p)
    {
        for (size_t c = 0; c < inputs[p].size(); ++c)
            std::copy_n((c % 2 == 0 ? inLeft : inRight).begin(), frames, inputs[p][c].begin());
        pointers.emplace_back();
        for (auto& channel : inputs[p])
            pointers.back().push_back(channel.data());
        in[p] = {pointers.back().data(), nullptr, static_cast<uint32_t>(inputs[p].size()), 0, 0};
    }
    float nan = 0.0f;
    std::memcpy(&nan, &kNanPattern, sizeof(nan));
    for (size_t p = 0; p < outputs.size(); ++p)
    {
        for (auto& channel : outputs[p])
            std::fill(channel.begin(), channel.end(), nan);
        pointers.emplace_back();
        for (auto& channel : outputs[p])
            pointers.back().push_back(channel.data());
        out[p] = {pointers.back().data(), nullptr, static_cast<uint32_t>(outputs[p].size()), 0, 0};
    }
    if (inPlace && !in.empty() && !out.empty())
        out[0].data32 = in[0].data32;

    EventList none;
    clap_process p{};
    p.steady_time = steadyTime;
    p.frames_count = frames;
    p.transport = transport;
    p.audio_inputs = in.data();
    p.audio_outputs = out.data();
    p.audio_inputs_count = static_cast<uint32_t>(in.size());
    p.audio_outputs_count = static_cast<uint32_t>(out.size());
    p.in_events = (events != nullptr ? events : &none)->input();
    p.out_events = &kNoOutput;
    const int32_t status = plugin->process(plugin, &p);
    steadyTime += frames;

    if (inPlace && !inputs.empty() && !outputs.empty())
        outputs[0] = inputs[0];
    for (size_t port = 0; port < outputs.size(); ++port)
        for (const auto& channel : outputs[port])
            for (uint32_t i = 0; i < frames && problem.empty(); ++i)
                if (!std::isfinite(channel[i]) || std::fpclassify(channel[i]) == FP_SUBNORMAL)
                    problem = "output sample " + std::to_string(i) + " not finite or subnormal";
    for (size_t port = 0; port < inputs.size() && !inPlace; ++port)
        for (size_t c = 0; c < inputs[port].size() && problem.empty(); ++c)
            if (!std::equal(inputs[port][c].begin(), inputs[port][c].begin() + frames,
                            (c % 2 == 0 ? inLeft : inRight).begin()))
                problem = "input buffer changed";
    if (status < CLAP_PROCESS_CONTINUE || status > CLAP_PROCESS_SLEEP)
        problem = "process status " + std::to_string(status);
    return status;
}

std::vector<clap_id> Instance::ids() const
{
    std::vector<clap_id> list;
    const auto* params = extension<clap_plugin_params>(CLAP_EXT_PARAMS);
    const uint32_t count = params != nullptr ? params->count(plugin) : 0;
    for (uint32_t i = 0; i < count; ++i)
    {
        clap_param_info info{};
        if (params->get_info(plugin, i, &info))
            list.push_back(info.id);
    }
    return list;
}

std::vector<double> Instance::values() const
{
    std::vector<double> list;
    const auto* params = extension<clap_plugin_params>(CLAP_EXT_PARAMS);
    for (clap_id id : ids())
    {
        double v = std::nan("");
        params->get_value(plugin, id, &v);
        list.push_back(v);
    }
    return list;
}

} // namespace ClapHost

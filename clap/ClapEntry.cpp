// The library's exported entry: clap_entry, its factory of the one plug-in, and the plug-in's function tables,
// which hand every call to its ClapPlugin.

#include "clap/ClapAbi.h"
#include "clap/ClapPlugin.h"

#include <cstring>
#include <mutex>
#include <new>

#if defined(_WIN32)
#define TESSALOOM_CLAP_EXPORT __declspec(dllexport)
#else
#define TESSALOOM_CLAP_EXPORT __attribute__((visibility("default")))
#endif

namespace
{

const char* const kFeatures[] = {"audio-effect", "filter", "distortion", "stereo", nullptr};

// The id never changes: hosts store it in their sessions.
const clap_plugin_descriptor kDescriptor = {
    kClapVersion,
    "example.vornmark.tessaloom",
    "Tessaloom",
    "Vornmark",
    "https://vornmark.example/plugins/tessaloom",
    "",
    "",
    TESSALOOM_VERSION,
    "Stereo filter with saturation and a tempo-synchronised LFO",
    kFeatures,
};

// init and deinit come in pairs, possibly nested: only the outermost pair counts.
std::mutex entryMutex;
int initCount = 0;

ClapPlugin* self(const clap_plugin* plugin)
{
    return ClapPlugin::of(plugin);
}

uint32_t CLAPCALL portCount(const clap_plugin*, bool)
{
    return 1;
}

bool CLAPCALL portInfo(const clap_plugin*, uint32_t index, bool isInput, clap_audio_port_info* info)
{
    if (index != 0 || info == nullptr)
        return false;
    *info = clap_audio_port_info{};
    info->id = 0;
    std::strcpy(info->name, isInput ? "Input" : "Output");
    info->flags = CLAP_AUDIO_PORT_IS_MAIN;
    info->channel_count = 2;
    info->port_type = CLAP_PORT_STEREO;
    info->in_place_pair = 0; // the effect reads each sample before it writes it
    return true;
}

const clap_plugin_audio_ports kAudioPorts = {portCount, portInfo};

uint32_t CLAPCALL parameterCount(const clap_plugin*)
{
    return ClapParameters::kCount;
}

bool CLAPCALL parameterInfo(const clap_plugin* plugin, uint32_t index, clap_param_info* info)
{
    return info != nullptr && self(plugin)->parameterInfo(index, *info);
}

bool CLAPCALL parameterValue(const clap_plugin* plugin, clap_id id, double* value)
{
    return value != nullptr && self(plugin)->parameterValue(id, *value);
}

bool CLAPCALL valueToText(const clap_plugin* plugin, clap_id id, double value, char* text, uint32_t capacity)
{
    return self(plugin)->valueToText(id, value, text, capacity);
}

bool CLAPCALL textToValue(const clap_plugin* plugin, clap_id id, const char* text, double* value)
{
    return value != nullptr && self(plugin)->textToValue(id, text, *value);
}

void CLAPCALL flush(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events*)
{
    self(plugin)->flush(in);
}

const clap_plugin_params kParams = {parameterCount, parameterInfo, parameterValue, valueToText, textToValue, flush};

bool CLAPCALL saveState(const clap_plugin* plugin, const clap_ostream* stream)
{
    return stream != nullptr && self(plugin)->save(*stream);
}

bool CLAPCALL loadState(const clap_plugin* plugin, const clap_istream* stream)
{
    return stream != nullptr && self(plugin)->load(*stream);
}

const clap_plugin_state kState = {saveState, loadState};

uint32_t CLAPCALL latency(const clap_plugin*)
{
    return 0;
}

const clap_plugin_latency kLatency = {latency};

uint32_t CLAPCALL tail(const clap_plugin* plugin)
{
    return self(plugin)->tailFrames();
}

const clap_plugin_tail kTail = {tail};

bool CLAPCALL pluginInit(const clap_plugin* plugin)
{
    return self(plugin)->init();
}

void CLAPCALL pluginDestroy(const clap_plugin* plugin)
{
    delete self(plugin);
}

bool CLAPCALL pluginActivate(const clap_plugin* plugin, double sampleRate, uint32_t, uint32_t maxFrames)
{
    return self(plugin)->activate(sampleRate, maxFrames);
}

void CLAPCALL pluginDeactivate(const clap_plugin* plugin)
{
    self(plugin)->deactivate();
}

bool CLAPCALL startProcessing(const clap_plugin*)
{
    return true;
}

void CLAPCALL stopProcessing(const clap_plugin*)
{
}

// The effect has no way to clear its filters and oscillator short of a new instance, which the audio thread may
// not create; like a VST host's suspend and resume, a reset keeps them.
void CLAPCALL pluginReset(const clap_plugin*)
{
}

int32_t CLAPCALL pluginProcess(const clap_plugin* plugin, const clap_process* process)
{
    return process != nullptr ? self(plugin)->process(*process) : CLAP_PROCESS_ERROR;
}

const void* CLAPCALL pluginExtension(const clap_plugin*, const char* id)
{
    if (id == nullptr)
        return nullptr;
    const struct
    {
        const char* id;
        const void* table;
    } extensions[] = {{CLAP_EXT_AUDIO_PORTS, &kAudioPorts},
                      {CLAP_EXT_PARAMS, &kParams},
                      {CLAP_EXT_STATE, &kState},
                      {CLAP_EXT_LATENCY, &kLatency},
                      {CLAP_EXT_TAIL, &kTail}};
    for (const auto& e : extensions)
    {
        if (std::strcmp(id, e.id) == 0)
            return e.table;
    }
    return nullptr;
}

void CLAPCALL onMainThread(const clap_plugin*)
{
}

uint32_t CLAPCALL pluginCount(const clap_plugin_factory*)
{
    return 1;
}

const clap_plugin_descriptor* CLAPCALL pluginDescriptor(const clap_plugin_factory*, uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}

const clap_plugin* CLAPCALL createPlugin(const clap_plugin_factory*, const clap_host* host, const char* id)
{
    if (host == nullptr || id == nullptr || std::strcmp(id, kDescriptor.id) != 0)
        return nullptr;
    ClapPlugin* instance = new (std::nothrow) ClapPlugin(host, &kDescriptor);
    if (instance == nullptr)
        return nullptr;
    clap_plugin* record = const_cast<clap_plugin*>(instance->plugin());
    record->init = pluginInit;
    record->destroy = pluginDestroy;
    record->activate = pluginActivate;
    record->deactivate = pluginDeactivate;
    record->start_processing = startProcessing;
    record->stop_processing = stopProcessing;
    record->reset = pluginReset;
    record->process = pluginProcess;
    record->get_extension = pluginExtension;
    record->on_main_thread = onMainThread;
    return record;
}

const clap_plugin_factory kFactory = {pluginCount, pluginDescriptor, createPlugin};

bool CLAPCALL entryInit(const char*)
{
    std::lock_guard<std::mutex> lock(entryMutex);
    ++initCount; // nothing to set up: the effect needs no files or global state
    return true;
}

void CLAPCALL entryDeinit()
{
    std::lock_guard<std::mutex> lock(entryMutex);
    if (initCount > 0)
        --initCount;
}

const void* CLAPCALL entryFactory(const char* id)
{
    return id != nullptr && std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0 ? &kFactory : nullptr;
}

} // namespace

extern "C" TESSALOOM_CLAP_EXPORT const clap_plugin_entry clap_entry = {kClapVersion, entryInit, entryDeinit,
                                                                       entryFactory};

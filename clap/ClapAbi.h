#pragma once
// The records, constants and identifiers of the CLAP 1.x plug-in interface that Tessaloom's CLAP front end and the
// project's CLAP test host exchange, declared from their byte layout. Plain C structs with the target's natural
// alignment: 64-bit members are 4-aligned on i386 Linux but 8-aligned on 32-bit Windows, so several records differ
// between the two; the static_asserts at the end pin every offset the two sides rely on for each target.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) || defined(__CYGWIN__)
#define CLAPCALL __cdecl
#else
#define CLAPCALL
#endif

extern "C"
{

    struct clap_version
    {
        uint32_t major;
        uint32_t minor;
        uint32_t revision;
    };
    constexpr clap_version kClapVersion = {1, 2, 10};

    typedef uint32_t clap_id;
    constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;
    constexpr uint32_t CLAP_NAME_SIZE = 256;
    constexpr uint32_t CLAP_PATH_SIZE = 1024;

    // Positions and times on the transport: value · 2^31.
    typedef int64_t clap_beattime;
    typedef int64_t clap_sectime;
    constexpr int64_t CLAP_BEATTIME_FACTOR = int64_t(1) << 31;

    struct clap_plugin_entry
    {
        clap_version clap_version;
        bool(CLAPCALL* init)(const char* plugin_path);
        void(CLAPCALL* deinit)();
        const void*(CLAPCALL* get_factory)(const char* factory_id);
    };

    struct clap_plugin_descriptor
    {
        clap_version clap_version;
        const char* id;
        const char* name;
        const char* vendor;
        const char* url;
        const char* manual_url;
        const char* support_url;
        const char* version;
        const char* description;
        const char* const* features; // null-terminated
    };

    struct clap_host;
    struct clap_process;

    struct clap_plugin
    {
        const clap_plugin_descriptor* desc;
        void* plugin_data;
        bool(CLAPCALL* init)(const clap_plugin* plugin);
        void(CLAPCALL* destroy)(const clap_plugin* plugin);
        bool(CLAPCALL* activate)(const clap_plugin* plugin, double sample_rate, uint32_t min_frames_count,
                                 uint32_t max_frames_count);
        void(CLAPCALL* deactivate)(const clap_plugin* plugin);
        bool(CLAPCALL* start_processing)(const clap_plugin* plugin);
        void(CLAPCALL* stop_processing)(const clap_plugin* plugin);
        void(CLAPCALL* reset)(const clap_plugin* plugin);
        int32_t(CLAPCALL* process)(const clap_plugin* plugin, const clap_process* process);
        const void*(CLAPCALL* get_extension)(const clap_plugin* plugin, const char* id);
        void(CLAPCALL* on_main_thread)(const clap_plugin* plugin);
    };

    struct clap_plugin_factory
    {
        uint32_t(CLAPCALL* get_plugin_count)(const clap_plugin_factory* factory);
        const clap_plugin_descriptor*(CLAPCALL* get_plugin_descriptor)(const clap_plugin_factory* factory,
                                                                       uint32_t index);
        const clap_plugin*(CLAPCALL* create_plugin)(const clap_plugin_factory* factory, const clap_host* host,
                                                    const char* plugin_id);
    };

    struct clap_host
    {
        clap_version clap_version;
        void* host_data;
        const char* name;
        const char* vendor;
        const char* url;
        const char* version;
        const void*(CLAPCALL* get_extension)(const clap_host* host, const char* extension_id);
        void(CLAPCALL* request_restart)(const clap_host* host);
        void(CLAPCALL* request_process)(const clap_host* host);
        void(CLAPCALL* request_callback)(const clap_host* host);
    };

    // Events. Every event starts with this header; size is the whole event's size on the target.
    struct clap_event_header
    {
        uint32_t size;
        uint32_t time; // frame offset in the block
        uint16_t space_id;
        uint16_t type;
        uint32_t flags;
    };
    constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

    enum : uint16_t
    {
        CLAP_EVENT_NOTE_ON = 0,
        CLAP_EVENT_PARAM_VALUE = 5,
        CLAP_EVENT_PARAM_MOD = 6,
        CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
        CLAP_EVENT_PARAM_GESTURE_END = 8,
        CLAP_EVENT_TRANSPORT = 9,
        CLAP_EVENT_MIDI = 10,
    };

    struct clap_event_param_value
    {
        clap_event_header header;
        clap_id param_id;
        void* cookie;
        int32_t note_id;
        int16_t port_index;
        int16_t channel;
        int16_t key;
        double value;
    };

    struct clap_event_transport
    {
        clap_event_header header;
        uint32_t flags;
        clap_beattime song_pos_beats;
        clap_sectime song_pos_seconds;
        double tempo;     // quarter notes per minute
        double tempo_inc; // per frame, until the next transport event
        clap_beattime loop_start_beats;
        clap_beattime loop_end_beats;
        clap_sectime loop_start_seconds;
        clap_sectime loop_end_seconds;
        clap_beattime bar_start;
        int32_t bar_number;
        uint16_t tsig_num;
        uint16_t tsig_denom;
    };

    enum : uint32_t
    {
        CLAP_TRANSPORT_HAS_TEMPO = 1u << 0,
        CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 1u << 1,
        CLAP_TRANSPORT_HAS_SECONDS_TIMELINE = 1u << 2,
        CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 1u << 3,
        CLAP_TRANSPORT_IS_PLAYING = 1u << 4,
    };

    struct clap_input_events
    {
        void* ctx;
        uint32_t(CLAPCALL* size)(const clap_input_events* list);
        const clap_event_header*(CLAPCALL* get)(const clap_input_events* list, uint32_t index);
    };

    struct clap_output_events
    {
        void* ctx;
        bool(CLAPCALL* try_push)(const clap_output_events* list, const clap_event_header* event);
    };

    struct clap_audio_buffer
    {
        float** data32;
        double** data64;
        uint32_t channel_count;
        uint32_t latency;
        uint64_t constant_mask;
    };

    struct clap_process
    {
        int64_t steady_time;
        uint32_t frames_count;
        const clap_event_transport* transport; // null: no transport
        const clap_audio_buffer* audio_inputs;
        clap_audio_buffer* audio_outputs;
        uint32_t audio_inputs_count;
        uint32_t audio_outputs_count;
        const clap_input_events* in_events;
        const clap_output_events* out_events;
    };

    enum : int32_t
    {
        CLAP_PROCESS_ERROR = 0,
        CLAP_PROCESS_CONTINUE = 1,
        CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
        CLAP_PROCESS_TAIL = 3,
        CLAP_PROCESS_SLEEP = 4,
    };

    // Extension "clap.audio-ports".
    struct clap_audio_port_info
    {
        clap_id id;
        char name[CLAP_NAME_SIZE];
        uint32_t flags;
        uint32_t channel_count;
        const char* port_type;
        clap_id in_place_pair;
    };
    constexpr uint32_t CLAP_AUDIO_PORT_IS_MAIN = 1u << 0;

    struct clap_plugin_audio_ports
    {
        uint32_t(CLAPCALL* count)(const clap_plugin* plugin, bool is_input);
        bool(CLAPCALL* get)(const clap_plugin* plugin, uint32_t index, bool is_input, clap_audio_port_info* info);
    };

    // Extension "clap.params".
    enum : uint32_t
    {
        CLAP_PARAM_IS_STEPPED = 1u << 0,
        CLAP_PARAM_IS_READONLY = 1u << 3,
        CLAP_PARAM_IS_BYPASS = 1u << 4,
        CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
        CLAP_PARAM_IS_MODULATABLE = 1u << 10,
        CLAP_PARAM_IS_ENUM = 1u << 16,
    };

    struct clap_param_info
    {
        clap_id id;
        uint32_t flags;
        void* cookie;
        char name[CLAP_NAME_SIZE];
        char module[CLAP_PATH_SIZE];
        double min_value;
        double max_value;
        double default_value;
    };

    struct clap_plugin_params
    {
        uint32_t(CLAPCALL* count)(const clap_plugin* plugin);
        bool(CLAPCALL* get_info)(const clap_plugin* plugin, uint32_t param_index, clap_param_info* info);
        bool(CLAPCALL* get_value)(const clap_plugin* plugin, clap_id param_id, double* value);
        bool(CLAPCALL* value_to_text)(const clap_plugin* plugin, clap_id param_id, double value, char* buffer,
                                      uint32_t capacity);
        bool(CLAPCALL* text_to_value)(const clap_plugin* plugin, clap_id param_id, const char* text, double* value);
        void(CLAPCALL* flush)(const clap_plugin* plugin, const clap_input_events* in, const clap_output_events* out);
    };

    struct clap_host_params
    {
        void(CLAPCALL* rescan)(const clap_host* host, uint32_t flags);
        void(CLAPCALL* clear)(const clap_host* host, clap_id param_id, uint32_t flags);
        void(CLAPCALL* request_flush)(const clap_host* host);
    };
    constexpr uint32_t CLAP_PARAM_RESCAN_VALUES = 1u << 0;

    // Extension "clap.state".
    struct clap_istream
    {
        void* ctx;
        int64_t(CLAPCALL* read)(const clap_istream* stream, void* buffer, uint64_t size); // 0 at the end, -1 on error
    };

    struct clap_ostream
    {
        void* ctx;
        int64_t(CLAPCALL* write)(const clap_ostream* stream, const void* buffer, uint64_t size); // -1 on error
    };

    struct clap_plugin_state
    {
        bool(CLAPCALL* save)(const clap_plugin* plugin, const clap_ostream* stream);
        bool(CLAPCALL* load)(const clap_plugin* plugin, const clap_istream* stream);
    };

    // Extensions "clap.latency" and "clap.tail": frames; a tail of INT32_MAX or more is endless.
    struct clap_plugin_latency
    {
        uint32_t(CLAPCALL* get)(const clap_plugin* plugin);
    };

    struct clap_plugin_tail
    {
        uint32_t(CLAPCALL* get)(const clap_plugin* plugin);
    };

    // Host extensions "clap.thread-check" and "clap.log".
    struct clap_host_thread_check
    {
        bool(CLAPCALL* is_main_thread)(const clap_host* host);
        bool(CLAPCALL* is_audio_thread)(const clap_host* host);
    };

    struct clap_host_log
    {
        void(CLAPCALL* log)(const clap_host* host, int32_t severity, const char* message);
    };

} // extern "C"

// Identifiers, compared whole with strcmp.
constexpr const char* CLAP_PLUGIN_FACTORY_ID = "clap.plugin-factory";
constexpr const char* CLAP_EXT_AUDIO_PORTS = "clap.audio-ports";
constexpr const char* CLAP_EXT_PARAMS = "clap.params";
constexpr const char* CLAP_EXT_STATE = "clap.state";
constexpr const char* CLAP_EXT_LATENCY = "clap.latency";
constexpr const char* CLAP_EXT_TAIL = "clap.tail";
constexpr const char* CLAP_EXT_THREAD_CHECK = "clap.thread-check";
constexpr const char* CLAP_EXT_LOG = "clap.log";
constexpr const char* CLAP_PORT_STEREO = "stereo";

// Layouts, per target: {x86-64 Linux and win64, i386 Linux, win32}. The two 64-bit targets agree on every record.
#if defined(__x86_64__) || defined(_M_X64)
#define TESSALOOM_CLAP_LAYOUT(lp64, i386, win32) (lp64)
#elif (defined(__i386__) || defined(_M_IX86)) && defined(_WIN32)
#define TESSALOOM_CLAP_LAYOUT(lp64, i386, win32) (win32)
#elif defined(__i386__)
#define TESSALOOM_CLAP_LAYOUT(lp64, i386, win32) (i386)
#endif

#if defined(TESSALOOM_CLAP_LAYOUT)
#define TESSALOOM_CLAP_AT(record, field, lp64, i386, win32)                                                            \
    static_assert(offsetof(record, field) == TESSALOOM_CLAP_LAYOUT(lp64, i386, win32), #record "." #field)
#define TESSALOOM_CLAP_SIZE(record, lp64, i386, win32)                                                                 \
    static_assert(sizeof(record) == TESSALOOM_CLAP_LAYOUT(lp64, i386, win32), "sizeof " #record)

TESSALOOM_CLAP_SIZE(clap_version, 12, 12, 12);
TESSALOOM_CLAP_AT(clap_plugin_entry, init, 16, 12, 12);
TESSALOOM_CLAP_AT(clap_plugin_entry, get_factory, 32, 20, 20);
TESSALOOM_CLAP_SIZE(clap_plugin_entry, 40, 24, 24);
TESSALOOM_CLAP_AT(clap_plugin_factory, create_plugin, 16, 8, 8);
TESSALOOM_CLAP_SIZE(clap_plugin_factory, 24, 12, 12);
TESSALOOM_CLAP_AT(clap_plugin_descriptor, id, 16, 12, 12);
TESSALOOM_CLAP_AT(clap_plugin_descriptor, version, 64, 36, 36);
TESSALOOM_CLAP_AT(clap_plugin_descriptor, features, 80, 44, 44);
TESSALOOM_CLAP_SIZE(clap_plugin_descriptor, 88, 48, 48);
TESSALOOM_CLAP_AT(clap_plugin, init, 16, 8, 8);
TESSALOOM_CLAP_AT(clap_plugin, activate, 32, 16, 16);
TESSALOOM_CLAP_AT(clap_plugin, process, 72, 36, 36);
TESSALOOM_CLAP_AT(clap_plugin, on_main_thread, 88, 44, 44);
TESSALOOM_CLAP_SIZE(clap_plugin, 96, 48, 48);
TESSALOOM_CLAP_AT(clap_host, host_data, 16, 12, 12);
TESSALOOM_CLAP_AT(clap_host, get_extension, 56, 32, 32);
TESSALOOM_CLAP_AT(clap_host, request_callback, 80, 44, 44);
TESSALOOM_CLAP_SIZE(clap_host, 88, 48, 48);
TESSALOOM_CLAP_AT(clap_process, frames_count, 8, 8, 8);
TESSALOOM_CLAP_AT(clap_process, transport, 16, 12, 12);
TESSALOOM_CLAP_AT(clap_process, audio_inputs_count, 40, 24, 24);
TESSALOOM_CLAP_AT(clap_process, in_events, 48, 32, 32);
TESSALOOM_CLAP_AT(clap_process, out_events, 56, 36, 36);
TESSALOOM_CLAP_SIZE(clap_process, 64, 40, 40);
TESSALOOM_CLAP_AT(clap_audio_buffer, channel_count, 16, 8, 8);
TESSALOOM_CLAP_AT(clap_audio_buffer, constant_mask, 24, 16, 16);
TESSALOOM_CLAP_SIZE(clap_audio_buffer, 32, 24, 24);
TESSALOOM_CLAP_AT(clap_event_header, space_id, 8, 8, 8);
TESSALOOM_CLAP_AT(clap_event_header, type, 10, 10, 10);
TESSALOOM_CLAP_SIZE(clap_event_header, 16, 16, 16);
TESSALOOM_CLAP_AT(clap_event_param_value, cookie, 24, 20, 20);
TESSALOOM_CLAP_AT(clap_event_param_value, note_id, 32, 24, 24);
TESSALOOM_CLAP_AT(clap_event_param_value, key, 40, 32, 32);
TESSALOOM_CLAP_AT(clap_event_param_value, value, 48, 36, 40);
TESSALOOM_CLAP_SIZE(clap_event_param_value, 56, 44, 48);
TESSALOOM_CLAP_AT(clap_event_transport, song_pos_beats, 24, 20, 24);
TESSALOOM_CLAP_AT(clap_event_transport, tempo, 40, 36, 40);
TESSALOOM_CLAP_AT(clap_event_transport, bar_start, 88, 84, 88);
TESSALOOM_CLAP_AT(clap_event_transport, bar_number, 96, 92, 96);
TESSALOOM_CLAP_AT(clap_event_transport, tsig_denom, 102, 98, 102);
TESSALOOM_CLAP_SIZE(clap_event_transport, 104, 100, 104);
TESSALOOM_CLAP_AT(clap_input_events, get, 16, 8, 8);
TESSALOOM_CLAP_SIZE(clap_output_events, 16, 8, 8);
TESSALOOM_CLAP_AT(clap_audio_port_info, flags, 260, 260, 260);
TESSALOOM_CLAP_AT(clap_audio_port_info, port_type, 272, 268, 268);
TESSALOOM_CLAP_AT(clap_audio_port_info, in_place_pair, 280, 272, 272);
TESSALOOM_CLAP_SIZE(clap_audio_port_info, 288, 276, 276);
TESSALOOM_CLAP_AT(clap_param_info, name, 16, 12, 12);
TESSALOOM_CLAP_AT(clap_param_info, module, 272, 268, 268);
TESSALOOM_CLAP_AT(clap_param_info, min_value, 1296, 1292, 1296);
TESSALOOM_CLAP_AT(clap_param_info, default_value, 1312, 1308, 1312);
TESSALOOM_CLAP_SIZE(clap_param_info, 1320, 1316, 1320);
TESSALOOM_CLAP_AT(clap_plugin_params, flush, 40, 20, 20);
TESSALOOM_CLAP_SIZE(clap_plugin_params, 48, 24, 24);
TESSALOOM_CLAP_SIZE(clap_host_params, 24, 12, 12);
TESSALOOM_CLAP_AT(clap_istream, read, 8, 4, 4);
TESSALOOM_CLAP_AT(clap_ostream, write, 8, 4, 4);
TESSALOOM_CLAP_SIZE(clap_plugin_state, 16, 8, 8);
TESSALOOM_CLAP_SIZE(clap_plugin_latency, 8, 4, 4);
TESSALOOM_CLAP_SIZE(clap_plugin_tail, 8, 4, 4);
TESSALOOM_CLAP_SIZE(clap_host_thread_check, 16, 8, 8);
TESSALOOM_CLAP_SIZE(clap_host_log, 8, 4, 4);

#undef TESSALOOM_CLAP_AT
#undef TESSALOOM_CLAP_SIZE
#endif

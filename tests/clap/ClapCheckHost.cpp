// tessaloom-clap-check: the project's CLAP test host. Runs a validator's checks on any .clap file, each check in a
// process of its own so that a crash is reported, not fatal.
//   tessaloom-clap-check PLUGIN.clap             every check, one line each, exit 1 if any failed
//   tessaloom-clap-check PLUGIN.clap CHECK       one check in this process (exit 0 passed, 1 failed)
//   tessaloom-clap-check --list                  the checks' names

#include "ClapHost.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

using namespace ClapHost;

namespace
{

struct Failure
{
    std::string why;
};

void require(bool condition, const std::string& why)
{
    if (!condition)
        throw Failure{why};
}

std::vector<float> noise(uint32_t frames, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    std::vector<float> v(frames);
    for (float& x : v)
        x = d(random);
    return v;
}

/// Runs blocks of frames of noise on an audio thread (start, process, stop), with events from makeEvents per block.
void runBlocks(Instance& instance, uint32_t frames, int blocks, const std::function<void(int, EventList&)>& makeEvents,
               const clap_event_transport* transport = nullptr, bool inPlace = false)
{
    std::string problem;
    std::thread audio(
        [&]
        {
            const std::vector<float> left = noise(frames, 1), right = noise(frames, 2);
            EventList events;
            for (int b = 0; b < blocks && problem.empty(); ++b)
            {
                events.clear();
                if (makeEvents)
                    makeEvents(b, events);
                instance.process(left, right, frames, transport, &events, inPlace);
                problem = instance.processProblem();
            }
        });
    audio.join();
    require(problem.empty(), problem);
}

Instance& fresh(const Library& library, std::unique_ptr<Instance>& holder)
{
    holder = std::make_unique<Instance>(library);
    require(holder->ok(), "the plug-in could not be created and initialised");
    return *holder;
}

const clap_plugin_params& paramsOf(const Instance& instance)
{
    const auto* params = instance.extension<clap_plugin_params>(CLAP_EXT_PARAMS);
    require(params != nullptr, "no clap.params extension");
    return *params;
}

std::vector<clap_param_info> infos(const Instance& instance)
{
    const clap_plugin_params& params = paramsOf(instance);
    std::vector<clap_param_info> list(params.count(instance.get()));
    for (uint32_t i = 0; i < list.size(); ++i)
        require(params.get_info(instance.get(), i, &list[i]), "get_info failed");
    return list;
}

/// A random value for every writable parameter, as events at frame 0.
void randomValues(const std::vector<clap_param_info>& list, std::mt19937& random, EventList& events)
{
    for (const clap_param_info& info : list)
    {
        if ((info.flags & CLAP_PARAM_IS_READONLY) != 0)
            continue;
        double v = std::uniform_real_distribution<double>(info.min_value, info.max_value)(random);
        if ((info.flags & CLAP_PARAM_IS_STEPPED) != 0)
            v = std::round(v);
        events.addParameter(info.id, 0, v, CLAP_CORE_EVENT_SPACE_ID, info.cookie);
    }
}

bool sameValues(const std::vector<double>& a, const std::vector<double>& b, const std::vector<clap_param_info>& list)
{
    // Read-only parameters (meters) move on their own.
    for (size_t i = 0; i < a.size() && i < list.size(); ++i)
        if ((list[i].flags & CLAP_PARAM_IS_READONLY) == 0 &&
            !(std::fabs(a[i] - b[i]) <= 1e-4 * (list[i].max_value - list[i].min_value)))
            return false;
    return a.size() == b.size();
}

bool saveTo(const Instance& instance, MemoryStream& stream)
{
    const auto* state = instance.extension<clap_plugin_state>(CLAP_EXT_STATE);
    require(state != nullptr, "no clap.state extension");
    return state->save(instance.get(), &stream.out);
}

bool loadFrom(const Instance& instance, MemoryStream& stream)
{
    const auto* state = instance.extension<clap_plugin_state>(CLAP_EXT_STATE);
    require(state != nullptr, "no clap.state extension");
    return state->load(instance.get(), stream.reader());
}

void stateRoundTrip(const Library& library, size_t chunk)
{
    std::unique_ptr<Instance> a, b;
    fresh(library, a);
    std::mt19937 random(7);
    EventList events;
    randomValues(infos(*a), random, events);
    paramsOf(*a).flush(a->get(), events.input(), nullptr);
    MemoryStream saved;
    saved.chunk = chunk;
    require(saveTo(*a, saved), "save failed");
    fresh(library, b);
    require(loadFrom(*b, saved), "load of a saved state failed");
    require(sameValues(a->values(), b->values(), infos(*a)), "values differ after save and load");
    MemoryStream again;
    require(saveTo(*b, again) && again.bytes == saved.bytes, "saving the loaded state gives other bytes");
}

using Check = std::function<void(const Library&)>;

const std::vector<std::pair<std::string, Check>>& checks()
{
    static const std::vector<std::pair<std::string, Check>> table = {
        {"query-nonexistent-factory",
         [](const Library& library)
         {
             for (int i = 0; i < 10; ++i)
                 require(library.entry()->get_factory(("foo-factory-" + std::to_string(i)).c_str()) == nullptr,
                         "a factory for an unknown id");
         }},
        {"create-id-with-trailing-garbage",
         [](const Library& library)
         {
             const clap_plugin_factory* f = library.factory();
             const std::string id = std::string(f->get_plugin_descriptor(f, 0)->id) + "x1";
             Instance instance(library, 0, id.c_str());
             require(!instance.ok(), "created a plug-in for " + id);
         }},
        {"entry-init-nested",
         [](const Library& library)
         {
             const clap_plugin_entry* e = library.entry();
             require(e->init(library.path().c_str()) && e->init(library.path().c_str()), "nested init failed");
             e->deinit();
             e->deinit();
             require(Instance(library).ok(), "no plug-in after a nested init/deinit pair");
         }},
        {"scan-time",
         [](const Library& library)
         {
             const auto start = std::chrono::steady_clock::now();
             {
                 Library again(library.path());
                 const clap_plugin_factory* f = again.factory();
                 for (uint32_t i = 0; f != nullptr && i < f->get_plugin_count(f); ++i)
                     require(f->get_plugin_descriptor(f, i) != nullptr, "a null descriptor");
             }
             require(std::chrono::steady_clock::now() - start < std::chrono::seconds(1), "scan took over 1 s");
         }},
        {"descriptor",
         [](const Library& library)
         {
             const clap_plugin_factory* f = library.factory();
             const clap_plugin_descriptor* d = f->get_plugin_descriptor(f, 0);
             require(d->id != nullptr && *d->id != '\0' && d->name != nullptr && *d->name != '\0',
                     "id or name missing");
             std::set<std::string> features;
             bool category = false;
             for (const char* const* s = d->features; s != nullptr && *s != nullptr; ++s)
             {
                 require(features.insert(*s).second, std::string("duplicate feature ") + *s);
                 for (const char* main : {"instrument", "audio-effect", "note-effect", "note-detector", "analyzer"})
                     category = category || std::strcmp(*s, main) == 0;
             }
             require(category, "no main category among the features");
             std::unique_ptr<Instance> i;
             const clap_plugin_descriptor* own = fresh(library, i).get()->desc;
             require(own == d || (std::strcmp(own->id, d->id) == 0 && std::strcmp(own->name, d->name) == 0),
                     "plugin->desc differs from the factory's descriptor");
             require(i->get()->on_main_thread != nullptr, "no on_main_thread");
         }},
        {"audio-ports",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             const auto* ports = fresh(library, i).extension<clap_plugin_audio_ports>(CLAP_EXT_AUDIO_PORTS);
             require(ports != nullptr, "no clap.audio-ports");
             for (bool input : {true, false})
             {
                 std::set<clap_id> seen;
                 for (uint32_t k = 0; k < ports->count(i->get(), input); ++k)
                 {
                     clap_audio_port_info info{};
                     require(ports->get(i->get(), k, input, &info), "port get failed");
                     require(info.id != CLAP_INVALID_ID && seen.insert(info.id).second, "bad or repeated port id");
                     require(k == 0 || (info.flags & CLAP_AUDIO_PORT_IS_MAIN) == 0, "main port not at index 0");
                     require(info.port_type == nullptr || std::strcmp(info.port_type, "stereo") != 0 ||
                                 info.channel_count == 2,
                             "stereo port without 2 channels");
                 }
             }
         }},
        {"activate-cycles",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             fresh(library, i);
             for (double rate : {44100.0, 8000.0, 1234.5678, 192000.0, 768000.0, 48000.0})
             {
                 require(i->activate(rate, 512), "activate failed");
                 runBlocks(*i, 512, 3, nullptr);
                 i->deactivate();
             }
         }},
        {"process-out-of-place",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             require(fresh(library, i).activate(44100.0, 512), "activate failed");
             runBlocks(*i, 512, 5, nullptr);
         }},
        {"process-in-place",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             require(fresh(library, i).activate(44100.0, 512), "activate failed");
             runBlocks(*i, 512, 5, nullptr, nullptr, true);
         }},
        {"process-block-sizes",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             fresh(library, i);
             for (uint32_t size : {1u, 10u, 17u, 256u, 1536u, 2027u, 4096u})
             {
                 require(i->activate(44100.0, size), "activate failed");
                 runBlocks(*i, size, 3, nullptr);
             }
             require(i->activate(44100.0, 2048), "activate failed");
             std::mt19937 random(3);
             for (int b = 0; b < 20; ++b)
                 runBlocks(*i, std::uniform_int_distribution<uint32_t>(1, 2048)(random), 1, nullptr);
         }},
        {"transport-null-and-fuzz",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             require(fresh(library, i).activate(44100.0, 128), "activate failed");
             runBlocks(*i, 128, 5, nullptr);
             std::mt19937 random(5);
             for (int b = 0; b < 80; ++b)
             {
                 clap_event_transport t = transportAt(std::uniform_real_distribution<double>(0, 1000)(random),
                                                      std::uniform_real_distribution<double>(40, 480)(random),
                                                      random() % 2 == 0, 1 + random() % 16, 1u << (random() % 3));
                 if (random() % 4 == 0)
                 {
                     // Parts missing, with the values a host leaves there.
                     t.flags &= ~(CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_TIME_SIGNATURE);
                     t.tempo = std::nan("");
                     t.tsig_num = 65535;
                     t.tsig_denom = 0;
                 }
                 runBlocks(
                     *i, 128, 1,
                     [&](int, EventList& events)
                     {
                         clap_event_transport inside = t;
                         inside.header.time = 64;
                         events.add(&inside, sizeof(inside));
                     },
                     &t);
             }
         }},
        {"param-info-and-defaults",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             const std::vector<clap_param_info> list = infos(fresh(library, i));
             const std::vector<double> values = i->values();
             std::set<clap_id> seen;
             for (size_t k = 0; k < list.size(); ++k)
             {
                 const clap_param_info& p = list[k];
                 const std::string name = p.name;
                 require(p.id != CLAP_INVALID_ID && seen.insert(p.id).second, name + ": bad or repeated id");
                 require(std::isfinite(p.min_value) && p.min_value <= p.max_value && p.min_value <= p.default_value &&
                             p.default_value <= p.max_value,
                         name + ": range or default wrong");
                 require((p.flags & CLAP_PARAM_IS_ENUM) == 0 || (p.flags & CLAP_PARAM_IS_STEPPED) != 0,
                         name + ": enum not stepped");
                 require(std::fabs(values[k] - p.default_value) <= 1e-4 * (p.max_value - p.min_value),
                         name + ": value after init differs from the default");
             }
         }},
        {"param-text-round-trip",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             const std::vector<clap_param_info> list = infos(fresh(library, i));
             const clap_plugin_params& params = paramsOf(*i);
             for (const clap_param_info& p : list)
             {
                 const bool stepped = (p.flags & CLAP_PARAM_IS_STEPPED) != 0;
                 const int steps = stepped ? static_cast<int>(p.max_value - p.min_value) : 16;
                 for (int s = 0; s <= steps; ++s)
                 {
                     const double v = p.min_value + (p.max_value - p.min_value) * s / (steps > 0 ? steps : 1);
                     char text[256] = {}, again[256] = {};
                     double back = 0.0;
                     require(params.value_to_text(i->get(), p.id, v, text, sizeof(text)) && text[0] != '\0',
                             std::string(p.name) + ": no text");
                     require(params.text_to_value(i->get(), p.id, text, &back),
                             std::string(p.name) + ": '" + text + "' not accepted");
                     params.value_to_text(i->get(), p.id, back, again, sizeof(again));
                     require(std::strcmp(text, again) == 0,
                             std::string(p.name) + ": '" + text + "' comes back as '" + again + "'");
                 }
             }
         }},
        {"param-flush-inactive-equals-process",
         [](const Library& library)
         {
             std::unique_ptr<Instance> a, b;
             const std::vector<clap_param_info> list = infos(fresh(library, a));
             std::mt19937 random(11);
             EventList events;
             randomValues(list, random, events);
             const std::vector<double> before = a->values();
             paramsOf(*a).flush(a->get(), events.input(), nullptr);
             require(fresh(library, b).activate(44100.0, 256), "activate failed");
             runBlocks(*b, 256, 1, [&](int, EventList& e) { e = events; });
             require(sameValues(a->values(), b->values(), list), "flush and process give different values");
             require(list.empty() || !sameValues(before, a->values(), list), "flush changed nothing");
         }},
        {"param-set-wrong-namespace",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             const std::vector<clap_param_info> list = infos(fresh(library, i));
             const std::vector<double> before = i->values();
             require(i->activate(44100.0, 256), "activate failed");
             runBlocks(*i, 256, 1,
                       [&](int, EventList& e)
                       {
                           for (const clap_param_info& p : list)
                               if ((p.flags & CLAP_PARAM_IS_READONLY) == 0)
                                   e.addParameter(p.id, 0, p.max_value - (p.max_value - p.min_value) * 0.37, 0xb33f);
                       });
             require(sameValues(before, i->values(), list), "an event of a foreign space changed a value");
         }},
        {"param-fuzz-events",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             const std::vector<clap_param_info> list = infos(fresh(library, i));
             require(i->activate(44100.0, 512), "activate failed");
             std::mt19937 random(13);
             runBlocks(*i, 512, 50,
                       [&](int, EventList& e)
                       {
                           // Frame 0, inside, the last frame; some values at the ends of the range, no cookies, unknown
                           // ids.
                           for (uint32_t time : {0u, 1u + static_cast<uint32_t>(random() % 510), 511u})
                           {
                               for (const clap_param_info& p : list)
                               {
                                   if ((p.flags & CLAP_PARAM_IS_READONLY) != 0)
                                       continue;
                                   const double v =
                                       random() % 3 == 0
                                           ? (random() % 2 ? p.min_value : p.max_value)
                                           : std::uniform_real_distribution<double>(p.min_value, p.max_value)(random);
                                   e.addParameter(p.id, time, v);
                               }
                               e.addParameter(0xFFFFFFF0u - static_cast<uint32_t>(random() % 16), time, 0.5);
                           }
                       });
         }},
        {"state-round-trip", [](const Library& library) { stateRoundTrip(library, SIZE_MAX); }},
        {"state-round-trip-one-byte", [](const Library& library) { stateRoundTrip(library, 1); }},
        {"state-invalid",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             const std::vector<clap_param_info> list = infos(fresh(library, i));
             MemoryStream empty;
             require(!loadFrom(*i, empty), "an empty state was accepted");
             std::mt19937 random(17);
             EventList events;
             randomValues(list, random, events);
             paramsOf(*i).flush(i->get(), events.input(), nullptr);
             MemoryStream saved;
             require(saveTo(*i, saved), "save failed");
             const std::vector<double> before = i->values();
             MemoryStream truncated;
             truncated.bytes.assign(saved.bytes.begin(), saved.bytes.end() - 1);
             require(!loadFrom(*i, truncated), "a truncated state was accepted");
             require(sameValues(before, i->values(), list), "a refused state changed values");
             MemoryStream junk;
             junk.bytes.resize(1 << 20);
             for (uint8_t& byte : junk.bytes)
                 byte = static_cast<uint8_t>(random());
             loadFrom(*i, junk); // must not crash; refusing is right
         }},
        {"threads-main-during-process",
         [](const Library& library)
         {
             std::unique_ptr<Instance> i;
             const std::vector<clap_param_info> list = infos(fresh(library, i));
             require(i->activate(44100.0, 64), "activate failed");
             const bool withState = i->extension<clap_plugin_state>(CLAP_EXT_STATE) != nullptr;
             std::atomic<bool> done{false};
             std::string problem;
             std::thread audio(
                 [&]
                 {
                     const std::vector<float> l = noise(64, 1), r = noise(64, 2);
                     std::mt19937 random(19);
                     EventList events;
                     for (int b = 0; b < 3000 && problem.empty(); ++b)
                     {
                         events.clear();
                         randomValues(list, random, events);
                         i->process(l, r, 64, nullptr, &events);
                         problem = i->processProblem();
                     }
                     done = true;
                 });
             // Parameter reads and state saves from the main thread while the audio thread processes.
             while (!done)
             {
                 i->values();
                 MemoryStream s;
                 if (withState)
                     saveTo(*i, s);
             }
             audio.join();
             require(problem.empty(), problem);
             require(i->hostRecord().wrongThreadCalls == 0, "host functions called from the wrong thread");
         }},
    };
    return table;
}

int runOne(const std::string& path, const std::string& name)
{
    for (const auto& check : checks())
    {
        if (check.first != name)
            continue;
        Library library(path);
        if (library.entry() == nullptr || library.factory() == nullptr ||
            library.factory()->get_plugin_count(library.factory()) == 0)
        {
            std::printf("FAIL %s: %s\n", name.c_str(),
                        library.error().empty() ? "no plug-in" : library.error().c_str());
            return 1;
        }
        try
        {
            check.second(library);
        }
        catch (const Failure& f)
        {
            std::printf("FAIL %s: %s\n", name.c_str(), f.why.c_str());
            return 1;
        }
        std::printf("ok   %s\n", name.c_str());
        return 0;
    }
    std::fprintf(stderr, "unknown check %s\n", name.c_str());
    return 2;
}

/// Runs one check in a child process: 0 passed, 1 failed, -1 crashed or could not run. quiet hides its line.
int inChild(const char* self, const std::string& path, const std::string& name, bool quiet)
{
#if defined(_WIN32)
    const std::string sink = quiet ? " > NUL 2>&1" : "";
#else
    const std::string sink = quiet ? " > /dev/null 2>&1" : "";
#endif
    std::string command = "\"" + std::string(self) + "\" \"" + path + "\" " + name + sink;
#if defined(_WIN32)
    command = "\"" + command + "\""; // cmd.exe strips the outermost quotes
#endif
    const int status = std::system(command.c_str());
#if defined(_WIN32)
    const int code = status;
#else
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    if (code != 0 && code != 1 && !quiet)
        std::printf("FAIL %s: crashed (status %d)\n", name.c_str(), status);
    return code == 0 || code == 1 ? code : -1;
}

/// The known defects of Debian's zam-plugins (4.1): a host that finds fewer checks too little.
int zamDefects(const char* self, const std::string& folder)
{
    std::vector<std::string> files;
    for (const char* name :
         {"ZaMaximX2", "ZaMultiComp", "ZaMultiCompX2", "ZamAutoSat", "ZamComp", "ZamCompX2", "ZamDelay", "ZamDynamicEQ",
          "ZamEQ2", "ZamGEQ31", "ZamGate", "ZamGateX2", "ZamGrains", "ZamHeadX2", "ZamPhono", "ZamTube", "ZamVerb"})
    {
        const std::string file = folder + "/" + name + ".clap";
        if (std::FILE* f = std::fopen(file.c_str(), "rb"))
        {
            std::fclose(f);
            files.push_back(file);
        }
    }
    if (files.empty())
    {
        std::printf("skipped: no zam-plugins in %s (Debian: zam-plugins)\n", folder.c_str());
        return 77;
    }
    const auto failing = [&](const std::string& check)
    {
        std::set<std::string> names;
        for (const std::string& file : files)
            if (inChild(self, file, check, true) != 0)
                names.insert(file.substr(folder.size() + 1, file.size() - folder.size() - 6));
        return names;
    };
    const auto report = [](const char* what, const std::set<std::string>& names, bool expected)
    {
        std::string list;
        for (const std::string& n : names)
            list += " " + n;
        std::printf("%s %s:%s\n", expected ? "ok  " : "FAIL", what, list.c_str());
        return expected ? 0 : 1;
    };
    const size_t n = files.size();
    int wrong = 0;
    const std::set<std::string> garbage = failing("create-id-with-trailing-garbage");
    wrong += report("an id with trailing characters creates a plug-in", garbage, garbage.size() + 1 >= n);
    const std::set<std::string> space = failing("param-set-wrong-namespace");
    wrong += report("an event of a foreign space changes a value", space, n < 17 || space.size() >= 13);
    const std::set<std::string> defaults = failing("param-info-and-defaults");
    wrong += report("values after init differ from the defaults", defaults,
                    defaults.count("ZamDynamicEQ") == 1 && defaults.count("ZamGrains") == 1);
    const std::set<std::string> flush = failing("param-flush-inactive-equals-process");
    wrong += report("flush while inactive fails or crashes", flush, flush.count("ZaMaximX2") == 1);
    return wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0)
    {
        for (const auto& check : checks())
            std::printf("%s\n", check.first.c_str());
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[1], "--zam-defects") == 0)
        return zamDefects(argv[0], argv[2]);
    if (argc == 3)
        return runOne(argv[1], argv[2]);
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s PLUGIN.clap [CHECK] | --list | --zam-defects FOLDER\n", argv[0]);
        return 2;
    }
    // Every check in a child process; a crash shows as a failure of its check.
    int failed = 0;
    for (const auto& check : checks())
        failed += inChild(argv[0], argv[1], check.first, false) != 0 ? 1 : 0;
    std::printf("%d of %zu checks failed\n", failed, checks().size());
    return failed == 0 ? 0 : 1;
}

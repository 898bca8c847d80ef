#include "support/TestHost.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <mutex>

namespace
{

// Loading, look-up and release of the plug-in library, as the platform's hosts do it. openLibrary answers null and
// says why in reason when the library does not load.
#if defined(_WIN32)
void* openLibrary(const std::string& path, std::string& reason)
{
    std::wstring widePath(path.size() + 1, L'\0');
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &widePath[0], static_cast<int>(widePath.size()));
    if (length <= 0)
    {
        reason = "the path is not valid UTF-8";
        return nullptr;
    }
    for (wchar_t& c : widePath)
    {
        if (c == L'/')
            c = L'\\';
    }
    const HMODULE module = LoadLibraryW(widePath.c_str());
    if (module == nullptr)
        reason = "LoadLibrary error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(module);
}

TestHost::EntryProc findEntry(void* library, const char* name)
{
    const FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    // Through the generic function pointer type, which every function pointer converts to without a warning.
    return reinterpret_cast<TestHost::EntryProc>(reinterpret_cast<void (*)()>(address));
}

void closeLibrary(void* library)
{
    FreeLibrary(static_cast<HMODULE>(library));
}
#else
void* openLibrary(const std::string& path, std::string& reason)
{
    void* const library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
    {
        const char* const text = dlerror();
        reason = text != nullptr ? text : "unknown reason";
    }
    return library;
}

TestHost::EntryProc findEntry(void* library, const char* name)
{
    return reinterpret_cast<TestHost::EntryProc>(dlsym(library, name));
}

void closeLibrary(void* library)
{
    dlclose(library);
}
#endif

// Every TestHost alive, and the one whose create() runs on this thread: the callback finds its host through them.
// The mutex guards the registry and every host's recording, answers and instance pointer.
std::mutex registryMutex;
std::vector<TestHost*> registry;
thread_local TestHost* creatingHost = nullptr;

} // namespace

TestHost::TestHost() : TestHost(TESSALOOM_PLUGIN_PATH)
{
}

TestHost::TestHost(const std::string& pluginPath)
{
    load(pluginPath);
    const std::lock_guard<std::mutex> lock(registryMutex);
    registry.push_back(this);
}

TestHost::~TestHost()
{
    close();
    {
        const std::lock_guard<std::mutex> lock(registryMutex);
        registry.erase(std::remove(registry.begin(), registry.end(), this), registry.end());
    }
    if (library != nullptr)
        closeLibrary(library);
}

void TestHost::load(const std::string& pluginPath)
{
    std::string reason;
    library = openLibrary(pluginPath, reason);
    if (library == nullptr)
    {
        error = "cannot load " + pluginPath + ": " + reason;
        return;
    }
    vstPluginMain = findEntry(library, "VSTPluginMain");
    mainAlias = findEntry(library, "main");
    if (vstPluginMain == nullptr)
        error += pluginPath + " does not export VSTPluginMain. ";
    if (mainAlias == nullptr)
        error += pluginPath + " does not export main. ";
}

bool TestHost::isLoaded() const
{
    return library != nullptr && vstPluginMain != nullptr && mainAlias != nullptr;
}

const std::string& TestHost::loadError() const
{
    return error;
}

TestHost::EntryProc TestHost::entryPoint(Entry entry) const
{
    return entry == Entry::vstPluginMain ? vstPluginMain : mainAlias;
}

AEffect* TestHost::create(Entry entry)
{
    const EntryProc proc = entryPoint(entry);
    if (proc == nullptr || effect() != nullptr)
        return nullptr;
    TestHost* const previous = creatingHost;
    creatingHost = this;
    AEffect* const created = proc(callback);
    creatingHost = previous;
    const std::lock_guard<std::mutex> lock(registryMutex);
    instance = created;
    return created;
}

AEffect* TestHost::effect() const
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    return instance;
}

intptr_t TestHost::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    AEffect* const record = effect();
    return record != nullptr ? record->dispatcher(record, opcode, index, value, ptr, opt) : 0;
}

std::string TestHost::dispatchText(int32_t opcode, int32_t index)
{
    char text[256] = {};
    dispatch(opcode, index, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    return text;
}

void TestHost::setParameter(int32_t index, float value)
{
    AEffect* const record = effect();
    if (record != nullptr)
        record->setParameter(record, index, value);
}

float TestHost::getParameter(int32_t index)
{
    AEffect* const record = effect();
    return record != nullptr ? record->getParameter(record, index) : 0.0f;
}

void TestHost::processReplacing(float* inLeft, float* inRight, float* outLeft, float* outRight, int32_t frames)
{
    AEffect* const record = effect();
    if (record == nullptr)
        return;
    float* inputs[2] = {inLeft, inRight};
    float* outputs[2] = {outLeft, outRight};
    record->processReplacing(record, inputs, outputs, frames);
}

intptr_t TestHost::close()
{
    AEffect* const record = effect();
    if (record == nullptr)
        return 0;
    const intptr_t answer = record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f);
    const std::lock_guard<std::mutex> lock(registryMutex);
    instance = nullptr;
    return answer;
}

void TestHost::setVersionAnswer(intptr_t answer)
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    versionAnswer = answer;
}

void TestHost::setAnswer(int32_t opcode, intptr_t answer)
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    for (Answer& a : answers)
    {
        if (a.opcode == opcode)
        {
            a.answer = answer;
            return;
        }
    }
    answers.push_back({opcode, answer});
}

VstTimeInfo& TestHost::timeInfo()
{
    return hostTime;
}

void TestHost::setTimeInfoAvailable(bool available)
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    timeInfoAvailable = available;
}

std::vector<TestHost::HostCall> TestHost::calls() const
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    return recorded;
}

size_t TestHost::callCount(int32_t opcode) const
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    return static_cast<size_t>(std::count_if(recorded.begin(), recorded.end(),
                                             [opcode](const HostCall& call) { return call.opcode == opcode; }));
}

void TestHost::clearCalls()
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    recorded.clear();
}

intptr_t TestHost::answerFor(int32_t opcode) const
{
    if (opcode == audioMasterVersion)
        return versionAnswer;
    if (opcode == audioMasterGetTime)
        return timeInfoAvailable ? reinterpret_cast<intptr_t>(&hostTime) : 0;
    for (const Answer& a : answers)
    {
        if (a.opcode == opcode)
            return a.answer;
    }
    return 0;
}

intptr_t VSTCALLBACK TestHost::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                        float opt)
{
    const std::lock_guard<std::mutex> lock(registryMutex);
    TestHost* host = nullptr;
    if (effect != nullptr)
    {
        for (TestHost* candidate : registry)
        {
            if (candidate->instance == effect)
                host = candidate;
        }
    }
    if (host == nullptr)
        host = creatingHost; // the entry point's version request, or a request made during construction
    if (host == nullptr)
        return 0; // no host knows this record
    HostCall call;
    call.effect = effect;
    call.opcode = opcode;
    call.index = index;
    call.value = value;
    call.ptr = ptr;
    call.opt = opt;
    host->recorded.push_back(call);
    return host->answerFor(opcode);
}

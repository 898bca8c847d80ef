#include "tools/PluginInstance.h"

#include "tools/ToolError.h"

#include <dlfcn.h>
#include <fmt/format.h>

#include <cstring>
#include <filesystem>

namespace
{

// The instance whose entry point is running: the version request comes with a null record, and requests made during
// construction come before the host knows the record.
thread_local PluginInstance* creatingInstance = nullptr;

using EntryPoint = AEffect*(VSTCALLBACK*)(audioMasterCallback);

constexpr int32_t kMaxParameters = 4096; // more is taken for a broken record, not probed one by one

// dlerror() usually starts with the path itself; the message names the file once.
std::string reasonWithoutPath(const char* reason, const std::string& path)
{
    if (reason == nullptr)
        return "unknown reason";
    std::string text = reason;
    if (text.compare(0, path.size() + 2, path + ": ") == 0)
        text.erase(0, path.size() + 2);
    return text;
}

} // namespace

PluginInstance::PluginInstance(CallLog& log) : callLog(log)
{
}

PluginInstance::~PluginInstance()
{
    close();
    if (library != nullptr)
        dlclose(library);
}

void PluginInstance::load(const std::string& path)
{
    libraryPath = path;
    // A bare file name would make dlopen search the system's library folders instead of the current one.
    const std::string openPath = std::filesystem::path(path).has_parent_path() ? path : "./" + path;
    library = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        throw ToolError(path + ": cannot load the plug-in: " + reasonWithoutPath(dlerror(), openPath),
                        ToolError::kFailure);

    const char* entryName = "VSTPluginMain";
    auto entry = reinterpret_cast<EntryPoint>(dlsym(library, entryName));
    if (entry == nullptr)
    {
        entryName = "main";
        entry = reinterpret_cast<EntryPoint>(dlsym(library, entryName));
    }
    if (entry == nullptr)
        throw ToolError(path + ": not a plug-in: it exports neither VSTPluginMain nor main", ToolError::kFailure);

    callLog.hostToPlugin(std::string(entryName) + "(host callback)");
    PluginInstance* const previous = creatingInstance;
    creatingInstance = this;
    AEffect* const created = entry(hostCallback);
    creatingInstance = previous;
    callLog.hostToPlugin(std::string(entryName) + " -> " + (created != nullptr ? "effect record" : "null"));
    if (created == nullptr)
        throw ToolError(path + ": the plug-in created no effect (its entry point returned null)", ToolError::kFailure);
    if (created->magic != kEffectMagic)
        throw ToolError(path + ": the entry point returned no effect record (wrong magic number)", ToolError::kFailure);
    record = created;
    record->resvd1 = reinterpret_cast<intptr_t>(this); // the host's own field: how the callback finds this instance

    const bool hasEntries = record->dispatcher != nullptr && record->setParameter != nullptr &&
                            record->getParameter != nullptr && record->processReplacing != nullptr;
    std::string fault;
    if (!hasEntries || (record->flags & effFlagsCanReplacing) == 0)
        fault = "offers no replacing processing";
    else if (record->numParams < 0 || record->numParams > kMaxParameters)
        fault = fmt::format("reports {} parameters", record->numParams);
    else if (record->numInputs != 2 || record->numOutputs != 2)
        fault = fmt::format("has {} inputs and {} outputs; this host drives 2 and 2", record->numInputs,
                            record->numOutputs);
    if (!fault.empty())
    {
        close();
        throw ToolError(path + ": the plug-in " + fault, ToolError::kFailure);
    }
}

intptr_t PluginInstance::dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    if (record == nullptr)
        return 0;
    if (opcode == effSetSampleRate)
        sentSampleRate = opt;
    if (opcode == effSetBlockSize)
        sentBlockSize = value;
    const intptr_t result = record->dispatcher(record, opcode, index, value, ptr, opt);
    if (callLog.enabled())
    {
        callLog.hostToPlugin(effectOpcodeText(opcode, index, value, ptr, opt) + " -> " +
                             std::to_string(static_cast<long long>(result)));
    }
    return result;
}

std::string PluginInstance::dispatchText(int32_t opcode, int32_t index)
{
    if (record == nullptr)
        return std::string();
    char text[512] = {};
    record->dispatcher(record, opcode, index, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    if (callLog.enabled())
        callLog.hostToPlugin(fmt::format("{}(index {}) -> \"{}\"", CallLog::effectOpcodeName(opcode), index, text));
    return text;
}

void PluginInstance::setParameter(int32_t index, float value)
{
    if (record == nullptr)
        return;
    record->setParameter(record, index, value);
    if (callLog.enabled())
        callLog.hostToPlugin(fmt::format("setParameter(index {}, value {:.9g})", index, value));
}

float PluginInstance::getParameter(int32_t index)
{
    if (record == nullptr)
        return 0.0f;
    const float value = record->getParameter(record, index);
    if (callLog.enabled())
        callLog.hostToPlugin(fmt::format("getParameter(index {}) -> {:.9g}", index, value));
    return value;
}

void PluginInstance::processReplacing(float* const inputs[2], float* const outputs[2], int32_t frames)
{
    if (record == nullptr)
        return;
    if (callLog.enabled())
        callLog.hostToPlugin(fmt::format("processReplacing({} frames)", frames));
    float* in[2] = {inputs[0], inputs[1]};
    float* out[2] = {outputs[0], outputs[1]};
    processing = true;
    record->processReplacing(record, in, out, frames);
    processing = false;
}

void PluginInstance::close()
{
    if (record == nullptr)
        return;
    dispatch(effClose);
    record = nullptr;
}

std::string PluginInstance::effectOpcodeText(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    const std::string pointer =
        ptr == nullptr ? ""
                       : (opcode == effCanDo ? fmt::format(", ptr \"{}\"", static_cast<const char*>(ptr)) : ", ptr");
    return fmt::format("{}(index {}, value {}{}, opt {:g})", CallLog::effectOpcodeName(opcode), index, value, pointer,
                       opt);
}

std::string PluginInstance::describeTimeInfo() const
{
    if (timeInfo == nullptr)
        return "0 (no time information)";
    return fmt::format("samplePos {:.17g} ppqPos {:.17g} tempo {:.17g} barStartPos {:.17g} timeSig {}/{} flags 0x{:x}",
                       timeInfo->samplePos, timeInfo->ppqPos, timeInfo->tempo, timeInfo->barStartPos,
                       timeInfo->timeSigNumerator, timeInfo->timeSigDenominator,
                       static_cast<unsigned>(timeInfo->flags));
}

intptr_t PluginInstance::answer(int32_t opcode, int32_t, intptr_t, void* ptr, float) noexcept
{
    switch (opcode)
    {
    case audioMasterVersion:
        return kVstVersion;
    case audioMasterGetTime:
        ++timeRequestCount;
        return reinterpret_cast<intptr_t>(timeInfo);
    case audioMasterGetSampleRate:
        return static_cast<intptr_t>(sentSampleRate);
    case audioMasterGetBlockSize:
        return sentBlockSize;
    case audioMasterGetCurrentProcessLevel:
        return processing ? 4 : 1; // offline rendering while a block runs, else the user thread
    case audioMasterGetVendorVersion:
        return 1;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
        if (ptr != nullptr) // the plug-in's buffer holds 64 characters
            std::strcpy(static_cast<char*>(ptr),
                        opcode == audioMasterGetVendorString ? "Vornmark" : "tessaloom-render");
        return ptr != nullptr ? 1 : 0;
    case audioMasterCanDo:
        return (ptr != nullptr && std::strcmp(static_cast<const char*>(ptr), "sendVstTimeInfo") == 0) ? 1 : 0;
    default:
        return 0;
    }
}

intptr_t VSTCALLBACK PluginInstance::hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                  void* ptr, float opt) noexcept
{
    PluginInstance* instance = nullptr;
    if (effect != nullptr && effect->resvd1 != 0)
        instance = reinterpret_cast<PluginInstance*>(effect->resvd1);
    if (instance == nullptr)
        instance = creatingInstance;
    if (instance == nullptr)
        return opcode == audioMasterVersion ? kVstVersion : 0;
    const intptr_t result = instance->answer(opcode, index, value, ptr, opt);
    if (instance->callLog.enabled())
    {
        instance->callLog.pluginToHost(
            fmt::format("{}(index {}, value {}, opt {:g}) -> {}", CallLog::hostOpcodeName(opcode), index, value, opt,
                        opcode == audioMasterGetTime ? instance->describeTimeInfo() : std::to_string(result)));
    }
    return result;
}

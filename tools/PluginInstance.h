#pragma once

#include "host/VstInterface.h"
#include "tools/CallLog.h"

#include <cstdint>
#include <string>

/// One plug-in instance driven as a host drives it: the library loaded with dlopen, the instance created through its
/// exported entry point ("VSTPluginMain", or "main" when that is absent), and from then on only the AEffect record.
/// Every call in both directions goes through the CallLog.
///
/// The host callback answers: audioMasterVersion 2400; audioMasterGetTime the time information set with
/// setTimeInfo (0 while none is set); audioMasterGetSampleRate and audioMasterGetBlockSize the rate and block size
/// last sent to the plug-in; audioMasterGetVendorString "Vornmark", audioMasterGetProductString "tessaloom-render",
/// audioMasterGetVendorVersion 1; audioMasterCanDo 1 for "sendVstTimeInfo" only; audioMasterGetCurrentProcessLevel
/// 4 (offline) while a block is processed, else 1; every other request 0.
class PluginInstance
{
public:
    /// An instance that logs through log (which must outlive it); nothing loaded yet.
    explicit PluginInstance(CallLog& log);
    /// Closes the instance if it is open (effClose) and releases the library.
    ~PluginInstance();

    PluginInstance(const PluginInstance&) = delete;
    PluginInstance& operator=(const PluginInstance&) = delete;

    /// Loads the library at path and creates the instance. Throws ToolError naming the file when the library cannot
    /// be loaded, exports no entry point, creates no effect, or is not a 2-in/2-out effect with replacing processing.
    void load(const std::string& path);
    const std::string& path() const { return libraryPath; }
    /// The instance's record; null before load and after close.
    AEffect* effect() const { return record; }
    /// The parameters the instance reports; 0 without an instance.
    int32_t parameterCount() const { return record != nullptr ? record->numParams : 0; }

    /// Calls the record's dispatcher (0 without an instance).
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    /// Calls the dispatcher with a zeroed 512-byte text buffer (room to spare for any text of the interface) and
    /// answers the text written into it.
    std::string dispatchText(int32_t opcode, int32_t index = 0);
    /// The parameter write and read entries (nothing / 0 without an instance).
    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);
    /// The replacing-processing entry with two inputs and two outputs.
    void processReplacing(float* const inputs[2], float* const outputs[2], int32_t frames);
    /// Sends effClose (the plug-in frees the instance) and forgets the record.
    void close();

    /// The record audioMasterGetTime answers with; null answers 0. The record must outlive its use.
    void setTimeInfo(const VstTimeInfo* info) { timeInfo = info; }
    /// Number of audioMasterGetTime requests so far.
    int64_t timeRequests() const { return timeRequestCount; }
    CallLog& log() { return callLog; }

private:
    static intptr_t VSTCALLBACK hostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                             float opt) noexcept;
    intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) noexcept;
    std::string describeTimeInfo() const;
    static std::string effectOpcodeText(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    CallLog& callLog;
    std::string libraryPath;
    void* library = nullptr;
    AEffect* record = nullptr;
    const VstTimeInfo* timeInfo = nullptr;
    float sentSampleRate = 44100.0f; // Hz, last effSetSampleRate
    intptr_t sentBlockSize = 1024;   // frames, last effSetBlockSize
    bool processing = false;
    int64_t timeRequestCount = 0;
};

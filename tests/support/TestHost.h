#pragma once

#include "host/VstInterface.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// A small host for tests that loads the built plug-in exactly as a DAW does: dlopen of the library (LoadLibrary on
/// Windows), dlsym (GetProcAddress) of the exported entry points "VSTPluginMain" and "main", one instance created
/// through an entry point, and from then on only the AEffect record (its dispatcher, parameter entries and
/// processing entries).
///
/// Its callback is a recording fake host. Every request the plug-in sends is recorded (effect, opcode, index, value,
/// ptr, opt) in order. Answers: audioMasterVersion gives the configured version answer (2400 unless set);
/// audioMasterGetTime gives the address of timeInfo(), which the test fills, or 0 while time info is switched off;
/// every other opcode gives the answer set with setAnswer, or 0.
///
/// One TestHost holds at most one instance; use one TestHost per instance (the system loads the library once and
/// shares it). The callback finds its TestHost from the record pointer it is called with; a request with a null
/// record (the entry point's version request) or from a record not yet returned goes to the TestHost whose create()
/// is running on the calling thread. Recording and the answers are guarded by a mutex, so the plug-in may call back
/// from another thread (e.g. the time request from a processing thread).
///
///     TestHost host;
///     ASSERT_TRUE(host.isLoaded()) << host.loadError();
///     AEffect* effect = host.create();
///     host.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
///     host.processReplacing(inL, inR, outL, outR, 64);
///     EXPECT_EQ(host.close(), 1);
class TestHost
{
public:
    using EntryProc = AEffect*(VSTCALLBACK*)(audioMasterCallback audioMaster);

    /// Which exported entry point to call.
    enum class Entry
    {
        vstPluginMain, // "VSTPluginMain"
        mainAlias,     // "main", the name older hosts look for
    };

    /// One request the plug-in sent to the host callback.
    struct HostCall
    {
        AEffect* effect = nullptr; // the calling instance's record, or null
        int32_t opcode = 0;
        int32_t index = 0;
        intptr_t value = 0;
        void* ptr = nullptr;
        float opt = 0.0f;
    };

    /// Loads the plug-in built by this tree (TESSALOOM_PLUGIN_PATH).
    TestHost();
    /// Loads the plug-in library at pluginPath.
    explicit TestHost(const std::string& pluginPath);
    /// Closes the instance if it is still open (effClose), then releases the library.
    ~TestHost();

    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    /// True when the library loaded and both entry points were found.
    bool isLoaded() const;
    /// Why loading failed (empty when it did not).
    const std::string& loadError() const;
    /// The exported entry point, or null when the library does not export it.
    EntryProc entryPoint(Entry entry = Entry::vstPluginMain) const;

    /// Calls the entry point with this host's callback and keeps the record it returns (null when the plug-in
    /// refused). Does nothing and answers null while an instance is open.
    AEffect* create(Entry entry = Entry::vstPluginMain);
    /// The open instance's record, or null.
    AEffect* effect() const;

    /// Calls the record's dispatcher; 0 without an instance.
    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    /// Calls the dispatcher with a zeroed 256-byte text buffer as ptr and answers the text it holds afterwards.
    std::string dispatchText(int32_t opcode, int32_t index = 0);
    /// Calls the record's parameter write entry.
    void setParameter(int32_t index, float value);
    /// Calls the record's parameter read entry; 0 without an instance.
    float getParameter(int32_t index);
    /// Calls the record's replacing-processing entry with two inputs and two outputs of frames samples each.
    void processReplacing(float* inLeft, float* inRight, float* outLeft, float* outRight, int32_t frames);
    /// Sends effClose and forgets the record (the plug-in frees the instance); answers the dispatcher's answer, or 0
    /// without an instance.
    intptr_t close();

    /// The answer to audioMasterVersion (2400 unless set; 0 makes the entry point refuse).
    void setVersionAnswer(intptr_t answer);
    /// The answer to an opcode other than audioMasterVersion and audioMasterGetTime (0 unless set).
    void setAnswer(int32_t opcode, intptr_t answer);
    /// The time information audioMasterGetTime points at; the test fills it (all zero at first).
    VstTimeInfo& timeInfo();
    /// Whether audioMasterGetTime answers the address of timeInfo() (true at first) or 0.
    void setTimeInfoAvailable(bool available);

    /// Every request recorded so far, oldest first.
    std::vector<HostCall> calls() const;
    /// Number of recorded requests with this opcode.
    size_t callCount(int32_t opcode) const;
    /// Forgets the recorded requests.
    void clearCalls();

    /// The host callback handed to the entry point; public so that tests can hand it to an entry point themselves.
    static intptr_t VSTCALLBACK callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                         float opt);

private:
    struct Answer
    {
        int32_t opcode;
        intptr_t answer;
    };

    void load(const std::string& pluginPath);
    intptr_t answerFor(int32_t opcode) const; // called with the registry mutex held

    void* library = nullptr;
    std::string error;
    EntryProc vstPluginMain = nullptr;
    EntryProc mainAlias = nullptr;
    AEffect* instance = nullptr;

    std::vector<HostCall> recorded;
    std::vector<Answer> answers;
    intptr_t versionAnswer = 2400;
    bool timeInfoAvailable = true;
    VstTimeInfo hostTime{}; // what audioMasterGetTime points at
};

// Requests the base sends to the host: exactly one callback call with the right arguments, the answer converted as
// each request defines, and the answers without a host.

#include "host/EffectBaseX.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace
{

struct Call
{
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

/// The fake host: records every call and answers the same value to all of them.
struct FakeHost
{
    std::vector<Call> calls;
    intptr_t answer = 0;
};
FakeHost fakeHost;

intptr_t VSTCALLBACK recordingCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                       float opt)
{
    fakeHost.calls.push_back({effect, opcode, index, value, ptr, opt});
    return fakeHost.answer;
}

class MinimalEffect : public EffectBaseX
{
public:
    explicit MinimalEffect(audioMasterCallback host) : EffectBaseX(host, 1, 12) {}
    void processReplacing(float**, float**, int32_t) noexcept override {}
    void setParameter(int32_t index, float value) override
    {
        parameterCallsBeforeHost.push_back(fakeHost.calls.size());
        lastIndex = index;
        lastValue = value;
    }
    std::vector<size_t> parameterCallsBeforeHost;
    int32_t lastIndex = -1;
    float lastValue = -1.0f;
};

/// How a request turns the host's answer into its result.
enum class Conversion
{
    asIs,    // the answer (as an integer or a pointer)
    nonZero, // 1 when the answer is not 0, else 0
};

struct Request
{
    const char* name;
    std::function<intptr_t(MinimalEffect&)> make; // makes the request and gives its result as an integer
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
    Conversion conversion;
};

char textBuffer[64];
char recordBuffer[64];
void* const text = textBuffer;
void* const record = recordBuffer;

template <typename T> T* as()
{
    return reinterpret_cast<T*>(recordBuffer);
}

intptr_t asInt(bool b)
{
    return b ? 1 : 0;
}

intptr_t asInt(const void* p)
{
    return reinterpret_cast<intptr_t>(p);
}

/// Every request whose answer needs no special rule, with the arguments it makes and what it must send.
std::vector<Request> plainRequests()
{
    using C = Conversion;
    return {
        {"getCurrentUniqueId", [](MinimalEffect& e) { return e.getCurrentUniqueId(); }, audioMasterCurrentId, 0, 0,
         nullptr, 0.0f, C::asIs},
        {"hostIdle", [](MinimalEffect& e) { return e.hostIdle(); }, audioMasterIdle, 0, 0, nullptr, 0.0f, C::asIs},
        {"wantEvents", [](MinimalEffect& e) { return e.wantEvents(3); }, audioMasterWantMidi, 0, 3, nullptr, 0.0f,
         C::asIs},
        {"getTimeInfo", [](MinimalEffect& e) { return asInt(e.getTimeInfo(11777)); }, audioMasterGetTime, 0, 11777,
         nullptr, 0.0f, C::asIs},
        {"tempoAt", [](MinimalEffect& e) { return e.tempoAt(4410); }, audioMasterTempoAt, 0, 4410, nullptr, 0.0f,
         C::asIs},
        {"getNumAutomatableParameters", [](MinimalEffect& e) { return e.getNumAutomatableParameters(); },
         audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f, C::asIs},
        {"getParameterQuantization", [](MinimalEffect& e) { return e.getParameterQuantization(); },
         audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f, C::asIs},
        {"ioChanged", [](MinimalEffect& e) { return asInt(e.ioChanged()); }, audioMasterIOChanged, 0, 0, nullptr, 0.0f,
         C::nonZero},
        {"needIdle", [](MinimalEffect& e) { return asInt(e.needIdle()); }, audioMasterNeedIdle, 0, 0, nullptr, 0.0f,
         C::nonZero},
        {"sizeWindow", [](MinimalEffect& e) { return asInt(e.sizeWindow(300, 200)); }, audioMasterSizeWindow, 300, 200,
         nullptr, 0.0f, C::nonZero},
        {"getInputLatency", [](MinimalEffect& e) { return e.getInputLatency(); }, audioMasterGetInputLatency, 0, 0,
         nullptr, 0.0f, C::asIs},
        {"getOutputLatency", [](MinimalEffect& e) { return e.getOutputLatency(); }, audioMasterGetOutputLatency, 0, 0,
         nullptr, 0.0f, C::asIs},
        {"getPreviousPlug", [](MinimalEffect& e) { return asInt(e.getPreviousPlug(5)); }, audioMasterGetPreviousPlug, 0,
         0, nullptr, 0.0f, C::asIs},
        {"getNextPlug", [](MinimalEffect& e) { return asInt(e.getNextPlug(5)); }, audioMasterGetNextPlug, 0, 0, nullptr,
         0.0f, C::asIs},
        {"willReplaceOrAccumulate", [](MinimalEffect& e) { return e.willReplaceOrAccumulate(); },
         audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f, C::asIs},
        {"getCurrentProcessLevel", [](MinimalEffect& e) { return e.getCurrentProcessLevel(); },
         audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f, C::asIs},
        {"getAutomationState", [](MinimalEffect& e) { return e.getAutomationState(); }, audioMasterGetAutomationState,
         0, 0, nullptr, 0.0f, C::asIs},
        {"offlineStart", [](MinimalEffect& e) { return asInt(e.offlineStart(as<VstAudioFile>(), 4, 2)); },
         audioMasterOfflineStart, 2, 4, record, 0.0f, C::nonZero},
        {"offlineRead source", [](MinimalEffect& e) { return asInt(e.offlineRead(as<VstOfflineTask>(), 6, true)); },
         audioMasterOfflineRead, 1, 6, record, 0.0f, C::nonZero},
        {"offlineRead", [](MinimalEffect& e) { return asInt(e.offlineRead(as<VstOfflineTask>(), 6, false)); },
         audioMasterOfflineRead, 0, 6, record, 0.0f, C::nonZero},
        {"offlineWrite", [](MinimalEffect& e) { return asInt(e.offlineWrite(as<VstOfflineTask>(), 8)); },
         audioMasterOfflineWrite, 0, 8, record, 0.0f, C::nonZero},
        {"offlineGetCurrentPass", [](MinimalEffect& e) { return e.offlineGetCurrentPass(); },
         audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f, C::nonZero},
        {"offlineGetCurrentMetaPass", [](MinimalEffect& e) { return e.offlineGetCurrentMetaPass(); },
         audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f, C::nonZero},
        {"setOutputSampleRate", [](MinimalEffect& e) { return e.setOutputSampleRate(22050.5f); },
         audioMasterSetOutputSampleRate, 0, 0, nullptr, 22050.5f, C::asIs},
        {"getOutputSpeakerArrangement", [](MinimalEffect& e) { return asInt(e.getOutputSpeakerArrangement()); },
         audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0.0f, C::asIs},
        {"getHostVendorString", [](MinimalEffect& e) { return asInt(e.getHostVendorString(static_cast<char*>(text))); },
         audioMasterGetVendorString, 0, 0, text, 0.0f, C::nonZero},
        {"getHostProductString",
         [](MinimalEffect& e) { return asInt(e.getHostProductString(static_cast<char*>(text))); },
         audioMasterGetProductString, 0, 0, text, 0.0f, C::nonZero},
        {"getHostVendorVersion", [](MinimalEffect& e) { return e.getHostVendorVersion(); }, audioMasterGetVendorVersion,
         0, 0, nullptr, 0.0f, C::asIs},
        {"hostVendorSpecific", [](MinimalEffect& e) { return e.hostVendorSpecific(9, -7, text, 1.5f); },
         audioMasterVendorSpecific, 9, -7, text, 1.5f, C::asIs},
        {"canHostDo", [](MinimalEffect& e) { return asInt(e.canHostDo(static_cast<char*>(text))); }, audioMasterCanDo,
         0, 0, text, 0.0f, C::nonZero},
        {"getHostLanguage", [](MinimalEffect& e) { return e.getHostLanguage(); }, audioMasterGetLanguage, 0, 0, nullptr,
         0.0f, C::asIs},
        {"openWindow", [](MinimalEffect& e) { return e.openWindow(as<VstWindow>()); }, audioMasterOpenWindow, 0, 0,
         record, 0.0f, C::asIs},
        {"closeWindow", [](MinimalEffect& e) { return asInt(e.closeWindow(as<VstWindow>())); }, audioMasterCloseWindow,
         0, 0, record, 0.0f, C::nonZero},
        {"getDirectory", [](MinimalEffect& e) { return asInt(e.getDirectory()); }, audioMasterGetDirectory, 0, 0,
         nullptr, 0.0f, C::asIs},
        {"updateDisplay", [](MinimalEffect& e) { return asInt(e.updateDisplay()); }, audioMasterUpdateDisplay, 0, 0,
         nullptr, 0.0f, C::nonZero},
        {"beginEdit", [](MinimalEffect& e) { return asInt(e.beginEdit(11)); }, audioMasterBeginEdit, 11, 0, nullptr,
         0.0f, C::nonZero},
        {"endEdit", [](MinimalEffect& e) { return asInt(e.endEdit(11)); }, audioMasterEndEdit, 11, 0, nullptr, 0.0f,
         C::nonZero},
        {"openFileSelector", [](MinimalEffect& e) { return asInt(e.openFileSelector(as<VstFileSelect>())); },
         audioMasterOpenFileSelector, 0, 0, record, 0.0f, C::nonZero},
        {"closeFileSelector", [](MinimalEffect& e) { return asInt(e.closeFileSelector(as<VstFileSelect>())); },
         audioMasterCloseFileSelector, 0, 0, record, 0.0f, C::nonZero},
        {"getChunkFile", [](MinimalEffect& e) { return asInt(e.getChunkFile(static_cast<char*>(text))); },
         audioMasterGetChunkFile, 0, 0, text, 0.0f, C::nonZero},
        {"getInputSpeakerArrangement", [](MinimalEffect& e) { return asInt(e.getInputSpeakerArrangement()); },
         audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0.0f, C::asIs},
    };
}

class HostRequest : public ::testing::Test
{
protected:
    void SetUp() override { fakeHost = FakeHost{}; }

    /// Checks that exactly one call was made, with these arguments, from effect's record; then forgets it.
    void expectOneCall(MinimalEffect& effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt,
                       const char* name)
    {
        ASSERT_EQ(fakeHost.calls.size(), 1u) << name;
        const Call& call = fakeHost.calls[0];
        EXPECT_EQ(call.effect, effect.getEffectRecord()) << name;
        EXPECT_EQ(call.opcode, opcode) << name;
        EXPECT_EQ(call.index, index) << name;
        EXPECT_EQ(call.value, value) << name;
        EXPECT_EQ(call.ptr, ptr) << name;
        EXPECT_EQ(call.opt, opt) << name;
        fakeHost.calls.clear();
    }
};

} // namespace

TEST_F(HostRequest, EveryRequestSendsOneCallWithItsArgumentsAndConvertsTheAnswer)
{
    MinimalEffect effect(recordingCallback);
    for (const Request& request : plainRequests())
    {
        for (intptr_t answer : {intptr_t{0}, intptr_t{1}, intptr_t{37}, intptr_t{-2}})
        {
            fakeHost.answer = answer;
            const intptr_t result = request.make(effect);
            expectOneCall(effect, request.opcode, request.index, request.value, request.ptr, request.opt, request.name);
            const intptr_t expected = request.conversion == Conversion::asIs ? answer : (answer != 0 ? 1 : 0);
            EXPECT_EQ(result, expected) << request.name << " answered " << answer;
        }
    }
}

TEST_F(HostRequest, WithoutAHostEveryRequestAnswersNothing)
{
    MinimalEffect effect(nullptr);
    for (const Request& request : plainRequests())
        EXPECT_EQ(request.make(effect), 0) << request.name;
    EXPECT_TRUE(fakeHost.calls.empty());
}

TEST_F(HostRequest, RecordPassingRequestsRefuseNullWithoutACall)
{
    MinimalEffect effect(recordingCallback);
    fakeHost.answer = 1;
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.getChunkFile(nullptr));
    EXPECT_TRUE(fakeHost.calls.empty());
}

TEST_F(HostRequest, HostVersionIsOneWhenTheHostAnswersZeroOrIsMissing)
{
    MinimalEffect effect(recordingCallback);
    fakeHost.answer = 2400;
    EXPECT_EQ(effect.getHostVersion(), 2400);
    expectOneCall(effect, audioMasterVersion, 0, 0, nullptr, 0.0f, "getHostVersion");
    fakeHost.answer = 0;
    EXPECT_EQ(effect.getHostVersion(), 1);
    expectOneCall(effect, audioMasterVersion, 0, 0, nullptr, 0.0f, "getHostVersion");
    MinimalEffect alone(nullptr);
    EXPECT_EQ(alone.getHostVersion(), 1);
}

TEST_F(HostRequest, PinsAreConnectedWhenTheHostAnswersZero)
{
    MinimalEffect effect(recordingCallback);
    fakeHost.answer = 0;
    EXPECT_TRUE(effect.isInputConnected(2));
    expectOneCall(effect, audioMasterPinConnected, 2, 0, nullptr, 0.0f, "isInputConnected");
    EXPECT_TRUE(effect.isOutputConnected(3));
    expectOneCall(effect, audioMasterPinConnected, 3, 1, nullptr, 0.0f, "isOutputConnected");
    fakeHost.answer = 1;
    EXPECT_FALSE(effect.isInputConnected(2));
    expectOneCall(effect, audioMasterPinConnected, 2, 0, nullptr, 0.0f, "isInputConnected");
    EXPECT_FALSE(effect.isOutputConnected(3));
    expectOneCall(effect, audioMasterPinConnected, 3, 1, nullptr, 0.0f, "isOutputConnected");

    MinimalEffect alone(nullptr);
    EXPECT_TRUE(alone.isInputConnected(0));
    EXPECT_TRUE(alone.isOutputConnected(3));
}

TEST_F(HostRequest, UpdateSampleRateStoresOnlyAPositiveAnswer)
{
    MinimalEffect effect(recordingCallback);
    fakeHost.answer = 48000;
    EXPECT_EQ(effect.updateSampleRate(), 48000.0f);
    expectOneCall(effect, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, "updateSampleRate");
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    for (intptr_t answer : {intptr_t{0}, intptr_t{-96000}})
    {
        fakeHost.answer = answer;
        EXPECT_EQ(effect.updateSampleRate(), 48000.0f) << answer;
        expectOneCall(effect, audioMasterGetSampleRate, 0, 0, nullptr, 0.0f, "updateSampleRate");
    }
    fakeHost.answer = 16777217; // an integer answer converted to float: the nearest float, 16777216
    EXPECT_EQ(effect.updateSampleRate(), 16777216.0f);

    MinimalEffect alone(nullptr);
    alone.setSampleRate(22050.0f);
    EXPECT_EQ(alone.updateSampleRate(), 22050.0f);
}

TEST_F(HostRequest, UpdateBlockSizeStoresOnlyAPositiveAnswer)
{
    MinimalEffect effect(recordingCallback);
    fakeHost.answer = 256;
    EXPECT_EQ(effect.updateBlockSize(), 256);
    expectOneCall(effect, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, "updateBlockSize");
    for (intptr_t answer : {intptr_t{-1}, intptr_t{0}})
    {
        fakeHost.answer = answer;
        EXPECT_EQ(effect.updateBlockSize(), 256) << answer;
        EXPECT_EQ(effect.getBlockSize(), 256) << answer;
        expectOneCall(effect, audioMasterGetBlockSize, 0, 0, nullptr, 0.0f, "updateBlockSize");
    }
    MinimalEffect alone(nullptr);
    EXPECT_EQ(alone.updateBlockSize(), 1024);
}

TEST_F(HostRequest, SetParameterAutomatedSetsTheParameterFirstThenTellsTheHost)
{
    MinimalEffect effect(recordingCallback);
    effect.setParameterAutomated(2, 0.5f);
    EXPECT_EQ(effect.lastIndex, 2);
    EXPECT_EQ(effect.lastValue, 0.5f);
    EXPECT_EQ(effect.parameterCallsBeforeHost, std::vector<size_t>{0}); // no host call yet when it was set
    expectOneCall(effect, audioMasterAutomate, 2, 0, nullptr, 0.5f, "setParameterAutomated");

    MinimalEffect alone(nullptr);
    alone.setParameterAutomated(4, 0.25f);
    EXPECT_EQ(alone.lastIndex, 4);
    EXPECT_EQ(alone.lastValue, 0.25f);
}

TEST_F(HostRequest, TimeInfoIsTheHostsRecord)
{
    MinimalEffect effect(recordingCallback);
    VstTimeInfo hostTime{};
    hostTime.tempo = 133.0;
    fakeHost.answer = reinterpret_cast<intptr_t>(&hostTime);
    const VstTimeInfo* time = effect.getTimeInfo(kTempoSyncTimeMask);
    ASSERT_EQ(time, &hostTime);
    EXPECT_EQ(time->tempo, 133.0);
    expectOneCall(effect, audioMasterGetTime, 0, 0x2E01, nullptr, 0.0f, "getTimeInfo");
}

// The built library as a host sees it: loaded with dlopen, instances created through the exported entry points and
// driven through the record only.

#include "support/TestHost.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

// What the effect reports right after creation.
constexpr int32_t kExpectedInputs = 2;
constexpr int32_t kExpectedOutputs = 2;
constexpr int32_t kExpectedFlags = effFlagsCanReplacing; // 16
constexpr int32_t kExpectedUniqueId = fourCharCode('W', 'r', 'y', 'x');
constexpr int32_t kExpectedPrograms = 1;
constexpr int32_t kExpectedParameters = 12;

void expectFreshRecord(const AEffect* effect)
{
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numPrograms, kExpectedPrograms);
    EXPECT_EQ(effect->numParams, kExpectedParameters);
    EXPECT_EQ(effect->numInputs, kExpectedInputs);
    EXPECT_EQ(effect->numOutputs, kExpectedOutputs);
    EXPECT_EQ(effect->flags, kExpectedFlags);
    EXPECT_EQ(effect->resvd1, 0);
    EXPECT_EQ(effect->resvd2, 0);
    EXPECT_EQ(effect->initialDelay, 0);
    EXPECT_EQ(effect->realQualities, 0);
    EXPECT_EQ(effect->offQualities, 0);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_NE(effect->object, nullptr);
    EXPECT_EQ(effect->user, nullptr);
    EXPECT_EQ(effect->uniqueID, kExpectedUniqueId);
    EXPECT_EQ(effect->version, 1);
    EXPECT_NE(effect->dispatcher, nullptr);
    EXPECT_NE(effect->process, nullptr);
    EXPECT_NE(effect->setParameter, nullptr);
    EXPECT_NE(effect->getParameter, nullptr);
    EXPECT_NE(effect->processReplacing, nullptr);
    EXPECT_NE(effect->processDoubleReplacing, nullptr);
    const char zeros[sizeof(effect->future)] = {};
    EXPECT_EQ(std::memcmp(effect->future, zeros, sizeof(zeros)), 0);
}

#if defined(_WIN32)
/// The full path of the module that holds the code at address.
std::string fileHolding(const void* address)
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return "";
    char path[MAX_PATH] = {};
    if (GetModuleFileNameA(module, path, MAX_PATH) == 0)
        return "";
    char full[MAX_PATH] = {};
    return GetFullPathNameA(path, MAX_PATH, full, nullptr) != 0 ? full : path;
}

std::string pluginFile()
{
    char full[MAX_PATH] = {};
    return GetFullPathNameA(TESSALOOM_PLUGIN_PATH, MAX_PATH, full, nullptr) != 0 ? full : TESSALOOM_PLUGIN_PATH;
}
#else
/// The canonical path of the file that holds the code at address.
std::string fileHolding(const void* address)
{
    Dl_info info{};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return "";
    char resolved[PATH_MAX];
    return realpath(info.dli_fname, resolved) != nullptr ? resolved : info.dli_fname;
}

std::string pluginFile()
{
    char resolved[PATH_MAX];
    return realpath(TESSALOOM_PLUGIN_PATH, resolved) != nullptr ? resolved : TESSALOOM_PLUGIN_PATH;
}
#endif

} // namespace

TEST(PluginEntry, LibraryExportsBothEntryPoints)
{
    TestHost host;
    ASSERT_TRUE(host.isLoaded()) << host.loadError();
    const TestHost::EntryProc vstPluginMain = host.entryPoint(TestHost::Entry::vstPluginMain);
    const TestHost::EntryProc mainAlias = host.entryPoint(TestHost::Entry::mainAlias);
    ASSERT_NE(vstPluginMain, nullptr);
    ASSERT_NE(mainAlias, nullptr);
    EXPECT_EQ(fileHolding(reinterpret_cast<void*>(vstPluginMain)), pluginFile());
    EXPECT_EQ(fileHolding(reinterpret_cast<void*>(mainAlias)), pluginFile());
}

TEST(PluginEntry, BothEntryPointsCreateAFreshInstance)
{
    for (TestHost::Entry entry : {TestHost::Entry::vstPluginMain, TestHost::Entry::mainAlias})
    {
        TestHost host;
        ASSERT_TRUE(host.isLoaded()) << host.loadError();
        AEffect* effect = host.create(entry);
        expectFreshRecord(effect);
        EXPECT_EQ(host.dispatch(effGetVstVersion), 2400);
        EXPECT_EQ(host.close(), 1);
    }
}

TEST(PluginEntry, EntryPointAsksForTheHostVersionWithoutAnEffect)
{
    TestHost host;
    ASSERT_TRUE(host.isLoaded()) << host.loadError();
    ASSERT_NE(host.create(), nullptr);
    const std::vector<TestHost::HostCall> calls = host.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].effect, nullptr);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(calls[0].index, 0);
    EXPECT_EQ(calls[0].value, 0);
    EXPECT_EQ(calls[0].ptr, nullptr);
    EXPECT_EQ(calls[0].opt, 0.0f);
}

TEST(PluginEntry, HostVersionZeroIsRefusedAndAnyOtherAccepted)
{
    TestHost host;
    ASSERT_TRUE(host.isLoaded()) << host.loadError();
    host.setVersionAnswer(0);
    EXPECT_EQ(host.create(), nullptr);
    EXPECT_EQ(host.callCount(audioMasterVersion), 1u);
    EXPECT_EQ(host.effect(), nullptr);

    for (intptr_t version : {intptr_t{1}, intptr_t{2400}, intptr_t{-1}, intptr_t{99999}})
    {
        host.setVersionAnswer(version);
        AEffect* effect = host.create();
        ASSERT_NE(effect, nullptr) << "version " << version;
        EXPECT_EQ(effect->magic, kEffectMagic);
        EXPECT_EQ(host.close(), 1);
    }
}

TEST(PluginEntry, NullCallbackGivesNullWithoutACall)
{
    TestHost host;
    ASSERT_TRUE(host.isLoaded()) << host.loadError();
    EXPECT_EQ(host.entryPoint(TestHost::Entry::vstPluginMain)(nullptr), nullptr);
    EXPECT_EQ(host.entryPoint(TestHost::Entry::mainAlias)(nullptr), nullptr);
}

TEST(PluginEntry, TwoInstancesHaveTheirOwnRecordsAndObjects)
{
    TestHost first;
    TestHost second;
    ASSERT_TRUE(first.isLoaded()) << first.loadError();
    AEffect* a = first.create();
    AEffect* b = second.create();
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(a->object, b->object);

    // Changing one leaves the other as it was.
    first.dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(first.close(), 1);
    expectFreshRecord(b);
    EXPECT_EQ(second.dispatch(effGetVstVersion), 2400);
    EXPECT_EQ(second.close(), 1);
}

TEST(PluginEntry, DefaultAnswersThroughTheRecord)
{
    TestHost host;
    ASSERT_NE(host.create(), nullptr) << host.loadError();
    EXPECT_EQ(host.dispatch(effIdentify), 0x4e764566);
    EXPECT_EQ(host.dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(host.dispatch(effGetTailSize), 0);
    EXPECT_EQ(host.dispatch(effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(host.dispatch(effGetProgram), 0);
    char bypass[] = "bypass";
    EXPECT_EQ(host.dispatch(effCanDo, 0, 0, bypass), 0);
    for (int32_t index = 0; index < kExpectedParameters; ++index)
        EXPECT_EQ(host.dispatch(effCanBeAutomated, index), 1);
    EXPECT_EQ(host.dispatch(80), 0);
    EXPECT_EQ(host.dispatch(-1), 0);
}

TEST(PluginEntry, SwitchingOnAndOffSendsNothingToTheHost)
{
    TestHost host;
    ASSERT_NE(host.create(), nullptr) << host.loadError();
    host.clearCalls();
    EXPECT_EQ(host.dispatch(effOpen), 0);
    EXPECT_EQ(host.dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_EQ(host.dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_TRUE(host.calls().empty());
}

TEST(PluginEntry, CloseAnswersOneAndForgetsTheInstance)
{
    TestHost host;
    ASSERT_NE(host.create(), nullptr) << host.loadError();
    EXPECT_EQ(host.close(), 1);
    EXPECT_EQ(host.effect(), nullptr);
    EXPECT_EQ(host.close(), 0); // nothing left to close
    EXPECT_NE(host.create(), nullptr);
}

TEST(PluginEntry, ProcessingWritesEveryOutputSample)
{
    TestHost host;
    ASSERT_NE(host.create(), nullptr) << host.loadError();
    host.dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    host.dispatch(effSetBlockSize, 0, 64);
    host.dispatch(effMainsChanged, 0, 1);
    constexpr int32_t kFrames = 64;
    float inLeft[kFrames], inRight[kFrames], outLeft[kFrames], outRight[kFrames];
    for (int32_t i = 0; i < kFrames; ++i)
    {
        inLeft[i] = 0.5f * std::sin(0.1f * static_cast<float>(i));
        inRight[i] = -inLeft[i];
        outLeft[i] = outRight[i] = std::nanf("");
    }
    host.processReplacing(inLeft, inRight, outLeft, outRight, kFrames);
    for (int32_t i = 0; i < kFrames; ++i)
    {
        EXPECT_TRUE(std::isfinite(outLeft[i])) << "left " << i;
        EXPECT_TRUE(std::isfinite(outRight[i])) << "right " << i;
    }
}

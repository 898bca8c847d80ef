// The VST 2.x base: the dispatcher for opcodes 25 to 79 and its defaults, resume, and the speaker-arrangement helpers.

#include "host/EffectBaseX.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{

/// Sets nothing beyond the base; counts the events requests it makes instead of calling a host.
class MinimalEffect : public EffectBaseX
{
public:
    MinimalEffect() : EffectBaseX(nullptr, 1, 12) {}
    void processReplacing(float**, float**, int32_t) noexcept override {}
    intptr_t wantEvents(int32_t filter) override
    {
        wantEventsFilters.push_back(filter);
        return 0;
    }
    std::vector<int32_t> wantEventsFilters;
};

/// Answers canDo with a fixed value, to drive resume.
class CanDoEffect : public MinimalEffect
{
public:
    explicit CanDoEffect(intptr_t answer) : canDoAnswer(answer) {}
    intptr_t canDo(char* text) override
    {
        askedFor = text;
        return canDoAnswer;
    }
    intptr_t canDoAnswer;
    std::string askedFor;
};

/// Records the arguments that reach the operations, to check how the dispatcher maps them.
class ArgumentEffect : public MinimalEffect
{
public:
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override
    {
        args = {category, index};
        lastPtr = text;
        return true;
    }
    bool offlineNotify(VstAudioFile* files, int32_t count, bool start) override
    {
        args = {count, start ? 1 : 0};
        lastPtr = files;
        return true;
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) override
    {
        lastInput = input;
        lastPtr = output;
        return true;
    }
    bool setPanLaw(int32_t type, float value) override
    {
        args = {type};
        lastFloat = value;
        return true;
    }
    intptr_t vendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) override
    {
        args = {index, static_cast<int32_t>(value)};
        lastPtr = ptr;
        lastFloat = opt;
        return -42;
    }
    bool setBypass(bool onOff) override
    {
        args = {onOff ? 1 : 0};
        return false;
    }
    int32_t getMidiProgramName(int32_t channel, MidiProgramName* name) override
    {
        args = {channel};
        lastPtr = name;
        return 7;
    }
    std::vector<int32_t> args;
    void* lastPtr = nullptr;
    VstSpeakerArrangement* lastInput = nullptr;
    float lastFloat = 0.0f;
};

intptr_t dispatch(EffectBase& effect, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                  float opt = 0.0f)
{
    AEffect* record = effect.getEffectRecord();
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

VstSpeakerProperties* speakerOf(VstSpeakerArrangement* arrangement, int32_t i)
{
    return reinterpret_cast<VstSpeakerProperties*>(reinterpret_cast<char*>(arrangement) + 8 + 112 * i);
}

} // namespace

TEST(EffectBaseXDispatcher, IdentityAndCapabilityDefaults)
{
    MinimalEffect effect;
    EXPECT_EQ(dispatch(effect, effGetVstVersion), 2400);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), 0);
    EXPECT_EQ(dispatch(effect, effGetTailSize), 0);
    EXPECT_EQ(dispatch(effect, effGetVendorVersion), 0);
    EXPECT_EQ(dispatch(effect, effGetCurrentMidiProgram), -1);
    for (int32_t index : {-1, 0, 11, 12, 1000})
        EXPECT_EQ(dispatch(effect, effCanBeAutomated, index), 1) << "index " << index;
    for (int32_t opcode : {effGetEffectName, effGetVendorString, effGetProductString})
    {
        char text[8] = "xxxxxxx";
        EXPECT_EQ(dispatch(effect, opcode, 0, 0, text), 0);
        EXPECT_STREQ(text, "xxxxxxx") << "the default writes nothing, opcode " << opcode;
    }
}

TEST(EffectBaseXDispatcher, CanDoAnswersZeroForEveryText)
{
    MinimalEffect effect;
    char receive[] = "receiveVstMidiEvent", bypass[] = "bypass", empty[] = "";
    for (char* text : {receive, bypass, empty})
        EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, text), 0) << '"' << text << '"';
    EXPECT_EQ(dispatch(effect, effCanDo, 0, 0, nullptr), 0);
}

TEST(EffectBaseXDispatcher, SynthFlagMakesTheCategorySynth)
{
    MinimalEffect effect;
    effect.setIsSynth(true);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugCategSynth);
    effect.setIsSynth(false);
    EXPECT_EQ(dispatch(effect, effGetPlugCategory), kPlugCategUnknown);
}

TEST(EffectBaseXDispatcher, EveryOtherOpcodeOfTheRangeAnswersItsDefault)
{
    MinimalEffect effect;
    char text[16] = {};
    // Operations that default to false or 0 and the opcodes of 25..79 without an operation.
    for (int32_t opcode = effProcessEvents; opcode <= effGetNumMidiOutputChannels; ++opcode)
    {
        if (opcode == effCanBeAutomated || opcode == effGetVstVersion || opcode == effGetCurrentMidiProgram ||
            opcode == effSetTotalSampleToProcess || opcode == effGetSpeakerArrangement)
            continue;
        EXPECT_EQ(dispatch(effect, opcode, 1, 0, text, 1.0f), 0) << "opcode " << opcode;
    }
    for (int32_t opcode : {80, 81, 100, 1000, -1, INT32_MIN})
        EXPECT_EQ(dispatch(effect, opcode, 1, 1, text, 1.0f), 0) << "opcode " << opcode;
}

TEST(EffectBaseXDispatcher, SetTotalSampleToProcessEchoesItsValue)
{
    MinimalEffect effect;
    EXPECT_EQ(dispatch(effect, effSetTotalSampleToProcess, 0, 44100), 44100);
    EXPECT_EQ(dispatch(effect, effSetTotalSampleToProcess, 0, -3), -3);
    EXPECT_EQ(dispatch(effect, effSetTotalSampleToProcess, 0, 0), 0);
}

TEST(EffectBaseXDispatcher, GetSpeakerArrangementWritesNullIntoBothPlaces)
{
    MinimalEffect effect;
    int dummy = 0;
    auto* input = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    auto* output = reinterpret_cast<VstSpeakerArrangement*>(&dummy);
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
    EXPECT_EQ(dispatch(effect, effGetSpeakerArrangement, 0, 0, nullptr), 0); // no places: nothing written
}

TEST(EffectBaseXDispatcher, ArgumentsReachTheOperationsAsTheOpcodeDefines)
{
    ArgumentEffect effect;
    char text[4] = {};
    EXPECT_EQ(dispatch(effect, effGetProgramNameIndexed, 5, 9, text), 1);
    EXPECT_EQ(effect.args, (std::vector<int32_t>{9, 5})); // category from value, program from index
    EXPECT_EQ(effect.lastPtr, text);

    EXPECT_EQ(dispatch(effect, effOfflineNotify, 2, 3, text), 1);
    EXPECT_EQ(effect.args, (std::vector<int32_t>{3, 1}));
    EXPECT_EQ(dispatch(effect, effOfflineNotify, 0, 3, text), 1);
    EXPECT_EQ(effect.args, (std::vector<int32_t>{3, 0}));

    int in = 0, out = 0;
    EXPECT_EQ(dispatch(effect, effSetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(&in), &out), 1);
    EXPECT_EQ(static_cast<void*>(effect.lastInput), &in);
    EXPECT_EQ(effect.lastPtr, &out);

    EXPECT_EQ(dispatch(effect, effSetPanLaw, 0, 1, nullptr, 0.5f), 1);
    EXPECT_EQ(effect.args, (std::vector<int32_t>{1}));
    EXPECT_EQ(effect.lastFloat, 0.5f);

    EXPECT_EQ(dispatch(effect, effVendorSpecific, 4, 6, text, 2.5f), -42);
    EXPECT_EQ(effect.args, (std::vector<int32_t>{4, 6}));
    EXPECT_EQ(effect.lastPtr, text);
    EXPECT_EQ(effect.lastFloat, 2.5f);

    EXPECT_EQ(dispatch(effect, effSetBypass, 0, 2), 0);
    EXPECT_EQ(effect.args, (std::vector<int32_t>{1}));

    EXPECT_EQ(dispatch(effect, effGetMidiProgramName, 15, 0, text), 7);
    EXPECT_EQ(effect.args, (std::vector<int32_t>{15}));
}

TEST(EffectBaseXResume, PlainEffectAsksForNoEvents)
{
    MinimalEffect effect;
    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, 1), 0);
    EXPECT_EQ(dispatch(effect, effMainsChanged, 0, 0), 0);
    EXPECT_TRUE(effect.wantEventsFilters.empty());
}

TEST(EffectBaseXResume, SynthFlagAsksForEvents)
{
    MinimalEffect effect;
    effect.setIsSynth(true);
    dispatch(effect, effMainsChanged, 0, 1);
    EXPECT_EQ(effect.wantEventsFilters, std::vector<int32_t>{1});
}

TEST(EffectBaseXResume, ReceivingMidiEventsAsksForEventsOnlyOnAnAnswerOfOne)
{
    for (intptr_t answer : {intptr_t{1}, intptr_t{0}, intptr_t{-1}, intptr_t{2}})
    {
        CanDoEffect effect(answer);
        dispatch(effect, effMainsChanged, 0, 1);
        EXPECT_EQ(effect.askedFor, "receiveVstMidiEvent");
        EXPECT_EQ(effect.wantEventsFilters.size(), answer == 1 ? 1u : 0u) << "canDo answer " << answer;
    }
}

TEST(EffectBaseXArrangement, AllocateGivesAZeroedBlockWithTheChannelCount)
{
    MinimalEffect effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 10)); // more speakers than the record declares
    ASSERT_NE(arrangement, nullptr);
    EXPECT_EQ(arrangement->type, 0);
    EXPECT_EQ(arrangement->numChannels, 10);
    const VstSpeakerProperties zero{};
    for (int32_t i = 0; i < 10; ++i)
        EXPECT_EQ(std::memcmp(speakerOf(arrangement, i), &zero, sizeof(zero)), 0) << "speaker " << i;

    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 0)); // replaces (and frees) the old block
    EXPECT_EQ(arrangement->numChannels, 0);
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&arrangement)); // nothing left to free
}

TEST(EffectBaseXArrangement, AllocateRefusesImpossibleCountsAndClearsThePlace)
{
    MinimalEffect effect;
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&arrangement, 2));
    EXPECT_FALSE(effect.allocateArrangement(&arrangement, -1));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_FALSE(effect.allocateArrangement(nullptr, 2));
}

TEST(EffectBaseXArrangement, CopySpeakerCopiesEveryFieldAndBoundsTheName)
{
    MinimalEffect effect;
    VstSpeakerProperties from{};
    from.azimuth = 0.5f;
    from.elevation = -0.25f;
    from.radius = 2.0f;
    from.reserved = 3.0f;
    std::memset(from.name, 'n', sizeof(from.name)); // no terminator within 64 bytes
    from.type = 7;
    for (size_t i = 0; i < sizeof(from.future); ++i)
        from.future[i] = static_cast<char>(i + 1);
    VstSpeakerProperties to{};
    std::memset(&to, 0x55, sizeof(to));

    ASSERT_TRUE(effect.copySpeaker(&to, &from));
    EXPECT_EQ(to.azimuth, 0.5f);
    EXPECT_EQ(to.elevation, -0.25f);
    EXPECT_EQ(to.radius, 2.0f);
    EXPECT_EQ(to.reserved, 3.0f);
    EXPECT_EQ(to.type, 7);
    EXPECT_EQ(std::memcmp(to.future, from.future, sizeof(to.future)), 0);
    EXPECT_EQ(std::string(to.name), std::string(63, 'n'));

    std::strcpy(from.name, "Left");
    ASSERT_TRUE(effect.copySpeaker(&to, &from));
    EXPECT_STREQ(to.name, "Left");
    EXPECT_EQ(to.name[10], '\0'); // the rest of the name is cleared

    EXPECT_FALSE(effect.copySpeaker(nullptr, &from));
    EXPECT_FALSE(effect.copySpeaker(&to, nullptr));
}

TEST(EffectBaseXArrangement, MatchCopiesTypeCountAndEverySpeaker)
{
    MinimalEffect effect;
    VstSpeakerArrangement* source = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&source, 12));
    source->type = 5;
    for (int32_t i = 0; i < 12; ++i)
    {
        speakerOf(source, i)->type = 100 + i;
        speakerOf(source, i)->azimuth = 0.1f * static_cast<float>(i);
        std::snprintf(speakerOf(source, i)->name, 64, "Speaker %d", i);
    }
    VstSpeakerArrangement* copy = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&copy, 1));
    ASSERT_TRUE(effect.matchArrangement(&copy, source));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->type, 5);
    EXPECT_EQ(copy->numChannels, 12);
    for (int32_t i = 0; i < 12; ++i)
        EXPECT_EQ(std::memcmp(speakerOf(copy, i), speakerOf(source, i), 112), 0) << "speaker " << i;

    EXPECT_TRUE(effect.matchArrangement(&copy, copy)); // already matches itself; nothing is freed
    EXPECT_EQ(copy->numChannels, 12);
    EXPECT_FALSE(effect.matchArrangement(&copy, nullptr));

    source->numChannels = -2;
    EXPECT_FALSE(effect.matchArrangement(&copy, source));
    EXPECT_EQ(copy, nullptr);
    source->numChannels = 12;
    effect.deallocateArrangement(&source);
}

TEST(EffectBaseXDefaults, OperationsWithoutOpcodeKeepTheirDefaults)
{
    MinimalEffect effect;
    effect.setBlockSizeAndSampleRate(256, 96000.0f);
    EXPECT_EQ(effect.getBlockSize(), 256);
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);
    EXPECT_EQ(effect.getNextShellPlugin(nullptr), 0);
    EXPECT_FALSE(effect.hasMidiProgramsChanged(0));
    EXPECT_FALSE(effect.stringToParameter(0, nullptr));
}

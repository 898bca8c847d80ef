// The effect base: the record it fills, its setters, the dispatcher for opcodes 0 to 24, the editor opcodes and the
// record's static function entries.

#include "host/EditorBase.h"
#include "host/EffectBaseX.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

namespace
{

/// What a test learns about an effect's end.
struct Lifetime
{
    bool destroyed = false;
    int closesBeforeDestruction = -1;
};

/// Notes what reached the object; sets nothing beyond the base.
class MinimalEffect : public EffectBaseX
{
public:
    explicit MinimalEffect(Lifetime* lifetimeOut = nullptr) : EffectBaseX(nullptr, 1, 12), lifetime(lifetimeOut) {}
    ~MinimalEffect() override
    {
        if (lifetime != nullptr)
        {
            lifetime->destroyed = true;
            lifetime->closesBeforeDestruction = closed;
        }
    }

    void processReplacing(float**, float** outputs, int32_t sampleFrames) noexcept override
    {
        lastFrames = sampleFrames;
        outputs[0][0] = 1.0f;
    }
    void process(float**, float**, int32_t sampleFrames) override { lastAccumulatingFrames = sampleFrames; }
    void processDoubleReplacing(double**, double**, int32_t sampleFrames) override { lastDoubleFrames = sampleFrames; }
    void setParameter(int32_t index, float value) override
    {
        lastIndex = index;
        lastValue = value;
    }
    float getParameter(int32_t index) override { return 0.25f * static_cast<float>(index); }
    void open() override { ++opened; }
    void close() override { ++closed; }
    void suspend() override { ++suspended; }
    void resume() override { ++resumed; }
    void setProgramName(char* name) override { lastText = name; }
    int32_t getChunk(void** data, bool isPreset) override
    {
        lastChunkPlace = data;
        lastIsPreset = isPreset;
        return 77;
    }
    int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override
    {
        lastChunk = data;
        lastByteSize = byteSize;
        lastIsPreset = isPreset;
        return 88;
    }

    void attachEditor(EditorBase* e) { editor = e; }
    int32_t programCount() const { return numPrograms; }
    int32_t parameterCount() const { return numParams; }

    Lifetime* lifetime = nullptr;
    int opened = 0, closed = 0, suspended = 0, resumed = 0;
    int32_t lastFrames = -1, lastAccumulatingFrames = -1, lastDoubleFrames = -1;
    int32_t lastIndex = -1;
    float lastValue = -1.0f;
    const char* lastText = nullptr;
    void** lastChunkPlace = nullptr;
    void* lastChunk = nullptr;
    int32_t lastByteSize = -1;
    bool lastIsPreset = false;
};

/// Editor double: records the calls and answers true.
class RecordingEditor : public EditorBase
{
public:
    explicit RecordingEditor(bool* destroyedFlag) : destroyed(destroyedFlag) {}
    ~RecordingEditor() override { *destroyed = true; }
    bool getRect(ERect** r) override
    {
        *r = &rect;
        return true;
    }
    bool open(void* parent) override
    {
        openedWith = parent;
        return true;
    }
    void close() override { ++closes; }
    void idle() override { ++idles; }
    bool onKeyDown(VstKeyCode& key) override
    {
        lastKey = key;
        ++keyDowns;
        return true;
    }
    bool onKeyUp(VstKeyCode& key) override
    {
        lastKey = key;
        ++keyUps;
        return true;
    }
    bool setKnobMode(int32_t mode) override
    {
        knobMode = mode;
        return true;
    }

    bool* destroyed;
    ERect rect{1, 2, 3, 4};
    void* openedWith = nullptr;
    int closes = 0, idles = 0, keyDowns = 0, keyUps = 0;
    VstKeyCode lastKey{};
    int32_t knobMode = -1;
};

intptr_t dispatch(AEffect* record, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                  float opt = 0.0f)
{
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

} // namespace

TEST(EffectBaseRecord, DerivedEffectThatSetsNothingReportsTheBaseDefaults)
{
    MinimalEffect effect;
    const AEffect* record = effect.getEffectRecord();
    EXPECT_EQ(record->magic, 0x56737450);
    EXPECT_EQ(record->numPrograms, 1);
    EXPECT_EQ(record->numParams, 12);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, 16);
    EXPECT_EQ(record->resvd1, 0);
    EXPECT_EQ(record->resvd2, 0);
    EXPECT_EQ(record->initialDelay, 0);
    EXPECT_EQ(record->realQualities, 0);
    EXPECT_EQ(record->offQualities, 0);
    EXPECT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->object, static_cast<void*>(static_cast<EffectBase*>(&effect)));
    EXPECT_EQ(record->user, nullptr);
    EXPECT_EQ(record->uniqueID, 0x4e6f4566);
    EXPECT_EQ(record->version, 1);
    EXPECT_NE(record->dispatcher, nullptr);
    EXPECT_NE(record->process, nullptr);
    EXPECT_NE(record->setParameter, nullptr);
    EXPECT_NE(record->getParameter, nullptr);
    EXPECT_NE(record->processReplacing, nullptr);
    EXPECT_NE(record->processDoubleReplacing, nullptr);
    const char zeros[sizeof(record->future)] = {};
    EXPECT_EQ(std::memcmp(record->future, zeros, sizeof(zeros)), 0);
}

TEST(EffectBaseRecord, EngineStateStartsAtItsDefaults)
{
    MinimalEffect effect;
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getProgram(), 0);
    EXPECT_EQ(effect.programCount(), 1);
    EXPECT_EQ(effect.parameterCount(), 12);
    EXPECT_EQ(effect.getEditor(), nullptr);
    EXPECT_EQ(effect.getEffectRecord(), effect.getEffectRecord());
}

TEST(EffectBaseRecord, SettersWriteStraightIntoTheRecord)
{
    MinimalEffect effect;
    const AEffect* record = effect.getEffectRecord();
    effect.setNumInputs(2);
    effect.setNumOutputs(6);
    effect.setUniqueId(0x57727978);
    effect.setInitialDelay(64);
    effect.setRealtimeQualities(3);
    effect.setOfflineQualities(4);
    EXPECT_EQ(record->numInputs, 2);
    EXPECT_EQ(record->numOutputs, 6);
    EXPECT_EQ(record->uniqueID, 0x57727978);
    EXPECT_EQ(record->initialDelay, 64);
    EXPECT_EQ(record->realQualities, 3);
    EXPECT_EQ(record->offQualities, 4);
}

TEST(EffectBaseRecord, FlagSettersSetAndClearOnlyTheirBit)
{
    MinimalEffect effect;
    const AEffect* record = effect.getEffectRecord();
    struct FlagSetter
    {
        void (*set)(MinimalEffect&, bool);
        int32_t bit;
    };
    const FlagSetter setters[] = {
        {[](MinimalEffect& e, bool s) { e.setHasClip(s); }, effFlagsHasClip},
        {[](MinimalEffect& e, bool s) { e.setHasVu(s); }, effFlagsHasVu},
        {[](MinimalEffect& e, bool s) { e.setCanMono(s); }, effFlagsCanMono},
        {[](MinimalEffect& e, bool s) { e.setProgramsAreChunks(s); }, effFlagsProgramChunks},
        {[](MinimalEffect& e, bool s) { e.setIsSynth(s); }, effFlagsIsSynth},
        {[](MinimalEffect& e, bool s) { e.setNoTail(s); }, effFlagsNoSoundInStop},
        {[](MinimalEffect& e, bool s) { e.setIsAsynchronous(s); }, effFlagsExtIsAsync},
        {[](MinimalEffect& e, bool s) { e.setHasExternalBuffer(s); }, effFlagsExtHasBuffer},
        {[](MinimalEffect& e, bool s) { e.setCanDoubleReplacing(s); }, effFlagsCanDoubleReplacing},
    };
    for (const FlagSetter& setter : setters)
    {
        setter.set(effect, true);
        EXPECT_EQ(record->flags, effFlagsCanReplacing | setter.bit) << "bit " << setter.bit;
        setter.set(effect, false);
        EXPECT_EQ(record->flags, effFlagsCanReplacing) << "bit " << setter.bit;
    }
    effect.setCanReplacing(false);
    EXPECT_EQ(record->flags, 0);
    effect.setCanReplacing(true);
    effect.setCanReplacing(true);
    EXPECT_EQ(record->flags, effFlagsCanReplacing);
}

TEST(EffectBaseDispatcher, LifecycleOpcodesCallTheirOperationsAndAnswerZero)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    EXPECT_EQ(dispatch(record, effOpen), 0);
    EXPECT_EQ(effect.opened, 1);
    EXPECT_EQ(dispatch(record, effMainsChanged, 0, 1), 0);
    EXPECT_EQ(dispatch(record, effMainsChanged, 0, -5), 0);
    EXPECT_EQ(effect.resumed, 2);
    EXPECT_EQ(dispatch(record, effMainsChanged, 0, 0), 0);
    EXPECT_EQ(effect.suspended, 1);
    EXPECT_EQ(effect.EffectBase::dispatcher(effClose, 0, 0, nullptr, 0.0f), 0); // the object's own answer
    EXPECT_EQ(effect.closed, 1);
}

TEST(EffectBaseDispatcher, SampleRateComesFromOptAndBlockSizeFromValue)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    EXPECT_EQ(dispatch(record, effSetSampleRate, 7, 96000, nullptr, 48000.0f), 0);
    EXPECT_EQ(effect.getSampleRate(), 48000.0f);
    EXPECT_EQ(dispatch(record, effSetBlockSize, 7, 512, nullptr, 256.0f), 0);
    EXPECT_EQ(effect.getBlockSize(), 512);
}

TEST(EffectBaseDispatcher, SetProgramIsBoundedByTheProgramCount)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    EXPECT_EQ(dispatch(record, effSetProgram, 0, 1), 0); // equal to numPrograms: ignored
    EXPECT_EQ(dispatch(record, effGetProgram), 0);
    dispatch(record, effSetProgram, 0, 5);
    EXPECT_EQ(effect.getProgram(), 0);
    dispatch(record, effSetProgram, 0, -3); // negative values are passed on
    EXPECT_EQ(dispatch(record, effGetProgram), -3);
    dispatch(record, effSetProgram, 0, 0);
    EXPECT_EQ(dispatch(record, effGetProgram), 0);
}

TEST(EffectBaseDispatcher, DefaultTextsAreEmptyAndTextsReachTheOperations)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    for (int32_t opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName})
    {
        char text[8] = "xxxxxxx";
        EXPECT_EQ(dispatch(record, opcode, 3, 0, text), 0);
        EXPECT_EQ(text[0], '\0') << "opcode " << opcode;
        EXPECT_EQ(text[1], 'x') << "only the first byte is written, opcode " << opcode;
        EXPECT_EQ(dispatch(record, opcode, 3, 0, nullptr), 0); // a null text is not written
    }
    char name[] = "Bright";
    EXPECT_EQ(dispatch(record, effSetProgramName, 0, 0, name), 0);
    EXPECT_EQ(effect.lastText, name);
}

TEST(EffectBaseDispatcher, ChunkOpcodesPassIsPresetFromIndex)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    void* data = nullptr;
    EXPECT_EQ(dispatch(record, effGetChunk, 0, 0, &data), 77);
    EXPECT_EQ(effect.lastChunkPlace, &data);
    EXPECT_FALSE(effect.lastIsPreset);
    EXPECT_EQ(dispatch(record, effGetChunk, 2, 0, &data), 77);
    EXPECT_TRUE(effect.lastIsPreset);
    char block[4] = {};
    EXPECT_EQ(dispatch(record, effSetChunk, 0, 4, block), 88);
    EXPECT_EQ(effect.lastChunk, block);
    EXPECT_EQ(effect.lastByteSize, 4);
    EXPECT_FALSE(effect.lastIsPreset);
    EXPECT_EQ(dispatch(record, effSetChunk, -1, 4, block), 88);
    EXPECT_TRUE(effect.lastIsPreset);

    MinimalEffect plain;
    EXPECT_EQ(plain.EffectBase::getChunk(&data, true), 0);
    EXPECT_EQ(plain.EffectBase::setChunk(block, 4, true), 0);
}

TEST(EffectBaseDispatcher, IdentifyAnswersNvEfAndChangesNothing)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    AEffect before;
    std::memcpy(&before, record, sizeof(before));
    EXPECT_EQ(dispatch(record, effIdentify), 0x4e764566);
    EXPECT_EQ(std::memcmp(&before, record, sizeof(before)), 0);
    EXPECT_EQ(effect.opened + effect.closed + effect.suspended + effect.resumed, 0);
}

TEST(EffectBaseDispatcher, OpcodesWithoutAnOperationAnswerZero)
{
    MinimalEffect effect;
    // The base alone handles 0 to 24; everything else answers 0 there.
    const int32_t opcodes[] = {-100,         -1, effGetVu, effEditDraw, effEditMouse, effEditKey, effEditTop,
                               effEditSleep, 25, 58,       79,          80,           1000};
    for (int32_t opcode : opcodes)
    {
        char text[8] = {};
        EXPECT_EQ(effect.EffectBase::dispatcher(opcode, 1, 1, text, 1.0f), 0) << "opcode " << opcode;
    }
    EXPECT_EQ(effect.getVu(), 0.0f);
}

TEST(EffectBaseEditor, EditorOpcodesAnswerZeroWithoutAnEditor)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    ERect* rect = nullptr;
    VstKeyCode dummy{};
    for (int32_t opcode :
         {effEditGetRect, effEditOpen, effEditClose, effEditIdle, effEditKeyDown, effEditKeyUp, effSetEditKnobMode})
        EXPECT_EQ(dispatch(record, opcode, 65, 1, opcode == effEditGetRect ? static_cast<void*>(&rect) : &dummy), 0)
            << "opcode " << opcode;
    EXPECT_EQ(rect, nullptr);
}

TEST(EffectBaseEditor, EditorOpcodesForwardToTheEditorWhichTheBaseDestroys)
{
    bool editorDestroyed = false;
    {
        MinimalEffect effect;
        AEffect* record = effect.getEffectRecord();
        auto* editor = new RecordingEditor(&editorDestroyed);
        effect.attachEditor(editor);
        EXPECT_EQ(effect.getEditor(), editor);

        ERect* rect = nullptr;
        EXPECT_EQ(dispatch(record, effEditGetRect, 0, 0, &rect), 1);
        EXPECT_EQ(rect, &editor->rect);
        int parentWindow = 0;
        EXPECT_EQ(dispatch(record, effEditOpen, 0, 0, &parentWindow), 1);
        EXPECT_EQ(editor->openedWith, &parentWindow);
        EXPECT_EQ(dispatch(record, effEditIdle), 0);
        EXPECT_EQ(editor->idles, 1);
        EXPECT_EQ(dispatch(record, effEditClose), 0);
        EXPECT_EQ(editor->closes, 1);
        EXPECT_EQ(dispatch(record, effSetEditKnobMode, 0, 2), 1);
        EXPECT_EQ(editor->knobMode, 2);
        EXPECT_FALSE(editorDestroyed);
    }
    EXPECT_TRUE(editorDestroyed);
}

TEST(EffectBaseEditor, KeyRecordTakesCharacterVirtualKeyAndModifiersFromTheArguments)
{
    bool editorDestroyed = false;
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    auto* editor = new RecordingEditor(&editorDestroyed);
    effect.attachEditor(editor);

    EXPECT_EQ(dispatch(record, effEditKeyDown, 'a', 0x1234, nullptr, 5.9f), 1);
    EXPECT_EQ(editor->keyDowns, 1);
    EXPECT_EQ(editor->lastKey.character, 'a');
    EXPECT_EQ(editor->lastKey.virt, 0x34);  // low 8 bits of value
    EXPECT_EQ(editor->lastKey.modifier, 5); // opt truncated toward zero
    EXPECT_EQ(dispatch(record, effEditKeyUp, -7, -1, nullptr, 258.7f), 1);
    EXPECT_EQ(editor->keyUps, 1);
    EXPECT_EQ(editor->lastKey.character, -7);
    EXPECT_EQ(editor->lastKey.virt, 0xFF);
    EXPECT_EQ(editor->lastKey.modifier, 2); // 258, low 8 bits
    EXPECT_EQ(dispatch(record, effEditKeyUp, 0, 0, nullptr, -1.5f), 1);
    EXPECT_EQ(editor->lastKey.modifier, 0xFF); // -1, low 8 bits
    dispatch(record, effEditKeyUp, 0, 0, nullptr, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(editor->lastKey.modifier, 0);
}

TEST(EffectBaseEntries, FunctionEntriesReachTheObject)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    record->setParameter(record, 3, 0.75f);
    EXPECT_EQ(effect.lastIndex, 3);
    EXPECT_EQ(effect.lastValue, 0.75f);
    EXPECT_EQ(record->getParameter(record, 2), 0.5f);

    float left[1] = {}, right[1] = {};
    float* outputs[2] = {left, right};
    record->processReplacing(record, outputs, outputs, 1);
    EXPECT_EQ(effect.lastFrames, 1);
    EXPECT_EQ(left[0], 1.0f);
    record->process(record, outputs, outputs, 9);
    EXPECT_EQ(effect.lastAccumulatingFrames, 9);
    record->processDoubleReplacing(record, nullptr, nullptr, 11);
    EXPECT_EQ(effect.lastDoubleFrames, 11);
}

TEST(EffectBaseEntries, NullRecordOrObjectIsIgnored)
{
    MinimalEffect effect;
    AEffect* record = effect.getEffectRecord();
    AEffect orphan;
    std::memcpy(&orphan, record, sizeof(orphan));
    orphan.object = nullptr;
    for (AEffect* target : {static_cast<AEffect*>(nullptr), &orphan})
    {
        EXPECT_EQ(record->dispatcher(target, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(record->dispatcher(target, effClose, 0, 0, nullptr, 0.0f), 0);
        EXPECT_EQ(record->getParameter(target, 1), 0.0f);
        record->setParameter(target, 1, 0.5f);
        record->process(target, nullptr, nullptr, 4);
        record->processReplacing(target, nullptr, nullptr, 4);
        record->processDoubleReplacing(target, nullptr, nullptr, 4);
    }
    EXPECT_EQ(effect.lastIndex, -1);
    EXPECT_EQ(effect.lastFrames, -1);
    EXPECT_EQ(effect.closed, 0);
}

TEST(EffectBaseEntries, CloseRunsTheEffectsCloseDestroysTheObjectAndAnswersOne)
{
    Lifetime lifetime;
    bool editorDestroyed = false;
    auto* effect = new MinimalEffect(&lifetime);
    effect->attachEditor(new RecordingEditor(&editorDestroyed));
    AEffect* record = effect->getEffectRecord();
    // The object's own dispatcher answers 0 to effClose; the record's entry answers 1 all the same.
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(lifetime.destroyed);
    EXPECT_EQ(lifetime.closesBeforeDestruction, 1);
    EXPECT_TRUE(editorDestroyed);
}

#include "host/EffectBaseX.h"

#include "host/EditorBase.h"
#include "host/NumberConversion.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr size_t kArrangementHeaderBytes = 8; // type and channel count
constexpr size_t kSpeakerBytes = 112;         // one VstSpeakerProperties entry
constexpr size_t kSpeakerNameBytes = 64;      // name field of a speaker entry, terminator included

/// Speaker entry i of an arrangement block. The block holds as many entries as its channel count, which may be
/// more than the record declares, so entries are addressed by byte offset from the block start.
VstSpeakerProperties* speakerAt(VstSpeakerArrangement* arrangement, int32_t i)
{
    char* const block = reinterpret_cast<char*>(arrangement);
    return reinterpret_cast<VstSpeakerProperties*>(block + kArrangementHeaderBytes +
                                                   kSpeakerBytes * static_cast<size_t>(i));
}

intptr_t asAnswer(bool state)
{
    return state ? 1 : 0;
}

} // namespace

EffectBaseX::EffectBaseX(audioMasterCallback audioMasterIn, int32_t numProgramsIn, int32_t numParamsIn)
    : EffectBase(audioMasterIn, numProgramsIn, numParamsIn)
{
}

intptr_t EffectBaseX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt)
{
    char* const text = static_cast<char*>(ptr);
    switch (opcode)
    {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return asAnswer(canParameterBeAutomated(index));
    case effString2Parameter:
        return asAnswer(stringToParameter(index, text));
    case effGetProgramNameIndexed:
        return asAnswer(getProgramNameIndexed(static_cast<int32_t>(value), index, text));
    case effGetInputProperties:
        return asAnswer(getInputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetOutputProperties:
        return asAnswer(getOutputProperties(index, static_cast<VstPinProperties*>(ptr)));
    case effGetPlugCategory:
        return getPlugCategory();
    case effOfflineNotify:
        return asAnswer(offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<int32_t>(value), index != 0));
    case effOfflinePrepare:
        return asAnswer(offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value)));
    case effOfflineRun:
        return asAnswer(offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<int32_t>(value)));
    case effProcessVarIo:
        return asAnswer(processVariableIo(static_cast<VstVariableIo*>(ptr)));
    case effSetSpeakerArrangement:
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
        return asAnswer(setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                              static_cast<VstSpeakerArrangement*>(ptr)));
    case effSetBypass:
        return asAnswer(setBypass(value != 0));
    case effGetEffectName:
        return asAnswer(getEffectName(text));
    case effGetVendorString:
        return asAnswer(getVendorString(text));
    case effGetProductString:
        return asAnswer(getProductString(text));
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return canDo(text);
    case effGetTailSize:
        return getTailSize();
    case effGetParameterProperties:
        return asAnswer(getParameterProperties(index, static_cast<VstParameterProperties*>(ptr)));
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp:
    {
        if (editor == nullptr)
            return 0;
        VstKeyCode key{};
        key.character = index;
        key.virt = static_cast<unsigned char>(static_cast<uintptr_t>(value) & 0xFF);
        key.modifier = static_cast<unsigned char>(wrapToUint32(opt) & 0xFF); // truncated toward zero, low 8 bits
        return asAnswer(opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key));
    }
    case effSetEditKnobMode:
        return editor != nullptr ? asAnswer(editor->setKnobMode(static_cast<int32_t>(value))) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
    case effHasMidiProgramsChanged:
        return asAnswer(hasMidiProgramsChanged(index));
    case effGetMidiKeyName:
        return asAnswer(getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)));
    case effBeginSetProgram:
        return asAnswer(beginSetProgram());
    case effEndSetProgram:
        return asAnswer(endSetProgram());
    case effGetSpeakerArrangement:
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
        return asAnswer(getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                                              static_cast<VstSpeakerArrangement**>(ptr)));
    case effShellGetNextPlugin:
        return getNextShellPlugin(text);
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(static_cast<int32_t>(value));
    case effSetPanLaw:
        return asAnswer(setPanLaw(static_cast<int32_t>(value), opt));
    case effBeginLoadBank:
        return beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr));
    case effBeginLoadProgram:
        return beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr));
    case effSetProcessPrecision:
        return asAnswer(setProcessPrecision(static_cast<int32_t>(value)));
    case effGetNumMidiInputChannels:
        return getNumMidiInputChannels();
    case effGetNumMidiOutputChannels:
        return getNumMidiOutputChannels();
    default:
        // Below 25, above 79, negative, and the opcodes of this range that are answered with 0.
        return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
}

void EffectBaseX::resume()
{
    if ((effectRecord.flags & effFlagsIsSynth) != 0)
    {
        wantEvents(1);
        return;
    }
    char receiveMidi[] = "receiveVstMidiEvent";
    if (canDo(receiveMidi) == 1)
        wantEvents(1);
}

bool EffectBaseX::canParameterBeAutomated(int32_t)
{
    return true;
}

bool EffectBaseX::stringToParameter(int32_t, char*)
{
    return false;
}

bool EffectBaseX::getParameterProperties(int32_t, VstParameterProperties*)
{
    return false;
}

bool EffectBaseX::beginEdit(int32_t index)
{
    return callHost(audioMasterBeginEdit, index) != 0;
}

bool EffectBaseX::endEdit(int32_t index)
{
    return callHost(audioMasterEndEdit, index) != 0;
}

bool EffectBaseX::getProgramNameIndexed(int32_t, int32_t, char*)
{
    return false;
}

bool EffectBaseX::beginSetProgram()
{
    return false;
}

bool EffectBaseX::endSetProgram()
{
    return false;
}

int32_t EffectBaseX::beginLoadBank(VstPatchChunkInfo*)
{
    return 0;
}

int32_t EffectBaseX::beginLoadProgram(VstPatchChunkInfo*)
{
    return 0;
}

bool EffectBaseX::ioChanged()
{
    return callHost(audioMasterIOChanged) != 0;
}

float EffectBaseX::updateSampleRate()
{
    const intptr_t answer = callHost(audioMasterGetSampleRate);
    if (answer > 0)
        sampleRate.store(static_cast<float>(answer), std::memory_order_relaxed);
    return sampleRate.load(std::memory_order_relaxed);
}

int32_t EffectBaseX::updateBlockSize()
{
    const intptr_t answer = callHost(audioMasterGetBlockSize);
    // A 64-bit answer beyond the int32 range is no block size; it is treated like an answer of 0.
    if (answer > 0 && answer <= INT32_MAX)
        blockSize.store(static_cast<int32_t>(answer), std::memory_order_relaxed);
    return blockSize.load(std::memory_order_relaxed);
}

int32_t EffectBaseX::getInputLatency()
{
    return static_cast<int32_t>(callHost(audioMasterGetInputLatency));
}

int32_t EffectBaseX::getOutputLatency()
{
    return static_cast<int32_t>(callHost(audioMasterGetOutputLatency));
}

bool EffectBaseX::getInputProperties(int32_t, VstPinProperties*)
{
    return false;
}

bool EffectBaseX::getOutputProperties(int32_t, VstPinProperties*)
{
    return false;
}

bool EffectBaseX::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*)
{
    return false;
}

bool EffectBaseX::getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output)
{
    if (input != nullptr)
        *input = nullptr;
    if (output != nullptr)
        *output = nullptr;
    return false;
}

bool EffectBaseX::setBypass(bool)
{
    return false;
}

bool EffectBaseX::setPanLaw(int32_t, float)
{
    return false;
}

bool EffectBaseX::setProcessPrecision(int32_t)
{
    return false;
}

int32_t EffectBaseX::getNumMidiInputChannels()
{
    return 0;
}

int32_t EffectBaseX::getNumMidiOutputChannels()
{
    return 0;
}

VstTimeInfo* EffectBaseX::getTimeInfo(int32_t filter)
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter));
}

int32_t EffectBaseX::getCurrentProcessLevel()
{
    return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}

int32_t EffectBaseX::getAutomationState()
{
    return static_cast<int32_t>(callHost(audioMasterGetAutomationState));
}

int32_t EffectBaseX::processEvents(VstEvents*)
{
    return 0;
}

int32_t EffectBaseX::startProcess()
{
    return 0;
}

int32_t EffectBaseX::stopProcess()
{
    return 0;
}

bool EffectBaseX::processVariableIo(VstVariableIo*)
{
    return false;
}

int32_t EffectBaseX::setTotalSampleToProcess(int32_t value)
{
    return value;
}

bool EffectBaseX::getHostVendorString(char* text)
{
    return callHost(audioMasterGetVendorString, 0, 0, text) != 0;
}

bool EffectBaseX::getHostProductString(char* text)
{
    return callHost(audioMasterGetProductString, 0, 0, text) != 0;
}

int32_t EffectBaseX::getHostVendorVersion()
{
    return static_cast<int32_t>(callHost(audioMasterGetVendorVersion));
}

intptr_t EffectBaseX::hostVendorSpecific(int32_t index, intptr_t value, void* ptr, float opt)
{
    return callHost(audioMasterVendorSpecific, index, value, ptr, opt);
}

bool EffectBaseX::canHostDo(char* text)
{
    return callHost(audioMasterCanDo, 0, 0, text) != 0;
}

int32_t EffectBaseX::getHostLanguage()
{
    return static_cast<int32_t>(callHost(audioMasterGetLanguage));
}

void EffectBaseX::setIsSynth(bool state)
{
    setFlag(effFlagsIsSynth, state);
}

void EffectBaseX::setNoTail(bool state)
{
    setFlag(effFlagsNoSoundInStop, state);
}

int32_t EffectBaseX::getTailSize()
{
    return 0;
}

void* EffectBaseX::getDirectory()
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool EffectBaseX::getEffectName(char*)
{
    return false;
}

bool EffectBaseX::getVendorString(char*)
{
    return false;
}

bool EffectBaseX::getProductString(char*)
{
    return false;
}

int32_t EffectBaseX::getVendorVersion()
{
    return 0;
}

intptr_t EffectBaseX::vendorSpecific(int32_t, intptr_t, void*, float)
{
    return 0;
}

intptr_t EffectBaseX::canDo(char*)
{
    return 0;
}

int32_t EffectBaseX::getVstVersion()
{
    return kVstVersion;
}

int32_t EffectBaseX::getPlugCategory()
{
    return (effectRecord.flags & effFlagsIsSynth) != 0 ? kPlugCategSynth : kPlugCategUnknown;
}

int32_t EffectBaseX::getMidiProgramName(int32_t, MidiProgramName*)
{
    return 0;
}

int32_t EffectBaseX::getCurrentMidiProgram(int32_t, MidiProgramName*)
{
    return -1;
}

int32_t EffectBaseX::getMidiProgramCategory(int32_t, MidiProgramCategory*)
{
    return 0;
}

bool EffectBaseX::hasMidiProgramsChanged(int32_t)
{
    return false;
}

bool EffectBaseX::getMidiKeyName(int32_t, MidiKeyName*)
{
    return false;
}

bool EffectBaseX::updateDisplay()
{
    return callHost(audioMasterUpdateDisplay) != 0;
}

bool EffectBaseX::sizeWindow(int32_t width, int32_t height)
{
    return callHost(audioMasterSizeWindow, width, height) != 0;
}

bool EffectBaseX::openFileSelector(VstFileSelect* selector)
{
    return selector != nullptr && callHost(audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

bool EffectBaseX::closeFileSelector(VstFileSelect* selector)
{
    return selector != nullptr && callHost(audioMasterCloseFileSelector, 0, 0, selector) != 0;
}

int32_t EffectBaseX::getNextShellPlugin(char*)
{
    return 0;
}

bool EffectBaseX::allocateArrangement(VstSpeakerArrangement** place, int32_t channels)
{
    if (place == nullptr)
        return false;
    std::free(*place);
    *place = nullptr;
    if (channels < 0 || static_cast<size_t>(channels) > (SIZE_MAX - kArrangementHeaderBytes) / kSpeakerBytes)
        return false;
    const size_t bytes = kArrangementHeaderBytes + kSpeakerBytes * static_cast<size_t>(channels);
    void* const block = std::calloc(1, bytes); // filled with zero
    if (block == nullptr)
        return false;
    VstSpeakerArrangement* const arrangement = static_cast<VstSpeakerArrangement*>(block);
    arrangement->numChannels = channels;
    *place = arrangement;
    return true;
}

bool EffectBaseX::deallocateArrangement(VstSpeakerArrangement** place)
{
    if (place == nullptr)
        return true;
    std::free(*place);
    *place = nullptr;
    return true;
}

bool EffectBaseX::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from)
{
    if (to == nullptr || from == nullptr)
        return false;
    size_t i = 0;
    for (; i + 1 < kSpeakerNameBytes && from->name[i] != '\0'; ++i)
        to->name[i] = from->name[i];
    for (; i < kSpeakerNameBytes; ++i)
        to->name[i] = '\0';
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof(to->future));
    return true;
}

bool EffectBaseX::matchArrangement(VstSpeakerArrangement** place, VstSpeakerArrangement* source)
{
    if (source == nullptr || place == nullptr)
        return false;
    // Matching an arrangement to itself would free the source before reading it; it already matches.
    if (*place == source)
        return true;
    if (!deallocateArrangement(place) || !allocateArrangement(place, source->numChannels))
        return false;
    (*place)->type = source->type;
    for (int32_t i = 0; i < source->numChannels; ++i)
    {
        if (!copySpeaker(speakerAt(*place, i), speakerAt(source, i)))
            return false;
    }
    return true;
}

bool EffectBaseX::offlineRead(VstOfflineTask* task, int32_t option, bool readSource)
{
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task) != 0;
}

bool EffectBaseX::offlineWrite(VstOfflineTask* task, int32_t option)
{
    return callHost(audioMasterOfflineWrite, 0, option, task) != 0;
}

bool EffectBaseX::offlineStart(VstAudioFile* files, int32_t count, int32_t newCount)
{
    return callHost(audioMasterOfflineStart, newCount, count, files) != 0;
}

int32_t EffectBaseX::offlineGetCurrentPass()
{
    return callHost(audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

int32_t EffectBaseX::offlineGetCurrentMetaPass()
{
    return callHost(audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

bool EffectBaseX::offlineNotify(VstAudioFile*, int32_t, bool)
{
    return false;
}

bool EffectBaseX::offlinePrepare(VstOfflineTask*, int32_t)
{
    return false;
}

bool EffectBaseX::offlineRun(VstOfflineTask*, int32_t)
{
    return false;
}

intptr_t EffectBaseX::wantEvents(int32_t filter)
{
    return callHost(audioMasterWantMidi, 0, filter);
}

int32_t EffectBaseX::tempoAt(int32_t position)
{
    return static_cast<int32_t>(callHost(audioMasterTempoAt, 0, position));
}

int32_t EffectBaseX::getNumAutomatableParameters()
{
    return static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters));
}

int32_t EffectBaseX::getParameterQuantization()
{
    return static_cast<int32_t>(callHost(audioMasterGetParameterQuantization));
}

bool EffectBaseX::needIdle()
{
    return callHost(audioMasterNeedIdle) != 0;
}

AEffect* EffectBaseX::getPreviousPlug(int32_t)
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* EffectBaseX::getNextPlug(int32_t)
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

int32_t EffectBaseX::willReplaceOrAccumulate()
{
    return static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate));
}

void EffectBaseX::setIsAsynchronous(bool state)
{
    setFlag(effFlagsExtIsAsync, state);
}

void EffectBaseX::setHasExternalBuffer(bool state)
{
    setFlag(effFlagsExtHasBuffer, state);
}

intptr_t EffectBaseX::setOutputSampleRate(float rate)
{
    return callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

VstSpeakerArrangement* EffectBaseX::getInputSpeakerArrangement()
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* EffectBaseX::getOutputSpeakerArrangement()
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr): the VST 2.4 interface passes pointers as intptr_t values
    return reinterpret_cast<VstSpeakerArrangement*>(callHost(audioMasterGetOutputSpeakerArrangement));
}

intptr_t EffectBaseX::openWindow(VstWindow* window)
{
    return callHost(audioMasterOpenWindow, 0, 0, window);
}

bool EffectBaseX::closeWindow(VstWindow* window)
{
    return callHost(audioMasterCloseWindow, 0, 0, window) != 0;
}

void EffectBaseX::setBlockSizeAndSampleRate(int32_t frames, float rate)
{
    blockSize.store(frames, std::memory_order_relaxed);
    sampleRate.store(rate, std::memory_order_relaxed);
}

bool EffectBaseX::getChunkFile(char* nativePath)
{
    return nativePath != nullptr && callHost(audioMasterGetChunkFile, 0, 0, nativePath) != 0;
}

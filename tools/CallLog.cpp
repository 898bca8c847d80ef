#include "tools/CallLog.h"

#include <iterator>

namespace
{

// Dispatcher opcodes 0..79 in order.
// clang-format off
const char* const kEffectOpcodeNames[] = {
    "effOpen", "effClose", "effSetProgram", "effGetProgram", "effSetProgramName", "effGetProgramName",
    "effGetParamLabel", "effGetParamDisplay", "effGetParamName", "effGetVu", "effSetSampleRate", "effSetBlockSize",
    "effMainsChanged", "effEditGetRect", "effEditOpen", "effEditClose", "effEditDraw", "effEditMouse", "effEditKey",
    "effEditIdle", "effEditTop", "effEditSleep", "effIdentify", "effGetChunk", "effSetChunk", "effProcessEvents",
    "effCanBeAutomated", "effString2Parameter", "effGetNumProgramCategories", "effGetProgramNameIndexed",
    "effCopyProgram", "effConnectInput", "effConnectOutput", "effGetInputProperties", "effGetOutputProperties",
    "effGetPlugCategory", "effGetCurrentPosition", "effGetDestinationBuffer", "effOfflineNotify", "effOfflinePrepare",
    "effOfflineRun", "effProcessVarIo", "effSetSpeakerArrangement", "effSetBlockSizeAndSampleRate", "effSetBypass",
    "effGetEffectName", "effGetErrorText", "effGetVendorString", "effGetProductString", "effGetVendorVersion",
    "effVendorSpecific", "effCanDo", "effGetTailSize", "effIdle", "effGetIcon", "effSetViewPosition",
    "effGetParameterProperties", "effKeysRequired", "effGetVstVersion", "effEditKeyDown", "effEditKeyUp",
    "effSetEditKnobMode", "effGetMidiProgramName", "effGetCurrentMidiProgram", "effGetMidiProgramCategory",
    "effHasMidiProgramsChanged", "effGetMidiKeyName", "effBeginSetProgram", "effEndSetProgram",
    "effGetSpeakerArrangement", "effShellGetNextPlugin", "effStartProcess", "effStopProcess",
    "effSetTotalSampleToProcess", "effSetPanLaw", "effBeginLoadBank", "effBeginLoadProgram", "effSetProcessPrecision",
    "effGetNumMidiInputChannels", "effGetNumMidiOutputChannels",
};
// clang-format on

// Host-callback opcodes 0..49; the gaps (5, 8, 9, 36, 47) have no name in the 2.4 interface.
// clang-format off
const char* const kHostOpcodeNames[] = {
    "audioMasterAutomate", "audioMasterVersion", "audioMasterCurrentId", "audioMasterIdle", "audioMasterPinConnected",
    nullptr, "audioMasterWantMidi", "audioMasterGetTime", nullptr, nullptr, "audioMasterTempoAt",
    "audioMasterGetNumAutomatableParameters", "audioMasterGetParameterQuantization", "audioMasterIOChanged",
    "audioMasterNeedIdle", "audioMasterSizeWindow", "audioMasterGetSampleRate", "audioMasterGetBlockSize",
    "audioMasterGetInputLatency", "audioMasterGetOutputLatency", "audioMasterGetPreviousPlug",
    "audioMasterGetNextPlug", "audioMasterWillReplaceOrAccumulate", "audioMasterGetCurrentProcessLevel",
    "audioMasterGetAutomationState", "audioMasterOfflineStart", "audioMasterOfflineRead", "audioMasterOfflineWrite",
    "audioMasterOfflineGetCurrentPass", "audioMasterOfflineGetCurrentMetaPass", "audioMasterSetOutputSampleRate",
    "audioMasterGetOutputSpeakerArrangement", "audioMasterGetVendorString", "audioMasterGetProductString",
    "audioMasterGetVendorVersion", "audioMasterVendorSpecific", nullptr, "audioMasterCanDo", "audioMasterGetLanguage",
    "audioMasterOpenWindow", "audioMasterCloseWindow", "audioMasterGetDirectory", "audioMasterUpdateDisplay",
    "audioMasterBeginEdit", "audioMasterEndEdit", "audioMasterOpenFileSelector", "audioMasterCloseFileSelector",
    nullptr, "audioMasterGetChunkFile", "audioMasterGetInputSpeakerArrangement",
};
// clang-format on

std::string nameFrom(const char* const* names, size_t count, int32_t opcode)
{
    if (opcode >= 0 && static_cast<size_t>(opcode) < count && names[opcode] != nullptr)
        return names[opcode];
    return "opcode " + std::to_string(opcode);
}

} // namespace

CallLog::CallLog(std::FILE* stream) : out(stream)
{
}

void CallLog::write(const char* prefix, const std::string& text)
{
    if (enabled())
        std::fputs((prefix + text + "\n").c_str(), out);
}

std::string CallLog::effectOpcodeName(int32_t opcode)
{
    return nameFrom(kEffectOpcodeNames, std::size(kEffectOpcodeNames), opcode);
}

std::string CallLog::hostOpcodeName(int32_t opcode)
{
    return nameFrom(kHostOpcodeNames, std::size(kHostOpcodeNames), opcode);
}

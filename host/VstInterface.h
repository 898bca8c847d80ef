#pragma once
// The records and constants of the VST 2.4 host interface that Tessaloom exchanges with its host, declared from
// their byte layout. On 32-bit x86 every field is 4 bytes wide (or 8 for doubles) and the effect record is 144 bytes;
// on 64-bit targets pointer-sized fields are 8 bytes wide with natural alignment.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define VSTCALLBACK __cdecl
#else
#define VSTCALLBACK
#endif

struct AEffect;

/// The host's callback: (effect or null, opcode, index, value, ptr, opt) -> pointer-sized answer.
typedef intptr_t(VSTCALLBACK* audioMasterCallback)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                   void* ptr, float opt);
typedef intptr_t(VSTCALLBACK* AEffectDispatcherProc)(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                                                     void* ptr, float opt);
typedef void(VSTCALLBACK* AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames);
typedef void(VSTCALLBACK* AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
                                                    int32_t sampleFrames);
typedef void(VSTCALLBACK* AEffectSetParameterProc)(AEffect* effect, int32_t index, float value);
typedef float(VSTCALLBACK* AEffectGetParameterProc)(AEffect* effect, int32_t index);

/// The effect record the host drives an instance through.
struct AEffect
{
    int32_t magic;                        // kEffectMagic
    AEffectDispatcherProc dispatcher;     // control calls
    AEffectProcessProc process;           // accumulating processing
    AEffectSetParameterProc setParameter; // parameter write
    AEffectGetParameterProc getParameter; // parameter read
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags; // effFlags* bit set
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay; // frames
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object; // the effect object behind this record
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;             // replacing processing
    AEffectProcessDoubleProc processDoubleReplacing; // double-precision replacing processing
    char future[56];
};

/// The host's time information, as answered to audioMasterGetTime. Owned by the host.
struct VstTimeInfo
{
    double samplePos;     // transport position in frames
    double sampleRate;    // Hz
    double nanoSeconds;   // system time
    double ppqPos;        // musical position in quarter notes
    double tempo;         // beats per minute
    double barStartPos;   // last bar start in quarter notes
    double cycleStartPos; // loop start in quarter notes
    double cycleEndPos;   // loop end in quarter notes
    int32_t timeSigNumerator;
    int32_t timeSigDenominator;
    int32_t smpteOffset;
    int32_t smpteFrameRate;
    int32_t samplesToNextClock;
    int32_t flags; // kVst* validity and transport bits
};

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(AEffect) == 144, "AEffect must be 144 bytes on 32-bit x86");
static_assert(offsetof(AEffect, magic) == 0 && offsetof(AEffect, dispatcher) == 4 && offsetof(AEffect, process) == 8 &&
                  offsetof(AEffect, setParameter) == 12 && offsetof(AEffect, getParameter) == 16,
              "AEffect function entries at 4..16");
static_assert(offsetof(AEffect, numPrograms) == 20 && offsetof(AEffect, numParams) == 24 &&
                  offsetof(AEffect, numInputs) == 28 && offsetof(AEffect, numOutputs) == 32 &&
                  offsetof(AEffect, flags) == 36,
              "AEffect counts and flags at 20..36");
static_assert(offsetof(AEffect, resvd1) == 40 && offsetof(AEffect, resvd2) == 44 &&
                  offsetof(AEffect, initialDelay) == 48 && offsetof(AEffect, realQualities) == 52 &&
                  offsetof(AEffect, offQualities) == 56 && offsetof(AEffect, ioRatio) == 60,
              "AEffect fields at 40..60");
static_assert(offsetof(AEffect, object) == 64 && offsetof(AEffect, user) == 68 && offsetof(AEffect, uniqueID) == 72 &&
                  offsetof(AEffect, version) == 76 && offsetof(AEffect, processReplacing) == 80 &&
                  offsetof(AEffect, processDoubleReplacing) == 84 && offsetof(AEffect, future) == 88,
              "AEffect fields at 64..88");
#elif defined(__x86_64__) || defined(_M_X64) || defined(__aarch64__)
static_assert(sizeof(AEffect) == 192, "AEffect with natural alignment on 64-bit targets");
static_assert(offsetof(AEffect, dispatcher) == 8 && offsetof(AEffect, numPrograms) == 40 &&
                  offsetof(AEffect, flags) == 56 && offsetof(AEffect, resvd1) == 64 &&
                  offsetof(AEffect, initialDelay) == 80 && offsetof(AEffect, ioRatio) == 92 &&
                  offsetof(AEffect, object) == 96 && offsetof(AEffect, uniqueID) == 112 &&
                  offsetof(AEffect, processReplacing) == 120 && offsetof(AEffect, processDoubleReplacing) == 128 &&
                  offsetof(AEffect, future) == 136,
              "AEffect layout on 64-bit targets");
#endif
static_assert(offsetof(VstTimeInfo, ppqPos) == 24 && offsetof(VstTimeInfo, tempo) == 32 &&
                  offsetof(VstTimeInfo, barStartPos) == 40 && offsetof(VstTimeInfo, timeSigNumerator) == 64 &&
                  offsetof(VstTimeInfo, flags) == 84,
              "VstTimeInfo fields read by the plug-in");

/// Four-character code: the first character is the most significant byte ('VstP' is 0x56737450).
constexpr int32_t fourCharCode(char a, char b, char c, char d)
{
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(d)));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P'); // 0x56737450
constexpr int32_t kVstVersion = 2400;

// AEffect::flags
enum : int32_t
{
    effFlagsHasEditor = 1,
    effFlagsHasClip = 2,
    effFlagsHasVu = 4,
    effFlagsCanMono = 8,
    effFlagsCanReplacing = 16,
    effFlagsProgramChunks = 32,
    effFlagsIsSynth = 256,
    effFlagsNoSoundInStop = 512,
    effFlagsExtIsAsync = 1024,
    effFlagsExtHasBuffer = 2048,
    effFlagsCanDoubleReplacing = 4096,
};

// Opcodes the host sends to the dispatcher.
enum : int32_t
{
    effOpen = 0,
    effClose,
    effSetProgram,
    effGetProgram,
    effSetProgramName,
    effGetProgramName,
    effGetParamLabel,
    effGetParamDisplay,
    effGetParamName,
    effGetVu,
    effSetSampleRate,
    effSetBlockSize,
    effMainsChanged,
    effEditGetRect,
    effEditOpen,
    effEditClose,
    effEditDraw,
    effEditMouse,
    effEditKey,
    effEditIdle,
    effEditTop,
    effEditSleep,
    effIdentify,
    effGetChunk,
    effSetChunk,
    effProcessEvents, // 25
    effCanBeAutomated,
    effString2Parameter,
    effGetNumProgramCategories,
    effGetProgramNameIndexed,
    effCopyProgram, // 30
    effConnectInput,
    effConnectOutput,
    effGetInputProperties,
    effGetOutputProperties,
    effGetPlugCategory, // 35
    effGetCurrentPosition,
    effGetDestinationBuffer,
    effOfflineNotify,
    effOfflinePrepare,
    effOfflineRun, // 40
    effProcessVarIo,
    effSetSpeakerArrangement,
    effSetBlockSizeAndSampleRate,
    effSetBypass,
    effGetEffectName, // 45
    effGetErrorText,
    effGetVendorString,
    effGetProductString,
    effGetVendorVersion,
    effVendorSpecific, // 50
    effCanDo,
    effGetTailSize,
    effIdle,
    effGetIcon,
    effSetViewPosition, // 55
    effGetParameterProperties,
    effKeysRequired,
    effGetVstVersion,
    effEditKeyDown,
    effEditKeyUp, // 60
    effSetEditKnobMode,
    effGetMidiProgramName,
    effGetCurrentMidiProgram,
    effGetMidiProgramCategory,
    effHasMidiProgramsChanged, // 65
    effGetMidiKeyName,
    effBeginSetProgram,
    effEndSetProgram,
    effGetSpeakerArrangement,
    effShellGetNextPlugin, // 70
    effStartProcess,
    effStopProcess,
    effSetTotalSampleToProcess,
    effSetPanLaw,
    effBeginLoadBank, // 75
    effBeginLoadProgram,
    effSetProcessPrecision,
    effGetNumMidiInputChannels,
    effGetNumMidiOutputChannels, // 79
};

// Opcodes the plug-in sends to the host's callback.
enum : int32_t
{
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterTempoAt = 10,
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,
    audioMasterGetNextPlug = 21,
    audioMasterWillReplaceOrAccumulate = 22,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,
    audioMasterGetOutputSpeakerArrangement = 31,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
    audioMasterBeginEdit = 43,
    audioMasterEndEdit = 44,
    audioMasterOpenFileSelector = 45,
    audioMasterCloseFileSelector = 46,
    audioMasterGetChunkFile = 48,
    audioMasterGetInputSpeakerArrangement = 49,
};

// VstTimeInfo::flags
enum : int32_t
{
    kVstTransportChanged = 1,
    kVstTransportPlaying = 2,
    kVstPpqPosValid = 512,
    kVstTempoValid = 1024,
    kVstBarsValid = 2048,
    kVstTimeSigValid = 8192,
};

// effGetPlugCategory answers
enum : int32_t
{
    kPlugCategUnknown = 0,
    kPlugCategEffect = 1,
    kPlugCategSynth = 2,
};

/// Key record lent to an editor for effEditKeyDown and effEditKeyUp.
struct VstKeyCode
{
    int32_t character;
    unsigned char virt;     // virtual-key code
    unsigned char modifier; // modifier bits
};

/// One speaker of an arrangement: 112 bytes.
struct VstSpeakerProperties
{
    float azimuth;
    float elevation;
    float radius;
    float reserved;
    char name[64];
    int32_t type;
    char future[28];
};
static_assert(sizeof(VstSpeakerProperties) == 112, "speaker entry is 112 bytes");

/// A speaker arrangement: type, channel count, then one entry per channel (the block is allocated to fit).
struct VstSpeakerArrangement
{
    int32_t type;
    int32_t numChannels;
    VstSpeakerProperties speakers[8];
};

/// Editor rectangle (pixels).
struct ERect
{
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};

/// The time-info request mask of the tempo sync.
constexpr int32_t kTempoSyncTimeMask =
    kVstTransportChanged | kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid; // 0x2E01

// Records that only pass through the plug-in to an effect that overrides the operation receiving them. The plug-in
// never reads them, so they are declared without a layout.
struct VstEvents;
struct VstPinProperties;
struct VstParameterProperties;
struct VstPatchChunkInfo;
struct VstVariableIo;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstFileSelect;
struct VstOfflineTask;
struct VstAudioFile;
struct VstWindow;

// A pass-through plug-in for watching what a real host does with Tessaloom. The host loads this library as if it were
// the plug-in; its entry point loads the real plug-in named by TESSALOOM_SHIM_PLUGIN, hands the host the real effect
// record with its dispatcher, parameter write and replacing processing wrapped, and appends one line per call to the
// file named by TESSALOOM_CALL_LOG. The audio passes through untouched: the real plug-in does all the work.
//
// Log lines, each starting with the process id (one host process may hold several instances, told apart by record):
//   PID open RECORD                                  the real entry point returned RECORD
//   PID dispatch RECORD OPCODE INDEX VALUE OPT       a control call, logged before it runs
//   PID closed RECORD                                effClose returned (the record is gone)
//   PID set RECORD INDEX VALUE                       a parameter write (value with 9 significant digits)
//   PID time SAMPLEPOS PPQ TEMPO BARSTART NUM/DEN FLAGS   the host's answer to a time request (flags in hex)
//   PID process RECORD FRAMES silent|audio FIRST     a replacing-processing call, whether its input was all zero, and
//                                                    the first frame with a non-zero input sample (-1 if none)
//   PID error TEXT                                   the real plug-in could not be loaded
//
// Used by the Ardour checks (tests/daw) only; it is not part of the plug-in.

#include "host/VstInterface.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace
{

FILE* logFile = nullptr;
// The real plug-in's entries. One library serves every instance, so one set of entries serves them all.
audioMasterCallback hostCallback = nullptr;
AEffectDispatcherProc realDispatcher = nullptr;
AEffectSetParameterProc realSetParameter = nullptr;
AEffectProcessProc realProcessReplacing = nullptr;

bool openLog()
{
    if (logFile != nullptr)
        return true;
    const char* path = std::getenv("TESSALOOM_CALL_LOG");
    if (path == nullptr || *path == '\0')
        return false;
    logFile = std::fopen(path, "a");
    if (logFile == nullptr)
        return false;
    // Several processes append to the same file: one write per line keeps their lines whole.
    std::setvbuf(logFile, nullptr, _IOLBF, 0);
    return true;
}

intptr_t VSTCALLBACK loggingHostCallback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                         float opt)
{
    const intptr_t answer = hostCallback(effect, opcode, index, value, ptr, opt);
    if (opcode == audioMasterGetTime && answer != 0)
    {
        const VstTimeInfo* time = reinterpret_cast<const VstTimeInfo*>(answer);
        std::fprintf(logFile, "%d time %.1f %.6f %.6f %.6f %d/%d 0x%x\n", static_cast<int>(getpid()), time->samplePos,
                     time->ppqPos, time->tempo, time->barStartPos, time->timeSigNumerator, time->timeSigDenominator,
                     static_cast<unsigned>(time->flags));
    }
    return answer;
}

intptr_t VSTCALLBACK loggingDispatcher(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                                       float opt)
{
    std::fprintf(logFile, "%d dispatch %p %d %d %ld %g\n", static_cast<int>(getpid()), static_cast<void*>(effect),
                 opcode, index, static_cast<long>(value), static_cast<double>(opt));
    const intptr_t answer = realDispatcher(effect, opcode, index, value, ptr, opt);
    if (opcode == effClose)
        std::fprintf(logFile, "%d closed %p\n", static_cast<int>(getpid()), static_cast<void*>(effect));
    return answer;
}

void VSTCALLBACK loggingSetParameter(AEffect* effect, int32_t index, float value)
{
    std::fprintf(logFile, "%d set %p %d %.9g\n", static_cast<int>(getpid()), static_cast<void*>(effect), index,
                 static_cast<double>(value));
    realSetParameter(effect, index, value);
}

/// The first frame at which any channel holds a non-zero sample; -1 when all are zero.
int32_t firstSoundingFrame(float** channels, int32_t count, int32_t frames)
{
    for (int32_t i = 0; i < frames; ++i)
        for (int32_t c = 0; c < count; ++c)
            if (channels[c][i] != 0.0f)
                return i;
    return -1;
}

void VSTCALLBACK loggingProcessReplacing(AEffect* effect, float** inputs, float** outputs, int32_t sampleFrames)
{
    // Looked at before processing: the host may hand the same buffers as input and output.
    const int32_t first = firstSoundingFrame(inputs, effect->numInputs, sampleFrames);
    realProcessReplacing(effect, inputs, outputs, sampleFrames);
    std::fprintf(logFile, "%d process %p %d %s %d\n", static_cast<int>(getpid()), static_cast<void*>(effect),
                 static_cast<int>(sampleFrames), first < 0 ? "silent" : "audio", static_cast<int>(first));
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host)
{
    if (host == nullptr || !openLog())
        return nullptr;
    const char* path = std::getenv("TESSALOOM_SHIM_PLUGIN");
    void* library = path != nullptr ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
    using EntryPoint = AEffect* (*)(audioMasterCallback);
    EntryPoint entry = library != nullptr ? reinterpret_cast<EntryPoint>(dlsym(library, "VSTPluginMain")) : nullptr;
    if (entry == nullptr)
    {
        std::fprintf(logFile, "%d error cannot load TESSALOOM_SHIM_PLUGIN=%s: %s\n", static_cast<int>(getpid()),
                     path != nullptr ? path : "(unset)", path != nullptr ? dlerror() : "");
        return nullptr;
    }

    hostCallback = host;
    AEffect* effect = entry(loggingHostCallback);
    std::fprintf(logFile, "%d open %p\n", static_cast<int>(getpid()), static_cast<void*>(effect));
    if (effect == nullptr)
        return nullptr;
    realDispatcher = effect->dispatcher;
    realSetParameter = effect->setParameter;
    realProcessReplacing = effect->processReplacing;
    effect->dispatcher = loggingDispatcher;
    effect->setParameter = loggingSetParameter;
    effect->processReplacing = loggingProcessReplacing;
    return effect;
}

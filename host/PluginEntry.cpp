// The library's exported entry point. A host calls it once per instance it wants, with its callback, and drives the
// instance through the returned record from then on.

#include "effect/FilterEffect.h"
#include "host/EffectBase.h"
#include "host/VstInterface.h"

#if defined(_WIN32)
#define TESSALOOM_EXPORT // the module-definition file (host/Tessaloom.def) lists the exports
#else
#define TESSALOOM_EXPORT __attribute__((visibility("default")))
#endif

/// Creates one effect instance: asks the host for its version, refuses a host that answers 0, and returns the new
/// instance's record, or null. No exception leaves this function.
extern "C" TESSALOOM_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

// Older hosts look the entry point up as "main". On ELF the C++ name differs, and the assembler label gives the
// exported symbol that name. A PE linker cannot take a function labelled "main" into a DLL; there the
// module-definition file exports VSTPluginMain a second time under that name. A program that links this file into
// itself to drive the entry point (the reliability programs) has a main of its own and defines
// TESSALOOM_NO_MAIN_ALIAS.
#if !defined(_WIN32) && !defined(TESSALOOM_NO_MAIN_ALIAS)
extern "C" TESSALOOM_EXPORT AEffect* VSTCALLBACK tessaloomMainEntry(audioMasterCallback audioMaster) __asm__("main");
#endif

AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster)
{
    if (audioMaster == nullptr)
        return nullptr; // no host to ask for its version, and none to serve
    try
    {
        if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
            return nullptr;
        EffectBase* const effect = createFilterEffect(audioMaster);
        if (effect == nullptr)
            return nullptr;
        return effect->getEffectRecord();
    }
    catch (...)
    {
        return nullptr;
    }
}

#if !defined(_WIN32) && !defined(TESSALOOM_NO_MAIN_ALIAS)
AEffect* VSTCALLBACK tessaloomMainEntry(audioMasterCallback audioMaster)
{
    return VSTPluginMain(audioMaster);
}
#endif

// The library's exported entry point. A host calls it once per instance it wants, with its callback, and drives the
// instance through the returned record from then on.

#include "effect/FilterEffect.h"
#include "host/EffectBase.h"
#include "host/VstInterface.h"

#define TESSALOOM_EXPORT __attribute__((visibility("default")))

/// Creates one effect instance: asks the host for its version, refuses a host that answers 0, and returns the new
/// instance's record, or null. No exception leaves this function.
extern "C" TESSALOOM_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster);

// Older hosts look the entry point up as "main". The C++ name differs, and the assembler label gives the exported
// symbol that name.
extern "C" TESSALOOM_EXPORT AEffect* VSTCALLBACK tessaloomMainEntry(audioMasterCallback audioMaster) __asm__("main");

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

AEffect* VSTCALLBACK tessaloomMainEntry(audioMasterCallback audioMaster)
{
    return VSTPluginMain(audioMaster);
}

// tessaloom-info: loads a VST 2.4 plug-in library through its exported entry point, as a host does, and prints what
// a host sees: identity, inputs and outputs, flags, a few capability answers and every parameter.
//
// Usage: tessaloom-info [PLUGIN]   (default: Tessaloom.so beside this program's build tree)

#include "host/VstInterface.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace
{

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float)
{
    if (opcode == audioMasterVersion)
        return kVstVersion;
    return 0;
}

std::string fourCharText(int32_t code)
{
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8)
    {
        const char c = static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
        text += (c >= 32 && c < 127) ? c : '?';
    }
    return text;
}

std::string dispatchText(AEffect* effect, int32_t opcode, int32_t index = 0)
{
    char text[256] = {};
    effect->dispatcher(effect, opcode, index, 0, text, 0.0f);
    text[sizeof(text) - 1] = '\0';
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : TESSALOOM_DEFAULT_PLUGIN;
    if (argc > 2 || (argc == 2 && (std::strcmp(argv[1], "-h") == 0 || std::strcmp(argv[1], "--help") == 0)))
    {
        std::fprintf(stderr, "usage: tessaloom-info [PLUGIN]\n");
        return 2;
    }

    void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
    {
        std::fprintf(stderr, "tessaloom-info: cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    using EntryPoint = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "VSTPluginMain"));
    if (entry == nullptr)
        entry = reinterpret_cast<EntryPoint>(dlsym(library, "main"));
    if (entry == nullptr)
    {
        std::fprintf(stderr, "tessaloom-info: %s exports neither VSTPluginMain nor main\n", path);
        dlclose(library);
        return 1;
    }
    AEffect* effect = entry(hostCallback);
    if (effect == nullptr || effect->magic != kEffectMagic)
    {
        std::fprintf(stderr, "tessaloom-info: %s created no effect\n", path);
        dlclose(library);
        return 1;
    }

    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);

    std::printf("plug-in        %s\n", path);
    std::printf("effect name    %s\n", dispatchText(effect, effGetEffectName).c_str());
    std::printf("vendor         %s\n", dispatchText(effect, effGetVendorString).c_str());
    std::printf("product        %s\n", dispatchText(effect, effGetProductString).c_str());
    std::printf("vendor version %ld\n",
                static_cast<long>(effect->dispatcher(effect, effGetVendorVersion, 0, 0, nullptr, 0.0f)));
    std::printf("VST version    %ld\n",
                static_cast<long>(effect->dispatcher(effect, effGetVstVersion, 0, 0, nullptr, 0.0f)));
    std::printf("unique ID      '%s' (0x%08x)\n", fourCharText(effect->uniqueID).c_str(),
                static_cast<unsigned>(effect->uniqueID));
    std::printf("inputs/outputs %d/%d\n", effect->numInputs, effect->numOutputs);
    std::printf("flags          %d%s\n", effect->flags,
                (effect->flags & effFlagsCanReplacing) ? " (replacing processing)" : "");
    std::printf("category       %ld\n",
                static_cast<long>(effect->dispatcher(effect, effGetPlugCategory, 0, 0, nullptr, 0.0f)));
    std::printf("programs       %d, current \"%s\"\n", effect->numPrograms,
                dispatchText(effect, effGetProgramName).c_str());
    std::printf("tail size      %ld\n",
                static_cast<long>(effect->dispatcher(effect, effGetTailSize, 0, 0, nullptr, 0.0f)));
    char bypass[] = "bypass";
    std::printf("canDo bypass   %ld\n", static_cast<long>(effect->dispatcher(effect, effCanDo, 0, 0, bypass, 0.0f)));

    std::printf("parameters     %d\n", effect->numParams);
    for (int32_t i = 0; i < effect->numParams; ++i)
    {
        const float value = effect->getParameter(effect, i);
        std::printf("  %2d  %-16s %-10.6g %s %s\n", i, dispatchText(effect, effGetParamName, i).c_str(),
                    static_cast<double>(value), dispatchText(effect, effGetParamDisplay, i).c_str(),
                    dispatchText(effect, effGetParamLabel, i).c_str());
    }

    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    dlclose(library);
    return 0;
}

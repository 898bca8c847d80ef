// The library's one export: the LV2 descriptor of Tessaloom. Every function of it hands the call to the instance.

#include "lv2/Lv2Plugin.h"
#include "lv2/PortTable.h"

#include <lv2/core/lv2.h>

#include <new>

namespace
{

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRateHz, const char*, const LV2_Feature* const* features)
{
    Lv2Plugin* const plugin = new (std::nothrow) Lv2Plugin(sampleRateHz, features);
    if (plugin != nullptr && !plugin->isValid())
    {
        delete plugin;
        return nullptr;
    }
    return plugin;
}

void connectPort(LV2_Handle instance, uint32_t port, void* data)
{
    static_cast<Lv2Plugin*>(instance)->connectPort(port, data);
}

void activate(LV2_Handle instance)
{
    static_cast<Lv2Plugin*>(instance)->activate();
}

void run(LV2_Handle instance, uint32_t frames)
{
    static_cast<Lv2Plugin*>(instance)->run(frames);
}

void deactivate(LV2_Handle instance)
{
    static_cast<Lv2Plugin*>(instance)->deactivate();
}

void cleanup(LV2_Handle instance)
{
    delete static_cast<Lv2Plugin*>(instance);
}

const void* extensionData(const char*)
{
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    PortTable::kPluginUri, instantiate, connectPort, activate, run, deactivate, cleanup, extensionData,
};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index)
{
    return index == 0 ? &kDescriptor : nullptr;
}

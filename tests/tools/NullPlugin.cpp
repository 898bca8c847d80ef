// A library that exports the plug-in entry points but creates no effect: its entry point answers null, as a plug-in
// does when it refuses the host or cannot allocate.

#include "host/VstInterface.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback)
{
    return nullptr;
}

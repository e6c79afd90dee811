// The second entry point, "main", which older hosts look for. Built only into
// the plug-in library: a program of our own has a main of its own.
#include "vst/IPluginVST.h"

#if defined(_WIN32)
// Exported under the name "main" by the module definition file.
extern "C" AEffect* VSTCALLBACK VSTMainAlias(audioMasterCallback hostCallback) { return VSTPluginMain(hostCallback); }
#else
extern "C" AEffect* VSTMainAlias(audioMasterCallback hostCallback) __asm__("main");
extern "C" AEffect* VSTMainAlias(audioMasterCallback hostCallback) { return VSTPluginMain(hostCallback); }
#endif

// The module's exported entry points: the factory, and the load and unload
// calls hosts make around it.
#include "vst3/Vst3Abi.h"
#include "vst3/Vst3Factory.h"

#if defined(_WIN32)
#define QV3_EXPORT
#else
#define QV3_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
QV3_EXPORT v3::IPluginFactory* QV3_API GetPluginFactory() { return AcquireVst3Factory(); }

#if defined(_WIN32)
QV3_EXPORT bool InitDll() { return EnterVst3Module(); }
QV3_EXPORT bool ExitDll() { return ExitVst3Module(); }
#else
QV3_EXPORT bool ModuleEntry(void*) { return EnterVst3Module(); }
QV3_EXPORT bool ModuleExit() { return ExitVst3Module(); }
#endif
}

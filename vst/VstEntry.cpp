// The exported entry point: one new instance per call, made under a
// process-wide lock so concurrent hosts never see a half-built instance.
#include <new>

#include "platform/IMutex.h"
#include "vst/IPluginVST.h"

namespace {
// Created on first use (thread-safe static initialisation), destroyed at unload.
IMutex& EntryLock() {
  static IMutex lock;
  return lock;
}
}  // namespace

extern "C" AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback hostCallback) {
  // Every request to the host goes through the callback: without one there is no instance.
  if (!hostCallback) return nullptr;
  IMutexLock lock(EntryLock());
  IPluginVST* plug = nullptr;
  try {
    plug = MakePlugin(hostCallback);
  } catch (...) {
    // Nothing may escape into the host; a failed construction is no instance.
    plug = nullptr;
  }
  if (!plug) return nullptr;
  plug->FillEmptyPresets(plug->NPresets());
  AEffect* effect = plug->Effect();
  if (effect->numPrograms < 1) effect->numPrograms = 1;
  return effect;
}

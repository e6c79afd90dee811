// The module's one factory: lists the audio effect class and makes instances.
#pragma once

#include "vst3/Vst3Abi.h"

// The factory with one more reference for the caller.
v3::IPluginFactory* AcquireVst3Factory();
// The processor's class id, as the VST 3 edition of a VST 2 plug-in forms it.
v3::TUID ProcessorClassId();

// The module's entry and exit calls, counted: the last exit frees what the
// process-wide caches keep (editor images, fonts, the font library) when no
// instance is left, so hosts that scan by loading and unloading leave nothing.
bool EnterVst3Module();
bool ExitVst3Module();

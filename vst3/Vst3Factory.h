// The module's one factory: lists the audio effect class and makes instances.
#pragma once

#include "vst3/Vst3Abi.h"

// The factory with one more reference for the caller.
v3::IPluginFactory* AcquireVst3Factory();
// The processor's class id, as the VST 3 edition of a VST 2 plug-in forms it.
v3::TUID ProcessorClassId();

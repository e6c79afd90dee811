// The binding the product is built over in this build: VST 3.
#pragma once

#include "vst3/IPluginVST3.h"

using PluginBinding = IPluginVST3;
using PluginHostCallback = IVst3HostLink*;

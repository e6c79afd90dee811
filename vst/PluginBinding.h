// The binding the product is built over in this build: VST 2.4.
#pragma once

#include "vst/IPluginVST.h"

using PluginBinding = IPluginVST;
using PluginHostCallback = audioMasterCallback;

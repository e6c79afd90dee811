#include "product/QVDelay.h"

IPluginVST* MakePlugin(audioMasterCallback hostCallback) { return new QVDelay(hostCallback); }

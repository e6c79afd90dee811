#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"

const IPluginInfo& ProductInfo() { return QVDelayInfo(); }

PluginBinding* MakePlugin(PluginHostCallback hostCallback) { return new QVDelay(hostCallback); }

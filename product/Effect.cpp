#include "product/Effect.h"

#include "product/QVDelayConfig.h"

Effect::Effect(audioMasterCallback hostCallback) : IPluginVST(hostCallback, QVDelayInfo()) {}

Effect::~Effect() = default;

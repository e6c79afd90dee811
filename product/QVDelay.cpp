#include "product/QVDelay.h"

#include "product/QVDelayConfig.h"

QVDelay::QVDelay(audioMasterCallback hostCallback) : Effect(hostCallback) { DefineParameters(); }

QVDelay::~QVDelay() = default;

void QVDelay::DefineParameters() {
  GetParam(kRange)->DefineInt("Range", 3, 0, 4);
  GetParam(kTime)->DefineDouble("Time", 0.6, 0.0, 1.0, 0.001, 1.0);
  GetParam(kFeedback)->DefineDouble("Feedback", 0.0, -1.0, 1.0, 0.01, 1.0);
  GetParam(kLFOSpeed)->DefineDouble("LFOSpeed", 0.15, 0.001, 25.0, 0.01, 2.0);
  GetParam(kLFODepth)->DefineDouble("LFO Depth", 0.0, 0.0, 1.0, 0.01, 2.0);
  GetParam(kMix)->DefineDouble("Mix", 0.5, 0.0, 1.0, 0.01, 1.0);
  GetParam(kQuality)->DefineDouble("Quality", 1.0, 0.0, 1.0, 0.01, 1.0);
  GetParam(kDelaySync)->DefineBool("Delay Sync to Host");
  GetParam(kLFOSync)->DefineBool("LFO Sync to Host");
}

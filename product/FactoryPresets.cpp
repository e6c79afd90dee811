// The ten factory presets, stored in the product's own state format.
#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"

namespace {
struct FactoryPreset {
  const char* name;
  double values[kNumParams];  // Range, Time, Feedback, LFOSpeed, LFO Depth, Mix, Quality, Delay Sync, LFO Sync
};

const FactoryPreset kFactoryPresets[kNumPresets] = {
    {"default", {3, 0.6, 0.4, 0.15, 0, 0.5, 1, 0, 0}},
    {"Soft Flanger", {0, 0.4, -0.2, 0.3, 0.8, 0.5, 1, 0, 0}},
    {"Sharp Flanger", {0, 0, 0.8, 0.22, 0.9, 0.5, 0.66, 0, 0}},
    {"Soft Chorus", {1, 0.4, 0, 1.2, 0.1, 0.5, 1, 0, 0}},
    {"Hard Chorus", {1, 0.5, 0.3, 1.5, 0.2, 0.5, 1, 0, 0}},
    {"Slapback", {2, 0.7, 0.2, 0.15, 0, 0.33, 0.5, 0, 0}},
    {"Space-like", {3, 0.85, 0.75, 0.15, 0, 0.4, 0.44, 0, 0}},
    {"Vibrato", {0, 0, 0, 5.4, 0.25, 1, 1, 0, 0}},
    {"Tape Echo", {3, 1, 0.3, 0.32, 0.02, 0.33, 0.58, 0, 0}},
    {"Comb Resonator", {1, 0.75, 0.96, 0.15, 0, 0.3, 0.37, 0, 0}},
};
}  // namespace

void QVDelay::BuildFactoryPresets() {
  for (int i = 0; i < kNumPresets && i < NPresets(); ++i) {
    IPresetSlot& slot = Preset(i);
    slot.initialised = true;
    CopyText(slot.name, kFactoryPresets[i].name, kPresetNameSize);
    slot.state.Clear();
    slot.state.Append(kStateTag, kStateTagSize);
    for (double v : kFactoryPresets[i].values) slot.state.Put(v);
  }
}

// The product's identity and the indices of its parameters.
#pragma once

#include "framework/IPluginBase.h"

enum QVDelayParam : int {
  kRange = 0,
  kTime,
  kFeedback,
  kLFOSpeed,
  kLFODepth,
  kMix,
  kQuality,
  kDelaySync,
  kLFOSync,
  kNumParams
};

constexpr int kNumPresets = 10;

inline const IPluginInfo& QVDelayInfo() {
  static const IPluginInfo info = {
      "1-1 2-2",                      // channel configurations
      kNumParams,                     // parameters
      kNumPresets,                    // presets
      "Quorvel Brigade Delay",        // effect name
      "",                             // product name
      "Quorvel Music",                // vendor name
      ('q' << 24) | ('v' << 16) | ('b' << 8) | 'd',  // unique ID 'qvbd'
      0x00020002,                     // version 2.0.2
      false,                          // not an instrument
      true,                           // handles MIDI
      "Fx|Delay",                     // category
  };
  return info;
}

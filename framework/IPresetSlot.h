// One preset: a name and a copy of the state bytes as WriteState made them.
#pragma once

#include "framework/IStateChunk.h"

constexpr int kPresetNameSize = 256;  // 255 characters and a terminator

struct IPresetSlot {
  bool initialised = false;
  char name[kPresetNameSize] = "empty";
  IStateChunk state{4096};
};

// Short MIDI and system-exclusive messages as they reach the plug-in.
#pragma once

#include <cstdint>

struct IMidiMessage {
  int32_t offset = 0;  // frames from the start of the current block
  uint8_t status = 0;
  uint8_t data1 = 0;
  uint8_t data2 = 0;

  bool IsControlChange() const { return (status & 0xF0) == 0xB0; }
};

struct ISysExMessage {
  int32_t offset = 0;
  int32_t size = 0;
  const uint8_t* data = nullptr;  // valid only during the call
};

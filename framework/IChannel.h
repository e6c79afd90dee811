// Channel configuration and the per-channel records that bind host buffers
// to the double-precision pointers handed to ProcessBlock.
#pragma once

#include <string>

#include "framework/GrowBuffer.h"

struct IChannelConfig {
  int inputs;
  int outputs;
};

// A zero-filled double buffer, sized by the block size so processing never allocates.
class IScratchBuffer {
 public:
  IScratchBuffer() : mBuffer(4096) {}
  double* Samples() { return static_cast<double*>(mBuffer.Data()); }
  int Frames() const { return mBuffer.Size() / static_cast<int>(sizeof(double)); }
  // False (buffer unchanged) when memory cannot be had.
  bool ResizeAndClear(int frames);

 private:
  GrowBuffer mBuffer;
};

struct IInputChannel {
  bool connected = false;
  double** slot = nullptr;  // entry of the plug-in's input pointer array
  IScratchBuffer scratch;
  std::string label;
};

struct IOutputChannel {
  bool connected = false;
  double** slot = nullptr;  // entry of the plug-in's output pointer array
  float* floatDestination = nullptr;
  IScratchBuffer scratch;
  std::string label;
};

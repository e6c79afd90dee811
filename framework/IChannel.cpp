#include "framework/IChannel.h"

#include <climits>
#include <cstring>

bool IScratchBuffer::ResizeAndClear(int frames) {
  if (frames < 0) frames = 0;
  if (frames > INT_MAX / static_cast<int>(sizeof(double))) return false;
  int bytes = frames * static_cast<int>(sizeof(double));
  mBuffer.Resize(bytes);
  if (mBuffer.Size() != bytes) return false;  // the memory could not be had
  if (bytes > 0) std::memset(mBuffer.Data(), 0, static_cast<size_t>(bytes));
  return true;
}

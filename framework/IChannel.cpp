#include "framework/IChannel.h"

#include <climits>
#include <cstring>

bool IScratchBuffer::ResizeAndClear(int frames) {
  if (frames < 0) frames = 0;
  if (frames > INT_MAX / static_cast<int>(sizeof(double))) return false;
  int bytes = frames * static_cast<int>(sizeof(double));
  if (bytes > 0 && !mBuffer.Resize(bytes)) return false;
  if (bytes == 0) mBuffer.Resize(0);
  if (bytes > 0) std::memset(mBuffer.Data(), 0, static_cast<size_t>(bytes));
  return true;
}

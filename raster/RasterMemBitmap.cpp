#include "raster/RasterMemBitmap.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {
constexpr int kAlignReserve = 63;
}

RasterMemBitmap::RasterMemBitmap(int width, int height) {
  if (width > 0 && height > 0) Resize(width, height);
}

RasterMemBitmap::~RasterMemBitmap() { std::free(mBuffer); }

// Bytes from the start of a heap block to its first 64-byte boundary.
static size_t AlignOffset(const void* block) {
  uintptr_t base = reinterpret_cast<uintptr_t>(block);
  return static_cast<size_t>(((base + kAlignReserve) & ~static_cast<uintptr_t>(kAlignReserve)) - base);
}

uint32_t* RasterMemBitmap::Pixels() {
  if (!mBuffer) return nullptr;
  return reinterpret_cast<uint32_t*>(static_cast<char*>(mBuffer) + AlignOffset(mBuffer));
}

bool RasterMemBitmap::Resize(int width, int height) {
  if (width == mWidth && height == mHeight) return false;
  mWidth = width;
  mHeight = height;

  // Sizes come from PNG headers too: work in 64 bits and refuse anything whose
  // byte count (with the growth margin and alignment reserve) leaves 32 bits.
  long long span = (static_cast<long long>(width) + mAlignMask) & ~static_cast<long long>(mAlignMask);
  long long needed = static_cast<long long>(height) * span * 4;
  const long long limit = INT_MAX - kAlignReserve;

  if (width >= 1 && height >= 1 && needed > 0 && needed <= limit) {
    if (!mBuffer) {
      mBuffer = std::malloc(static_cast<size_t>(needed + kAlignReserve));
      mAllocated = mBuffer ? static_cast<int>(needed) : 0;
    } else if (mAllocated < needed) {
      long long grown = needed + needed / 4;
      if (grown > limit) grown = needed;
      const size_t oldOffset = AlignOffset(mBuffer);
      void* p = std::realloc(mBuffer, static_cast<size_t>(grown + kAlignReserve));
      if (p) {
        // The block may have moved to an address with another distance to the
        // next 64-byte boundary: move the pixels to where Pixels() now points.
        const size_t newOffset = AlignOffset(p);
        if (newOffset != oldOffset)
          std::memmove(static_cast<char*>(p) + newOffset, static_cast<char*>(p) + oldOffset,
                       static_cast<size_t>(mAllocated));
        mBuffer = p;
        mAllocated = static_cast<int>(grown);
      } else {
        std::free(mBuffer);
        mBuffer = std::malloc(static_cast<size_t>(needed + kAlignReserve));
        mAllocated = mBuffer ? static_cast<int>(needed) : 0;
      }
    }
  } else {
    std::free(mBuffer);
    mBuffer = nullptr;
    mAllocated = 0;
  }

  if (!mBuffer) {
    mWidth = 0;
    mHeight = 0;
  }
  return true;
}

#include <climits>
#include <cstdlib>

#include "raster/RasterSysBitmap.h"

RasterSysBitmap::RasterSysBitmap(int width, int height) { Resize(width, height); }

RasterSysBitmap::~RasterSysBitmap() { ReleaseSection(); }

void RasterSysBitmap::ReleaseSection() {
  std::free(mSection);
  mSection = nullptr;
  mBits = nullptr;
}

bool RasterSysBitmap::Resize(int width, int height) {
  if (width == mWidth && height == mHeight) return false;
  mWidth = width;
  mHeight = height;
  if (width > 0 && height > 0 && mAllocWidth >= width && mAllocHeight >= height && mBits) return true;

  long long span = (static_cast<long long>(width) + 3) & ~3LL;
  ReleaseSection();
  mAllocWidth = 0;
  mAllocHeight = 0;
  long long bytes = span * height * 4;
  if (width < 1 || height < 1 || bytes > INT_MAX) {
    mWidth = 0;
    mHeight = 0;
    return false;
  }
  void* p = nullptr;
  if (posix_memalign(&p, 64, static_cast<size_t>(bytes)) != 0) p = nullptr;
  if (!p) {
    mWidth = 0;
    mHeight = 0;
    return true;
  }
  mSection = p;
  mBits = static_cast<uint32_t*>(p);
  mAllocWidth = static_cast<int>(span);
  mAllocHeight = height;
  return true;
}

#include <windows.h>

#include <climits>

#include "raster/RasterSysBitmap.h"

RasterSysBitmap::RasterSysBitmap(int width, int height) {
  mDC = CreateCompatibleDC(nullptr);
  Resize(width, height);
}

RasterSysBitmap::~RasterSysBitmap() {
  ReleaseSection();
  if (mDC) DeleteDC(static_cast<HDC>(mDC));
}

void RasterSysBitmap::ReleaseSection() {
  if (mDC && mPrevBitmap) SelectObject(static_cast<HDC>(mDC), static_cast<HGDIOBJ>(mPrevBitmap));
  mPrevBitmap = nullptr;
  if (mSection) DeleteObject(static_cast<HGDIOBJ>(mSection));
  mSection = nullptr;
  mBits = nullptr;
}

bool RasterSysBitmap::Resize(int width, int height) {
  if (!mDC) {
    mWidth = 0;
    mHeight = 0;
    mBits = nullptr;
    return false;
  }
  if (width == mWidth && height == mHeight) return false;
  mWidth = width;
  mHeight = height;
  // Negative sizes are treated as empty rather than kept beside a live section.
  if (width > 0 && height > 0 && mAllocWidth >= width && mAllocHeight >= height && mBits) return true;

  // 64-bit rounding: a width near INT_MAX must not wrap into a small section.
  long long span = (static_cast<long long>(width) + 3) & ~3LL;
  ReleaseSection();
  mAllocWidth = 0;
  mAllocHeight = 0;
  if (span < 1 || height < 1 || span * height * 4 > INT_MAX) {
    mWidth = 0;
    mHeight = 0;
    return false;
  }
  mAllocWidth = static_cast<int>(span);
  mAllocHeight = height;

  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = mAllocWidth;
  info.bmiHeader.biHeight = IsBottomUp() ? height : -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section && bits) {
    mSection = section;
    mBits = static_cast<uint32_t*>(bits);
    mPrevBitmap = SelectObject(static_cast<HDC>(mDC), section);
  } else {
    if (section) DeleteObject(section);
    mWidth = 0;
    mHeight = 0;
    mAllocWidth = 0;
    mAllocHeight = 0;
    mBits = nullptr;
  }
  return true;
}

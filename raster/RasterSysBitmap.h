// Pixel memory the platform can draw into and copy to the screen. On Windows a
// top-down 32-bit DIB section selected into a memory DC; elsewhere aligned
// memory with the same row span rules and no device context.
#pragma once

#include "raster/RasterBitmap.h"

class RasterSysBitmap : public RasterBitmap {
 public:
  RasterSysBitmap(int width = 0, int height = 0);
  ~RasterSysBitmap() override;
  RasterSysBitmap(const RasterSysBitmap&) = delete;
  RasterSysBitmap& operator=(const RasterSysBitmap&) = delete;

  uint32_t* Pixels() override { return mBits; }
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  // The section's row span, which stays at its larger value after shrinking.
  int RowSpan() const override { return mAllocWidth; }
  // Shrinking keeps the larger section; only growth creates a new one.
  bool Resize(int width, int height) override;
  void* DeviceContext() override { return mDC; }

 private:
  void ReleaseSection();

  int mWidth = 0;
  int mHeight = 0;
  void* mDC = nullptr;
  uint32_t* mBits = nullptr;
  int mAllocWidth = 0;
  int mAllocHeight = 0;
  void* mSection = nullptr;
  void* mPrevBitmap = nullptr;
};

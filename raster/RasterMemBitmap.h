// Pixel memory on the heap, 64-byte aligned, rows padded to 4 pixels.
#pragma once

#include "raster/RasterBitmap.h"

class RasterMemBitmap : public RasterBitmap {
 public:
  RasterMemBitmap(int width = 0, int height = 0);
  ~RasterMemBitmap() override;
  RasterMemBitmap(const RasterMemBitmap&) = delete;
  RasterMemBitmap& operator=(const RasterMemBitmap&) = delete;

  uint32_t* Pixels() override;
  int Width() const override { return mWidth; }
  int Height() const override { return mHeight; }
  int RowSpan() const override { return (mWidth + mAlignMask) & ~mAlignMask; }
  // Grows the block ahead of demand and never shrinks it; the pixels are not
  // cleared, and their address may move.
  bool Resize(int width, int height) override;

  int Allocated() const { return mAllocated; }

 private:
  void* mBuffer = nullptr;
  int mWidth = 0;
  int mHeight = 0;
  int mAllocated = 0;
  int mAlignMask = 3;
};

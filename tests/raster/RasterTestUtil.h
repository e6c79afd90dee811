#pragma once

#include <cstdint>

#include "raster/RasterMemBitmap.h"

// Image row y, column x, whatever the bitmap's row order.
inline uint32_t& At(RasterBitmap& b, int x, int y) {
  int row = b.IsBottomUp() ? b.Height() - 1 - y : y;
  return b.Pixels()[row * b.RowSpan() + x];
}

inline void FillAll(RasterBitmap& b, uint32_t v) {
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x) At(b, x, y) = v;
}

class BottomUpBitmap : public RasterMemBitmap {
 public:
  BottomUpBitmap(int w, int h) : RasterMemBitmap(w, h) {}
  bool IsBottomUp() const override { return true; }
};

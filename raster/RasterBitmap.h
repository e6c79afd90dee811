// Bitmap interface shared by every drawing routine of the raster library.
// Pixels are 32-bit 0xAARRGGBB values (bytes B, G, R, A in memory), not
// premultiplied. Row span is counted in pixels.
#pragma once

#include <cstdint>

// Half-open rectangle: right and bottom are exclusive.
struct RasterRect {
  int left;
  int top;
  int right;
  int bottom;
};

class RasterBitmap {
 public:
  virtual ~RasterBitmap() {}
  virtual uint32_t* Pixels() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int RowSpan() const = 0;
  virtual bool IsBottomUp() const { return false; }
  // Returns true if the size changed.
  virtual bool Resize(int width, int height) = 0;
  // The platform drawing context bound to the pixels (an HDC on Windows), or null.
  virtual void* DeviceContext() { return nullptr; }
  virtual int Extension(int id, void* data) {
    (void)id;
    (void)data;
    return 0;
  }
};

// Copies areas of a raster bitmap (0xAARRGGBB pixels) to an X window of a
// TrueColor visual, converting to the visual's pixel layout when it is not
// the common 24/32-bit one.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <vector>

class RasterBitmap;

class X11Surface {
 public:
  X11Surface() = default;
  ~X11Surface();
  X11Surface(const X11Surface&) = delete;
  X11Surface& operator=(const X11Surface&) = delete;

  // visual and depth are the window's. False for visuals we cannot fill.
  bool Create(Display* display, Window window, Visual* visual, int depth, int width, int height);
  void Destroy();
  // Copies (x, y, w, h) of bitmap to the same place in the window, clipped to both.
  void Put(RasterBitmap* bitmap, int x, int y, int w, int h);

  static bool SupportedVisual(const Visual* visual, int depth);

 private:
  Display* mDisplay = nullptr;
  Window mWindow = 0;
  GC mGC = nullptr;
  XImage* mImage = nullptr;
  std::vector<uint32_t> mBuffer;  // the image's pixel memory, 32-bit aligned rows
  int mWidth = 0;
  int mHeight = 0;
  bool mDirect = false;  // 32 bits per pixel with red, green and blue where ours are
  int mShift[3] = {0, 0, 0};
  int mBits[3] = {0, 0, 0};
  unsigned long mMask[3] = {0, 0, 0};
  uint32_t mAlpha = 0;  // alpha bits a 32-bit-deep visual needs set
};

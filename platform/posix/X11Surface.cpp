#include "platform/posix/X11Surface.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstring>

#include "raster/RasterBitmap.h"

namespace {
void MaskShape(unsigned long mask, int* shift, int* bits) {
  *shift = 0;
  *bits = 0;
  if (!mask) return;
  while (!(mask & 1)) {
    mask >>= 1;
    ++*shift;
  }
  while (mask & 1) {
    mask >>= 1;
    ++*bits;
  }
}

bool HostIsLittleEndian() {
  const uint32_t one = 1;
  unsigned char first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}
}  // namespace

X11Surface::~X11Surface() { Destroy(); }

bool X11Surface::SupportedVisual(const Visual* visual, int depth) {
  // Visual's class member is named c_class in C++.
  return visual && (visual->c_class == TrueColor || visual->c_class == DirectColor) && depth >= 15 && visual->red_mask &&
         visual->green_mask && visual->blue_mask;
}

bool X11Surface::Create(Display* display, Window window, Visual* visual, int depth, int width, int height) {
  Destroy();
  if (!display || !window || width <= 0 || height <= 0 || !SupportedVisual(visual, depth)) return false;
  XImage* image = XCreateImage(display, visual, static_cast<unsigned>(depth), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
  if (!image) return false;
  const size_t bytes = static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height);
  mBuffer.assign((bytes + 3) / 4, 0);
  image->data = reinterpret_cast<char*>(mBuffer.data());
  mGC = XCreateGC(display, window, 0, nullptr);
  if (!mGC) {
    image->data = nullptr;
    XDestroyImage(image);
    mBuffer.clear();
    return false;
  }
  mDisplay = display;
  mWindow = window;
  mImage = image;
  mWidth = width;
  mHeight = height;
  mMask[0] = visual->red_mask;
  mMask[1] = visual->green_mask;
  mMask[2] = visual->blue_mask;
  for (int c = 0; c < 3; ++c) MaskShape(mMask[c], &mShift[c], &mBits[c]);
  mDirect = image->bits_per_pixel == 32 && mMask[0] == 0xFF0000 && mMask[1] == 0xFF00 && mMask[2] == 0xFF;
  // Our pixels are written as native 32-bit words; Xlib swaps them for the server if needed.
  if (mDirect) image->byte_order = HostIsLittleEndian() ? LSBFirst : MSBFirst;
  mAlpha = depth == 32 ? static_cast<uint32_t>(~(mMask[0] | mMask[1] | mMask[2])) : 0;
  return true;
}

void X11Surface::Destroy() {
  if (mImage) {
    mImage->data = nullptr;  // the buffer is ours
    XDestroyImage(mImage);
    mImage = nullptr;
  }
  if (mGC && mDisplay) XFreeGC(mDisplay, mGC);  // also frees our memory after the server went
  mGC = nullptr;
  mBuffer.clear();
  mDisplay = nullptr;
  mWindow = 0;
}

void X11Surface::Put(RasterBitmap* bitmap, int x, int y, int w, int h) {
  if (!mImage || !bitmap || !bitmap->Pixels()) return;
  const int right = std::min({x + w, mWidth, bitmap->Width()});
  const int bottom = std::min({y + h, mHeight, bitmap->Height()});
  x = std::max(x, 0);
  y = std::max(y, 0);
  if (right <= x || bottom <= y) return;
  const uint32_t* pixels = bitmap->Pixels();
  const int span = bitmap->RowSpan();
  for (int row = y; row < bottom; ++row) {
    const int srcRow = bitmap->IsBottomUp() ? bitmap->Height() - 1 - row : row;
    const uint32_t* src = pixels + static_cast<ptrdiff_t>(srcRow) * span;
    if (mDirect) {
      uint32_t* dst = reinterpret_cast<uint32_t*>(mImage->data + static_cast<ptrdiff_t>(row) * mImage->bytes_per_line);
      for (int col = x; col < right; ++col) dst[col] = src[col] | mAlpha;
      continue;
    }
    for (int col = x; col < right; ++col) {
      const uint32_t p = src[col];
      const unsigned channel[3] = {(p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF};
      unsigned long value = mAlpha;
      for (int c = 0; c < 3; ++c) {
        unsigned long v = mBits[c] <= 8 ? channel[c] >> (8 - mBits[c]) : static_cast<unsigned long>(channel[c]) << (mBits[c] - 8);
        value |= (v << mShift[c]) & mMask[c];
      }
      XPutPixel(mImage, col, row, value);
    }
  }
  XPutImage(mDisplay, mWindow, mGC, mImage, x, y, x, y, static_cast<unsigned>(right - x),
            static_cast<unsigned>(bottom - y));
}

// The editor's value types: rectangles, colours, mouse modifiers, blends,
// text styles and film-strip bitmaps.
#pragma once

#include <cstdint>

class RasterBitmap;
class RasterCachedFont;

// Half-open in both axes; all four fields 0 is the empty rectangle.
struct IRect {
  int32_t L = 0, T = 0, R = 0, B = 0;

  IRect() = default;
  IRect(int32_t l, int32_t t, int32_t r, int32_t b) : L(l), T(t), R(r), B(b) {}

  bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
  int32_t W() const { return R - L; }
  int32_t H() const { return B - T; }
  bool Contains(int32_t x, int32_t y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
  // Rectangles that only touch on the right or bottom edge count as intersecting.
  bool Intersects(const IRect& b) const {
    return !Empty() && !b.Empty() && R >= b.L && L < b.R && B >= b.T && T < b.B;
  }
  IRect Intersect(const IRect& b) const;
  IRect Union(const IRect& b) const;
  bool operator==(const IRect& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
  bool operator!=(const IRect& o) const { return !(*this == o); }
};

struct IColor {
  int32_t A = 255, R = 0, G = 0, B = 0;

  IColor() = default;
  IColor(int32_t a, int32_t r, int32_t g, int32_t b) : A(a), R(r), G(g), B(b) {}
  uint32_t Packed() const {
    return (static_cast<uint32_t>(A) << 24) | (static_cast<uint32_t>(R) << 16) | (static_cast<uint32_t>(G) << 8) |
           static_cast<uint32_t>(B);
  }
};

struct IMouseMod {
  bool L = false, R = false, S = false, C = false, A = false;

  IMouseMod() = default;
  IMouseMod(bool l, bool r, bool s = false, bool c = false, bool a = false) : L(l), R(r), S(s), C(c), A(a) {}
};

struct IBlend {
  enum Method : int32_t { kNone = 0, kClobber = 1, kAdd = 2, kColorDodge = 3 };
  Method method = kNone;
  float weight = 1.0f;

  IBlend() = default;
  IBlend(Method m, float w = 1.0f) : method(m), weight(w) {}
};

// A film strip of N equal frames, numbered from 1.
struct IBitmap {
  RasterBitmap* bitmap = nullptr;  // not owned: the process-wide cache keeps it
  int32_t W = 0, H = 0, N = 1;
  bool framesAreHorizontal = false;
  int32_t id = 0;  // the resource, by which the editor finds the image drawn for its size
};

constexpr int kFaceSize = 32;

struct IText {
  enum Style : int32_t { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
  enum Align : int32_t { kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2 };
  enum Quality : int32_t { kQualityDefault = 0, kQualityNonAntiAliased = 1, kQualityAntiAliased = 2, kQualityClearType = 3 };

  char face[kFaceSize] = "Verdana";
  int32_t size = 12;
  IColor color{255, 0, 0, 0};
  IColor entryBackground{255, 255, 255, 255};
  IColor entryForeground{255, 0, 0, 0};
  int32_t style = kStyleNormal;
  int32_t align = kAlignCenter;
  int32_t orientation = 0;
  int32_t quality = kQualityDefault;
  RasterCachedFont* cachedFont = nullptr;  // not owned: filled from the font cache on first use

  IText() = default;
  IText(const char* faceName, int32_t sz, const IColor& c, int32_t st = kStyleNormal, int32_t al = kAlignCenter,
        int32_t orient = 0, int32_t q = kQualityDefault);
};

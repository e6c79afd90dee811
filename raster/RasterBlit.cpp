#include "raster/RasterBlit.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
inline int Byte(uint32_t p, int i) { return static_cast<int>((p >> (8 * i)) & 0xFF); }
inline uint32_t Put(uint32_t p, int i, int v) {
  return (p & ~(0xFFu << (8 * i))) | ((static_cast<uint32_t>(v) & 0xFFu) << (8 * i));
}

// The kernels of the table, one pixel each. s is the source pixel, k the
// (possibly alpha-scaled) integer weight.
inline uint32_t CopyAll(uint32_t s, uint32_t d, int w) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) {
    int sv = Byte(s, i), dv = Byte(d, i);
    r = Put(r, i, sv + (dv - sv) * (256 - w) / 256);
  }
  return r;
}

inline uint32_t AddAll(uint32_t s, uint32_t d, int w) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) r = Put(r, i, Clamp255(Byte(d, i) + Byte(s, i) * w / 256));
  return r;
}

inline uint32_t DodgeAll(uint32_t s, uint32_t d, int w) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) {
    int x = Byte(s, i) * w / 256, dv = Byte(d, i);
    r = Put(r, i, x <= 254 ? Clamp255(dv * 256 / (256 - x)) : Clamp255(dv * 256));
  }
  return r;
}

inline uint32_t MultiplyAll(uint32_t s, uint32_t d, int w) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) r = Put(r, i, ((w * (Byte(s, i) - 256) + 65536) * Byte(d, i)) >> 16);
  return r;
}

inline uint32_t OverlayAll(uint32_t s, uint32_t d, int w) {
  uint32_t r = 0;
  for (int i = 0; i < 4; ++i) {
    int t = Byte(s, i) * w + (256 - w) * 128, dv = Byte(d, i);
    r = Put(r, i, Clamp255(((((32768 - t) * dv / 256) + t) * dv) >> 15));
  }
  return r;
}

// Hue is kept on a 0..1535 circle (six sectors of 256), saturation and value
// on 0..255. Source red turns the hue (128 = none, full scale one turn),
// green and blue push saturation and value up or down around 128.
uint32_t AdjustHsv(uint32_t s, uint32_t d, int w) {
  const int dh = (Byte(s, 2) - 128) * 6 * w / 256;
  const int ds = (Byte(s, 1) - 128) * 2 * w / 256;
  const int dv = (Byte(s, 0) - 128) * 2 * w / 256;
  // The integer round trip is not exact, so a neutral source must not touch d.
  if (!dh && !ds && !dv) return d;
  int r = Byte(d, 2), g = Byte(d, 1), b = Byte(d, 0);
  int mx = std::max(r, std::max(g, b)), mn = std::min(r, std::min(g, b));
  int v = mx, delta = mx - mn;
  int sat = mx ? delta * 255 / mx : 0;
  int h = 0;
  if (delta) {
    if (mx == r) h = (g - b) * 256 / delta;
    else if (mx == g) h = 512 + (b - r) * 256 / delta;
    else h = 1024 + (r - g) * 256 / delta;
  }
  h += dh;
  h %= 1536;
  if (h < 0) h += 1536;
  sat = Clamp255(sat + ds);
  v = Clamp255(v + dv);

  int sector = h / 256, f = h % 256;
  int p = v * (255 - sat) / 255;
  int q = v * (255 * 256 - sat * f) / (255 * 256);
  int t = v * (255 * 256 - sat * (256 - f)) / (255 * 256);
  int rr, gg, bb;
  switch (sector) {
    case 0: rr = v; gg = t; bb = p; break;
    case 1: rr = q; gg = v; bb = p; break;
    case 2: rr = p; gg = v; bb = t; break;
    case 3: rr = p; gg = q; bb = v; break;
    case 4: rr = t; gg = p; bb = v; break;
    default: rr = v; gg = p; bb = q; break;
  }
  return (d & 0xFF000000u) | (static_cast<uint32_t>(Clamp255(rr)) << 16) |
         (static_cast<uint32_t>(Clamp255(gg)) << 8) | static_cast<uint32_t>(Clamp255(bb));
}

struct Area {
  uint32_t* dst;
  long dstStride;  // pixels, negative for bottom-up
  const uint32_t* src;
  long srcStride;
  int width;
  int height;
};

template <typename F>
inline void ForEach(const Area& a, F f) {
  uint32_t* drow = a.dst;
  const uint32_t* srow = a.src;
  for (int y = 0; y < a.height; ++y, drow += a.dstStride, srow += a.srcStride)
    for (int x = 0; x < a.width; ++x) drow[x] = f(srow[x], drow[x]);
}

inline uint32_t Half(uint32_t v) { return (v >> 1) & 0x7F7F7F7Fu; }
inline uint32_t Quarter(uint32_t v) { return (v >> 2) & 0x3F3F3F3Fu; }

}  // namespace

int RasterWeightToInt(float weight) {
  double v = static_cast<double>(weight) * 256.0;
  if (!(v == v)) return 0;
  v = std::min(512.0, std::max(-512.0, v));
  return static_cast<int>(v);
}

void Blit(RasterBitmap* dst, RasterBitmap* src, int x, int y, const RasterRect* srcRect, float weight, int mode) {
  if (!dst || !src || weight == 0.0f) return;
  // 64-bit clipping: rectangles with extreme coordinates must not wrap.
  long long dx = x, dy = y;
  long long sl = 0, st = 0, sr = src->Width(), sb = src->Height();
  if (srcRect) {
    sr = std::min<long long>(srcRect->right, sr);
    sb = std::min<long long>(srcRect->bottom, sb);
    if (srcRect->left < 0) dx -= srcRect->left; else sl = srcRect->left;
    if (srcRect->top < 0) dy -= srcRect->top; else st = srcRect->top;
  }
  if (dx < 0) { sl -= dx; dx = 0; }
  if (dy < 0) { st -= dy; dy = 0; }
  if (sl >= sr || st >= sb || dx >= dst->Width() || dy >= dst->Height()) return;
  long long er = std::min<long long>(dst->Width() - dx + sl, sr);
  long long eb = std::min<long long>(dst->Height() - dy + st, sb);
  if (sl >= er || st >= eb) return;
  int cw = static_cast<int>(er - sl), ch = static_cast<int>(eb - st);

  uint32_t* dp = dst->Pixels();
  uint32_t* sp = src->Pixels();
  if (!dp || !sp) return;
  Area a;
  a.width = cw;
  a.height = ch;
  long ds = dst->RowSpan(), ss = src->RowSpan();
  long drow = dst->IsBottomUp() ? dst->Height() - 1 - static_cast<long>(dy) : static_cast<long>(dy);
  long srow = src->IsBottomUp() ? src->Height() - 1 - static_cast<long>(st) : static_cast<long>(st);
  a.dst = dp + drow * ds + dx;
  a.src = sp + srow * ss + sl;
  a.dstStride = dst->IsBottomUp() ? -ds : ds;
  a.srcStride = src->IsBottomUp() ? -ss : ss;

  if ((mode & 0xFF) >= 0xF0) {
    int sb0 = mode & 3, db = (mode >> 2) & 3;
    ForEach(a, [&](uint32_t s, uint32_t d) { return Put(d, db, Byte(s, sb0)); });
    return;
  }
  mode &= 0x100FF;
  if (mode == kRasterCopy) {
    if (weight == 1.0f) {
      for (int r = 0; r < ch; ++r)
        std::memmove(a.dst + r * a.dstStride, a.src + r * a.srcStride, static_cast<size_t>(cw) * 4);
      return;
    }
    if (weight == 0.5f) {
      ForEach(a, [](uint32_t s, uint32_t d) { return Half(s) + Half(d); });
      return;
    }
  }
  const int w = RasterWeightToInt(weight);
  if (w == 0) return;

  switch (mode) {
    case kRasterCopy:
      if (w < 1) return;
      if (w == 256) {
        for (int r = 0; r < ch; ++r)
          std::memmove(a.dst + r * a.dstStride, a.src + r * a.srcStride, static_cast<size_t>(cw) * 4);
        return;
      }
      ForEach(a, [w](uint32_t s, uint32_t d) { return CopyAll(s, d, w); });
      return;
    case kRasterUseAlpha:
      if (w == 256) {
        // The editor's normal mode: written out per channel, as it draws every image.
        ForEach(a, [](uint32_t s, uint32_t d) -> uint32_t {
          const int sa = static_cast<int>(s >> 24);
          if (sa == 0) return d;
          if (sa == 255) return s;
          const int k = 255 - sa;
          const int sb = Byte(s, 0), sg = Byte(s, 1), sr = Byte(s, 2);
          const int b = sb + (Byte(d, 0) - sb) * k / 256;
          const int g = sg + (Byte(d, 1) - sg) * k / 256;
          const int r = sr + (Byte(d, 2) - sr) * k / 256;
          const uint32_t na = static_cast<uint32_t>(std::min(Byte(d, 3) + sa, 255));
          return na << 24 | static_cast<uint32_t>(r) << 16 | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b);
        });
      } else {
        ForEach(a, [w](uint32_t s, uint32_t d) {
          int sa = static_cast<int>(s >> 24);
          if (sa == 0) return d;
          int k = w * (sa + 1) / 256;
          uint32_t r = Put(0, 3, std::min(k + Byte(d, 3), 255));
          for (int i = 0; i < 3; ++i) {
            int sv = Byte(s, i);
            r = Put(r, i, sv + (Byte(d, i) - sv) * (256 - k) / 256);
          }
          return r;
        });
      }
      return;
    case kRasterAdd:
      ForEach(a, [w](uint32_t s, uint32_t d) { return AddAll(s, d, w); });
      return;
    case kRasterAdd | kRasterUseAlpha:
      ForEach(a, [w](uint32_t s, uint32_t d) {
        int sa = static_cast<int>(s >> 24);
        if (sa == 0) return d;
        int k = w * (sa + 1) / 256;
        uint32_t r = Put(0, 3, Clamp255(Byte(d, 3) + sa * k / 256));
        for (int i = 0; i < 3; ++i) r = Put(r, i, Clamp255(Byte(d, i) + k * Byte(s, i) / 256));
        return r;
      });
      return;
    case kRasterDodge:
      ForEach(a, [w](uint32_t s, uint32_t d) { return DodgeAll(s, d, w); });
      return;
    case kRasterDodge | kRasterUseAlpha:
      ForEach(a, [w](uint32_t s, uint32_t d) { return DodgeAll(s, d, w * (static_cast<int>(s >> 24) + 1) / 256); });
      return;
    case kRasterMultiply:
      ForEach(a, [w](uint32_t s, uint32_t d) { return MultiplyAll(s, d, w); });
      return;
    case kRasterMultiply | kRasterUseAlpha:
      ForEach(a, [w](uint32_t s, uint32_t d) {
        int sa = static_cast<int>(s >> 24);
        if (sa == 0) return d;
        int k = w * (sa + 1) / 256;
        uint32_t r = 0;
        for (int i = 0; i < 4; ++i) r = Put(r, i, ((k * Byte(s, i) + (256 - k) * 256) * Byte(d, i)) >> 16);
        return r;
      });
      return;
    case kRasterOverlay:
      ForEach(a, [w](uint32_t s, uint32_t d) { return OverlayAll(s, d, w); });
      return;
    case kRasterOverlay | kRasterUseAlpha:
      ForEach(a, [w](uint32_t s, uint32_t d) { return OverlayAll(s, d, w * (static_cast<int>(s >> 24) + 1) / 256); });
      return;
    case kRasterAdjust:
      ForEach(a, [w](uint32_t s, uint32_t d) { return AdjustHsv(s, d, w); });
      return;
    case kRasterAdjust | kRasterUseAlpha:
      ForEach(a, [w](uint32_t s, uint32_t d) { return AdjustHsv(s, d, w * (static_cast<int>(s >> 24) + 1) / 256); });
      return;
    default:
      return;
  }
}

bool RasterCombinePixel(uint32_t* d, uint32_t color, int w, int mode) {
  // The colour stands in as the source pixel with w as its alpha.
  uint32_t s = (color & 0x00FFFFFFu) | (static_cast<uint32_t>(Clamp255(w)) << 24);
  uint32_t dv = *d;
  switch (mode & 0xFF) {
    case kRasterCopy: {
      if (w <= 0) return true;
      uint32_t r = Put(0, 3, w + (Byte(dv, 3) - w) * (256 - w) / 256);
      for (int i = 0; i < 3; ++i) {
        int sv = Byte(s, i);
        r = Put(r, i, sv + (Byte(dv, i) - sv) * (256 - w) / 256);
      }
      *d = r;
      return true;
    }
    case kRasterAdd: {
      uint32_t r = Put(0, 3, Clamp255(Byte(dv, 3) + w * w / 256));
      for (int i = 0; i < 3; ++i) r = Put(r, i, Clamp255(Byte(dv, i) + Byte(s, i) * w / 256));
      *d = r;
      return true;
    }
    case kRasterDodge: *d = DodgeAll(s, dv, w); return true;
    case kRasterMultiply: *d = MultiplyAll(s, dv, w); return true;
    case kRasterOverlay: *d = OverlayAll(s, dv, w); return true;
    case kRasterAdjust: *d = AdjustHsv(s, dv, w); return true;
    default: return false;
  }
}

void FillArea(RasterBitmap* bmp, int x, int y, int width, int height, uint32_t color, float weight, int mode) {
  if (!bmp) return;
  if (mode & kRasterUseAlpha) weight *= static_cast<float>(color >> 24) / 255.0f;
  long long cx = x, cy = y, cw = width, ch = height;
  if (cx < 0) { cw += cx; cx = 0; }
  if (cy < 0) { ch += cy; cy = 0; }
  uint32_t* px = bmp->Pixels();
  const int bw = bmp->Width(), bh = bmp->Height(), span = bmp->RowSpan();
  if (weight == 0.0f || !px || span == 0 || cw <= 0 || ch <= 0 || cx >= bw || cy >= bh) return;
  const int rows = static_cast<int>(std::min<long long>(bh - cy, ch));
  const int cols = static_cast<int>(std::min<long long>(bw - cx, cw));
  long first = bmp->IsBottomUp() ? bh - static_cast<long>(cy) - rows : static_cast<long>(cy);
  uint32_t* row0 = px + first * span + cx;

  auto each = [&](auto f) {
    for (int r = 0; r < rows; ++r) {
      uint32_t* p = row0 + static_cast<long>(r) * span;
      for (int c = 0; c < cols; ++c) p[c] = f(p[c]);
    }
  };
  const int w = RasterWeightToInt(weight);
  if ((mode & 0xFF) == kRasterCopy) {
    switch (w) {
      case 256: each([color](uint32_t) { return color; }); return;
      case 128: each([color](uint32_t d) { return Half(color) + Half(d); }); return;
      case 64: each([color](uint32_t d) { return Half(d) + Quarter(d) + Quarter(color); }); return;
      case 192: each([color](uint32_t d) { return Quarter(color) + Quarter(d) + Half(color); }); return;
      default: break;
    }
  }
  if (w == 0) return;
  uint32_t probe = 0;
  if (!RasterCombinePixel(&probe, color, w, mode)) return;
  each([&](uint32_t d) {
    RasterCombinePixel(&d, color, w, mode);
    return d;
  });
}

void Blur(RasterBitmap* bmp, int x, int y, int width, int height) {
  if (!bmp || !bmp->Pixels()) return;
  long long x0 = std::max(0, x), y0 = std::max(0, y);
  long long x1 = std::min<long long>(static_cast<long long>(x) + width, bmp->Width());
  long long y1 = std::min<long long>(static_cast<long long>(y) + height, bmp->Height());
  if (x0 >= x1 || y0 >= y1) return;
  const int w = static_cast<int>(x1 - x0), h = static_cast<int>(y1 - y0);
  const long span = bmp->RowSpan();
  uint32_t* px = bmp->Pixels();
  auto at = [&](int cx, int cy) -> uint32_t* {
    long row = bmp->IsBottomUp() ? bmp->Height() - 1 - (y0 + cy) : y0 + cy;
    return px + row * span + x0 + cx;
  };
  std::vector<uint32_t> copy(static_cast<size_t>(w) * h);
  for (int r = 0; r < h; ++r) std::memcpy(&copy[static_cast<size_t>(r) * w], at(0, r), static_cast<size_t>(w) * 4);
  auto get = [&](int cx, int cy) {
    cx = std::min(std::max(cx, 0), w - 1);
    cy = std::min(std::max(cy, 0), h - 1);
    return copy[static_cast<size_t>(cy) * w + cx];
  };
  // Centre weighted 4, each direct neighbour 1: the sum fits a byte after /8.
  for (int r = 0; r < h; ++r) {
    uint32_t* out = at(0, r);
    for (int c = 0; c < w; ++c) {
      uint32_t v = 0;
      for (int i = 0; i < 4; ++i) {
        int sum = 4 * Byte(get(c, r), i) + Byte(get(c - 1, r), i) + Byte(get(c + 1, r), i) + Byte(get(c, r - 1), i) +
                  Byte(get(c, r + 1), i);
        v = Put(v, i, sum / 8);
      }
      out[c] = v;
    }
  }
}

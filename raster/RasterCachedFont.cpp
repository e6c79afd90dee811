#include "raster/RasterCachedFont.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "raster/RasterBlit.h"
#include "raster/RasterFontPlatform.h"
#include "raster/RasterSysBitmap.h"
#include "raster/RasterUtf8.h"

namespace {

// Shared by every font; text drawing happens on one thread at a time.
RasterSysBitmap* gGlyphScratch = nullptr;
RasterSysBitmap* gNativeScratch = nullptr;
int gLiveFonts = 0;
int gWine = -1;
int gWineChecks = 0;

constexpr uint32_t kAlignBits = kRasterDtCenter | kRasterDtRight | kRasterDtVCenter | kRasterDtBottom;
// Font flags that only the glyph route can honour.
constexpr int kGlyphOnlyFlags = 0x1F7;

void EnsureGlyphScratch(int size) {
  if (!gGlyphScratch) gGlyphScratch = new RasterSysBitmap(0, 0);
  if (gGlyphScratch->Width() < size || gGlyphScratch->Height() < size) {
    gGlyphScratch->Resize(std::max(gGlyphScratch->Width(), size), std::max(gGlyphScratch->Height(), size));
    RasterPlatformPrepareScratch(gGlyphScratch);
  }
}

// The weighted form of the compositing rules: moves d toward colour by w/256
// and raises alpha the same way.
inline uint32_t Toward(uint32_t d, uint32_t color, int k) {
  uint32_t r = 0;
  for (int i = 0; i < 3; ++i) {
    int c = static_cast<int>((color >> (8 * i)) & 0xFF), dv = static_cast<int>((d >> (8 * i)) & 0xFF);
    r |= (static_cast<uint32_t>(c + (dv - c) * k / 256) & 0xFF) << (8 * i);
  }
  int da = static_cast<int>(d >> 24);
  return r | (static_cast<uint32_t>(255 - ((255 - da) * k) / 256) & 0xFF) << 24;
}

}  // namespace

bool RasterIsWine() {
  if (gWine < 0) {
    ++gWineChecks;
    gWine = RasterPlatformIsWine() ? 1 : 0;
  }
  return gWine == 1;
}

void RasterSetWineCheckForTest(int answer) { gWine = answer < 0 ? -1 : (answer ? 1 : 0); }

int RasterWineCheckCountForTest() { return gWineChecks; }

RasterCachedFont::RasterCachedFont() { ++gLiveFonts; }

RasterCachedFont::~RasterCachedFont() {
  if ((mFlags & kRasterFontOwnsHandle) && mHandle) RasterDeleteFont(mHandle);
  if (--gLiveFonts <= 0) {
    gLiveFonts = 0;
    delete gGlyphScratch;
    delete gNativeScratch;
    gGlyphScratch = nullptr;
    gNativeScratch = nullptr;
  }
}

int RasterCachedFont::LiveFontCount() { return gLiveFonts; }

RasterSysBitmap* RasterCachedFont::GlyphScratch() { return gGlyphScratch; }

void RasterCachedFont::SetFontHandle(RasterFontHandle handle, int flags) {
  if ((mFlags & kRasterFontOwnsHandle) && mHandle && handle != mHandle) RasterDeleteFont(mHandle);
  mFlags = flags;
  mHandle = handle;
  mLineHeight = 0;
  if (handle) {
    EnsureGlyphScratch(256);
    mLineHeight = RasterPlatformLineHeight(handle, gGlyphScratch);
  }
  std::memset(mAscii, 0, sizeof(mAscii));
  mOther.Resize(0);
  mCoverage.Resize(0);
  if (handle && (flags & kRasterFontAsciiOnly))
    for (int c = 0; c < 128; ++c) RenderGlyph(c);
}

uint32_t RasterCachedFont::SetFgColor(uint32_t color) { std::swap(mFg, color); return color; }
uint32_t RasterCachedFont::SetBgColor(uint32_t color) { std::swap(mBg, color); return color; }
uint32_t RasterCachedFont::SetFxColor(uint32_t color) { std::swap(mFx, color); return color; }
int RasterCachedFont::SetBgMode(int mode) { std::swap(mBgMode, mode); return mode; }

void RasterCachedFont::SetCombineMode(int mode, float weight) {
  mMode = mode;
  mWeight = weight;
}

const RasterGlyph* RasterCachedFont::FindGlyph(int code) const {
  if (code < 0 || code > 0xFFFF) return nullptr;
  if (code < 128) return &mAscii[code];
  const RasterGlyph* begin = static_cast<const RasterGlyph*>(mOther.Data());
  const RasterGlyph* end = begin + mOther.Size() / static_cast<int>(sizeof(RasterGlyph));
  if (!begin) return nullptr;
  const RasterGlyph* it =
      std::lower_bound(begin, end, code, [](const RasterGlyph& g, int c) { return g.code < c; });
  return it != end && it->code == code ? it : nullptr;
}

const unsigned char* RasterCachedFont::GlyphMask(const RasterGlyph& g) const {
  return static_cast<const unsigned char*>(mCoverage.Data()) + (g.pos - 1);
}

bool RasterCachedFont::Valid(const RasterGlyph* g) const {
  return g && g->pos > 0 &&
         static_cast<long long>(g->pos) - 1 + static_cast<long long>(g->width) * g->height <= mCoverage.Size();
}

const RasterGlyph* RasterCachedFont::Glyph(int code) {
  const RasterGlyph* g = FindGlyph(code);
  if (g && g->pos != 0) return g;
  return RenderGlyph(code);
}

const RasterGlyph* RasterCachedFont::RenderGlyph(int code) {
  if (mLineHeight > 1023 || !mHandle || code < 0 || code > 0xFFFF) return nullptr;
  RasterGlyph* rec = const_cast<RasterGlyph*>(FindGlyph(code));
  bool appended = false;
  if (!rec) {
    if (mFlags & kRasterFontAsciiOnly) return nullptr;
    int n = mOther.Size();
    char* base = static_cast<char*>(mOther.Resize(n + static_cast<int>(sizeof(RasterGlyph))));
    if (!base) return nullptr;
    rec = reinterpret_cast<RasterGlyph*>(base + n);
    appended = true;
  }
  ++mRenderCount;

  const int size = 2 * std::max(mLineHeight, 1) + 8;
  EnsureGlyphScratch(size);
  RasterSysBitmap* scratch = gGlyphScratch;
  const int margin = mLineHeight < 16 ? 2 : mLineHeight / 16 + 2;
  int w = 0, h = 0;
  if (scratch->Pixels()) RasterPlatformRenderChar(mHandle, scratch, static_cast<unsigned short>(code), margin, &w, &h);
  int W = w + 2 * margin;
  w = std::min(w, scratch->Width());
  W = std::min(W, scratch->Width());
  h = std::min(h, scratch->Height());

  RasterGlyph g = {};
  g.code = code;
  if (w < 1 || h < 1) {
    g.pos = -1;
  } else {
    g.advance = w;
    if (mFlags & kRasterFontBlur) Blur(scratch, 0, 0, W, h);
    const int old = mCoverage.Size();
    unsigned char* data = static_cast<unsigned char*>(mCoverage.Resize(old + W * h));
    if (!data) {
      g = {};
      g.code = code;
      g.pos = -1;
    } else {
      unsigned char* mask = data + old;
      const uint32_t* px = scratch->Pixels();
      const long span = scratch->RowSpan();
      const unsigned char invert = (mFlags & kRasterFontInvert) ? 0xFF : 0;
      int left = margin, rightEnd = w + margin;
      int firstInk = W, lastInk = -1;
      for (int y = 0; y < h; ++y) {
        const uint32_t* row = px + y * span;
        for (int x = 0; x < W; ++x) {
          unsigned char v = static_cast<unsigned char>(row[x] >> 16);
          mask[y * W + x] = v ^ invert;
          if (v) {
            firstInk = std::min(firstInk, x);
            lastInk = std::max(lastInk, x);
          }
        }
      }
      // Ink that spills into the margins (overhangs, italics) widens the mask.
      if (firstInk < margin) left = firstInk;
      if (lastInk >= w + margin) rightEnd = lastInk + 1;
      int mw = W;
      if (left > 0 || rightEnd < W) {
        mw = rightEnd - left;
        for (int y = 0; y < h; ++y) std::memmove(mask + y * mw, mask + y * W + left, static_cast<size_t>(mw));
        mCoverage.Resize(old + mw * h);
      }
      g.pos = old + 1;
      g.width = mw;
      g.height = h;
      g.left = margin - left;
      ApplyEffects(&g);
    }
  }
  *rec = g;
  if (!appended) return rec;
  RasterGlyph* begin = static_cast<RasterGlyph*>(mOther.Data());
  std::sort(begin, begin + mOther.Size() / static_cast<int>(sizeof(RasterGlyph)),
            [](const RasterGlyph& a, const RasterGlyph& b) { return a.code < b.code; });
  return FindGlyph(code);
}

void RasterCachedFont::ApplyEffects(RasterGlyph* g) {
  unsigned char* m = static_cast<unsigned char*>(mCoverage.Data()) + (g->pos - 1);
  const int W = g->width, H = g->height;
  if ((mFlags & kRasterFontVertical) && gGlyphScratch && gGlyphScratch->Pixels()) {
    // The scratch holds at least W * H * 4 bytes: it is free once copied from.
    unsigned char* tmp = reinterpret_cast<unsigned char*>(gGlyphScratch->Pixels());
    std::memcpy(tmp, m, static_cast<size_t>(W) * H);
    const bool bottomUp = mFlags & kRasterFontBottomUp;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        // Top-down text turns clockwise, bottom-up text anticlockwise.
        int ny = bottomUp ? W - 1 - x : x;
        int nx = bottomUp ? y : H - 1 - y;
        m[ny * H + nx] = tmp[y * W + x];
      }
    std::swap(g->width, g->height);
  }
  const int w = g->width, h = g->height;
  if (mFlags & (kRasterFontMono | kRasterFontShadow | kRasterFontOutline))
    for (int i = 0; i < w * h; ++i) m[i] = m[i] > 130 ? 255 : 0;
  if (!(mFlags & (kRasterFontShadow | kRasterFontOutline))) return;
  const bool shadow = mFlags & kRasterFontShadow;
  auto full = [&](int x, int y) { return x >= 0 && y >= 0 && x < w && y < h && m[y * w + x] == 255; };
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (m[y * w + x]) continue;
      bool hit = shadow ? (full(x - 1, y) || full(x - 1, y - 1) || full(x, y - 1))
                        : (full(x - 1, y) || full(x + 1, y) || full(x, y - 1) || full(x, y + 1));
      if (hit) m[y * w + x] = 128;
    }
}

bool RasterCachedFont::NativeRoute(uint32_t format, bool neverNative) {
  if (!RasterPlatformHasNativeText()) return false;
  if ((mFlags & kRasterFontNativeAllowed) && mHandle && !neverNative && !RasterIsWine() &&
      !(format & kRasterDtUseFgAlpha) && !(mFlags & kGlyphOnlyFlags))
    return true;
  return mLineHeight >= 256;
}

int RasterCachedFont::DrawString(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect,
                                 uint32_t format) {
  const bool measuring = format & kRasterDtCalcRect;
  if (!rect || !text || (!bitmap && !measuring)) return 0;
  const bool neverNative = format & kRasterDtNeverNative;
  format &= ~static_cast<uint32_t>(kRasterDtNeverNative);
  if (!mHandle) {
    if (measuring) {
      rect->right = rect->left;
      rect->bottom = rect->top;
    }
    return 0;
  }
  if (NativeRoute(format, neverNative)) {
    RasterNativeStyle style{mHandle, mFg, mBg, mBgMode, mWeight};
    return RasterPlatformDrawText(style, bitmap, text, length, rect, format, &gNativeScratch);
  }
  if (measuring) return MeasureGlyphs(text, length, rect, format);
  return DrawGlyphs(bitmap, text, length, rect, format, neverNative);
}

int RasterCachedFont::MeasureGlyphs(const char* text, int length, RasterRect* rect, uint32_t format) {
  const bool vertical = mFlags & kRasterFontVertical;
  long long x = 0, y = 0, ex = 0, ey = 0;
  for (int pos = 0; (length < 0 || pos < length) && text[pos];) {
    unsigned short code;
    pos += RasterDecodeUtf8(text + pos, length < 0 ? -1 : length - pos, &code);
    if (code == '\r') continue;
    if (code == '\n') {
      if (!(format & kRasterDtSingleLine)) {
        if (vertical) { x += mLineHeight; y = 0; } else { y += mLineHeight; x = 0; }
        continue;
      }
      code = ' ';
    }
    const RasterGlyph* g = Glyph(code);
    if (!Valid(g)) continue;
    if (vertical) {
      long long y0 = y;
      y += g->advance;
      ey = std::max({ey, y, y0 + g->height - g->left});
      ex = std::max(ex, x + g->width);
    } else {
      long long x0 = x;
      x += g->advance;
      ex = std::max({ex, x, x0 + g->width - g->left});
      ey = std::max(ey, y + g->height);
    }
  }
  rect->right = static_cast<int>(std::min<long long>(rect->left + ex, 0x7FFFFFFF));
  rect->bottom = static_cast<int>(std::min<long long>(rect->top + ey, 0x7FFFFFFF));
  return static_cast<int>(std::min<long long>(vertical ? ex : ey, 0x7FFFFFFF));
}

int RasterCachedFont::DrawGlyphs(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect,
                                 uint32_t format, bool neverNative) {
  const float saved = mWeight;
  if (format & kRasterDtUseFgAlpha) mWeight = mWeight * (static_cast<float>(mFg >> 24) / 255.0f);
  struct Restore {
    float& w;
    float v;
    ~Restore() { w = v; }
  } restore{mWeight, saved};
  if (mWeight == 0.0f) return 0;

  const bool vertical = mFlags & kRasterFontVertical;
  const bool bottomUp = vertical && (mFlags & kRasterFontBottomUp);
  int x = rect->left, y = rect->top;
  if (format & kAlignBits) {
    RasterRect m{0, 0, 0, 0};
    DrawString(bitmap, text, length, &m,
               kRasterDtCalcRect | (format & kRasterDtSingleLine) | (neverNative ? kRasterDtNeverNative : 0u));
    const int mw = m.right - m.left, mh = m.bottom - m.top;
    if (format & kRasterDtCenter) x = (rect->right - mw - rect->left) / 2 + rect->left;
    else if (format & kRasterDtRight) x = rect->right - mw;
    if (format & kRasterDtVCenter) y = rect->top + (rect->bottom - mh - rect->top) / 2;
    else if (format & kRasterDtBottom) y = rect->bottom - mh;
    if (bottomUp) y += mh;
  }

  RasterRect clip{0, 0, bitmap->Width(), bitmap->Height()};
  if (!(format & kRasterDtNoClip)) {
    clip.left = std::max(rect->left, 0);
    clip.top = std::max(rect->top, 0);
    clip.right = std::min(rect->right, bitmap->Width());
    clip.bottom = std::min(rect->bottom, bitmap->Height());
  }
  if (clip.left >= clip.right || clip.top >= clip.bottom) return 0;

  const int startX = x, startY = y;
  long long extent = vertical ? startX : startY;
  for (int pos = 0; (length < 0 || pos < length) && text[pos];) {
    unsigned short code;
    pos += RasterDecodeUtf8(text + pos, length < 0 ? -1 : length - pos, &code);
    if (code == '\r') continue;
    if (code == '\n') {
      if (!(format & kRasterDtSingleLine)) {
        if (vertical) { x += mLineHeight; y = startY; } else { y += mLineHeight; x = startX; }
        continue;
      }
      code = ' ';
    }
    const RasterGlyph* g = Glyph(code);
    if (!Valid(g)) continue;
    const int gw = g->width, gh = g->height, adv = g->advance;
    if (!vertical) {
      if (DrawGlyph(bitmap, code, x, y, clip)) extent = std::max<long long>(extent, static_cast<long long>(y) + gh);
      x += adv;
    } else if (bottomUp) {
      if (DrawGlyph(bitmap, code, x, y - gh, clip)) extent = std::max<long long>(extent, static_cast<long long>(x) + gw);
      y -= adv;
    } else {
      if (DrawGlyph(bitmap, code, x, y, clip)) extent = std::max<long long>(extent, static_cast<long long>(x) + gw);
      y += adv;
    }
  }
  return static_cast<int>(extent - (vertical ? startX : startY));
}

bool RasterCachedFont::DrawGlyph(RasterBitmap* bitmap, int code, int x, int y, const RasterRect& clip) {
  const RasterGlyph* g = FindGlyph(code);
  if (!bitmap || !Valid(g)) return false;
  uint32_t* px = bitmap->Pixels();
  if (!px) return false;
  int w = RasterWeightToInt(mWeight);
  if (w <= 0) return false;
  w = std::min(w, 256);

  long long gx = x, gy = y;
  if (!(mFlags & kRasterFontVertical)) gx -= g->left;
  else if (mFlags & kRasterFontBottomUp) gy -= g->left;
  else gy += g->left;
  // The clip is also held to the bitmap: callers outside DrawString may pass any.
  const long long cl = std::max(clip.left, 0), ct = std::max(clip.top, 0);
  const long long cr = std::min(clip.right, bitmap->Width()), cb = std::min(clip.bottom, bitmap->Height());
  const long long x0 = std::max(gx, cl), y0 = std::max(gy, ct);
  const long long x1 = std::min(gx + g->width, cr), y1 = std::min(gy + g->height, cb);
  if (x0 >= x1 || y0 >= y1) return false;
  const int skipX = static_cast<int>(x0 - gx), skipY = static_cast<int>(y0 - gy);
  const int cw = static_cast<int>(x1 - x0), ch = static_cast<int>(y1 - y0);

  if (mBgMode == kRasterBgOpaque)
    FillArea(bitmap, static_cast<int>(x0), static_cast<int>(y0), cw, ch, mBg, mWeight, mMode & ~kRasterUseAlpha);

  const unsigned char* mask = GlyphMask(*g);
  const bool effects = mFlags & (kRasterFontShadow | kRasterFontOutline);
  const bool mono = !effects && (mFlags & kRasterFontMono);
  const bool copy = (mMode & 0xFF) == kRasterCopy;
  const bool full = mWeight == 1.0f;
  const long span = bitmap->RowSpan();
  const uint32_t fg = mFg;
  const int fr = static_cast<int>((fg >> 16) & 0xFF), fgc = static_cast<int>((fg >> 8) & 0xFF),
            fb = static_cast<int>(fg & 0xFF);

  for (int r = 0; r < ch; ++r) {
    const long long rowY = y0 + r;
    const long memRow = bitmap->IsBottomUp() ? bitmap->Height() - 1 - static_cast<long>(rowY) : static_cast<long>(rowY);
    uint32_t* d = px + memRow * span + x0;
    const unsigned char* m = mask + static_cast<long>(skipY + r) * g->width + skipX;
    for (int c = 0; c < cw; ++c) {
      const int a = m[c];
      if (!a) continue;
      uint32_t& p = d[c];
      if (!copy) {
        uint32_t color = effects && a != 255 ? mFx : fg;
        RasterCombinePixel(&p, color, effects || mono ? w : w * a / 256, mMode);
      } else if (effects) {
        uint32_t color = a == 255 ? fg : mFx;
        p = full ? color : Toward(p, color, 256 - w);
      } else if (mono) {
        p = full ? fg : Toward(p, fg, 256 - w);
      } else {
        const int k = w == 256 ? 255 - a : 256 - std::min(w * a / 256, 256);
        const int da = static_cast<int>(p >> 24);
        const int db = static_cast<int>(p & 0xFF), dg = static_cast<int>((p >> 8) & 0xFF),
                  dr = static_cast<int>((p >> 16) & 0xFF);
        const int na = w == 256 ? 255 - ((255 - a) * (255 - da)) / 256 : 255 - ((255 - da) * k) / 256;
        const uint32_t nb = static_cast<uint32_t>(fb + (db - fb) * k / 256) & 0xFF;
        const uint32_t ng = static_cast<uint32_t>(fgc + (dg - fgc) * k / 256) & 0xFF;
        const uint32_t nr = static_cast<uint32_t>(fr + (dr - fr) * k / 256) & 0xFF;
        p = (static_cast<uint32_t>(na & 0xFF) << 24) | (nr << 16) | (ng << 8) | nb;
      }
    }
  }
  return true;
}

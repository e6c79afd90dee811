// The font implementation: text through the platform (native route) or from
// cached 8-bit coverage masks composited by the library (glyph route).
#pragma once

#include "framework/GrowBuffer.h"
#include "raster/RasterFont.h"

class RasterSysBitmap;

struct RasterGlyph {
  int32_t pos;  // 0 not rendered, -1 no glyph, else 1 + offset into the coverage data
  int32_t width;
  int32_t height;
  int32_t advance;
  int32_t code;
  int32_t left;  // columns the mask starts left of the pen
};

class RasterCachedFont : public RasterFont {
 public:
  RasterCachedFont();
  ~RasterCachedFont() override;
  RasterCachedFont(const RasterCachedFont&) = delete;
  RasterCachedFont& operator=(const RasterCachedFont&) = delete;

  void SetFontHandle(RasterFontHandle handle, int flags) override;
  uint32_t SetFgColor(uint32_t color) override;
  uint32_t SetBgColor(uint32_t color) override;
  uint32_t SetFxColor(uint32_t color) override;
  int SetBgMode(int mode) override;
  void SetCombineMode(int mode, float weight) override;
  int DrawString(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, uint32_t format) override;
  uint32_t GetFgColor() const override { return mFg; }
  RasterFontHandle GetFontHandle() const override { return mHandle; }
  int GetLineHeight() const override { return mLineHeight; }
  // Composites a cached glyph (never renders one). True if anything was drawn.
  virtual bool DrawGlyph(RasterBitmap* bitmap, int code, int x, int y, const RasterRect& clip);

  // Inspection for tests and tools.
  const RasterGlyph* FindGlyph(int code) const;
  const unsigned char* GlyphMask(const RasterGlyph& g) const;
  int GlyphRenderCount() const { return mRenderCount; }
  int CoverageSize() const { return mCoverage.Size(); }
  int Flags() const { return mFlags; }
  static int LiveFontCount();
  static RasterSysBitmap* GlyphScratch();

 private:
  bool NativeRoute(uint32_t format, bool neverNative);
  int MeasureGlyphs(const char* text, int length, RasterRect* rect, uint32_t format);
  int DrawGlyphs(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, uint32_t format,
                 bool neverNative);
  const RasterGlyph* Glyph(int code);  // renders on first use
  const RasterGlyph* RenderGlyph(int code);
  bool Valid(const RasterGlyph* g) const;
  void ApplyEffects(RasterGlyph* g);

  uint32_t mFg = 0;
  uint32_t mBg = 0xFFFFFFFF;
  uint32_t mFx = 0xFFFFFFFF;
  int mBgMode = kRasterBgTransparent;
  int mMode = 0;
  float mWeight = 1.0f;
  int mFlags = 0;
  int mLineHeight = 0;
  RasterGlyph mAscii[128] = {};
  GrowBuffer mOther{4096};
  GrowBuffer mCoverage{65536};
  RasterFontHandle mHandle = nullptr;
  int mRenderCount = 0;
};

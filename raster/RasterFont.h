// Font interface: draws UTF-8 text onto bitmaps with a platform font handle.
#pragma once

#include <cstdint>

#include "raster/RasterBitmap.h"

// A platform font: an HFONT on Windows, a RasterCreateFont object elsewhere.
using RasterFontHandle = void*;

// Format bits of DrawString: the platform's text-format values plus two of ours.
enum : uint32_t {
  kRasterDtCenter = 0x1,
  kRasterDtRight = 0x2,
  kRasterDtVCenter = 0x4,
  kRasterDtBottom = 0x8,
  kRasterDtSingleLine = 0x20,
  kRasterDtNoClip = 0x100,
  kRasterDtCalcRect = 0x400,
  kRasterDtNoPrefix = 0x800,
  kRasterDtUseFgAlpha = 0x40000000,
  kRasterDtNeverNative = 0x80000000,
};

// Font flags of SetFontHandle.
enum : int {
  kRasterFontVertical = 0x1,
  kRasterFontBottomUp = 0x2,
  kRasterFontAsciiOnly = 0x4,
  kRasterFontBlur = 0x10,
  kRasterFontInvert = 0x20,
  kRasterFontMono = 0x40,
  kRasterFontShadow = 0x80,
  kRasterFontOutline = 0x100,
  kRasterFontOwnsHandle = 0x200,
  kRasterFontNativeAllowed = 0x400,
};

enum : int { kRasterBgTransparent = 1, kRasterBgOpaque = 2 };

class RasterFont {
 public:
  virtual ~RasterFont() {}
  virtual void SetFontHandle(RasterFontHandle handle, int flags) = 0;
  virtual uint32_t SetFgColor(uint32_t color) = 0;
  virtual uint32_t SetBgColor(uint32_t color) = 0;
  virtual uint32_t SetFxColor(uint32_t color) = 0;
  virtual int SetBgMode(int mode) = 0;
  virtual void SetCombineMode(int mode, float weight) = 0;
  // length -1: up to the terminating zero. With kRasterDtCalcRect the text's
  // extent is written back into rect and bitmap may be null.
  virtual int DrawString(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect, uint32_t format) = 0;
  virtual uint32_t GetFgColor() const = 0;
  virtual RasterFontHandle GetFontHandle() const = 0;
  virtual int GetLineHeight() const = 0;
};

// Creates a platform font of the given cell height in pixels (weight 700 when
// bold), the way the editor asks for its fonts on every platform. quality:
// 0 default, 1 non-antialiased, 2 antialiased, 3 ClearType. Returns null when
// no such font can be had. Pass the result to SetFontHandle with
// kRasterFontOwnsHandle, or free it with RasterDeleteFont.
RasterFontHandle RasterCreateFont(const char* face, int height, bool bold, bool italic, int orientationDegrees = 0,
                                  int quality = 0);
void RasterDeleteFont(RasterFontHandle handle);

// Whether the process runs under Wine, asked once and remembered.
bool RasterIsWine();
// Tests force the answer: 0 no, 1 yes, -1 forget it so the next call asks.
void RasterSetWineCheckForTest(int answer);
// How often the platform was actually asked.
int RasterWineCheckCountForTest();

// Frees what the platform's text rendering keeps for the process (a font
// library); only once every font made with it is gone. Made again on next use.
void RasterReleaseFontLibrary();

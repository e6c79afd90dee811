// What text drawing needs from the platform (RasterFontPlatform_win.cpp /
// RasterFontPlatform_posix.cpp). Internal to the raster library.
#pragma once

#include <cstdint>

#include "raster/RasterFont.h"

class RasterSysBitmap;

// The uncached Wine question.
bool RasterPlatformIsWine();
// Whether the platform can draw text straight into a bitmap.
bool RasterPlatformHasNativeText();
// Makes the glyph scratch draw white text on an opaque black background.
void RasterPlatformPrepareScratch(RasterSysBitmap* scratch);
// The font's text-metric height.
int RasterPlatformLineHeight(RasterFontHandle font, RasterSysBitmap* scratch);
// Measures one character (w, h), clears (0, 0, w + 2 * margin, h) of the
// scratch to black and draws the character white at x = margin.
void RasterPlatformRenderChar(RasterFontHandle font, RasterSysBitmap* scratch, unsigned short code, int margin, int* w,
                              int* h);

struct RasterNativeStyle {
  RasterFontHandle font;
  uint32_t fg;
  uint32_t bg;
  int bgMode;
  float weight;
};
// The native route; scratch is the shared bitmap used when the destination
// has no device context (created on demand).
int RasterPlatformDrawText(const RasterNativeStyle& style, RasterBitmap* bitmap, const char* text, int length,
                           RasterRect* rect, uint32_t format, RasterSysBitmap** scratch);

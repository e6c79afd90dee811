// Integer compositing on 0xAARRGGBB pixels: blit, rectangle fill and a small
// smoothing filter.
#pragma once

#include <cstdint>

#include "raster/RasterBitmap.h"

// Low byte of a combine mode; 0xF0 + dst byte * 4 + src byte is a channel copy.
enum RasterCombine : int {
  kRasterCopy = 0,
  kRasterAdd = 1,
  kRasterDodge = 2,
  kRasterMultiply = 3,
  kRasterOverlay = 4,
  kRasterAdjust = 5,
  kRasterChannelCopy = 0xF0,
  kRasterUseAlpha = 0x10000,
};

// Copies srcRect (whole source when null) of src to (x, y) of dst.
void Blit(RasterBitmap* dst, RasterBitmap* src, int x, int y, const RasterRect* srcRect, float weight, int mode);

void FillArea(RasterBitmap* bmp, int x, int y, int width, int height, uint32_t color, float weight, int mode);

// 5-point smoothing of a region, clipped to the bitmap.
void Blur(RasterBitmap* bmp, int x, int y, int width, int height);

// The integer weight of the kernels: weight * 256 truncated. Weights are held
// to -2..2 first so that no kernel product can overflow.
int RasterWeightToInt(float weight);

// Applies the fill kernel of mode (without the use-alpha bit) to one pixel,
// with w standing in for the colour's alpha. Returns false for unknown modes.
bool RasterCombinePixel(uint32_t* d, uint32_t color, int w, int mode);

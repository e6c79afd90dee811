#include <cstdio>

#include "raster/RasterPng.h"

namespace {
RasterPngResourceLookup gLookup = nullptr;
}

RasterPngResourceLookup RasterSetPngResourceLookup(RasterPngResourceLookup lookup) {
  RasterPngResourceLookup old = gLookup;
  gLookup = lookup;
  return old;
}

RasterMemBitmap* RasterLoadPngResource(void* module, int resourceId) {
  const void* data = nullptr;
  size_t length = 0;
  if (!gLookup || !gLookup(module, resourceId, &data, &length) || length <= 7) return nullptr;
  return RasterLoadPngMemory(data, length);
}

void* RasterOpenFileUtf8(const char* utf8Path) { return std::fopen(utf8Path, "rb"); }

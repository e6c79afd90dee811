// PNG decoding into 0xAARRGGBB bitmaps (no gamma or colour-space correction).
#pragma once

#include <cstddef>

#include "raster/RasterMemBitmap.h"

// Returns a new bitmap owned by the caller, or null for anything that is not a
// complete, valid PNG or cannot be allocated.
RasterMemBitmap* RasterLoadPngMemory(const void* data, size_t length);

// Embedded image lookup: on Windows the module's resources of type "PNG"; on
// other platforms the table installed with RasterSetPngResourceLookup (null
// until the build embeds its images).
RasterMemBitmap* RasterLoadPngResource(void* module, int resourceId);

// Supplies a resource's bytes: returns true and sets data and length when the
// module has resource resourceId. The bytes must outlive the call.
using RasterPngResourceLookup = bool (*)(void* module, int resourceId, const void** data, size_t* length);
// Used by RasterLoadPngResource where the platform has no resources of its
// own; ignored on Windows. Returns the previous lookup.
RasterPngResourceLookup RasterSetPngResourceLookup(RasterPngResourceLookup lookup);

// Decodes a file (UTF-8 path). With reuse, that bitmap is resized and filled
// and returned; otherwise a new RasterMemBitmap is returned. Null on failure
// (a reused bitmap is then left allocated but its contents are undefined).
RasterBitmap* RasterLoadPngFile(const char* utf8Path, RasterBitmap* reuse = nullptr);
// The same, but only for names whose extension is ".png" (any case).
RasterBitmap* RasterLoadPngFileChecked(const char* utf8Path, RasterBitmap* reuse = nullptr);

// The process-wide list of file image loaders, with their file-dialog filters.
struct RasterImageLoader {
  const char* description;
  const char* pattern;
  RasterBitmap* (*load)(const char* utf8Path, RasterBitmap* reuse);
};
int RasterImageLoaderCount();
const RasterImageLoader* RasterImageLoaderAt(int index);

// Platform helpers (RasterPng_win.cpp / RasterPng_posix.cpp).
void* RasterOpenFileUtf8(const char* utf8Path);  // a FILE*, or null

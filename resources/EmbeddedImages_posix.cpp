#include "resources/EmbeddedImages.h"

#include "raster/RasterPng.h"
#include "resources/EmbeddedImageTable.h"

bool EmbeddedImage(void* module, int id, const void** data, size_t* length) {
  (void)module;
  if (!data || !length) return false;
  for (int i = 0; i < kEmbeddedImageCount; ++i) {
    if (kEmbeddedImageTable[i].id == id) {
      *data = kEmbeddedImageTable[i].data;
      *length = kEmbeddedImageTable[i].length;
      return true;
    }
  }
  return false;
}

void InstallEmbeddedImages() { RasterSetPngResourceLookup(EmbeddedImage); }

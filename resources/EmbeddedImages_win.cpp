#include "resources/EmbeddedImages.h"

#include <windows.h>

bool EmbeddedImage(void* module, int id, const void** data, size_t* length) {
  if (!data || !length || id <= 0 || id > 0xFFFF) return false;
  HMODULE mod = static_cast<HMODULE>(module);
  HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(id), "PNG");
  if (!res) return false;
  HGLOBAL loaded = LoadResource(mod, res);
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return false;
  *data = bytes;
  *length = SizeofResource(mod, res);
  return true;
}

// The images are resources of the module itself, which RasterLoadPngResource
// reads directly.
void InstallEmbeddedImages() {}

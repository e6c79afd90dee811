#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "raster/RasterPng.h"

RasterPngResourceLookup RasterSetPngResourceLookup(RasterPngResourceLookup lookup) {
  (void)lookup;
  return nullptr;
}

RasterMemBitmap* RasterLoadPngResource(void* module, int resourceId) {
  HMODULE mod = static_cast<HMODULE>(module);
  HRSRC res = FindResourceA(mod, MAKEINTRESOURCEA(resourceId & 0xFFFF), "PNG");
  if (!res) return nullptr;
  DWORD size = SizeofResource(mod, res);
  if (size <= 7) return nullptr;
  HGLOBAL loaded = LoadResource(mod, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return nullptr;
  return RasterLoadPngMemory(data, size);
}

void* RasterOpenFileUtf8(const char* utf8Path) {
  wchar_t wide[2048];
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8Path, -1, wide, 2048);
  FILE* f = n > 0 ? _wfopen(wide, L"rb") : nullptr;
  if (!f) f = std::fopen(utf8Path, "rb");
  return f;
}

#include "graphics/IBitmapCache.h"

#include "raster/RasterBitmap.h"

IBitmapCache& IBitmapCache::Instance() {
  // Built on first use; its destructor runs when the library is unloaded.
  static IBitmapCache cache;
  return cache;
}

RasterBitmap* IBitmapCache::Find(int id) {
  IMutexLock lock(mMutex);
  for (const auto& e : mEntries)
    if (e.first == id) return e.second;
  return nullptr;
}

RasterBitmap* IBitmapCache::Add(int id, RasterBitmap* bitmap) {
  if (!bitmap) return nullptr;
  IMutexLock lock(mMutex);
  for (const auto& e : mEntries) {
    if (e.first == id) {
      if (e.second != bitmap) delete bitmap;
      return e.second;
    }
  }
  mEntries.emplace_back(id, bitmap);
  return bitmap;
}

int IBitmapCache::Count() {
  IMutexLock lock(mMutex);
  return static_cast<int>(mEntries.size());
}

IBitmapCache::~IBitmapCache() {
  for (auto& e : mEntries) delete e.second;
  mEntries.clear();
}

void IBitmapCache::Clear() {
  IMutexLock lock(mMutex);
  for (auto& e : mEntries) delete e.second;
  mEntries.clear();
}

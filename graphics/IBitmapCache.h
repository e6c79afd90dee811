// The process-wide cache of editor images, shared by every plug-in instance:
// an id is decoded once per process. Entries are only added; the images are
// freed when the library is unloaded.
#pragma once

#include <utility>
#include <vector>

#include "platform/IMutex.h"

class RasterBitmap;

class IBitmapCache {
 public:
  static IBitmapCache& Instance();

  // The cached image for id, or null.
  RasterBitmap* Find(int id);
  // Stores bitmap under id and returns it; when another thread stored one
  // first, bitmap is deleted and the cached one returned.
  RasterBitmap* Add(int id, RasterBitmap* bitmap);
  int Count();

  // Frees every entry: for a module's exit, when no instance uses them.
  void Clear();

  ~IBitmapCache();

 private:
  IBitmapCache() = default;
  IMutex mMutex;
  std::vector<std::pair<int, RasterBitmap*>> mEntries;
};

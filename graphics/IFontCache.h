// The process-wide cache of text fonts, shared by every plug-in instance and
// keyed by size, orientation, style and face. Quality is not part of the key:
// texts that differ only in quality share the font made first. The fonts are
// freed when the library is unloaded.
#pragma once

#include <string>
#include <vector>

#include "platform/IMutex.h"

class RasterCachedFont;
struct IText;

class IFontCache {
 public:
  static IFontCache& Instance();

  // The font for text's key, made on a miss; null when no font can be had.
  RasterCachedFont* FontFor(const IText& text);
  int Count();
  // Shared fonts carry colour and glyph state: instances drawing on different
  // threads take this lock around their use of a cached font.
  IMutex& DrawMutex() { return mDrawMutex; }

  // Frees every entry: for a module's exit, when no instance uses them.
  void Clear();

  ~IFontCache();

 private:
  IFontCache() = default;
  struct Entry {
    int size, orientation, style;
    std::string face;
    RasterCachedFont* font;
  };
  IMutex mMutex;
  IMutex mDrawMutex;
  std::vector<Entry> mEntries;
};

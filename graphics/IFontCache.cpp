#include "graphics/IFontCache.h"

#include <cstring>

#include "graphics/IGraphicsTypes.h"
#include "raster/RasterCachedFont.h"

IFontCache& IFontCache::Instance() {
  // Built on first use; its destructor runs when the library is unloaded.
  static IFontCache cache;
  return cache;
}

RasterCachedFont* IFontCache::FontFor(const IText& text) {
  std::string face(text.face, strnlen(text.face, kFaceSize));
  IMutexLock lock(mMutex);
  for (const auto& e : mEntries)
    if (e.size == text.size && e.orientation == text.orientation && e.style == text.style && e.face == face)
      return e.font;
  // Made under the lock, so two instances never make the same font twice.
  RasterFontHandle handle = RasterCreateFont(face.c_str(), text.size, text.style == IText::kStyleBold,
                                             text.style == IText::kStyleItalic, text.orientation, text.quality);
  if (!handle) return nullptr;
  RasterCachedFont* font = new RasterCachedFont();
  font->SetFontHandle(handle, kRasterFontOwnsHandle | kRasterFontNativeAllowed);
  mEntries.push_back(Entry{text.size, text.orientation, text.style, face, font});
  return font;
}

int IFontCache::Count() {
  IMutexLock lock(mMutex);
  return static_cast<int>(mEntries.size());
}

IFontCache::~IFontCache() {
  for (auto& e : mEntries) delete e.font;
  mEntries.clear();
}

void IFontCache::Clear() {
  IMutexLock lock(mMutex);
  for (auto& e : mEntries) delete e.font;
  mEntries.clear();
}

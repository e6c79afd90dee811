#include "graphics/IGraphicsTypes.h"

#include <algorithm>

#include "framework/IParameter.h"

IRect IRect::Intersect(const IRect& b) const {
  if (!Intersects(b)) return IRect();
  return IRect(std::max(L, b.L), std::max(T, b.T), std::min(R, b.R), std::min(B, b.B));
}

IRect IRect::Union(const IRect& b) const {
  if (Empty()) return b;
  if (b.Empty()) return *this;
  return IRect(std::min(L, b.L), std::min(T, b.T), std::max(R, b.R), std::max(B, b.B));
}

IText::IText(const char* faceName, int32_t sz, const IColor& c, int32_t st, int32_t al, int32_t orient, int32_t q)
    : size(sz), color(c), style(st), align(al), orientation(orient), quality(q) {
  CopyText(face, faceName ? faceName : "", kFaceSize);
}

#include "raster/RasterUtf8.h"

namespace {
inline bool Cont(const unsigned char* p, int available, int i) {
  return (available < 0 || i < available) && p[i] >= 0x80 && p[i] <= 0xBF;
}
}  // namespace

// A continuation test stops at a zero byte by itself, so an unlimited count
// never reads past the terminator; a limited one never reads past the count.
int RasterDecodeUtf8(const char* text, int available, unsigned short* code) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  const unsigned lead = p[0];
  if (lead >= 0xC2 && lead <= 0xDF && Cont(p, available, 1)) {
    *code = static_cast<unsigned short>(((lead & 0x1F) << 6) | (p[1] & 0x3F));
    return 2;
  }
  if (lead >= 0xE0 && lead <= 0xEF && Cont(p, available, 1) && Cont(p, available, 2)) {
    *code = static_cast<unsigned short>(((lead << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu)) & 0xFFFF);
    return 3;
  }
  if (lead >= 0xF0 && lead <= 0xF4 && Cont(p, available, 1) && Cont(p, available, 2) && Cont(p, available, 3)) {
    *code = 0x20;
    return 4;
  }
  *code = static_cast<unsigned short>(lead);
  return 1;
}

bool RasterHasUtf8Sequence(const char* text, int length) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  for (int i = 0; length < 0 ? p[i] != 0 : i < length; ++i) {
    const int left = length < 0 ? -1 : length - i;
    if (p[i] >= 0xC2 && p[i] <= 0xDF && Cont(p + i, left, 1)) return true;
    if (p[i] >= 0xE0 && p[i] <= 0xF4 && Cont(p + i, left, 1) && Cont(p + i, left, 2)) return true;
  }
  return false;
}

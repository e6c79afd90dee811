#include <windows.h>

#include <algorithm>
#include <vector>

#include "raster/RasterBlit.h"
#include "raster/RasterFontPlatform.h"
#include "raster/RasterSysBitmap.h"
#include "raster/RasterUtf8.h"

namespace {
inline COLORREF Ref(uint32_t c) { return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }
}  // namespace

RasterFontHandle RasterCreateFont(const char* face, int height, bool bold, bool italic, int orientationDegrees,
                                  int quality) {
  const int tenths = (orientationDegrees % 360) * 10;
  DWORD q = DEFAULT_QUALITY;
  if (quality == 1) q = NONANTIALIASED_QUALITY;
  else if (quality == 2) q = ANTIALIASED_QUALITY;
  else if (quality == 3) q = CLEARTYPE_QUALITY;
  return CreateFontA(height, 0, tenths, tenths, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE, FALSE, FALSE,
                     DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, q, DEFAULT_PITCH, face ? face : "");
}

void RasterDeleteFont(RasterFontHandle handle) {
  if (handle) DeleteObject(static_cast<HGDIOBJ>(handle));
}

bool RasterPlatformIsWine() {
  HKEY key = nullptr;
  if (RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Wine", &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool RasterPlatformHasNativeText() { return true; }

void RasterPlatformPrepareScratch(RasterSysBitmap* scratch) {
  HDC dc = static_cast<HDC>(scratch->DeviceContext());
  if (!dc) return;
  SetTextColor(dc, RGB(255, 255, 255));
  SetBkMode(dc, OPAQUE);
  SetBkColor(dc, RGB(0, 0, 0));
}

int RasterPlatformLineHeight(RasterFontHandle font, RasterSysBitmap* scratch) {
  HDC dc = static_cast<HDC>(scratch->DeviceContext());
  if (!dc || !font) return 0;
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(font));
  TEXTMETRICA tm = {};
  int height = GetTextMetricsA(dc, &tm) ? tm.tmHeight : 0;
  SelectObject(dc, old);
  return height;
}

void RasterPlatformRenderChar(RasterFontHandle font, RasterSysBitmap* scratch, unsigned short code, int margin, int* w,
                              int* h) {
  *w = 0;
  *h = 0;
  HDC dc = static_cast<HDC>(scratch->DeviceContext());
  if (!dc || !font) return;
  HGDIOBJ old = SelectObject(dc, static_cast<HGDIOBJ>(font));
  WCHAR ch = static_cast<WCHAR>(code);
  RECT r = {0, 0, 0, 0};
  DrawTextW(dc, &ch, 1, &r, DT_NOPREFIX | DT_CALCRECT | DT_SINGLELINE);
  *w = r.right - r.left;
  *h = r.bottom - r.top;
  if (*w > 0 && *h > 0) {
    GdiFlush();
    FillArea(scratch, 0, 0, *w + 2 * margin, *h, 0, 1.0f, 0);
    RECT d = {margin, 0, margin + *w, *h};
    DrawTextW(dc, &ch, 1, &d, DT_NOPREFIX | DT_NOCLIP | DT_SINGLELINE);
    // GDI batches its drawing: the DIB memory is only current after a flush.
    GdiFlush();
  }
  SelectObject(dc, old);
}

int RasterPlatformDrawText(const RasterNativeStyle& style, RasterBitmap* bitmap, const char* text, int length,
                           RasterRect* rect, uint32_t format, RasterSysBitmap** scratch) {
  WCHAR stackBuf[1024];
  std::vector<WCHAR> heapBuf;
  const WCHAR* wide = nullptr;
  if (RasterHasUtf8Sequence(text, length)) {
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, nullptr, 0);
    if (n > 0) {
      WCHAR* buf = stackBuf;
      if (n > 999) {
        heapBuf.resize(static_cast<size_t>(n) + 32);
        buf = heapBuf.data();
      }
      int m = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, length, buf, n);
      if (m > 0) {
        buf[m] = 0;
        wide = buf;
      }
    }
  }
  auto draw = [&](HDC dc, RECT* r, UINT fmt) {
    return wide ? DrawTextW(dc, wide, -1, r, fmt) : DrawTextA(dc, text, length, r, fmt);
  };
  // Our own format bits mean nothing to the platform.
  format &= ~static_cast<uint32_t>(kRasterDtUseFgAlpha | kRasterDtNeverNative);
  const bool measuring = format & kRasterDtCalcRect;
  const HGDIOBJ font = static_cast<HGDIOBJ>(style.font);

  HDC dc = bitmap ? static_cast<HDC>(bitmap->DeviceContext()) : nullptr;
  if (dc) {
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, Ref(style.fg));
    SetBkMode(dc, style.bgMode == kRasterBgOpaque ? OPAQUE : TRANSPARENT);
    if (style.bgMode == kRasterBgOpaque) SetBkColor(dc, Ref(style.bg));
    RECT r = {rect->left, rect->top, rect->right, rect->bottom};
    int result = draw(dc, &r, format | DT_NOPREFIX);
    GdiFlush();
    if (measuring) *rect = RasterRect{r.left, r.top, r.right, r.bottom};
    SelectObject(dc, old);
    return result;
  }

  // No context on the destination: measure and draw in the shared scratch,
  // then copy the result over.
  if (!*scratch) *scratch = new RasterSysBitmap(4, 4);
  RasterSysBitmap* s = *scratch;
  if (s->Width() < 4 || s->Height() < 4) s->Resize(std::max(4, s->Width()), std::max(4, s->Height()));
  HDC sdc = static_cast<HDC>(s->DeviceContext());
  if (!sdc) return 0;
  HGDIOBJ old = SelectObject(sdc, font);
  RECT m = {0, 0, rect->right - rect->left, rect->bottom - rect->top};
  const UINT plain = format & ~static_cast<UINT>(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM | DT_CALCRECT);
  const int height = draw(sdc, &m, plain | DT_CALCRECT | DT_NOPREFIX);
  const int mw = m.right - m.left, mh = m.bottom - m.top;
  if (measuring) {
    rect->right = rect->left + mw;
    rect->bottom = rect->top + mh;
    SelectObject(sdc, old);
    return height;
  }
  int x = rect->left, y = rect->top;
  if (format & DT_CENTER) x = (rect->right - mw - rect->left) / 2 + rect->left;
  else if (format & DT_RIGHT) x = rect->right - mw;
  if (format & DT_VCENTER) y = rect->top + (rect->bottom - mh - rect->top) / 2;
  else if (format & DT_BOTTOM) y = rect->bottom - mh;
  long long cl = x, ct = y, cr = static_cast<long long>(x) + mw, cb = static_cast<long long>(y) + mh;
  if (!(format & DT_NOCLIP)) {
    cl = std::max<long long>(cl, rect->left);
    ct = std::max<long long>(ct, rect->top);
    cr = std::min<long long>(cr, rect->right);
    cb = std::min<long long>(cb, rect->bottom);
  }
  cl = std::max<long long>(cl, 0);
  ct = std::max<long long>(ct, 0);
  cr = std::min<long long>(cr, bitmap->Width());
  cb = std::min<long long>(cb, bitmap->Height());
  if (cl >= cr || ct >= cb || !bitmap->Pixels()) {
    SelectObject(sdc, old);
    return 0;
  }
  const int cw = static_cast<int>(cr - cl), ch = static_cast<int>(cb - ct);
  s->Resize(std::max(s->Width(), cw), std::max(s->Height(), ch));
  SelectObject(sdc, font);
  if (!s->Pixels()) {
    SelectObject(sdc, old);
    return 0;
  }
  const RasterRect from{static_cast<int>(cl), static_cast<int>(ct), static_cast<int>(cr), static_cast<int>(cb)};
  Blit(s, bitmap, 0, 0, &from, 1.0f, 0);
  SetTextColor(sdc, Ref(style.fg));
  SetBkMode(sdc, style.bgMode == kRasterBgOpaque ? OPAQUE : TRANSPARENT);
  if (style.bgMode == kRasterBgOpaque) SetBkColor(sdc, Ref(style.bg));
  RECT d = {x - static_cast<int>(cl), y - static_cast<int>(ct), x - static_cast<int>(cl) + mw,
            y - static_cast<int>(ct) + mh};
  draw(sdc, &d, plain | DT_NOPREFIX);
  GdiFlush();
  const RasterRect back{0, 0, cw, ch};
  Blit(bitmap, s, static_cast<int>(cl), static_cast<int>(ct), &back, style.weight, 0);
  SelectObject(sdc, old);
  return height;
}

// GDI fonts belong to the fonts themselves: nothing is kept beside them.
void RasterReleaseFontLibrary() {}

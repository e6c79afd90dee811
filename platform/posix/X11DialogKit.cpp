#include "platform/posix/X11DialogKit.h"

#include <X11/Xatom.h>
#include <poll.h>

#include <algorithm>
#include <memory>

#include "graphics/IGraphicsScale.h"
#include "platform/posix/X11Connection.h"
#include "raster/RasterCachedFont.h"

namespace x11kit {

namespace {
struct FontHolder {
  std::unique_ptr<RasterCachedFont> font;
  bool tried = false;
};
// One font a size: 100 %, 150 %, 200 %.
FontHolder& Holder(double scale) {
  static FontHolder holders[3];
  return holders[scale >= 2.0 ? 2 : scale >= 1.5 ? 1 : 0];
}
}  // namespace

int Px(int v, double scale) { return ToDevice(v, scale); }

RasterCachedFont* UiFont(double scale) {
  FontHolder& h = Holder(scale);
  if (!h.tried) {
    h.tried = true;
    const int size = Px(15, scale);
    RasterFontHandle handle = RasterCreateFont("Liberation Sans", size, false, false, 0, 2);
    if (!handle) handle = RasterCreateFont("DejaVu Sans", size, false, false, 0, 2);
    if (handle) {
      h.font = std::make_unique<RasterCachedFont>();
      h.font->SetFontHandle(handle, kRasterFontOwnsHandle);
    }
  }
  return h.font.get();
}

int UiLineHeight(double scale) {
  RasterCachedFont* font = UiFont(scale);
  return font && font->GetLineHeight() > 0 ? font->GetLineHeight() : Px(15, scale);
}

void Fill(RasterBitmap* bitmap, int left, int top, int right, int bottom, uint32_t color) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bitmap->Width());
  bottom = std::min(bottom, bitmap->Height());
  uint32_t* pixels = bitmap->Pixels();
  for (int y = top; y < bottom; ++y) {
    const int row = bitmap->IsBottomUp() ? bitmap->Height() - 1 - y : y;
    std::fill(pixels + static_cast<ptrdiff_t>(row) * bitmap->RowSpan() + left,
              pixels + static_cast<ptrdiff_t>(row) * bitmap->RowSpan() + std::max(left, right), color);
  }
}

void Frame(RasterBitmap* bitmap, int left, int top, int right, int bottom, uint32_t color) {
  Fill(bitmap, left, top, right, top + 1, color);
  Fill(bitmap, left, bottom - 1, right, bottom, color);
  Fill(bitmap, left, top, left + 1, bottom, color);
  Fill(bitmap, right - 1, top, right, bottom, color);
}

void CheckMark(RasterBitmap* bitmap, int x, int y, uint32_t color, double scale) {
  // A short stroke down to the right, then a long one up, two pixels thick (at 100 %).
  const auto dot = [&](int dx, int dy, int h) {
    Fill(bitmap, x + Px(dx, scale), y + Px(dy, scale), x + Px(dx + 1, scale), y + Px(dy + h, scale), color);
  };
  for (int i = 0; i <= 3; ++i) dot(i, 4 + i, 2);
  for (int i = 0; i <= 5; ++i) dot(4 + i, 6 - i, 2);
}

void Text(RasterBitmap* bitmap, const std::string& text, RasterRect rect, uint32_t color, uint32_t format,
          double scale) {
  RasterCachedFont* font = UiFont(scale);
  if (!font || text.empty()) return;
  font->SetFgColor(color);
  font->DrawString(bitmap, text.c_str(), -1, &rect, format | kRasterDtNoPrefix);
}

void Measure(const std::string& text, uint32_t format, int* width, int* height, double scale) {
  *width = 0;
  *height = UiLineHeight(scale);
  RasterCachedFont* font = UiFont(scale);
  if (!font || text.empty()) return;
  RasterRect r{0, 0, 0, 0};
  font->DrawString(nullptr, text.c_str(), -1, &r, format | kRasterDtCalcRect | kRasterDtNoPrefix);
  *width = r.right - r.left;
  // Whole lines, so that a box of one line and one of several line up alike.
  int lines = 1;
  if (!(format & kRasterDtSingleLine)) lines += static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  *height = std::max(r.bottom - r.top, lines * UiLineHeight(scale));
}

std::string ExpandTabs(const std::string& text) {
  std::string out;
  int column = 0;
  for (char c : text) {
    if (c == '\t') {
      do {
        out += ' ';
        ++column;
      } while (column % 4);
    } else {
      out += c;
      column = c == '\n' ? 0 : column + 1;
    }
  }
  return out;
}

void RunModal(X11Connection* connection, const std::function<bool(XEvent&)>& handle,
              const std::function<bool()>& stop) {
  Display* display = connection->Get();
  while (connection->Alive() && !(stop && stop())) {
    if (!XPending(display)) {
      if (!connection->Alive()) return;
      pollfd fd{ConnectionNumber(display), POLLIN, 0};
      poll(&fd, 1, 50);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    if (!connection->Alive()) return;
    if (!handle(event)) return;
  }
}

Window TopLevelOf(Display* display, Window window) {
  const Atom wmState = XInternAtom(display, "WM_STATE", False);
  Window candidate = 0;
  for (int depth = 0; window && depth < 64; ++depth) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, wmState, 0, 0, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success) {
      if (data) XFree(data);
      if (type != None) return window;
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int n = 0;
    if (!XQueryTree(display, window, &root, &parent, &children, &n)) return candidate;
    if (children) XFree(children);
    if (parent == root || !parent) return window;
    candidate = window;
    window = parent;
  }
  return candidate;
}

}  // namespace x11kit

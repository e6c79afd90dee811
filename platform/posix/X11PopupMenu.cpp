#include "platform/posix/X11PopupMenu.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "graphics/IPopupMenu.h"
#include "platform/posix/X11Connection.h"
#include "platform/posix/X11DialogKit.h"
#include "platform/posix/X11Surface.h"
#include "raster/RasterSysBitmap.h"

namespace {
constexpr int kIndent = 14;    // per submenu level
constexpr int kCheckArea = 24; // left of the text
constexpr int kRightPad = 18;
constexpr int kSeparatorHeight = 7;

struct Row {
  enum Kind { kItem, kSeparator, kHeading } kind;
  std::string text;
  int number;  // across the tree; -1 for headings
  int depth;
  bool choosable;
  bool checked;
  bool greyed;
  int top = 0, bottom = 0;
};

void Flatten(IPopupMenu* menu, int first, int depth, std::vector<Row>* rows) {
  for (int i = 0; i < menu->NItems(); ++i) {
    const IPopupMenuItem* item = menu->Item(i);
    if (item->flags & IPopupMenuItem::kSeparator) {
      rows->push_back({Row::kSeparator, "", first + i, depth, false, false, false});
    } else if (item->submenu) {
      rows->push_back({Row::kHeading, item->text, -1, depth, false, false, false});
      Flatten(item->submenu.get(), menu->SubmenuFirstNumber(i, first), depth + 1, rows);
    } else {
      const bool greyed = (item->flags & (IPopupMenuItem::kGreyed | IPopupMenuItem::kDisabled)) != 0;
      rows->push_back({Row::kItem, item->text, first + i, depth, menu->Choosable(i),
                       (item->flags & IPopupMenuItem::kChecked) != 0, greyed});
    }
  }
}

class MenuWindow {
 public:
  MenuWindow(X11Connection* connection, IPopupMenu* menu) : mConnection(connection), mMenu(menu) {
    Flatten(menu, 0, 0, &mRows);
  }
  ~MenuWindow() {
    mSurface.Destroy();
    if (mWindow && mConnection->Alive()) {
      Display* d = mConnection->Get();
      XUngrabPointer(d, CurrentTime);
      XUngrabKeyboard(d, CurrentTime);
      XDestroyWindow(d, mWindow);
      XFlush(d);
    }
  }

  bool Create(const X11MenuPlacement& where) {
    Display* d = mConnection->Get();
    mScale = where.scale;
    const int line = x11kit::UiLineHeight(mScale);
    const int rowHeight = line + Px(8);
    int y = 2, width = Px(120);
    for (Row& r : mRows) {
      r.top = y;
      y += r.kind == Row::kSeparator ? Px(kSeparatorHeight) : rowHeight;
      r.bottom = y;
      if (r.kind != Row::kSeparator) {
        int w = 0, h = 0;
        x11kit::Measure(r.text, kRasterDtSingleLine, &w, &h, mScale);
        width = std::max(width, Px(kCheckArea + r.depth * kIndent) + w + Px(kRightPad));
      }
    }
    mWidth = width;
    mHeight = std::max(y + 2, 6);
    const int screen = DefaultScreen(d);
    const int sw = DisplayWidth(d, screen), sh = DisplayHeight(d, screen);
    int x = where.x, top = where.y;
    if (top + mHeight > sh && where.anchorTop - mHeight >= 0) top = where.anchorTop - mHeight;
    top = std::max(0, std::min(top, sh - mHeight));
    x = std::max(0, std::min(x, sw - mWidth));

    XSetWindowAttributes attr{};
    attr.override_redirect = True;
    attr.save_under = True;
    attr.background_pixmap = None;
    attr.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                      StructureNotifyMask;
    mWindow = XCreateWindow(d, RootWindow(d, screen), x, top, static_cast<unsigned>(mWidth),
                            static_cast<unsigned>(mHeight), 0, DefaultDepth(d, screen), InputOutput,
                            DefaultVisual(d, screen), CWOverrideRedirect | CWSaveUnder | CWBackPixmap | CWEventMask,
                            &attr);
    if (!mWindow) return false;
    XStoreName(d, mWindow, "IPlugin menu");  // override-redirect windows get no frame; the name helps tools find it
    mBitmap.Resize(mWidth, mHeight);
    if (!mSurface.Create(d, mWindow, DefaultVisual(d, screen), DefaultDepth(d, screen), mWidth, mHeight)) return false;
    XMapRaised(d, mWindow);
    XFlush(d);
    return true;
  }

  Window Id() const { return mWindow; }

  // Pointer and keyboard grabs, so that a click anywhere else dismisses the
  // menu. The window must be viewable, and the host may still hold a grab for
  // a moment: try for half a second.
  void Grab() {
    Display* d = mConnection->Get();
    for (int attempt = 0; attempt < 50 && mConnection->Alive(); ++attempt) {
      if (!mPointerGrabbed)
        mPointerGrabbed = XGrabPointer(d, mWindow, False, ButtonPressMask | ButtonReleaseMask | PointerMotionMask,
                                       GrabModeAsync, GrabModeAsync, None, None, CurrentTime) == GrabSuccess;
      if (!mKeyboardGrabbed)
        mKeyboardGrabbed = XGrabKeyboard(d, mWindow, False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess;
      if (mPointerGrabbed && mKeyboardGrabbed) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  // false when the menu is finished (chosen or dismissed).
  bool Handle(XEvent& e) {
    switch (e.type) {
      case Expose:
        if (e.xexpose.count == 0) Paint();
        return true;
      case MapNotify:
        Grab();
        Paint();
        return true;
      case UnmapNotify:
      case DestroyNotify:
        return false;
      case MotionNotify: {
        while (XCheckTypedWindowEvent(mConnection->Get(), mWindow, MotionNotify, &e)) {
        }
        const int row = RowAt(e.xmotion.x, e.xmotion.y);
        if (row >= 0) mEntered = true;
        SetHover(row >= 0 && mRows[static_cast<size_t>(row)].choosable ? row : -1);
        return true;
      }
      case ButtonPress:
        if (!Inside(e.xbutton.x, e.xbutton.y)) return false;
        mPressedInside = true;
        return true;
      case ButtonRelease: {
        if (e.xbutton.button > 3) return true;
        const int row = RowAt(e.xbutton.x, e.xbutton.y);
        // The release of the press that opened the menu chooses nothing unless
        // the pointer went into the menu first (press, drag, release).
        if (row >= 0 && mRows[static_cast<size_t>(row)].choosable && (mEntered || mPressedInside)) {
          mChosen = mRows[static_cast<size_t>(row)].number;
          return false;
        }
        return true;
      }
      case KeyPress: {
        const KeySym key = XLookupKeysym(&e.xkey, 0);
        if (key == XK_Escape) return false;
        if (key == XK_Up || key == XK_Down) {
          MoveHover(key == XK_Up ? -1 : 1);
        } else if ((key == XK_Return || key == XK_KP_Enter) && mHover >= 0) {
          mChosen = mRows[static_cast<size_t>(mHover)].number;
          return false;
        }
        return true;
      }
      default:
        return true;
    }
  }

  IPopupMenu* Result() {
    if (mChosen < 0) return nullptr;
    int first = 0;
    IPopupMenu* holder = mMenu->MenuForNumber(mChosen, &first);
    if (holder) holder->chosenIndex = mChosen - first;
    return holder;
  }

 private:
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < mWidth && y < mHeight; }

  int RowAt(int x, int y) const {
    if (!Inside(x, y)) return -1;
    for (size_t i = 0; i < mRows.size(); ++i)
      if (y >= mRows[i].top && y < mRows[i].bottom) return static_cast<int>(i);
    return -1;
  }

  void SetHover(int row) {
    if (row == mHover) return;
    mHover = row;
    Paint();
  }

  void MoveHover(int step) {
    const int n = static_cast<int>(mRows.size());
    int row = mHover;
    for (int tries = 0; tries < n; ++tries) {
      row = row < 0 ? (step > 0 ? 0 : n - 1) : (row + step + n) % n;
      if (mRows[static_cast<size_t>(row)].choosable) {
        SetHover(row);
        return;
      }
    }
  }

  void Paint() {
    using namespace x11kit;
    RasterBitmap* b = &mBitmap;
    Fill(b, 0, 0, mWidth, mHeight, kFace);
    Frame(b, 0, 0, mWidth, mHeight, kFrame);
    for (size_t i = 0; i < mRows.size(); ++i) {
      const Row& r = mRows[i];
      const int left = Px(kCheckArea + r.depth * kIndent);
      if (r.kind == Row::kSeparator) {
        const int mid = (r.top + r.bottom) / 2;
        Fill(b, 4, mid, mWidth - 4, mid + 1, kFrame);
        continue;
      }
      const bool hover = static_cast<int>(i) == mHover;
      if (hover) Fill(b, 2, r.top, mWidth - 2, r.bottom, kHighlight);
      const uint32_t color = hover ? kHighlightText : (r.greyed ? kGreyText : kText);
      if (r.checked) CheckMark(b, left - Px(17), (r.top + r.bottom) / 2 - Px(5), color, mScale);
      Text(b, r.text, RasterRect{left, r.top, mWidth - Px(kRightPad / 2), r.bottom}, color,
           kRasterDtSingleLine | kRasterDtVCenter, mScale);
    }
    mSurface.Put(b, 0, 0, mWidth, mHeight);
    XFlush(mConnection->Get());
  }

  int Px(int v) const { return x11kit::Px(v, mScale); }

  X11Connection* mConnection;
  IPopupMenu* mMenu;
  double mScale = 1.0;
  std::vector<Row> mRows;
  Window mWindow = 0;
  X11Surface mSurface;
  RasterSysBitmap mBitmap;
  int mWidth = 0, mHeight = 0;
  int mHover = -1;
  int mChosen = -1;
  bool mEntered = false;
  bool mPressedInside = false;
  bool mPointerGrabbed = false;
  bool mKeyboardGrabbed = false;
};
}  // namespace

IPopupMenu* X11RunPopupMenu(X11Connection* connection, IPopupMenu* menu, const X11MenuPlacement& where,
                            const std::function<bool(XEvent&)>& other, const std::function<bool()>& stop) {
  if (!connection || !connection->Alive() || !menu || menu->NItems() == 0) return nullptr;
  X11ErrorScope scope(connection);
  MenuWindow window(connection, menu);
  if (!window.Create(where)) return nullptr;
  x11kit::RunModal(
      connection,
      [&](XEvent& e) {
        if (e.xany.window == window.Id()) return window.Handle(e);
        return other ? other(e) : true;
      },
      stop);
  return connection->Alive() ? window.Result() : nullptr;
}

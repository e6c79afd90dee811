#include "platform/posix/X11MessageBox.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "graphics/IGraphics.h"
#include "platform/posix/X11Connection.h"
#include "platform/posix/X11DialogKit.h"
#include "platform/posix/X11Surface.h"
#include "raster/RasterSysBitmap.h"

namespace {
constexpr int kMargin = 16;
constexpr int kButtonWidth = 84;
constexpr int kButtonGap = 10;
constexpr int kMaxWidth = 900;

struct Button {
  const char* label;
  int answer;
  int left, top, right, bottom;
};

class BoxWindow {
 public:
  BoxWindow(X11Connection* connection, const char* text, int type, double scale)
      : mConnection(connection), mText(x11kit::ExpandTabs(text ? text : "")), mScale(scale) {
    if ((type & 0xF) == kMsgYesNo) {
      mButtons = {{"Yes", kMsgAnswerYes, 0, 0, 0, 0}, {"No", kMsgAnswerNo, 0, 0, 0, 0}};
      mCancelAnswer = kMsgAnswerNo;
    } else {
      mButtons = {{"OK", kMsgAnswerOk, 0, 0, 0, 0}};
      mCancelAnswer = kMsgAnswerOk;
    }
  }
  ~BoxWindow() {
    mSurface.Destroy();
    if (mWindow && mConnection->Alive()) {
      XDestroyWindow(mConnection->Get(), mWindow);
      XFlush(mConnection->Get());
    }
  }

  bool Create(Window owner, const char* caption) {
    Display* d = mConnection->Get();
    const int screen = DefaultScreen(d);
    int textW = 0, textH = 0;
    x11kit::Measure(mText, 0, &textW, &textH, mScale);
    const int n = static_cast<int>(mButtons.size());
    const int margin = Px(kMargin), buttonW = Px(kButtonWidth), gap = Px(kButtonGap);
    const int buttonsW = n * buttonW + (n - 1) * gap;
    const int buttonH = x11kit::UiLineHeight(mScale) + Px(12);
    mWidth = std::min(std::max({textW + 2 * margin, buttonsW + 2 * margin, Px(260)}), Px(kMaxWidth));
    mHeight = margin + textH + margin + buttonH + margin;
    mTextRect = RasterRect{margin, margin, mWidth - margin, margin + textH};
    int x = (mWidth - buttonsW) / 2;
    for (Button& b : mButtons) {
      b = {b.label, b.answer, x, mHeight - margin - buttonH, x + buttonW, mHeight - margin};
      x += buttonW + gap;
    }

    // Centred over the owner, or over the screen.
    int cx = DisplayWidth(d, screen) / 2, cy = DisplayHeight(d, screen) / 2;
    XWindowAttributes oa;
    if (owner && XGetWindowAttributes(d, owner, &oa) && !mConnection->TakeError()) {
      Window child;
      int rx = 0, ry = 0;
      if (XTranslateCoordinates(d, owner, RootWindow(d, screen), 0, 0, &rx, &ry, &child)) {
        cx = rx + oa.width / 2;
        cy = ry + oa.height / 2;
      }
    } else {
      owner = 0;
    }
    const int left = std::max(0, cx - mWidth / 2), top = std::max(0, cy - mHeight / 2);

    XSetWindowAttributes attr{};
    attr.background_pixmap = None;
    attr.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
    mWindow = XCreateWindow(d, RootWindow(d, screen), left, top, static_cast<unsigned>(mWidth),
                            static_cast<unsigned>(mHeight), 0, DefaultDepth(d, screen), InputOutput,
                            DefaultVisual(d, screen), CWBackPixmap | CWEventMask, &attr);
    if (!mWindow) return false;

    XStoreName(d, mWindow, caption ? caption : "");
    const Atom utf8 = XInternAtom(d, "UTF8_STRING", False);
    if (caption)
      XChangeProperty(d, mWindow, XInternAtom(d, "_NET_WM_NAME", False), utf8, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(caption), static_cast<int>(std::strlen(caption)));
    if (owner) XSetTransientForHint(d, mWindow, owner);
    mDeleteAtom = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, mWindow, &mDeleteAtom, 1);
    XSizeHints* hints = XAllocSizeHints();
    if (hints) {
      hints->flags = PPosition | PMinSize | PMaxSize;
      hints->x = left;
      hints->y = top;
      hints->min_width = hints->max_width = mWidth;
      hints->min_height = hints->max_height = mHeight;
      XSetWMNormalHints(d, mWindow, hints);
      XFree(hints);
    }
    const Atom dialog = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
    XChangeProperty(d, mWindow, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&dialog), 1);
    const Atom modal = XInternAtom(d, "_NET_WM_STATE_MODAL", False);
    XChangeProperty(d, mWindow, XInternAtom(d, "_NET_WM_STATE", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&modal), 1);

    mBitmap.Resize(mWidth, mHeight);
    if (!mSurface.Create(d, mWindow, DefaultVisual(d, screen), DefaultDepth(d, screen), mWidth, mHeight)) return false;
    XMapRaised(d, mWindow);
    XFlush(d);
    return true;
  }

  Window Id() const { return mWindow; }
  int Answer() const { return mAnswer ? mAnswer : mCancelAnswer; }
  void Cancel() { mAnswer = mCancelAnswer; }

  bool Handle(XEvent& e) {
    switch (e.type) {
      case Expose:
        if (e.xexpose.count == 0) Paint();
        return true;
      case MapNotify:
        XSetInputFocus(mConnection->Get(), mWindow, RevertToParent, CurrentTime);
        Paint();
        return true;
      case DestroyNotify:
        mWindow = 0;  // someone else destroyed it
        return false;
      case ClientMessage:
        if (static_cast<Atom>(e.xclient.data.l[0]) == mDeleteAtom) return false;
        return true;
      case ButtonPress:
        if (e.xbutton.button == Button1) {
          mPressed = ButtonAt(e.xbutton.x, e.xbutton.y);
          Paint();
        }
        return true;
      case ButtonRelease:
        if (e.xbutton.button == Button1 && mPressed >= 0) {
          const int hit = ButtonAt(e.xbutton.x, e.xbutton.y);
          const int pressed = mPressed;
          mPressed = -1;
          if (hit == pressed) {
            mAnswer = mButtons[static_cast<size_t>(hit)].answer;
            return false;
          }
          Paint();
        }
        return true;
      case KeyPress: {
        const KeySym key = XLookupKeysym(&e.xkey, 0);
        if (key == XK_Escape) return false;
        if (key == XK_Return || key == XK_KP_Enter || key == XK_space) {
          mAnswer = mButtons[static_cast<size_t>(mFocus)].answer;
          return false;
        }
        if (key == XK_Tab || key == XK_Left || key == XK_Right) {
          mFocus = (mFocus + 1) % static_cast<int>(mButtons.size());
          Paint();
        }
        return true;
      }
      default:
        return true;
    }
  }

 private:
  int ButtonAt(int x, int y) const {
    for (size_t i = 0; i < mButtons.size(); ++i) {
      const Button& b = mButtons[i];
      if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) return static_cast<int>(i);
    }
    return -1;
  }

  void Paint() {
    using namespace x11kit;
    RasterBitmap* bm = &mBitmap;
    Fill(bm, 0, 0, mWidth, mHeight, kFace);
    Text(bm, mText, mTextRect, kText, 0, mScale);
    for (size_t i = 0; i < mButtons.size(); ++i) {
      const Button& b = mButtons[i];
      Fill(bm, b.left, b.top, b.right, b.bottom, static_cast<int>(i) == mPressed ? kButtonPressed : kButton);
      Frame(bm, b.left, b.top, b.right, b.bottom, static_cast<int>(i) == mFocus ? kHighlight : kFrame);
      if (static_cast<int>(i) == mFocus) Frame(bm, b.left + 1, b.top + 1, b.right - 1, b.bottom - 1, kHighlight);
      Text(bm, b.label, RasterRect{b.left, b.top, b.right, b.bottom}, kText,
           kRasterDtSingleLine | kRasterDtCenter | kRasterDtVCenter, mScale);
    }
    mSurface.Put(bm, 0, 0, mWidth, mHeight);
    XFlush(mConnection->Get());
  }

  int Px(int v) const { return x11kit::Px(v, mScale); }

  X11Connection* mConnection;
  std::string mText;
  double mScale;
  std::vector<Button> mButtons;
  int mCancelAnswer = kMsgAnswerOk;
  int mAnswer = 0;
  int mFocus = 0;
  int mPressed = -1;
  Window mWindow = 0;
  Atom mDeleteAtom = None;
  X11Surface mSurface;
  RasterSysBitmap mBitmap;
  RasterRect mTextRect{0, 0, 0, 0};
  int mWidth = 0, mHeight = 0;
};
}  // namespace

int X11RunMessageBox(X11Connection* connection, Window owner, const char* text, const char* caption, int type,
                     const std::function<bool(XEvent&)>& other, const std::function<bool()>& stop,
                     double scale) {
  const int cancel = (type & 0xF) == kMsgYesNo ? kMsgAnswerNo : kMsgAnswerOk;
  if (!connection || !connection->Alive()) return cancel;
  X11ErrorScope scope(connection);
  BoxWindow box(connection, text, type, scale);
  if (!box.Create(owner, caption)) return cancel;
  x11kit::RunModal(
      connection,
      [&](XEvent& e) {
        if (e.xany.window == box.Id()) return box.Handle(e);
        return other ? other(e) : true;
      },
      stop);
  return box.Answer();
}

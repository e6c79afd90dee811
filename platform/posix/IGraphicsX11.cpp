#include "platform/posix/IGraphicsX11.h"

#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "graphics/IGraphicsScale.h"
#include "platform/ModuleInfo.h"
#include "platform/posix/X11DialogKit.h"
#include "platform/posix/X11MessageBox.h"
#include "platform/posix/X11PopupMenu.h"
#include "raster/RasterPng.h"
#include "raster/RasterSysBitmap.h"

extern char** environ;

const char* IGraphicsX11::sOpenCommand = "xdg-open";

namespace {
constexpr Time kDoubleClickMs = 400;
constexpr int kDoubleClickDistance = 4;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool HasPngExtension(const char* fileName) {
  if (!fileName) return false;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot || dot == fileName) return false;
  const char* ext = dot + 1;
  const char* png = "png";
  for (int i = 0; i < 4; ++i)
    if (std::tolower(static_cast<unsigned char>(ext[i])) != png[i]) return false;
  return true;
}

// Modifiers as Win32 reports them: X gives the state before the event, Win32
// the state after it, so the button of a press is added and that of a release removed.
IMouseMod Mods(unsigned state, unsigned button, bool press) {
  IMouseMod mod((state & Button1Mask) != 0, (state & Button3Mask) != 0, (state & ShiftMask) != 0,
                (state & ControlMask) != 0, (state & Mod1Mask) != 0);
  if (button == Button1) mod.L = press;
  if (button == Button3) mod.R = press;
  return mod;
}

// Children started for web addresses, reaped without waiting.
std::mutex gChildMutex;
std::vector<pid_t> gChildren;
}  // namespace

IGraphicsX11::IGraphicsX11(IPluginBase* plug, int width, int height, int fps) : IGraphics(plug, width, height, fps) {}

IGraphicsX11::~IGraphicsX11() {
  DestroyWindowNow();
  ReapChildren();
}

void* IGraphicsX11::OpenWindow(void* parentWindow) {
  const Window parent = static_cast<Window>(reinterpret_cast<uintptr_t>(parentWindow));
  // A menu or message box still uses the connection; a host reopening meanwhile gets no window.
  if (mModalDepth.load() > 0) return nullptr;
  int x = 0, y = 0;
  if (WindowIsOpen()) {
    // Opening again keeps the place.
    if (mConnection.Alive() && !mWindowGone && parent == mParent) {
      X11ErrorScope scope(&mConnection);
      Window root = 0;
      int wx = 0, wy = 0;
      unsigned w = 0, h = 0, border = 0, depth = 0;
      if (XGetGeometry(mConnection.Get(), mWindow, &root, &wx, &wy, &w, &h, &border, &depth)) {
        x = wx;
        y = wy;
      }
    }
    DestroyWindowNow();
  }
  if (!parent || !mConnection.Open()) return nullptr;
  Display* d = mConnection.Get();
  bool ok = false;
  {
    X11ErrorScope scope(&mConnection);
    XWindowAttributes pa;
    if (XGetWindowAttributes(d, parent, &pa) && !mConnection.TakeError() && pa.c_class == InputOutput &&
        X11Surface::SupportedVisual(pa.visual, pa.depth)) {
      XSetWindowAttributes attr{};
      attr.background_pixmap = None;
      attr.border_pixel = 0;
      attr.colormap = pa.colormap;
      attr.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask |
                        KeyReleaseMask | StructureNotifyMask;
      unsigned long mask = CWBackPixmap | CWBorderPixel | CWEventMask | (pa.colormap ? CWColormap : 0);
      mWindow = XCreateWindow(d, parent, x, y, static_cast<unsigned>(Width()), static_cast<unsigned>(Height()), 0,
                              pa.depth, InputOutput, pa.visual, mask, &attr);
      XSync(d, False);
      if (mWindow && !mConnection.TakeError() &&
          mSurface.Create(d, mWindow, pa.visual, pa.depth, Width(), Height())) {
        mVisual = pa.visual;
        mDepth = pa.depth;
        XStoreName(d, mWindow, "IPlugin");
        XMapWindow(d, mWindow);
        XSync(d, False);
        ok = !mConnection.TakeError() && mConnection.Alive();
      }
    }
  }
  if (!ok) {
    DestroyWindowNow();
    return nullptr;
  }
  mParent = parent;
  mWindowGone = false;
  mExpose = IRect();
  mLastTickMs = -1;  // the first idle paints at once
  for (LastPress& p : mLastPress) p.valid = false;
  {
    X11ErrorScope scope(&mConnection);
    mOwner = x11kit::TopLevelOf(d, mWindow);
  }
  ApplyChosenScale();  // the screen may ask for another size than the host was told
  SetAllControlsDirty();
  return reinterpret_cast<void*>(static_cast<uintptr_t>(mWindow));
}

void IGraphicsX11::CloseWindow() {
  if (!WindowIsOpen()) return;
  if (mModalDepth.load() > 0) {
    mCloseRequested = true;
    if (std::this_thread::get_id() == mLoopThread) return;  // the loop ends, then the window goes
    // A host closing from another thread: give the loop time to notice.
    for (int i = 0; i < 200 && mModalDepth.load() > 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (mModalDepth.load() > 0) return;  // the loop's own thread closes when it ends
  }
  if (mIdleDepth > 0) {
    mCloseRequested = true;  // asked from inside an event: done when Idle has finished with the connection
    return;
  }
  DestroyWindowNow();
}

void IGraphicsX11::DestroyWindowNow() {
  std::lock_guard<std::mutex> lock(mCloseMutex);
  if (mConnection.Get()) {
    X11ErrorScope scope(&mConnection);
    mSurface.Destroy();
    if (mWindow && !mWindowGone && mConnection.Alive()) XDestroyWindow(mConnection.Get(), mWindow);
  }
  mConnection.Close();
  mWindow = 0;
  mParent = 0;
  mWindowGone = false;
  mExpose = IRect();
  mCloseRequested = false;
}

void IGraphicsX11::SizeChanged() {
  if (!mWindow || mWindowGone || !mConnection.Alive()) return;
  X11ErrorScope scope(&mConnection);
  Display* d = mConnection.Get();
  XResizeWindow(d, mWindow, static_cast<unsigned>(Width()), static_cast<unsigned>(Height()));
  mSurface.Destroy();
  if (!mSurface.Create(d, mWindow, mVisual, mDepth, Width(), Height())) mConnection.TakeError();
  mExpose = IRect(0, 0, Width(), Height());
  XFlush(d);
}

double IGraphicsX11::ScaleFromResources(const char* resources) {
  if (!resources) return 0.0;
  const char* key = "Xft.dpi:";
  for (const char* line = resources; line && *line;) {
    if (std::strncmp(line, key, std::strlen(key)) == 0) return ScaleFromDpi(std::strtod(line + std::strlen(key), nullptr));
    line = std::strchr(line, '\n');
    if (line) ++line;
  }
  return 0.0;
}

double IGraphicsX11::SystemScale() const {
  // Known once the window's connection is open: hosts make (and scan) many
  // instances that never show an editor, and none of them should touch the server.
  Display* d = mConnection.Get();
  return d && mConnection.Alive() ? ScaleFromResources(XResourceManagerString(d)) : 0.0;
}

bool IGraphicsX11::DrawScreen(const IRect& rect) {
  if (!mWindow || mWindowGone || !mConnection.Alive()) return false;
  X11ErrorScope scope(&mConnection);
  mSurface.Put(DrawBitmapSurface(), rect.L, rect.T, rect.W(), rect.H());
  XFlush(mConnection.Get());
  return true;
}

RasterBitmap* IGraphicsX11::LoadPlatformBitmap(int id, const char* fileName) {
  if (!HasPngExtension(fileName)) return nullptr;
  return RasterLoadPngResource(ModuleHandle(), id);
}

int IGraphicsX11::EventFileDescriptor() const {
  Display* d = mConnection.Get();
  return d && mConnection.Alive() ? ConnectionNumber(d) : -1;
}

void IGraphicsX11::Idle() {
  ReapChildren();
  if (!WindowIsOpen() || mModalDepth.load() > 0 || !mConnection.Alive()) return;
  ++mIdleDepth;
  {
    X11ErrorScope scope(&mConnection);
    Display* d = mConnection.Get();
    while (mConnection.Alive() && !mCloseRequested && XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      HandleEvent(e);
    }
    if (mConnection.Alive() && !mCloseRequested) Tick(false);
  }
  --mIdleDepth;
  if (mCloseRequested && mIdleDepth == 0 && mModalDepth.load() == 0) DestroyWindowNow();
}

void IGraphicsX11::Tick(bool force) {
  if (!mWindow || mWindowGone || !mConnection.Alive()) return;
  const int64_t now = NowMs();
  const int64_t period = static_cast<int64_t>(1000.0 / std::max(FPS(), 1));
  const bool due = force || mLastTickMs < 0 || now - mLastTickMs >= period;
  if (!due && mExpose.Empty()) return;
  IRect r = mExpose;
  mExpose = IRect();
  if (due) mLastTickMs = now;
  // An exposed area is drawn together with whatever is dirty, since the draw
  // pass cleans every control, also those outside the area it draws.
  IRect dirty;
  if (IsDirty(&dirty)) r = r.Empty() ? dirty : r.Union(dirty);
  r = r.Intersect(IRect(0, 0, Width(), Height()));
  if (!r.Empty()) Draw(r);
}

void IGraphicsX11::HandleEvent(XEvent& e) {
  if (e.xany.window != mWindow) return;
  Display* d = mConnection.Get();
  switch (e.type) {
    case Expose: {
      const IRect r(e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width, e.xexpose.y + e.xexpose.height);
      mExpose = mExpose.Empty() ? r : mExpose.Union(r);
      break;
    }
    case DestroyNotify:
      if (e.xdestroywindow.window == mWindow) {
        mWindowGone = true;
        mSurface.Destroy();
      }
      break;
    case ButtonPress: {
      const unsigned b = e.xbutton.button;
      const int x = e.xbutton.x, y = e.xbutton.y;
      if (b == Button4 || b == Button5) {
        OnMouseWheel(x, y, Mods(e.xbutton.state, 0, false), b == Button4 ? 1 : -1);
        break;
      }
      if (b < Button1 || b > Button3) break;
      const IMouseMod mod = Mods(e.xbutton.state, b, true);
      LastPress& last = mLastPress[b];
      const bool dbl = last.valid && e.xbutton.time - last.time <= kDoubleClickMs &&
                       std::abs(x - last.x) <= kDoubleClickDistance && std::abs(y - last.y) <= kDoubleClickDistance;
      for (LastPress& p : mLastPress) p.valid = false;
      if (dbl) {
        // Only the left double click is handled; a fast second press of the
        // other buttons reaches no control.
        if (b == Button1) OnMouseDblClick(x, y, mod);
        break;
      }
      last = {e.xbutton.time, x, y, true};
      XSetInputFocus(d, mWindow, RevertToParent, e.xbutton.time);
      OnMouseDown(x, y, mod);
      break;
    }
    case ButtonRelease:
      // The middle button's release is not handled, as on Win32.
      if (e.xbutton.button == Button1 || e.xbutton.button == Button3)
        OnMouseUp(e.xbutton.x, e.xbutton.y, Mods(e.xbutton.state, e.xbutton.button, false));
      break;
    case MotionNotify:
      while (XCheckTypedWindowEvent(d, mWindow, MotionNotify, &e)) {
      }
      if (e.xmotion.state & (Button1Mask | Button3Mask))
        OnMouseDrag(e.xmotion.x, e.xmotion.y, Mods(e.xmotion.state, 0, false));
      break;
    case KeyPress:
    case KeyRelease: {
      if (e.type == KeyPress) {
        const int key = KeyCode(&e.xkey);
        if (key >= 0) {
          Window root = 0, child = 0;
          int rx = 0, ry = 0, x = e.xkey.x, y = e.xkey.y;
          unsigned mask = 0;
          XQueryPointer(d, mWindow, &root, &child, &rx, &ry, &x, &y, &mask);
          if (OnKeyDown(x, y, key)) break;
        }
      }
      // Keys no control took go to the host's window.
      if (mParent && mConnection.Alive() && !mCloseRequested) {
        XEvent forward = e;
        forward.xkey.window = mParent;
        forward.xkey.subwindow = None;
        XSendEvent(d, mParent, True, e.type == KeyPress ? KeyPressMask : KeyReleaseMask, &forward);
      }
      break;
    }
    default:
      break;
  }
}

int IGraphicsX11::KeyCode(XKeyEvent* event) {
  KeySym key = XLookupKeysym(event, 0);
  if (IsKeypadKey(key)) {
    // The keypad follows Num Lock.
    char text[8];
    KeySym shown = NoSymbol;
    XLookupString(event, text, sizeof text, &shown, nullptr);
    if (shown != NoSymbol) key = shown;
  }
  if (key == XK_space || key == XK_KP_Space) return kKeySpace;
  if (key == XK_Up || key == XK_KP_Up) return kKeyUp;
  if (key == XK_Down || key == XK_KP_Down) return kKeyDown;
  if (key == XK_Left || key == XK_KP_Left) return kKeyLeft;
  if (key == XK_Right || key == XK_KP_Right) return kKeyRight;
  if (key >= XK_0 && key <= XK_9) return kKeyDigit0 + static_cast<int>(key - XK_0);
  if (key >= XK_a && key <= XK_z) return kKeyA + static_cast<int>(key - XK_a);
  if (key >= XK_A && key <= XK_Z) return kKeyA + static_cast<int>(key - XK_A);
  // Win32's virtual keys 0x61..0x7A (keypad 1-9, * + separator - . /, F1-F11)
  // take the letters' codes, and so do these keys here.
  if (key >= XK_KP_1 && key <= XK_KP_9) return kKeyA + static_cast<int>(key - XK_KP_1);
  static const KeySym kAfterNine[] = {XK_KP_Multiply, XK_KP_Add, XK_KP_Separator,
                                      XK_KP_Subtract, XK_KP_Decimal, XK_KP_Divide};
  for (int i = 0; i < 6; ++i)
    if (key == kAfterNine[i]) return kKeyA + 9 + i;
  if (key >= XK_F1 && key <= XK_F11) return kKeyA + 15 + static_cast<int>(key - XK_F1);
  return -1;
}

bool IGraphicsX11::HandleModalEvent(XEvent& e, bool cancelOnDestroy) {
  if (e.xany.window != mWindow) return true;
  switch (e.type) {
    case Expose:
      HandleEvent(e);
      if (e.xexpose.count == 0) Tick(false);
      return true;
    case DestroyNotify:
      HandleEvent(e);
      return !cancelOnDestroy;
    default:
      return true;  // the editor takes no input while a menu or a box is open
  }
}

bool IGraphicsX11::StopModal() const { return mCloseRequested.load() || !mConnection.Alive(); }

IPopupMenu* IGraphicsX11::CreatePopupMenu(IPopupMenu* menu, const IRect& rect) {
  IGraphics::ReleaseMouseCapture();
  if (!menu || !mWindow || mWindowGone || !mConnection.Alive() || mModalDepth.load() > 0) return nullptr;
  Display* d = mConnection.Get();
  X11MenuPlacement where;
  {
    X11ErrorScope scope(&mConnection);
    // The press that opened the menu holds the pointer; the menu grabs it next.
    XUngrabPointer(d, CurrentTime);
    Window child = 0;
    const Window root = DefaultRootWindow(d);
    const IRect at = ToDevice(rect, Scale());
    XTranslateCoordinates(d, mWindow, root, at.L, at.B, &where.x, &where.y, &child);
    int topX = 0;
    XTranslateCoordinates(d, mWindow, root, at.L, at.T, &topX, &where.anchorTop, &child);
    where.scale = Scale();
  }
  ++mModalDepth;
  mLoopThread = std::this_thread::get_id();
  IPopupMenu* chosen = X11RunPopupMenu(
      &mConnection, menu, where, [this](XEvent& e) { return HandleModalEvent(e, true); },
      [this] {
        Tick(false);
        return StopModal();
      });
  --mModalDepth;
  if (mCloseRequested) {
    chosen = nullptr;
    if (mIdleDepth == 0) DestroyWindowNow();
    return nullptr;
  }
  // As on Win32, the whole editor is painted again after a menu.
  mExpose = IRect(0, 0, Width(), Height());
  return chosen;
}

int IGraphicsX11::ShowMessageBox(const char* text, const char* caption, int type) {
  const int cancel = (type & 0xF) == kMsgYesNo ? kMsgAnswerNo : kMsgAnswerOk;
  if (mModalDepth.load() > 0) return cancel;
  if (mWindow && !mWindowGone && mConnection.Alive()) {
    {
      X11ErrorScope scope(&mConnection);
      XUngrabPointer(mConnection.Get(), CurrentTime);
      mOwner = x11kit::TopLevelOf(mConnection.Get(), mWindow);
    }
    ++mModalDepth;
    mLoopThread = std::this_thread::get_id();
    const int answer = X11RunMessageBox(
        &mConnection, mOwner, text, caption, type, [this](XEvent& e) { return HandleModalEvent(e, false); },
        [this] {
          Tick(false);
          return StopModal();
        },
        Scale());
    --mModalDepth;
    if (mCloseRequested && mIdleDepth == 0) DestroyWindowNow();
    return answer;
  }
  // No editor window: a connection of our own, owned by the host's window if it is still there.
  X11Connection connection;
  if (!connection.Open()) return cancel;
  ++mModalDepth;
  mLoopThread = std::this_thread::get_id();
  const int answer = X11RunMessageBox(&connection, mOwner, text, caption, type, nullptr,
                                      [this] { return mCloseRequested.load(); }, Scale());
  --mModalDepth;
  connection.Close();
  return answer;
}

bool IGraphicsX11::OpenURL(const char* url, const char* title, const char* confirmText, const char* failureText) {
  if (confirmText && ShowMessageBox(confirmText, title, kMsgYesNo) != kMsgAnswerYes) return false;
  ReapChildren();
  // The address is one argument of its own, never read by a shell; one that
  // starts like an option is not passed on.
  bool started = false;
  if (url && *url && url[0] != '-') {
    char* argv[] = {const_cast<char*>(sOpenCommand), const_cast<char*>(url), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, sOpenCommand, nullptr, nullptr, argv, environ) == 0) {
      std::lock_guard<std::mutex> lock(gChildMutex);
      gChildren.push_back(pid);
      started = true;
    }
  }
  if (started) return true;
  if (failureText) ShowMessageBox(failureText, title, kMsgOk);
  return false;
}

void IGraphicsX11::ReapChildren() {
  std::lock_guard<std::mutex> lock(gChildMutex);
  gChildren.erase(std::remove_if(gChildren.begin(), gChildren.end(),
                                 [](pid_t pid) {
                                   int status = 0;
                                   const pid_t r = waitpid(pid, &status, WNOHANG);
                                   // Gone, or reaped by the host's own handler.
                                   return r == pid || r < 0;
                                 }),
                  gChildren.end());
}

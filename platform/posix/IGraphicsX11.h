// The editor's X11 window layer: a child window of the host's window on a
// connection of our own. X11 hosts have no timer or message callbacks for a
// plug-in, so everything happens in Idle() (effEditIdle): the pending events
// and the 40 ms dirty check.
#pragma once

#include <X11/Xlib.h>

#include <atomic>
#include <mutex>
#include <cstdint>
#include <thread>

#include "graphics/IGraphics.h"
#include "platform/posix/X11Connection.h"
#include "platform/posix/X11Surface.h"

class IGraphicsX11 : public IGraphics {
 public:
  IGraphicsX11(IPluginBase* plug, int width, int height, int fps = 25);
  ~IGraphicsX11() override;

  bool HasWindowLayer() const override { return true; }
  // parentWindow is the host's X window id (not a pointer).
  void* OpenWindow(void* parentWindow) override;
  void CloseWindow() override;
  bool WindowIsOpen() const override { return mConnection.Get() != nullptr; }
  bool DrawScreen(const IRect& rect) override;
  RasterBitmap* LoadPlatformBitmap(int id, const char* fileName) override;
  void Idle() override;
  int EventFileDescriptor() const override;
  // From the X resource Xft.dpi, as desktops set it for their scaling.
  double SystemScale() const override;
  // The scale that resources text gives ("Xft.dpi:\t144\n..."); 0 without one.
  static double ScaleFromResources(const char* resources);

  IPopupMenu* CreatePopupMenu(IPopupMenu* menu, const IRect& rect) override;
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  bool OpenURL(const char* url, const char* title = nullptr, const char* confirmText = nullptr,
               const char* failureText = nullptr) override;

  // For tests and tools.
  Window XWindow() const { return mWindow; }
  Display* XDisplay() const { return mConnection.Get(); }
  bool ConnectionLost() const { return mConnection.Dead(); }

  // The key code of OnKeyDown for a key event, or -1 when the key has none.
  static int KeyCode(XKeyEvent* event);
  // The command the address is opened with; tests point it elsewhere.
  static const char* sOpenCommand;

 protected:
  void SizeChanged() override;

 private:
  void HandleEvent(XEvent& e);
  // Events of the editor window while a menu or message box is open.
  bool HandleModalEvent(XEvent& e, bool cancelOnDestroy);
  void Tick(bool force);
  bool StopModal() const;
  void DestroyWindowNow();
  void ReapChildren();

  X11Connection mConnection;
  X11Surface mSurface;
  Window mWindow = 0;
  Window mParent = 0;
  Visual* mVisual = nullptr;
  int mDepth = 0;
  bool mWindowGone = false;  // destroyed under us (the host's window went)
  IRect mExpose;             // exposed area not painted yet
  int64_t mLastTickMs = -1;
  // Double clicks by timing, as CS_DBLCLKS does for the left button; the
  // right button's second press is swallowed the same way.
  struct LastPress {
    Time time = 0;
    int x = 0, y = 0;
    bool valid = false;
  } mLastPress[4];
  // Modal loops and closing: a close asked from inside a loop (or from another
  // thread while one runs) is done when the loop has ended.
  std::atomic<int> mModalDepth{0};
  std::atomic<int> mIdleDepth{0};
  std::mutex mCloseMutex;  // a host closing from another thread meets the loop's own close
  std::atomic<bool> mCloseRequested{false};
  std::thread::id mLoopThread;
  // The host's top-level window, remembered for message boxes after the editor closed.
  Window mOwner = 0;
};

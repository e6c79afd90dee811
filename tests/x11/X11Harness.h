// What the X11 editor tests need around the editor: a host's top-level window
// on a connection of the test's own, the host's idle calls every 20 ms, real
// input through xdotool (run as a child while the idle calls go on), captures
// with XGetImage, and counts of windows and connections.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class RasterBitmap;
class TestHost;

namespace x11test {

// Whether a display and xdotool are there; if not, why.
bool Ready(std::string* why);

// A host's top-level window; records the key events that reach it.
class HostWindow {
 public:
  HostWindow(int width, int height, const char* title = "QV test host");
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool Ok() const { return mWindow != 0; }
  Display* Dpy() const { return mDisplay; }
  Window Id() const { return mWindow; }
  void* Handle() const;  // what effEditOpen gets
  void Pump();
  void Destroy();
  // Our children (the editor) and their geometry.
  std::vector<Window> Children();

  struct Key {
    int type;
    unsigned keycode;
    bool synthetic;
  };
  std::vector<Key> keys;

 private:
  Display* mDisplay = nullptr;
  Window mWindow = 0;
};

// The host's idle calls (effEditIdle every 20 ms) and its own events, for ms.
void Pump(TestHost& host, HostWindow* window, int ms);
// Runs a shell command line (xdotool ...) as a child while pumping; returns
// its exit status, or -1 when it did not end within 20 s.
int Run(TestHost& host, HostWindow* window, const std::string& command);
// The same with a host's own pumping (a VST 3 run loop, say).
int RunPumping(const std::function<void()>& pump, const std::string& command);
// The same on a helper thread's side: no pumping, just waits.
int RunPlain(const std::string& command);

// XGetImage of (x, y, w, h) of window: 0x00RRGGBB per pixel, or empty.
std::vector<uint32_t> Capture(Display* display, Window window, int x, int y, int w, int h);
int CountDifferences(const std::vector<uint32_t>& pixels, RasterBitmap& bitmap);
// Writes a PPM under $QV_GUI_ARTIFACTS (nothing when it is unset).
void KeepArtifact(const std::vector<uint32_t>& pixels, int w, int h, const char* name);

// Windows below the root, all levels; sockets open in this process.
int TreeWindowCount(Display* display);
int SocketCount();
// A viewable window with this WM_NAME anywhere below the root, or 0.
Window FindByName(Display* display, const char* name);
// Waits up to ms for FindByName to find it.
Window WaitForName(Display* display, const char* name, int ms = 5000);
// Root coordinates of a window's (x, y).
void RootPosition(Display* display, Window window, int x, int y, int* rx, int* ry);

}  // namespace x11test

// What the Windows GUI tests need around the editor: a host frame window, a
// message pump, outside input and screen captures through xinput.sh (Wine
// cannot wait for a Unix process, so each step reports through a file),
// inspection of modal menus and message boxes from inside their loops, and
// counts of GDI and USER objects.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

class RasterBitmap;

namespace gui {

// A Unix path as Windows code under Wine sees it (drive Z:).
std::string WinPath(const std::string& unixPath);

// Runs the thread's messages for ms milliseconds (at least one pass).
void Pump(int ms);

// Whether a display, Wine's X11 driver and xdotool are there; if not, why.
bool DisplayReady();
std::string DisplayProblem();

// One step of xinput.sh (see there). StartX returns the step's done file for
// WaitX, which pumps messages until it appears and returns the step's exit
// status, or -1 after timeoutMs.
std::string StartX(const std::string& args);
int WaitX(const std::string& done, int timeoutMs = 30000);
int RunX(const std::string& args);

struct KeyEvent {
  UINT message;
  WPARAM key;
  bool operator==(const KeyEvent& o) const { return message == o.message && key == o.key; }
};

// A host's window: a framed top-level window (or a plain child panel of one)
// that records the keys it receives. The object lives as long as its window.
class HostFrame {
 public:
  static HostFrame* Create(int width = 400, int height = 300);
  static HostFrame* CreateChild(HWND parent);
  HWND Handle() const { return mHwnd; }
  const std::string& Title() const { return mTitle; }
  // Destroys the window, and with it this object.
  void Destroy();

  std::vector<KeyEvent> keys;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND mHwnd = nullptr;
  std::string mTitle;
};

// The children (at any depth) of parent whose class is className.
int ChildrenOfClass(HWND parent, const char* className);

// A screen dump from the X side, pixels 0x00RRGGBB.
struct Screenshot {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;
  std::vector<uint32_t> Crop(int x, int y, int w, int h) const;
};
bool CaptureScreen(Screenshot* shot);
// The window's client area as GDI reads it back, pixels 0x00RRGGBB.
std::vector<uint32_t> CaptureWindow(HWND hwnd, int width, int height);
// Pixels whose colour differs from the bitmap's (alpha ignored); a size
// mismatch counts every pixel.
int CountDifferences(const std::vector<uint32_t>& pixels, RasterBitmap& bitmap);
// With QV_GUI_ARTIFACTS set to a folder, writes the area around the host
// frames there as NAME.ppm for a person to look at.
void KeepArtifact(const Screenshot& shot, const char* name);

// The next popup menu shown on this thread is looked at from inside its loop
// and then dismissed.
struct MenuItemSeen {
  UINT id;
  UINT state;
  bool submenu;
};
struct MenuSnapshot {
  std::vector<MenuItemSeen> items;
  std::vector<MenuItemSeen> subItems;  // of the first submenu
  int checkMarks = 0;
  POINT at = {-1, -1};
};
void InspectNextMenu(MenuSnapshot* out);

// Message boxes shown on this thread are answered from inside their loops, in
// order; one with no answer queued is cancelled, so a test never hangs.
struct DialogSnapshot {
  HWND owner = nullptr;
  std::string text, caption;
};
void AnswerDialog(int answer, DialogSnapshot* out);
int DialogsAnswered();
void ResetDialogs();

struct ResourceCount {
  int gdi = 0;
  int windows = 0;
  int menus = 0;
  const char* how = "";
};
ResourceCount CountResources();

}  // namespace gui

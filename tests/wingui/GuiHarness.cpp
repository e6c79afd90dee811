#include "tests/wingui/GuiHarness.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <utility>

#include "raster/RasterBitmap.h"

namespace gui {
namespace {

const char* kHostClass = "QVGuiTestHost";
RECT gLastFrameRect = {0, 0, 0, 0};

const std::string& TempDir() {
  static const std::string dir = [] {
    std::string d = "/tmp/qv-wingui-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(WinPath(d).c_str(), nullptr);
    std::atexit([] { RemoveDirectoryA(WinPath("/tmp/qv-wingui-" + std::to_string(GetCurrentProcessId())).c_str()); });
    return d;
  }();
  return dir;
}

std::string gProblem;

uint32_t BigEndian(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

int MaskShift(uint32_t mask) {
  int s = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++s;
  }
  return s;
}

bool ReadXwd(const std::string& path, Screenshot* shot) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::vector<unsigned char> data;
  unsigned char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0) data.insert(data.end(), buf, buf + n);
  std::fclose(f);
  if (data.size() < 100) return false;
  uint32_t h[25];
  for (int i = 0; i < 25; ++i) h[i] = BigEndian(&data[static_cast<size_t>(i) * 4]);
  const uint32_t headerSize = h[0], format = h[2], width = h[4], height = h[5], byteOrder = h[7], bpp = h[11],
                 bytesPerLine = h[12], visualClass = h[13], redMask = h[14], greenMask = h[15], blueMask = h[16],
                 nColors = h[19];
  // Under Wine the root may be dumped with packed 24-bit pixels in padded rows.
  const uint32_t stride = bpp == 32 ? 4 : bpp == 24 ? 3 : 0;
  if (format != 2 || !stride) return false;  // ZPixmap only
  size_t offset = headerSize + static_cast<size_t>(nColors) * 12;
  if (data.size() < offset + static_cast<size_t>(bytesPerLine) * height) return false;
  // A DirectColor screen (Wine uses one for gamma ramps) maps each channel through the colour map.
  uint32_t ramp[3][256];
  for (int c = 0; c < 3; ++c)
    for (uint32_t i = 0; i < 256; ++i) ramp[c][i] = i;
  if (visualClass == 5 && nColors >= 256) {
    for (uint32_t i = 0; i < 256; ++i) {
      const unsigned char* e = &data[headerSize + static_cast<size_t>(i) * 12];
      ramp[0][i] = e[4];
      ramp[1][i] = e[6];
      ramp[2][i] = e[8];
    }
  }
  shot->width = static_cast<int>(width);
  shot->height = static_cast<int>(height);
  shot->pixels.assign(static_cast<size_t>(width) * height, 0);
  for (uint32_t y = 0; y < height; ++y) {
    const unsigned char* row = &data[offset + static_cast<size_t>(y) * bytesPerLine];
    for (uint32_t x = 0; x < width; ++x) {
      const unsigned char* p = row + x * stride;
      uint32_t v = 0;
      for (uint32_t k = 0; k < stride; ++k) v |= uint32_t(p[k]) << (byteOrder == 0 ? 8 * k : 8 * (stride - 1 - k));
      uint32_t r = ramp[0][((v & redMask) >> MaskShift(redMask)) & 255],
               g = ramp[1][((v & greenMask) >> MaskShift(greenMask)) & 255],
               b = ramp[2][((v & blueMask) >> MaskShift(blueMask)) & 255];
      shot->pixels[static_cast<size_t>(y) * width + x] = (r << 16) | (g << 8) | b;
    }
  }
  return true;
}

// --- modal menus and message boxes -----------------------------------------------

struct WindowSearch {
  const char* className;
  HWND found;
};

BOOL CALLBACK FindVisibleOfClass(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  char name[64] = {0};
  GetClassNameA(hwnd, name, sizeof(name));
  if (IsWindowVisible(hwnd) && std::string(name) == search->className) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND ThreadWindowOfClass(const char* className) {
  WindowSearch search = {className, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), FindVisibleOfClass, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

MenuSnapshot* gMenuOut = nullptr;
UINT_PTR gMenuTimer = 0;

void ReadMenu(HMENU menu, std::vector<MenuItemSeen>* items, int* checks) {
  for (int i = 0; i < GetMenuItemCount(menu); ++i) {
    MenuItemSeen seen;
    seen.id = GetMenuItemID(menu, i);
    seen.state = GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION);
    seen.submenu = GetSubMenu(menu, i) != nullptr;
    if (!seen.submenu && (seen.state & MF_CHECKED)) ++*checks;
    items->push_back(seen);
  }
}

void CALLBACK MenuTimer(HWND, UINT, UINT_PTR, DWORD) {
  HWND popup = ThreadWindowOfClass("#32768");
  if (!popup || !gMenuOut) return;
  KillTimer(nullptr, gMenuTimer);
  gMenuTimer = 0;
  HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
  if (menu) {
    ReadMenu(menu, &gMenuOut->items, &gMenuOut->checkMarks);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      if (HMENU sub = GetSubMenu(menu, i)) {
        ReadMenu(sub, &gMenuOut->subItems, &gMenuOut->checkMarks);
        break;
      }
    }
  }
  RECT r;
  GetWindowRect(popup, &r);
  gMenuOut->at = {r.left, r.top};
  gMenuOut = nullptr;
  EndMenu();
}

std::deque<std::pair<int, DialogSnapshot*>> gAnswers;
int gDialogsAnswered = 0;
HWND gLastDialog = nullptr;
UINT_PTR gDialogTimer = 0;

BOOL CALLBACK FindText(HWND hwnd, LPARAM param) {
  char name[16] = {0}, text[512] = {0};
  GetClassNameA(hwnd, name, sizeof(name));
  GetWindowTextA(hwnd, text, sizeof(text));
  if (!_stricmp(name, "Static") && text[0]) {
    *reinterpret_cast<std::string*>(param) = text;
    return FALSE;
  }
  return TRUE;
}

void CALLBACK DialogTimer(HWND, UINT, UINT_PTR, DWORD) {
  HWND dialog = ThreadWindowOfClass("#32770");
  if (!dialog || dialog == gLastDialog) return;
  gLastDialog = dialog;
  int answer = IDCANCEL;
  if (!gAnswers.empty()) {
    answer = gAnswers.front().first;
    if (DialogSnapshot* out = gAnswers.front().second) {
      out->owner = GetWindow(dialog, GW_OWNER);
      char caption[256] = {0};
      GetWindowTextA(dialog, caption, sizeof(caption));
      out->caption = caption;
      out->text.clear();
      EnumChildWindows(dialog, FindText, reinterpret_cast<LPARAM>(&out->text));
    }
    gAnswers.pop_front();
  }
  ++gDialogsAnswered;
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), 0);
}

struct ChildCount {
  const char* className;
  int n;
};

BOOL CALLBACK CountChild(HWND hwnd, LPARAM param) {
  auto* count = reinterpret_cast<ChildCount*>(param);
  char name[64] = {0};
  GetClassNameA(hwnd, name, sizeof(name));
  if (std::string(name) == count->className) ++count->n;
  return TRUE;
}

BOOL CALLBACK CountWindow(HWND, LPARAM param) {
  ++*reinterpret_cast<int*>(param);
  return TRUE;
}

BOOL CALLBACK CountProcessWindow(HWND hwnd, LPARAM param) {
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  int* n = reinterpret_cast<int*>(param);
  ++*n;
  EnumChildWindows(hwnd, CountWindow, param);
  return TRUE;
}

}  // namespace

std::string WinPath(const std::string& unixPath) {
  std::string p = "Z:" + unixPath;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

void Pump(int ms) {
  DWORD end = GetTickCount() + static_cast<DWORD>(ms);
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    DWORD now = GetTickCount();
    if (static_cast<int>(end - now) <= 0) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
  }
}

std::string StartX(const std::string& args) {
  static int step = 0;
  std::string done = TempDir() + "/step" + std::to_string(++step);
  std::string cmd = std::string("/bin/sh ") + QV_XINPUT_SCRIPT + " " + done + " " + args;
  STARTUPINFOA si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return "";
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return done;
}

int WaitX(const std::string& done, int timeoutMs) {
  if (done.empty()) return -1;
  std::string path = WinPath(done);
  DWORD start = GetTickCount();
  for (;;) {
    if (FILE* f = std::fopen(path.c_str(), "r")) {
      int status = -1;
      if (std::fscanf(f, "%d", &status) != 1) status = -1;
      std::fclose(f);
      DeleteFileA(path.c_str());
      return status;
    }
    if (static_cast<int>(GetTickCount() - start) > timeoutMs) return -1;
    Pump(10);
  }
}

int RunX(const std::string& args) { return WaitX(StartX(args)); }

bool DisplayReady() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  ready = 0;
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    gProblem = "no X display: DISPLAY is not set (run under Xvfb)";
    return false;
  }
  if (GetFileAttributesA(WinPath(QV_XINPUT_SCRIPT).c_str()) == INVALID_FILE_ATTRIBUTES) {
    gProblem = std::string("the input script is missing: ") + QV_XINPUT_SCRIPT;
    return false;
  }
  if (RunX("probe") != 0) {
    gProblem = std::string("xdotool cannot reach the X display ") + display;
    return false;
  }
  HostFrame* probe = HostFrame::Create();
  if (!probe) {
    gProblem = "no window could be mapped on the X display";
    return false;
  }
  probe->Destroy();
  ready = 1;
  return true;
}

std::string DisplayProblem() { return gProblem; }

HostFrame* HostFrame::Create(int width, int height) {
  static bool registered = false;
  static int serial = 0;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = kHostClass;
    registered = RegisterClassA(&wc) != 0;
  }
  auto* frame = new HostFrame();
  frame->mTitle = "QVGuiHost_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++serial);
  HWND hwnd = CreateWindowExA(0, kHostClass, frame->mTitle.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 50, 50,
                              width, height, nullptr, nullptr, GetModuleHandleA(nullptr), frame);
  if (!hwnd) {
    delete frame;
    return nullptr;
  }
  ShowWindow(hwnd, SW_SHOW);
  UpdateWindow(hwnd);
  SetForegroundWindow(hwnd);
  GetWindowRect(hwnd, &gLastFrameRect);
  if (RunX("mapped " + frame->mTitle) != 0) {
    frame->Destroy();
    return nullptr;
  }
  Pump(50);
  return frame;
}

HostFrame* HostFrame::CreateChild(HWND parent) {
  auto* frame = new HostFrame();
  frame->mTitle = "panel";
  HWND hwnd = CreateWindowExA(0, kHostClass, "panel", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 10, 10, 300, 200,
                              parent, nullptr, GetModuleHandleA(nullptr), frame);
  if (!hwnd) {
    delete frame;
    return nullptr;
  }
  return frame;
}

void HostFrame::Destroy() { DestroyWindow(mHwnd); }

LRESULT CALLBACK HostFrame::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* frame = static_cast<HostFrame*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    frame->mHwnd = hwnd;
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(frame));
  }
  auto* frame = reinterpret_cast<HostFrame*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (frame && (msg == WM_KEYDOWN || msg == WM_KEYUP)) frame->keys.push_back({msg, wParam});
  if (frame && msg == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
    delete frame;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int ChildrenOfClass(HWND parent, const char* className) {
  ChildCount count = {className, 0};
  EnumChildWindows(parent, CountChild, reinterpret_cast<LPARAM>(&count));
  return count.n;
}

std::vector<uint32_t> Screenshot::Crop(int x, int y, int w, int h) const {
  std::vector<uint32_t> out(static_cast<size_t>(w) * h, 0xFF000000u);  // outside the screen: no colour matches
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i)
      if (x + i >= 0 && x + i < width && y + j >= 0 && y + j < height)
        out[static_cast<size_t>(j) * w + i] = pixels[static_cast<size_t>(y + j) * width + x + i];
  return out;
}

bool CaptureScreen(Screenshot* shot) {
  std::string file = TempDir() + "/screen.xwd";
  if (RunX("capture " + file) != 0) return false;
  bool ok = ReadXwd(WinPath(file), shot);
  if (!ok) std::fprintf(stderr, "the screen dump %s could not be read\n", file.c_str());
  if (ok) DeleteFileA(WinPath(file).c_str());
  return ok;
}

std::vector<uint32_t> CaptureWindow(HWND hwnd, int width, int height) {
  std::vector<uint32_t> out(static_cast<size_t>(width) * height, 0);
  HDC dc = GetDC(hwnd);
  HDC mem = CreateCompatibleDC(dc);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (section && bits) {
    HGDIOBJ old = SelectObject(mem, section);
    BitBlt(mem, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    GdiFlush();
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < out.size(); ++i) out[i] = p[i] & 0xFFFFFF;
    SelectObject(mem, old);
  }
  if (section) DeleteObject(section);
  DeleteDC(mem);
  ReleaseDC(hwnd, dc);
  return out;
}

int CountDifferences(const std::vector<uint32_t>& pixels, RasterBitmap& bitmap) {
  const int w = bitmap.Width(), h = bitmap.Height();
  if (pixels.size() != static_cast<size_t>(w) * h) return static_cast<int>(pixels.size()) + 1;
  int diff = 0;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if ((pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF) !=
          (bitmap.Pixels()[static_cast<size_t>(y) * bitmap.RowSpan() + x] & 0xFFFFFF))
        ++diff;
  return diff;
}

void KeepArtifact(const Screenshot& shot, const char* name) {
  const char* dir = std::getenv("QV_GUI_ARTIFACTS");
  if (!dir || !*dir) return;
  std::string path = std::string(dir) + "/" + name + ".ppm";
  if (path[0] == '/') path = WinPath(path);
  RECT r = gLastFrameRect;
  int w = r.right - r.left + 100, h = r.bottom - r.top + 100;
  std::vector<uint32_t> px = shot.Crop(r.left - 50, r.top - 50, w, h);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  for (uint32_t v : px) {
    unsigned char rgb[3] = {static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 8),
                            static_cast<unsigned char>(v)};
    std::fwrite(rgb, 1, 3, f);
  }
  std::fclose(f);
}

void InspectNextMenu(MenuSnapshot* out) {
  gMenuOut = out;
  gMenuTimer = SetTimer(nullptr, 0, 30, MenuTimer);
}

void AnswerDialog(int answer, DialogSnapshot* out) {
  gAnswers.emplace_back(answer, out);
  if (!gDialogTimer) gDialogTimer = SetTimer(nullptr, 0, 30, DialogTimer);
}

int DialogsAnswered() { return gDialogsAnswered; }

void ResetDialogs() {
  if (gDialogTimer) KillTimer(nullptr, gDialogTimer);
  gDialogTimer = 0;
  gAnswers.clear();
  gDialogsAnswered = 0;
  gLastDialog = nullptr;
}

ResourceCount CountResources() {
  ResourceCount count;
  count.gdi = static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
  count.how = "GetGuiResources";
  EnumWindows(CountProcessWindow, reinterpret_cast<LPARAM>(&count.windows));
  if (count.gdi == 0) {
    // Wine does not count per process; its handle tables answer for low-word
    // handles, so every live object can be found by probing.
    count.how = "handle-table probe (GetGuiResources answers 0 under Wine)";
    for (ULONG_PTR h = 1; h < 0x10000; ++h)
      if (GetObjectType(reinterpret_cast<HGDIOBJ>(h))) ++count.gdi;
    for (ULONG_PTR h = 0x20; h < 0x10000; h += 2)
      if (IsMenu(reinterpret_cast<HMENU>(h))) ++count.menus;
  } else {
    count.menus = static_cast<int>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
  }
  return count;
}

}  // namespace gui

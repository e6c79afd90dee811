#include "platform/win/IGraphicsWin.h"

#include <windowsx.h>

#include <cstring>
#include <mutex>

#include "graphics/IGraphicsScale.h"
#include "platform/ModuleInfo.h"
#include "raster/RasterPng.h"
#include "raster/RasterSysBitmap.h"

namespace {
// Registration follows the number of open editor windows in the process. Hosts
// open editors on their user-interface thread, but one with several such
// threads must not register twice or unregister under a live window.
std::mutex gClassMutex;
int gOpenWindowCount = 0;

void AddWindowUse(HINSTANCE instance, WNDPROC proc) {
  std::lock_guard<std::mutex> lock(gClassMutex);
  if (gOpenWindowCount++ == 0) {
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = IGraphicsWin::kWindowClassName;
    // A class left registered because its last window was destroyed by the
    // host (see WindowDestroyedByOthers) is still usable as it is.
    RegisterClassA(&wc);
  }
}

void DropWindowUse(HINSTANCE instance) {
  std::lock_guard<std::mutex> lock(gClassMutex);
  if (gOpenWindowCount > 0 && --gOpenWindowCount == 0) UnregisterClassA(IGraphicsWin::kWindowClassName, instance);
}

// A class whose last window the host destroyed could not be unregistered
// then; it must not outlive the editors, whose code it points into.
void DropUnusedClass(HINSTANCE instance) {
  std::lock_guard<std::mutex> lock(gClassMutex);
  if (gOpenWindowCount == 0) UnregisterClassA(IGraphicsWin::kWindowClassName, instance);
}

IMouseMod MouseMod(WPARAM wParam) {
  return IMouseMod((wParam & MK_LBUTTON) != 0, (wParam & MK_RBUTTON) != 0, (wParam & MK_SHIFT) != 0,
                   (wParam & MK_CONTROL) != 0, (GetKeyState(VK_MENU) & 0x8000) != 0);
}

// Virtual key to editor key code; -1 when the key has none.
int KeyCode(WPARAM vk) {
  switch (vk) {
    case VK_SPACE: return kKeySpace;
    case VK_UP: return kKeyUp;
    case VK_DOWN: return kKeyDown;
    case VK_LEFT: return kKeyLeft;
    case VK_RIGHT: return kKeyRight;
    default: break;
  }
  if (vk >= 0x30 && vk <= 0x39) return static_cast<int>(vk) - 43;
  if (vk >= 0x41 && vk <= 0x5A) return static_cast<int>(vk) - 50;
  // The keypad digits and what follows them share the letters' codes.
  if (vk >= 0x61 && vk <= 0x7A) return static_cast<int>(vk) - 82;
  return -1;
}
}  // namespace

IGraphicsWin::IGraphicsWin(IPluginBase* plug, int width, int height, int fps)
    : IGraphics(plug, width, height, fps), mModuleInstance(static_cast<HINSTANCE>(ModuleHandle())) {}

IGraphicsWin::~IGraphicsWin() {
  CloseWindow();
  DropUnusedClass(mModuleInstance);
}

int IGraphicsWin::OpenWindowCount() {
  std::lock_guard<std::mutex> lock(gClassMutex);
  return gOpenWindowCount;
}

void* IGraphicsWin::OpenWindow(void* parentWindow) {
  HWND parent = static_cast<HWND>(parentWindow);
  // A child window needs a live parent; without one creation would make a
  // top-level window or fail later in the host's hands.
  if (!parent || !IsWindow(parent)) return nullptr;
  mParentWindow = parent;
  int x = 0, y = 0, w = Width(), h = Height();
  if (mWindow) {
    // Re-opening keeps the window where the user had it. The position is taken
    // in the parent's client coordinates, which is what creation expects, so a
    // framed parent does not shift the window by its border on every re-open.
    RECT r;
    if (GetWindowRect(mWindow, &r)) {
      POINT topLeft = {r.left, r.top};
      ScreenToClient(parent, &topLeft);
      x = topLeft.x;
      y = topLeft.y;
    }
    CloseWindow();
  }

  AddWindowUse(mModuleInstance, WndProc);
  HWND window = CreateWindowExA(0, kWindowClassName, kWindowTitle, WS_CHILD | WS_VISIBLE, x, y, w, h, parent,
                                nullptr, mModuleInstance, this);
  if (!window) {
    bool othersOpen = OpenWindowCount() > 1;
    DropWindowUse(mModuleInstance);
    if (othersOpen) SetAllControlsDirty();
    return nullptr;
  }
  mWindow = window;
  ApplyChosenScale();  // the monitor it opened on may ask for another size than the host was told
  SetAllControlsDirty();
  return window;
}

void IGraphicsWin::SizeChanged() {
  if (!mWindow) return;
  SetWindowPos(mWindow, nullptr, 0, 0, Width(), Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(mWindow, nullptr, FALSE);
}

double IGraphicsWin::SystemScale() const {
  // Looked up by name: older systems have neither function.
  HWND window = mWindow ? mWindow : mParentWindow;
  if (window) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    if (HMODULE user = GetModuleHandleA("user32.dll")) {
      if (auto dpiForWindow = reinterpret_cast<DpiForWindow>(
              reinterpret_cast<void*>(GetProcAddress(user, "GetDpiForWindow")))) {
        const UINT dpi = dpiForWindow(window);
        if (dpi > 0) return ScaleFromDpi(dpi);
      }
    }
    using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    if (HMODULE shcore = LoadLibraryA("shcore.dll")) {
      auto dpiForMonitor = reinterpret_cast<DpiForMonitor>(
          reinterpret_cast<void*>(GetProcAddress(shcore, "GetDpiForMonitor")));
      UINT dx = 0, dy = 0;
      const bool ok = dpiForMonitor && dpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0, &dx, &dy) == S_OK;
      FreeLibrary(shcore);
      if (ok && dx > 0) return ScaleFromDpi(dx);
    }
  }
  HDC screen = GetDC(nullptr);
  if (!screen) return 0.0;
  const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
  ReleaseDC(nullptr, screen);
  return ScaleFromDpi(dpi);
}

void IGraphicsWin::CloseWindow() {
  if (!mWindow) return;
  HWND window = mWindow;
  mWindow = nullptr;
  KillTimer(window, kTimerId);
  SetWindowLongPtrA(window, GWLP_USERDATA, 0);
  DestroyWindow(window);
  DropWindowUse(mModuleInstance);
}

// The host destroyed its frame, and our window with it, without closing the
// editor first: forget the window so that nothing uses its handle again.
void IGraphicsWin::WindowDestroyedByOthers() {
  mWindow = nullptr;
  DropWindowUse(mModuleInstance);
}

bool IGraphicsWin::DrawScreen(const IRect& rect) {
  if (!mWindow) return false;
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(mWindow, &ps);
  RasterSysBitmap* bitmap = DrawBitmapSurface();
  HDC source = bitmap ? static_cast<HDC>(bitmap->DeviceContext()) : nullptr;
  if (dc && source) BitBlt(dc, rect.L, rect.T, rect.W(), rect.H(), source, rect.L, rect.T, SRCCOPY);
  EndPaint(mWindow, &ps);
  return true;
}

RasterBitmap* IGraphicsWin::LoadPlatformBitmap(int id, const char* fileName) {
  if (!fileName) return nullptr;
  const char* ext = nullptr;
  for (size_t i = std::strlen(fileName); i-- > 0;) {
    if (fileName[i] == '.') {
      ext = fileName + i + 1;
      break;
    }
  }
  if (!ext || _stricmp(ext, "png") != 0) return nullptr;
  return RasterLoadPngResource(mModuleInstance, id);
}

LRESULT CALLBACK IGraphicsWin::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* graphics = static_cast<IGraphicsWin*>(create->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(graphics));
    int fps = graphics ? graphics->FPS() : 0;
    SetTimer(hwnd, kTimerId, static_cast<UINT>(1000.0 / (fps > 0 ? fps : 25)), nullptr);
    SetFocus(hwnd);
    return 0;
  }
  auto* graphics = reinterpret_cast<IGraphicsWin*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!graphics || hwnd != graphics->mWindow) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return graphics->HandleMessage(hwnd, msg, wParam, lParam);
}

LRESULT IGraphicsWin::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  int x = GET_X_LPARAM(lParam);
  int y = GET_Y_LPARAM(lParam);
  switch (msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;

    case WM_PAINT: {
      RECT r;
      if (GetUpdateRect(hwnd, &r, FALSE)) {
        Draw(IRect(r.left, r.top, r.right, r.bottom));
        // Draw skips the screen copy when there is nothing to draw; the area
        // must still count as painted or the paint message comes back forever.
        ValidateRect(hwnd, &r);
      }
      return 0;
    }

    case WM_CLOSE:
      CloseWindow();
      return 0;

    case WM_TIMER:
      if (wParam == kTimerId) {
        IRect dirty;
        if (IsDirty(&dirty)) {
          RECT r = {dirty.L, dirty.T, dirty.R, dirty.B};
          InvalidateRect(hwnd, &r, FALSE);
          UpdateWindow(hwnd);
        }
      }
      return 0;

    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      SetFocus(hwnd);
      SetCapture(hwnd);
      OnMouseDown(x, y, MouseMod(wParam));
      return 0;

    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ReleaseCapture();
      OnMouseUp(x, y, MouseMod(wParam));
      return 0;

    case WM_LBUTTONDBLCLK:
      OnMouseDblClick(x, y, MouseMod(wParam));
      return 0;

    case WM_MOUSEMOVE:
      if ((wParam & (MK_LBUTTON | MK_RBUTTON)) && GetCapture() == hwnd) OnMouseDrag(x, y, MouseMod(wParam));
      return 0;

    case WM_MOUSEWHEEL: {
      int d = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
      RECT r;
      GetWindowRect(hwnd, &r);
      OnMouseWheel(x - r.left, y - r.top, MouseMod(GET_KEYSTATE_WPARAM(wParam)), d);
      return 0;
    }

    case WM_KEYDOWN: {
      int key = KeyCode(wParam);
      if (key >= 0) {
        POINT p = {0, 0};
        GetCursorPos(&p);
        ScreenToClient(hwnd, &p);
        if (OnKeyDown(p.x, p.y, key)) return 0;
      }
      SendMessageA(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    case WM_KEYUP:
      SendMessageA(GetAncestor(hwnd, GA_ROOT), msg, wParam, lParam);
      return DefWindowProcA(hwnd, msg, wParam, lParam);

    case WM_NCDESTROY:
      WindowDestroyedByOthers();
      return DefWindowProcA(hwnd, msg, wParam, lParam);

    default:
      return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

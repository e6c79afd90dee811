// The Win32 half of the editor capture: a borderless host window of our own
// holds the editor as its child; messages are pumped for about 300 ms so the
// editor's timer paints, and the child's pixels are read back through GDI.
// Under Wine the window needs an X server: DISPLAY must name one.
#include "tools/qvhost/EditorCapture.h"

#include <windows.h>

namespace {
const char kFrameClass[] = "QvHostEditorFrame";

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  do {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
  } while (GetTickCount() - start < ms);
}

// The window's pixels as GDI holds them, 0x00RRGGBB from the top row.
bool ReadWindow(HWND hwnd, int width, int height, std::vector<uint32_t>* pixels) {
  HDC windowDC = GetDC(hwnd);
  if (!windowDC) return false;
  HDC memDC = CreateCompatibleDC(windowDC);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(windowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = false;
  if (memDC && section && bits) {
    HGDIOBJ old = SelectObject(memDC, section);
    ok = BitBlt(memDC, 0, 0, width, height, windowDC, 0, 0, SRCCOPY) != 0;
    GdiFlush();
    if (ok) {
      const uint32_t* p = static_cast<const uint32_t*>(bits);
      pixels->assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
      for (uint32_t& v : *pixels) v &= 0x00FFFFFF;
    }
    SelectObject(memDC, old);
  }
  if (section) DeleteObject(section);
  if (memDC) DeleteDC(memDC);
  ReleaseDC(hwnd, windowDC);
  return ok;
}
}  // namespace

bool CaptureEditor(TestHost& host, int width, int height, std::vector<uint32_t>* pixels, std::string* error) {
  pixels->clear();
  WNDCLASSA wc{};
  wc.lpfnWndProc = FrameProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = kFrameClass;
  RegisterClassA(&wc);
  HWND frame = CreateWindowExA(0, kFrameClass, "qvhost editor", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                               nullptr, wc.hInstance, nullptr);
  if (!frame) {
    *error = "no window could be made for the editor (under Wine, DISPLAY must name a running X server)";
    UnregisterClassA(kFrameClass, wc.hInstance);
    return false;
  }
  Pump(50);
  bool ok = false;
  if (host.Dispatch(effEditOpen, 0, 0, frame) == 0) {
    *error = "the plug-in did not open its editor";
  } else {
    for (int i = 0; i < 15; ++i) {
      host.Dispatch(effEditIdle);
      Pump(20);
    }
    HWND editor = GetWindow(frame, GW_CHILD);
    if (!editor || !ReadWindow(editor, width, height, pixels))
      *error = "the editor's window could not be read";
    else
      ok = true;
    host.Dispatch(effEditClose);
  }
  DestroyWindow(frame);
  UnregisterClassA(kFrameClass, wc.hInstance);
  return ok;
}

// The editor's operating-system services: popup menus, message boxes over the
// host's main window and opening web pages.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <cstring>

#include "platform/win/IGraphicsWin.h"
#include "graphics/IGraphicsScale.h"

namespace {
// Builds the native menu for one menu of the tree; its items are numbered from
// first, its submenus' items follow all of its own, depth first.
HMENU BuildMenu(const IPopupMenu& menu, int first) {
  HMENU native = ::CreatePopupMenu();
  if (!native) return nullptr;
  int next = first + menu.NItems();
  for (int i = 0; i < menu.NItems(); ++i) {
    const IPopupMenuItem* item = menu.Item(i);
    if (item->flags & IPopupMenuItem::kSeparator) {
      AppendMenuA(native, MF_SEPARATOR, 0, nullptr);
    } else if (item->submenu) {
      HMENU sub = BuildMenu(*item->submenu, next);
      if (sub) AppendMenuA(native, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), item->text.c_str());
      next += item->submenu->CountTree();
    } else {
      UINT flags = MF_STRING;
      if (item->flags & IPopupMenuItem::kGreyed) flags |= MF_GRAYED;
      if (item->flags & IPopupMenuItem::kDisabled) flags |= MF_DISABLED;
      if (item->flags & IPopupMenuItem::kChecked) flags |= MF_CHECKED;
      AppendMenuA(native, flags, static_cast<UINT_PTR>(first + i), item->text.c_str());
    }
  }
  return native;
}
}  // namespace

IPopupMenu* IGraphicsWin::CreatePopupMenu(IPopupMenu* menu, const IRect& rect) {
  ReleaseMouseCapture();
  if (!menu || !mWindow) return nullptr;
  IPopupMenu* result = nullptr;
  // An empty tree would show an empty menu that waits for a click elsewhere.
  HMENU native = menu->CountTree() > 0 ? BuildMenu(*menu, 0) : nullptr;
  if (native) {
    const IRect at = ToDevice(rect, Scale());
    POINT p = {at.L, at.B};
    ClientToScreen(mWindow, &p);
    if (TrackPopupMenu(native, TPM_LEFTBUTTON, p.x, p.y, 0, mWindow, nullptr)) {
      MSG msg;
      if (PeekMessageA(&msg, mWindow, WM_COMMAND, WM_COMMAND, PM_REMOVE) && HIWORD(msg.wParam) == 0) {
        int first = 0;
        result = menu->MenuForNumber(LOWORD(msg.wParam), &first);
        if (result) result->chosenIndex = LOWORD(msg.wParam) - first;
      }
    }
    DestroyMenu(native);
  }
  RECT all = {0, 0, Width(), Height()};
  if (mWindow) InvalidateRect(mWindow, &all, FALSE);
  return result;
}

BOOL CALLBACK IGraphicsWin::FindMainWindowByClass(HWND hwnd, LPARAM param) {
  auto* self = reinterpret_cast<IGraphicsWin*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  char name[sizeof(self->mMainWindowClass)] = {0};
  GetClassNameA(hwnd, name, sizeof(name));
  if (std::strcmp(name, self->mMainWindowClass) != 0) return TRUE;
  self->mMainWindow = hwnd;
  return FALSE;
}

HWND IGraphicsWin::FindMainWindow() {
  // A remembered window the host has since destroyed would make the message
  // box fail; it is looked for again instead.
  if (mMainWindow && IsWindow(mMainWindow)) return mMainWindow;
  mMainWindow = nullptr;
  if (mWindow) {
    HWND top = mWindow;
    for (HWND up = GetParent(top); up; up = GetParent(up)) top = up;
    mMainWindow = top;
    GetClassNameA(top, mMainWindowClass, sizeof(mMainWindowClass));
  } else if (mMainWindowClass[0]) {
    EnumWindows(FindMainWindowByClass, reinterpret_cast<LPARAM>(this));
  }
  return mMainWindow;
}

int IGraphicsWin::ShowMessageBox(const char* text, const char* caption, int type) {
  return MessageBoxA(FindMainWindow(), text ? text : "", caption, static_cast<UINT>(type));
}

bool IGraphicsWin::OpenURL(const char* url, const char* title, const char* confirmText, const char* failureText) {
  if (confirmText && MessageBoxA(mWindow, confirmText, title, MB_YESNO) != IDYES) return false;
  DWORD connection = 0;
  if (url && InternetGetConnectedState(&connection, 0) &&
      reinterpret_cast<INT_PTR>(ShellExecuteA(mWindow, "open", url, nullptr, nullptr, SW_SHOWNORMAL)) > 32) {
    return true;
  }
  if (failureText) MessageBoxA(mWindow, failureText, title, MB_OK);
  return false;
}

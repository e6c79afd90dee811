// The editor's Win32 window layer: a child window of the host's editor frame,
// its repaint timer and message translation, the copy of the off-screen bitmap
// to the screen, the module's PNG resources, and the services that need the
// operating system (popup menus, message boxes, opening web pages).
#pragma once

#include <windows.h>
// The editor's own LoadBitmap and DrawText, not the Win32 macros of those names.
#undef LoadBitmap
#undef DrawText

#include "graphics/IGraphics.h"

class IGraphicsWin : public IGraphics {
 public:
  static constexpr const char* kWindowClassName = "IPluginWndClass";
  static constexpr const char* kWindowTitle = "IPlugin";
  static constexpr UINT_PTR kTimerId = 2;

  IGraphicsWin(IPluginBase* plug, int width, int height, int fps = 25);
  // Closes a window the host left open, so that no timer or message can reach
  // the freed object.
  ~IGraphicsWin() override;

  // The module whose window class and resources the editor uses; defaults to
  // the plug-in library.
  void SetModuleInstance(HINSTANCE instance) { mModuleInstance = instance; }
  HINSTANCE ModuleInstance() const { return mModuleInstance; }
  HWND Window() const { return mWindow; }
  HWND ParentWindow() const { return mParentWindow; }

  bool HasWindowLayer() const override { return true; }
  void* OpenWindow(void* parentWindow) override;
  void CloseWindow() override;
  bool WindowIsOpen() const override { return mWindow != nullptr; }
  bool DrawScreen(const IRect& rect) override;
  RasterBitmap* LoadPlatformBitmap(int id, const char* fileName) override;

  IPopupMenu* CreatePopupMenu(IPopupMenu* menu, const IRect& rect) override;
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  bool OpenURL(const char* url, const char* title = nullptr, const char* confirmText = nullptr,
               const char* failureText = nullptr) override;

  // Editor windows open in this process; the window class is registered
  // exactly while this is above zero.
  static int OpenWindowCount();
  // The DPI of the window's monitor where the system tells it, else the system's.
  double SystemScale() const override;

 protected:
  void SizeChanged() override;

 private:
  static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void WindowDestroyedByOthers();
  HWND FindMainWindow();
  static BOOL CALLBACK FindMainWindowByClass(HWND hwnd, LPARAM param);

  HINSTANCE mModuleInstance = nullptr;
  HWND mWindow = nullptr;
  HWND mParentWindow = nullptr;
  HWND mMainWindow = nullptr;
  char mMainWindowClass[128] = {0};
};

// The window layer without a window: native tests and the command-line host
// drive the editor through it. The caller ticks the timer, the "screen" is a
// bitmap, and menus and message boxes take scripted answers.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "graphics/IGraphics.h"

class RasterMemBitmap;

class IGraphicsOffscreen : public IGraphics {
 public:
  // reportsWindowLayer: whether the binding may offer this editor to a host
  // (tests) or not (a platform whose real window layer is still to come).
  IGraphicsOffscreen(IPluginBase* plug, int width, int height, int fps = 25, bool reportsWindowLayer = true);
  ~IGraphicsOffscreen() override;

  bool HasWindowLayer() const override { return mReportsWindowLayer; }
  // One window per editor: opening again closes the old one first. A null
  // parent gives no window, as a child window needs a parent.
  void* OpenWindow(void* parentWindow) override;
  void CloseWindow() override;
  bool WindowIsOpen() const override { return mOpen.load(); }
  bool DrawScreen(const IRect& rect) override;
  // Embedded PNG images by id, for names ending in ".png" (any case).
  RasterBitmap* LoadPlatformBitmap(int id, const char* fileName) override;
  double SystemScale() const override { return systemScale; }

  IPopupMenu* CreatePopupMenu(IPopupMenu* menu, const IRect& rect) override;
  int ShowMessageBox(const char* text, const char* caption, int type) override;
  bool OpenURL(const char* url, const char* title = nullptr, const char* confirmText = nullptr,
               const char* failureText = nullptr) override;

  // One tick of the 40 ms timer: draws the dirty area. Returns whether it drew.
  bool Tick();
  RasterMemBitmap& Screen() { return *mScreen; }
  void* ParentWindow() const { return mParent; }
  // Windows created over the editor's life.
  int WindowsCreated() const { return mWindowsCreated; }

  // --- the test seam -------------------------------------------------------------
  // Answers a menu with the number of the chosen item across the tree, or -1.
  // Unset: every menu is dismissed.
  std::function<int(IPopupMenu&)> menuAnswer;
  // Answers to the next message boxes; when empty, OK boxes answer OK and
  // Yes/No boxes No.
  std::deque<int> messageBoxAnswers;
  struct MessageBoxCall {
    std::string text, caption;
    int type;
  };
  std::vector<MessageBoxCall> messageBoxes;
  struct UrlCall {
    std::string url, title, confirmText, failureText;
  };
  std::vector<UrlCall> urls;
  // Whether opening an address "works" (a connection and a browser).
  bool urlOpens = false;
  // The size the "screen" asks for; 0: none.
  double systemScale = 0.0;

 protected:
  void SizeChanged() override;

 private:
  bool mReportsWindowLayer;
  std::atomic<bool> mOpen{false};
  void* mParent = nullptr;
  int mWindowsCreated = 0;
  std::unique_ptr<RasterMemBitmap> mScreen;
};

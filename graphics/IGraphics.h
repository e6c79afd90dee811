// The platform-neutral half of the editor: the control list and its link to
// the plug-in's parameters, dirty tracking, the draw pass into an off-screen
// bitmap, input routing with mouse capture, and the process-wide bitmap and
// font caches. A window layer (Win32, X11 or off-screen) derives from it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "graphics/IControl.h"
#include "graphics/IGraphicsTypes.h"
#include "graphics/IPopupMenu.h"

class IPluginBase;
class RasterSysBitmap;
class RasterMemBitmap;

// Message-box types and answers, with the values of the Win32 API.
enum : int {
  kMsgOk = 0x0,
  kMsgYesNo = 0x4,
  kMsgIconError = 0x10,
  kMsgIconInformation = 0x40,
  kMsgAnswerOk = 1,
  kMsgAnswerYes = 6,
  kMsgAnswerNo = 7,
};

// Key codes passed to OnKeyDown.
enum : int { kKeySpace = 0, kKeyUp = 1, kKeyDown = 2, kKeyLeft = 3, kKeyRight = 4, kKeyDigit0 = 5, kKeyA = 15 };

class IGraphics {
 public:
  IGraphics(IPluginBase* plug, int width, int height, int fps = 25);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  // The window's size, in device pixels: the layout's size at the editor's scale.
  int Width() const;
  int Height() const;
  // The layout's size, in design pixels.
  int DesignWidth() const { return mWidth; }
  int DesignHeight() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPluginBase* Plug() const { return mPlug; }

  // --- layout -----------------------------------------------------------------
  IBitmap LoadBitmap(int id, const char* fileName, int nFrames = 1);
  void AttachBackground(int id, const char* fileName);
  int AttachControl(IControl* control);  // takes ownership; returns the index
  int NControls() const { return static_cast<int>(mControls.size()); }
  IControl* GetControl(int i) const { return mControls[static_cast<size_t>(i)].get(); }
  virtual void Resize(int width, int height);

  // --- size ------------------------------------------------------------------------
  // The editor draws at 1, 1.5 or 2 device pixels a design pixel. The size
  // comes from the first of: the user's choice, the host's content scale, the
  // screen (SystemScale), else 1. Each setter applies the result at once and
  // returns false when the host refused the new window size; the editor then
  // keeps its old size.
  double Scale() const { return mScale; }
  bool SetUserScale(double scale);  // 0: the user has not chosen
  double UserScale() const { return mUserScale; }
  bool SetHostScale(double scale);  // 0: the host gives none
  double HostScale() const { return mHostScale; }
  double ChosenScale() const;
  bool ApplyChosenScale();

  // --- parameter link -----------------------------------------------------------
  // A parameter changed on the plug-in side (host, preset, controller); moves
  // every control bound to it. Plain values are clamped and normalised first.
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized);
  // The attach-time push of a parameter's normalised value.
  virtual void AttachParamValue(int paramIdx, double normalized);
  // Creates the off-screen drawing surfaces; the plug-in base calls it on attach.
  void PrepDraw();
  void SetAllControlsDirty();

  // --- drawing, for controls ------------------------------------------------------
  bool DrawBitmap(const IBitmap& bitmap, const IRect& dest, int srcX, int srcY, const IBlend* blend = nullptr);
  bool DrawBitmapFrame(const IBitmap& bitmap, const IRect& dest, int frame, const IBlend* blend = nullptr);
  bool DrawText(IText& text, const char* str, const IRect& rect);
  RasterSysBitmap* DrawBitmapSurface() const { return mDrawBitmap.get(); }
  const IRect& DrawRect() const { return mDrawRect; }

  // --- events, from the window layer ------------------------------------------------
  void OnMouseDown(int x, int y, const IMouseMod& mod);
  void OnMouseUp(int x, int y, const IMouseMod& mod);
  // Routes a drag to the captured control when the position moved; the window
  // layers share it so that every platform drags alike.
  void OnMouseDrag(int x, int y, const IMouseMod& mod);
  void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int d);
  bool OnKeyDown(int x, int y, int key);
  virtual void ReleaseMouseCapture();
  int MouseCapture() const { return mMouseCapture; }
  int MouseX() const { return mMouseX; }
  int MouseY() const { return mMouseY; }
  int IdleTicks() const { return mIdleTicks; }

  // The 40 ms timer's question, and the draw pass that ends with DrawScreen;
  // both in device pixels, as are all events above.
  bool IsDirty(IRect* rect);
  bool Draw(const IRect& updateRect);

  // --- the window layer ----------------------------------------------------------------
  // Whether OpenWindow can give a real window on this platform; the binding
  // only offers an editor to the host when it can.
  virtual bool HasWindowLayer() const { return false; }
  // The host's window: returns the child window, or null when none could be made.
  virtual void* OpenWindow(void* parentWindow);
  virtual void CloseWindow();
  virtual bool WindowIsOpen() const { return false; }
  virtual bool DrawScreen(const IRect& rect);
  virtual RasterBitmap* LoadPlatformBitmap(int id, const char* fileName);
  // The host's idle call (effEditIdle); window layers that need polling use it.
  virtual void Idle() {}
  // A descriptor that becomes readable when the open window has events to
  // handle (hosts with a run loop watch it and call Idle); -1 when none.
  virtual int EventFileDescriptor() const { return -1; }
  // The size the screen asks for (its DPI), where the window layer knows it; 0 otherwise.
  virtual double SystemScale() const { return 0.0; }

  // --- services -----------------------------------------------------------------------
  // Returns the (sub)menu in which an item was chosen, with its chosenIndex
  // set, or null when the menu was dismissed.
  virtual IPopupMenu* CreatePopupMenu(IPopupMenu* menu, const IRect& rect);
  virtual int ShowMessageBox(const char* text, const char* caption, int type);
  virtual bool OpenURL(const char* url, const char* title = nullptr, const char* confirmText = nullptr,
                       const char* failureText = nullptr);

 protected:
  std::vector<std::unique_ptr<IControl>>& Controls() { return mControls; }
  // The window's size changed (layout or scale); the window layer follows.
  virtual void SizeChanged() {}

 private:
  int FindControl(int x, int y) const;
  bool SetScale(double scale);
  bool SetScaleSource(double* source, double scale);
  bool BlitDevice(RasterBitmap* image, const IRect& dest, int srcX, int srcY, const IBlend* blend);
  // The image drawn for the current size, or null where there is none.
  RasterBitmap* ScaledBitmap(const IBitmap& bitmap);

  IPluginBase* mPlug;
  std::vector<std::unique_ptr<IControl>> mControls;
  IRect mDrawRect;
  std::unique_ptr<RasterSysBitmap> mDrawBitmap;
  std::unique_ptr<RasterMemBitmap> mTempBitmap;
  int mWidth;
  int mHeight;
  int mFPS;
  int mIdleTicks = 0;
  int mMouseCapture = -1;
  int mMouseX = -1;
  int mMouseY = -1;
  bool mStrictDrawing = true;
  double mScale = 1.0;
  double mUserScale = 0.0;
  double mHostScale = 0.0;
};

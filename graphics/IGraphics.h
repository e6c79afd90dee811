// The platform-neutral half of the editor, as far as the plug-in core needs
// it: its size and the parameter link. Controls, drawing and the window
// layer build on this class.
#pragma once

class IPluginBase;

class IGraphics {
 public:
  IGraphics(IPluginBase* plug, int width, int height, int fps = 25);
  virtual ~IGraphics();
  IGraphics(const IGraphics&) = delete;
  IGraphics& operator=(const IGraphics&) = delete;

  int Width() const { return mWidth; }
  int Height() const { return mHeight; }
  int FPS() const { return mFPS; }
  IPluginBase* Plug() const { return mPlug; }

  // A parameter changed on the plug-in side (host, preset, controller); moves
  // every control bound to it. Plain values are normalised first.
  virtual void SetParameterFromPlug(int paramIdx, double value, bool normalized);
  // The attach-time push of a parameter's normalised value, including the
  // controls that show it as an auxiliary parameter.
  virtual void AttachParamValue(int paramIdx, double normalized);

  // The host's window: returns the child window, or null when none could be made.
  virtual void* OpenWindow(void* parentWindow);
  virtual void CloseWindow();
  bool WindowIsOpen() const { return mWindowOpen; }

 protected:
  bool mWindowOpen = false;

 private:
  IPluginBase* mPlug;
  int mWidth;
  int mHeight;
  int mFPS;
};

// The control base: a rectangle on the editor with an optional parameter, a
// normalised value and dirty flags for the draw pass.
//
// Threads: the editor runs on the host's user-interface thread, but the plug-in
// moves controls from wherever parameters change, the audio thread included
// (learned MIDI controllers). The fields both sides touch are atomics, so the
// draw pass never needs the plug-in lock and the audio thread never waits for it.
// A control's own drawing (read-outs included) must use Value(), never the
// plug-in's parameter fields, which the audio thread writes without atomics.
// Every SetDirty also counts a change serial; the draw pass compares it before
// drawing and after SetClean, so a change that lands during a draw pass keeps
// the control dirty instead of being cleaned away unseen.
#pragma once

#include <atomic>
#include <cstdint>

#include "graphics/IGraphicsTypes.h"

class IGraphics;
class IPluginBase;

class IControl {
 public:
  IControl(IPluginBase* plug, const IRect& rect, int paramIdx = -1, const IBlend& blend = IBlend());
  virtual ~IControl() = default;
  IControl(const IControl&) = delete;
  IControl& operator=(const IControl&) = delete;

  virtual void OnMouseDown(int x, int y, const IMouseMod& mod);
  virtual void OnMouseUp(int x, int y, const IMouseMod& mod);
  virtual void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod);
  virtual void OnMouseDblClick(int x, int y, const IMouseMod& mod);
  virtual void OnMouseWheel(int x, int y, const IMouseMod& mod, int d);
  virtual bool OnKeyDown(int x, int y, int key);
  virtual void OnMouseOver(int x, int y, const IMouseMod& mod);
  virtual void OnMouseOut();
  virtual bool Draw(IGraphics* graphics) = 0;
  virtual void SetValueFromPlug(double value);
  virtual void SetValueFromUserInput(double value);
  virtual void SetTextFromTextEntry(const char* text);
  virtual void Hide(bool hide);
  virtual void GrayOut(bool grey);
  virtual bool IsHit(int x, int y) const;
  virtual void SetDirty(bool pushToPlug = true);
  virtual void SetClean();
  virtual bool IsDirty() const { return mDirty.load(std::memory_order_relaxed); }
  virtual void SetAuxValueFromPlug(int auxIdx, double value);

  // Asks for a repaint without sending anything to the plug-in.
  void Redraw() { SetDirty(false); }

  // For the draw pass (see the note at the top).
  uint32_t ChangeSerial() const { return mChangeSerial.load(); }
  void MarkDirtyAgain() { mDirty.store(true); }

  IPluginBase* Plug() const { return mPlug; }
  const IRect& Rect() const { return mRect; }
  const IRect& TargetRect() const { return mTargetRect; }
  // Where the control paints: its rectangle, unless it draws beyond it (a
  // read-out wider than its knob). The dirty area and the repaint follow this;
  // the rectangle alone stays what the pointer hits.
  const IRect& DrawArea() const { return mDrawArea.Empty() ? mRect : mDrawArea; }
  void SetDrawArea(const IRect& r) { mDrawArea = r; }
  void SetTargetRect(const IRect& r) { mTargetRect = r; }
  int ParamIdx() const { return mParamIdx; }
  double Value() const { return mValue.load(std::memory_order_relaxed); }
  void SetValue(double v) { mValue.store(v, std::memory_order_relaxed); }
  double DefaultValue() const { return mDefaultValue.load(std::memory_order_relaxed); }
  void SetDefaultValue(double v) { mDefaultValue.store(v, std::memory_order_relaxed); }
  bool IsHidden() const { return mHidden.load(std::memory_order_relaxed); }
  bool IsGrayed() const { return mGrayed.load(std::memory_order_relaxed); }
  // By value: greying out changes the weight from the plug-in's threads.
  IBlend Blend() const { return IBlend(mBlend.method, mBlendWeight.load(std::memory_order_relaxed)); }
  double ClampLo() const { return mClampLo; }
  double ClampHi() const { return mClampHi; }
  bool IsRedrawPending() const { return mRedraw.load(std::memory_order_relaxed); }
  IText& Text() { return mText; }
  const IText& Text() const { return mText; }

 protected:
  IText mText;
  IPluginBase* mPlug;
  IRect mRect;
  IRect mTargetRect;
  IRect mDrawArea;
  int mParamIdx;
  std::atomic<double> mValue{0.0};
  std::atomic<double> mDefaultValue{-1.0};
  double mClampLo = 0.0;
  double mClampHi = 1.0;
  std::atomic<bool> mDirty{true};
  std::atomic<bool> mHidden{false};
  std::atomic<bool> mGrayed{false};
  std::atomic<bool> mRedraw{false};
  bool mDisablePrompt = true;
  IBlend mBlend;  // the method; the weight lives in mBlendWeight
  std::atomic<float> mBlendWeight{1.0f};
  std::atomic<uint32_t> mChangeSerial{0};
};

// The frame of an N-frame strip that shows value (1-based, clamped to 1..N).
int FrameForValue(double value, int nFrames);

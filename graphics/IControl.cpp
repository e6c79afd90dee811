#include "graphics/IControl.h"

#include <cmath>

#include "framework/IPluginBase.h"

IControl::IControl(IPluginBase* plug, const IRect& rect, int paramIdx, const IBlend& blend)
    : mPlug(plug), mRect(rect), mTargetRect(rect), mParamIdx(paramIdx), mBlend(blend), mBlendWeight(blend.weight) {}

void IControl::OnMouseDown(int, int, const IMouseMod&) {}
void IControl::OnMouseUp(int, int, const IMouseMod&) {}
void IControl::OnMouseDrag(int, int, int, int, const IMouseMod&) {}

void IControl::OnMouseDblClick(int, int, const IMouseMod&) {
  const double d = DefaultValue();
  if (d >= 0.0) {
    mValue.store(d);
    SetDirty(true);
  }
}

void IControl::OnMouseWheel(int, int, const IMouseMod&, int) {}
bool IControl::OnKeyDown(int, int, int) { return false; }
void IControl::OnMouseOver(int, int, const IMouseMod&) {}
void IControl::OnMouseOut() {}

void IControl::SetValueFromPlug(double value) {
  if (mDefaultValue.load() < 0.0) {
    mValue.store(value);
    mDefaultValue.store(value);
  }
  if (value != mValue.load()) {
    mValue.store(value);
    SetDirty(false);
    mRedraw.store(true);
  }
}

void IControl::SetValueFromUserInput(double value) {
  if (value != mValue.load()) {
    mValue.store(value);
    SetDirty(true);
    mRedraw.store(true);
  }
}

void IControl::SetTextFromTextEntry(const char*) {}

void IControl::Hide(bool hide) {
  mHidden.store(hide);
  mRedraw.store(true);
  SetDirty(false);
}

void IControl::GrayOut(bool grey) {
  mGrayed.store(grey);
  mBlendWeight.store(grey ? 0.25f : 1.0f);
  SetDirty(false);
}

bool IControl::IsHit(int x, int y) const { return mTargetRect.Contains(x, y); }

void IControl::SetDirty(bool pushToPlug) {
  // Anything that is not a number ends at the low end: frame and pixel
  // arithmetic downstream must never see it.
  double v = mValue.load();
  if (!(v >= mClampLo)) {
    v = mClampLo;
  } else if (v > mClampHi) {
    v = mClampHi;
  }
  mValue.store(v);
  mChangeSerial.fetch_add(1);
  mDirty.store(true);
  if (pushToPlug && mPlug && mParamIdx >= 0) {
    // The plug-in moves a parameter and its controls together under its lock;
    // the editor does the same, so whichever comes last wins for both and a
    // knob never rests on a value its parameter no longer has.
    IMutexLock lock(mPlug->Mutex());
    mValue.store(v);
    mPlug->SetParamFromEditor(mParamIdx, v);
  }
}

void IControl::SetClean() { mDirty.store(mRedraw.exchange(false)); }

void IControl::SetAuxValueFromPlug(int, double) {}

int FrameForValue(double value, int nFrames) {
  if (nFrames < 2) return 1;
  double f = std::trunc((nFrames - 1) * value + 0.5) + 1.0;
  if (!(f >= 1.0)) return 1;
  if (f > nFrames) return nFrames;
  return static_cast<int>(f);
}

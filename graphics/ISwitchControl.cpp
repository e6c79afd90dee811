#include "graphics/ISwitchControl.h"

ISwitchControl::ISwitchControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                               IBlend::Method blendMethod)
    : IBitmapControl(plug, x, y, paramIdx, bitmap, blendMethod) {}

void ISwitchControl::OnMouseDown(int, int, const IMouseMod&) {
  double v = mValue.load() + (mBitmap.N >= 2 ? 1.0 / (mBitmap.N - 1) : 1.0);
  // The tolerance keeps the last frame when the steps add up to a hair over 1.
  if (v > 1.001) v = 0.0;
  mValue.store(v);
  SetDirty(true);
}

void ISwitchControl::OnMouseDblClick(int x, int y, const IMouseMod& mod) { OnMouseDown(x, y, mod); }

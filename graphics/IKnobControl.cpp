#include "graphics/IKnobControl.h"

IKnobControl::IKnobControl(IPluginBase* plug, const IRect& rect, int paramIdx, Direction direction, double gearing)
    : IControl(plug, rect, paramIdx), mDirection(direction), mGearing(gearing) {}

void IKnobControl::OnMouseDrag(int, int, int dX, int dY, const IMouseMod& mod) {
  double g = mGearing;
  if (mod.C || mod.S) g *= 10.0;
  const int span = mDirection == kVertical ? mRect.T - mRect.B : mRect.R - mRect.L;
  // A knob without extent has no drag scale; dividing by it would set the value to garbage.
  if (span == 0 || g == 0.0) return;
  const double delta = mDirection == kVertical ? static_cast<double>(dY) : static_cast<double>(dX);
  mValue.store(mValue.load() + delta / span / g);
  SetDirty(true);
}

void IKnobControl::OnMouseWheel(int, int, const IMouseMod& mod, int d) {
  mValue.store(mValue.load() + d * ((mod.C || mod.S) ? 0.001 : 0.01));
  SetDirty(true);
}

// The base of the product's knobs: a vertical or horizontal drag, or the
// wheel, turns the value. Drawing is left to the derived knob.
#pragma once

#include "graphics/IControl.h"

class IKnobControl : public IControl {
 public:
  enum Direction : int { kVertical = 0, kHorizontal = 1 };

  IKnobControl(IPluginBase* plug, const IRect& rect, int paramIdx, Direction direction = kVertical,
               double gearing = 4.0);

  // Pixels per full turn: height (or width) times gearing; ten times finer
  // with Control or Shift.
  void OnMouseDrag(int x, int y, int dX, int dY, const IMouseMod& mod) override;
  // 0.01 per notch, 0.001 with Control or Shift.
  void OnMouseWheel(int x, int y, const IMouseMod& mod, int d) override;

  Direction GetDirection() const { return mDirection; }
  double Gearing() const { return mGearing; }

 protected:
  Direction mDirection;
  double mGearing;
};

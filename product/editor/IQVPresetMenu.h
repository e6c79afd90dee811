// The click area over the painted preset button: opens a menu of the
// plug-in's presets with the current one checked.
#pragma once

#include "graphics/IControl.h"

class Effect;

class IQVPresetMenu : public IControl {
 public:
  IQVPresetMenu(Effect* plug, const IRect& rect);

  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;

 private:
  Effect* mEffect;
};

// A momentary switch: pressed it steps like a switch, released it returns to 0.
#pragma once

#include "graphics/ISwitchControl.h"

class IContactControl : public ISwitchControl {
 public:
  IContactControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                  IBlend::Method blendMethod = IBlend::kNone);

  void OnMouseUp(int x, int y, const IMouseMod& mod) override;
};

// A click steps a film strip's value through its frames and wraps to the first.
#pragma once

#include "graphics/IBitmapControl.h"

class ISwitchControl : public IBitmapControl {
 public:
  ISwitchControl(IPluginBase* plug, int x, int y, int paramIdx, const IBitmap& bitmap,
                 IBlend::Method blendMethod = IBlend::kNone);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  // A double click is the second click of a pair: it steps once more.
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override;
};

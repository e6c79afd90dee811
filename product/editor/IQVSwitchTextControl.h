// A two-position sync switch with its state ("ON"/"OFF") written underneath.
#pragma once

#include "graphics/ISwitchControl.h"

class IQVSwitchTextControl : public ISwitchControl {
 public:
  IQVSwitchTextControl(IPluginBase* plug, int x, int paramIdx, const IBitmap& switchImage);

  bool Draw(IGraphics* graphics) override;
  void Caption(char* text, int size) const;

 private:
  IRect mTextRect;
  IRect mFrameRect;
};

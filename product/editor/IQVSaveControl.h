// The "save config" button: stores the learned controller map when released.
#pragma once

#include "graphics/IContactControl.h"

class Effect;

class IQVSaveControl : public IContactControl {
 public:
  IQVSaveControl(Effect* plug, int y, const IBitmap& button);

  bool Draw(IGraphics* graphics) override;
  void OnMouseUp(int x, int y, const IMouseMod& mod) override;

 private:
  Effect* mEffect;
  IRect mLabelRect;
};

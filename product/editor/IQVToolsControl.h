// The LEARN/UNLEARN and FREEZE buttons of the tools panel.
#pragma once

#include "graphics/ISwitchControl.h"

class QVDelay;

class IQVToolsControl : public ISwitchControl {
 public:
  IQVToolsControl(QVDelay* plug, int y, int id, const IBitmap& button);

  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDblClick(int x, int y, const IMouseMod& mod) override { OnMouseDown(x, y, mod); }

  bool LearnLabel() const { return mLearnLabel.load(std::memory_order_relaxed); }

 private:
  QVDelay* mProduct;
  IRect mLabelRect;
  std::atomic<bool> mLearnLabel{true};
};

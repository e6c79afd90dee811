// The five-way delay range selector: five 12-pixel bands from the shortest
// range at the top to the longest at the bottom. Under delay sync the range
// follows the tempo, so the selector is shown at half opacity and ignores clicks.
#pragma once

#include <atomic>

#include "graphics/IControl.h"

class QVDelay;

class IQVRangeControl : public IControl {
 public:
  IQVRangeControl(QVDelay* plug, int x, int y, int paramIdx, const IBitmap& ranges);

  bool Draw(IGraphics* graphics) override;
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;

  void SetDisabled(bool disabled) { mDisabled.store(disabled, std::memory_order_relaxed); }
  bool Disabled() const { return mDisabled.load(std::memory_order_relaxed); }

 private:
  QVDelay* mProduct;
  IBitmap mRanges;
  IBlend mDisabledBlend{IBlend::kNone, 0.5f};
  std::atomic<bool> mDisabled{false};
};

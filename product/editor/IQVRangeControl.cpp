#include "product/editor/IQVRangeControl.h"

#include <cmath>

#include "graphics/IGraphics.h"
#include "product/QVDelay.h"

IQVRangeControl::IQVRangeControl(QVDelay* plug, int x, int y, int paramIdx, const IBitmap& ranges)
    : IControl(plug, IRect(x, y, x + ranges.W, y + (ranges.N > 0 ? ranges.H / ranges.N : ranges.H)), paramIdx),
      mProduct(plug),
      mRanges(ranges) {}

bool IQVRangeControl::Draw(IGraphics* graphics) {
  // rangeIndex counts down from the longest range; beyond 4 (very short synced
  // delays) the frame falls below 1 and the first frame shows.
  const int frame = 5 - mProduct->EditorView().rangeIndex.load(std::memory_order_relaxed);
  const IBlend blend = Disabled() ? mDisabledBlend : Blend();
  return graphics->DrawBitmapFrame(mRanges, mRect, frame, &blend);
}

void IQVRangeControl::OnMouseDown(int, int y, const IMouseMod&) {
  if (Disabled()) return;
  double v;
  if (mRanges.N > 2) {
    // The band under the pointer, computed as the selector always has: the
    // product in single precision, the floor in double.
    const float band = static_cast<float>(mRanges.N) * static_cast<float>(y - mRect.T) / static_cast<float>(mRect.H());
    v = std::floor(static_cast<double>(band)) / static_cast<double>(mRanges.N - 1);
  } else {
    v = Value() + 1.0;
  }
  if (v > 1.001) v = 0.0;
  SetValue(v);
  SetDirty(true);
}

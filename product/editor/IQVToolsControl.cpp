#include "product/editor/IQVToolsControl.h"

#include "graphics/IGraphics.h"
#include "product/QVDelay.h"
#include "product/editor/EditorStyle.h"

IQVToolsControl::IQVToolsControl(QVDelay* plug, int y, int id, const IBitmap& button)
    : ISwitchControl(plug, 605, y, id, button, IBlend::kNone), mProduct(plug) {
  mLabelRect = IRect(mRect.L, mRect.T + 4, mRect.R, mRect.B);
  mText = LabelText();
}

bool IQVToolsControl::Draw(IGraphics* graphics) {
  // The freeze button shows the product's state, whatever its own steps say.
  if (mParamIdx == kFreezeTarget) SetValue(mProduct->EditorView().freeze.load(std::memory_order_relaxed) ? 1.0 : 0.0);
  IBitmapControl::Draw(graphics);
  const char* caption = mParamIdx == kFreezeTarget ? "FREEZE" : (LearnLabel() ? "LEARN" : "UNLEARN");
  return graphics->DrawText(mText, caption, mLabelRect);
}

void IQVToolsControl::OnMouseDown(int x, int y, const IMouseMod& mod) {
  if (mParamIdx == kFreezeTarget) {
    ISwitchControl::OnMouseDown(x, y, mod);
    mProduct->ToggleFreeze();
    return;
  }
  if (mod.L) {
    ISwitchControl::OnMouseDown(x, y, mod);
    mProduct->StartLearnPass(Value() > 0.0, !LearnLabel());
  } else if (mod.R && Value() == 0.0) {
    mLearnLabel.store(!LearnLabel(), std::memory_order_relaxed);
    SetDirty(true);
  }
}

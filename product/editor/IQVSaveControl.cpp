#include "product/editor/IQVSaveControl.h"

#include "graphics/IGraphics.h"
#include "product/Effect.h"
#include "product/editor/EditorStyle.h"

IQVSaveControl::IQVSaveControl(Effect* plug, int y, const IBitmap& button)
    : IContactControl(plug, 605, y, kSaveButtonTag, button, IBlend::kNone), mEffect(plug) {
  mLabelRect = IRect(mRect.L, mRect.T + 4, mRect.R, mRect.B);
  mText = LabelText();
}

bool IQVSaveControl::Draw(IGraphics* graphics) {
  IBitmapControl::Draw(graphics);
  return graphics->DrawText(mText, "save config", mLabelRect);
}

void IQVSaveControl::OnMouseUp(int, int, const IMouseMod&) {
  SetValue(0.0);
  SetDirty(true);
  mEffect->WriteControllerSettings();  // a file that cannot be written changes nothing the user sees
}

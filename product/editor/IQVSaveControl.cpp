#include "product/editor/IQVSaveControl.h"

#include <string>

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
  if (mEffect->WriteControllerSettings()) return;
  // Otherwise the learned controllers would be lost at the next start without a word.
  if (IGraphics* graphics = mEffect->Editor()) {
    std::string text = "The MIDI controller assignments could not be saved: neither of these files can be written.\n\n";
    text += mEffect->SettingsPath();
    if (!mEffect->UserSettingsPath().empty()) text += "\n" + mEffect->UserSettingsPath();
    graphics->ShowMessageBox(text.c_str(), "save config", kMsgIconError);
  }
}

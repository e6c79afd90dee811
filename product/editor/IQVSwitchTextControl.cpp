#include "product/editor/IQVSwitchTextControl.h"

#include <cstdio>

#include "framework/IPluginBase.h"
#include "graphics/IGraphics.h"
#include "product/editor/EditorStyle.h"

IQVSwitchTextControl::IQVSwitchTextControl(IPluginBase* plug, int x, int paramIdx, const IBitmap& switchImage)
    : ISwitchControl(plug, x, 94, paramIdx, switchImage, IBlend::kNone) {
  mFrameRect = mRect;
  mTextRect = IRect(mFrameRect.L, mFrameRect.B - 3, mFrameRect.R, mFrameRect.B + 16);
  mText = LabelText();
  // The caption hangs below the switch and is wider than it ("OFF", "1/64").
  SetDrawArea(IRect(mRect.L - 12, mRect.T, mRect.R + 12, mTextRect.B));
}

void IQVSwitchTextControl::Caption(char* text, int size) const {
  text[0] = '\0';
  if (!mPlug || !mPlug->ValidParam(mParamIdx)) return;
  const IParameter* p = mPlug->GetParam(mParamIdx);
  char value[kParamTextSize];
  const double v = Value();
  p->FormatValue(v, true, value, true);
  // The unit is left out where a display text names the value itself.
  const IDisplayText* entry = p->FindDisplayText(p->FromNormalized(v));
  const bool named = entry && entry->text[0];
  std::snprintf(text, static_cast<size_t>(size), "%s%s", value, named ? "" : p->Label());
}

bool IQVSwitchTextControl::Draw(IGraphics* graphics) {
  IBitmapControl::Draw(graphics);
  char caption[64];
  Caption(caption, sizeof(caption));
  if (!caption[0]) return true;
  return graphics->DrawText(mText, caption, mTextRect);
}

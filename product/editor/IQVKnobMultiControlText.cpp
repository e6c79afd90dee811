#include "product/editor/IQVKnobMultiControlText.h"

#include <cstdio>
#include <cstring>

#include "graphics/IGraphics.h"
#include "product/DivisionTables.h"
#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "product/editor/EditorStyle.h"

IQVKnobMultiControlText::IQVKnobMultiControlText(QVDelay* plug, int x, int paramIdx, const IBitmap& knob)
    : IKnobControl(plug, IRect(x, 100, x + 40, 162), paramIdx, IKnobControl::kVertical, 4.0),
      mProduct(plug),
      mKnob(knob),
      mKnobRect(x, 100, x + 40, 140),
      mTextRect(x, 148, x + 40, 162),
      mWarningText(WarningText()),
      mIsTimeKnob(paramIdx == kTime) {
  mText = LabelText();
  // Centred read-outs such as "-100.0%" or "1300ms" are wider than the knob;
  // 12 pixels each side hold the widest and stay clear of the neighbours.
  SetDrawArea(IRect(x - 12, 100, x + 52, 162));
  if (plug->ValidParam(paramIdx)) {
    const IParameter* p = plug->GetParam(paramIdx);
    SetDefaultValue(p->Normalized(p->Default()));
  }
}

void IQVKnobMultiControlText::ReadOut(char* text, int size, bool* warning) const {
  const QVDelay::EditorViewState& view = mProduct->EditorView();
  *warning = false;
  text[0] = '\0';
  if (mIsTimeKnob) {
    *warning = view.syncedDelayMs.load(std::memory_order_relaxed) > 2000.0;
    if (view.delaySync.load(std::memory_order_relaxed)) {
      std::snprintf(text, static_cast<size_t>(size), "%s",
                    kDelayDivisions[view.delaySyncIndex.load(std::memory_order_relaxed)].name);
    } else {
      char ms[13];
      std::snprintf(ms, sizeof(ms), "%.0fms", view.delayMs.load(std::memory_order_relaxed));
      std::snprintf(text, static_cast<size_t>(size), "%s", ms);
    }
    return;
  }
  if (!mProduct->ValidParam(mParamIdx)) return;
  // Formatted from the control's own value, which the audio thread may move
  // while this draws, never from the parameter's plain field.
  const IParameter* p = mProduct->GetParam(mParamIdx);
  char value[kParamTextSize];
  p->FormatValue(Value(), true, value, true);
  std::snprintf(text, static_cast<size_t>(size), "%s%s", value, p->Label());
}

bool IQVKnobMultiControlText::Draw(IGraphics* graphics) {
  int frame = static_cast<int>(64.0 * Value() + 0.5) + 1;
  if (frame < 1) frame = 1;
  if (frame > 65) frame = 65;
  const IBlend blend = Blend();
  graphics->DrawBitmapFrame(mKnob, mKnobRect, frame, &blend);
  char text[64];
  bool warning = false;
  ReadOut(text, sizeof(text), &warning);
  return graphics->DrawText(warning ? mWarningText : mText, text, mTextRect);
}

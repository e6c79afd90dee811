#include "product/editor/QVDelayEditor.h"

#include "graphics/IGraphics.h"
#include "product/QVDelay.h"
#include "product/QVDelayConfig.h"
#include "product/editor/IQVKnobMultiControlText.h"
#include "product/editor/IQVOnlineMenu.h"
#include "product/editor/IQVPresetMenu.h"
#include "product/editor/IQVRangeControl.h"
#include "product/editor/IQVSaveControl.h"
#include "product/editor/IQVSwitchTextControl.h"
#include "product/editor/IQVToolsControl.h"

void LayoutEditor(QVDelay* plug, IGraphics* graphics) {
  graphics->Resize(kEditorWidth, kEditorHeight);
  const IBitmap button = graphics->LoadBitmap(kImageButton, "resources/img/button.png", 2);
  const IBitmap knob = graphics->LoadBitmap(kImageKnob, "resources/img/knob.png", 65);
  const IBitmap ranges = graphics->LoadBitmap(kImageRanges, "resources/img/ranges.png", 5);
  const IBitmap switchImage = graphics->LoadBitmap(kImageSwitch, "resources/img/switch.png", 2);
  graphics->AttachBackground(kImageBack, "resources/img/back.png");

  QVDelay::EditorControls& refs = plug->Controls();
  graphics->AttachControl(new IQVOnlineMenu(plug, IRect(516, 12, 664, 40)));
  graphics->AttachControl(new IQVPresetMenu(plug, IRect(10, 12, 40, 42)));
  refs.rangeSelector = new IQVRangeControl(plug, 20, 96, kRange, ranges);
  graphics->AttachControl(refs.rangeSelector);
  graphics->AttachControl(new IQVSwitchTextControl(plug, 83, kDelaySync, switchImage));
  refs.timeKnob = new IQVKnobMultiControlText(plug, 120, kTime, knob);
  graphics->AttachControl(refs.timeKnob);
  graphics->AttachControl(new IQVKnobMultiControlText(plug, 186, kFeedback, knob));
  refs.lfoSpeedKnob = new IQVKnobMultiControlText(plug, 274, kLFOSpeed, knob);
  graphics->AttachControl(refs.lfoSpeedKnob);
  graphics->AttachControl(new IQVSwitchTextControl(plug, 333, kLFOSync, switchImage));
  graphics->AttachControl(new IQVKnobMultiControlText(plug, 372, kLFODepth, knob));
  graphics->AttachControl(new IQVKnobMultiControlText(plug, 460, kMix, knob));
  graphics->AttachControl(new IQVKnobMultiControlText(plug, 526, kQuality, knob));
  graphics->AttachControl(new IQVToolsControl(plug, 80, kLearnButtonTag, button));
  graphics->AttachControl(new IQVSaveControl(plug, 108, button));
  refs.freezeButton = new IQVToolsControl(plug, 136, kFreezeTarget, button);
  graphics->AttachControl(refs.freezeButton);
}

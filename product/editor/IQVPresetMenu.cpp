#include "product/editor/IQVPresetMenu.h"

#include "graphics/IGraphics.h"
#include "product/Effect.h"

IQVPresetMenu::IQVPresetMenu(Effect* plug, const IRect& rect) : IControl(plug, rect), mEffect(plug) {}

void IQVPresetMenu::OnMouseDown(int, int, const IMouseMod&) {
  IGraphics* graphics = mEffect->Editor();
  if (!graphics) return;
  IPopupMenu menu;
  const int current = mEffect->CurrentPresetIndex();
  for (int i = 0; i < mEffect->NPresets(); ++i)
    menu.AddItem(mEffect->PresetName(i), i == current ? IPopupMenuItem::kChecked : 0);
  if (IPopupMenu* chosen = graphics->CreatePopupMenu(&menu, mRect)) {
    if (chosen->chosenIndex >= 0) mEffect->SelectPreset(chosen->chosenIndex);
  }
  graphics->SetAllControlsDirty();
}

#include "product/editor/IQVOnlineMenu.h"

#include <string>

#include "graphics/IGraphics.h"
#include "graphics/IGraphicsScale.h"
#include "product/QVDelay.h"
#include "update/VersionCheck.h"

IQVOnlineMenu::IQVOnlineMenu(QVDelay* plug, const IRect& rect) : IControl(plug, rect), mProduct(plug) {}

void IQVOnlineMenu::OnMouseDown(int x, int y, const IMouseMod&) {
  IGraphics* graphics = mProduct->Editor();
  if (!graphics) return;
  IPopupMenu menu;
  menu.AddItem("Check Online for Update");
  menu.AddItem(std::string("Visit ") + kMakerDomain);
  // After the two entries above, so that they keep their places.
  auto* sizes = new IPopupMenu;
  const int current = PercentFromScale(graphics->Scale());
  for (int percent : kEditorScalePercents)
    sizes->AddItem(std::to_string(percent) + " %", percent == current ? IPopupMenuItem::kChecked : 0);
  menu.AddSubmenu("Editor size", sizes);
  // The menu opens at the pointer, not at the area's corner.
  IPopupMenu* chosen = graphics->CreatePopupMenu(&menu, IRect(x, y, x, y));
  if (chosen == sizes && chosen->chosenIndex >= 0 && chosen->chosenIndex < kEditorScaleCount) {
    mProduct->ChooseEditorSize(kEditorScalePercents[chosen->chosenIndex]);
  } else if (chosen == &menu && chosen->chosenIndex == 0) {
    mProduct->CheckOnlineVersion();  // it tells the user itself; the code is of no further use here
  } else if (chosen == &menu && chosen->chosenIndex == 1) {
    graphics->OpenURL(kMakerSite);
  }
  graphics->SetAllControlsDirty();
}

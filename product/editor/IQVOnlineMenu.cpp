#include "product/editor/IQVOnlineMenu.h"

#include <string>

#include "graphics/IGraphics.h"
#include "product/QVDelay.h"
#include "update/VersionCheck.h"

IQVOnlineMenu::IQVOnlineMenu(QVDelay* plug, const IRect& rect) : IControl(plug, rect), mProduct(plug) {}

void IQVOnlineMenu::OnMouseDown(int x, int y, const IMouseMod&) {
  IGraphics* graphics = mProduct->Editor();
  if (!graphics) return;
  IPopupMenu menu;
  menu.AddItem("Check Online for Update");
  menu.AddItem(std::string("Visit ") + kMakerDomain);
  // The menu opens at the pointer, not at the area's corner.
  IPopupMenu* chosen = graphics->CreatePopupMenu(&menu, IRect(x, y, x, y));
  if (chosen && chosen->chosenIndex == 0) {
    mProduct->CheckOnlineVersion();  // it tells the user itself; the code is of no further use here
  } else if (chosen && chosen->chosenIndex == 1) {
    graphics->OpenURL(kMakerSite);
  }
  graphics->SetAllControlsDirty();
}

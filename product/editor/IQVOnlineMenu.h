// The click area over the maker's painted domain: a two-entry menu that asks
// the maker's server for a newer version or opens the maker's web site.
#pragma once

#include "graphics/IControl.h"

class QVDelay;

class IQVOnlineMenu : public IControl {
 public:
  IQVOnlineMenu(QVDelay* plug, const IRect& rect);

  bool Draw(IGraphics*) override { return true; }
  void OnMouseDown(int x, int y, const IMouseMod& mod) override;

 private:
  QVDelay* mProduct;
};

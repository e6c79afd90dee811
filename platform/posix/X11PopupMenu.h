// The editor's popup menu on X11: an override-redirect window drawn with our
// raster library, run in its own event loop on the host's user-interface
// thread. Submenus are shown flattened: the submenu's title as a heading with
// its items indented below it, numbered as the platform-neutral tree says.
#pragma once

#include <X11/Xlib.h>

#include <functional>

class IPopupMenu;
class X11Connection;

struct X11MenuPlacement {
  int x = 0, y = 0;  // the menu's top-left corner on the root window
  int anchorTop = 0; // where the menu goes upwards from when there is no room below
  double scale = 1.0; // the editor's size: the menu's text and rows grow with it
};

// Returns the (sub)menu holding the chosen item, with its chosenIndex set, or
// null when the menu was dismissed (Escape, a click outside, stop() or
// other() asking to cancel). other() gets the events of our other windows.
IPopupMenu* X11RunPopupMenu(X11Connection* connection, IPopupMenu* menu, const X11MenuPlacement& where,
                            const std::function<bool(XEvent&)>& other, const std::function<bool()>& stop);

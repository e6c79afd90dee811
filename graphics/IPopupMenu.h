// A popup menu tree: items with optional submenus, numbered depth first for
// the platform menu (all items of a menu, then each submenu in order).
#pragma once

#include <memory>
#include <string>
#include <vector>

class IPopupMenu;

struct IPopupMenuItem {
  enum Flags : int { kGreyed = 1, kDisabled = 2, kChecked = 4, kSeparator = 8 };

  std::string text;
  std::unique_ptr<IPopupMenu> submenu;
  int flags = 0;
};

class IPopupMenu {
 public:
  int prefix = 0;        // numbered prefixes are never shown by this product
  int chosenIndex = -1;  // set in the menu that holds the chosen item

  IPopupMenuItem* AddItem(const std::string& text, int flags = 0);
  IPopupMenuItem* AddSeparator();
  // Takes ownership of submenu.
  IPopupMenuItem* AddSubmenu(const std::string& text, IPopupMenu* submenu);

  int NItems() const { return static_cast<int>(mItems.size()); }
  IPopupMenuItem* Item(int i) { return mItems[static_cast<size_t>(i)].get(); }
  const IPopupMenuItem* Item(int i) const { return mItems[static_cast<size_t>(i)].get(); }

  // Numbering across the tree: the number of items in this menu and all its
  // submenus, and the menu holding the item with the given number (its first
  // number in firstNumber), or null when the number is out of range.
  int CountTree() const;
  IPopupMenu* MenuForNumber(int number, int* firstNumber);
  // The first number of item i's submenu when this menu starts at firstNumber;
  // -1 when item i has no submenu. Window layers number their native items with it.
  int SubmenuFirstNumber(int i, int firstNumber) const;
  // Whether a platform menu lets the user pick item i: not a separator, not
  // greyed or disabled, and not a submenu entry.
  bool Choosable(int i) const;

 private:
  std::vector<std::unique_ptr<IPopupMenuItem>> mItems;
};

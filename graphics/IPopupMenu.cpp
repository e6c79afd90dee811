#include "graphics/IPopupMenu.h"

IPopupMenuItem* IPopupMenu::AddItem(const std::string& text, int flags) {
  mItems.push_back(std::make_unique<IPopupMenuItem>());
  mItems.back()->text = text;
  mItems.back()->flags = flags;
  return mItems.back().get();
}

IPopupMenuItem* IPopupMenu::AddSeparator() { return AddItem(std::string(), IPopupMenuItem::kSeparator); }

IPopupMenuItem* IPopupMenu::AddSubmenu(const std::string& text, IPopupMenu* submenu) {
  IPopupMenuItem* item = AddItem(text);
  item->submenu.reset(submenu);
  return item;
}

int IPopupMenu::CountTree() const {
  int n = NItems();
  for (const auto& item : mItems)
    if (item->submenu) n += item->submenu->CountTree();
  return n;
}

IPopupMenu* IPopupMenu::MenuForNumber(int number, int* firstNumber) {
  // Numbering: every item of this menu, then each submenu's tree in order.
  int next = 0;
  IPopupMenu* found = nullptr;
  int first = -1;
  struct Walk {
    static bool Go(IPopupMenu* m, int number, int& next, IPopupMenu*& found, int& first) {
      const int start = next;
      next += m->NItems();
      if (number >= start && number < next) {
        found = m;
        first = start;
        return true;
      }
      for (auto& item : m->mItems)
        if (item->submenu && Go(item->submenu.get(), number, next, found, first)) return true;
      return false;
    }
  };
  if (number >= 0) Walk::Go(this, number, next, found, first);
  if (firstNumber) *firstNumber = found ? first : -1;
  return found;
}

int IPopupMenu::SubmenuFirstNumber(int i, int firstNumber) const {
  if (i < 0 || i >= NItems() || !mItems[static_cast<size_t>(i)]->submenu) return -1;
  int n = firstNumber + NItems();
  for (int k = 0; k < i; ++k)
    if (mItems[static_cast<size_t>(k)]->submenu) n += mItems[static_cast<size_t>(k)]->submenu->CountTree();
  return n;
}

bool IPopupMenu::Choosable(int i) const {
  if (i < 0 || i >= NItems()) return false;
  const IPopupMenuItem& item = *mItems[static_cast<size_t>(i)];
  return !item.submenu &&
         !(item.flags & (IPopupMenuItem::kSeparator | IPopupMenuItem::kGreyed | IPopupMenuItem::kDisabled));
}

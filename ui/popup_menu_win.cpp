#include "ui/popup_menu_win.h"

#include <vector>

#include "support/handles_win.h"

namespace quorvel::ui {

namespace {
void build(HMENU menu, const Component& parent, std::vector<MenuItem*>& byId) {
  for (const auto& c : parent.components()) {
    auto* item = dynamic_cast<MenuItem*>(c.get());
    if (!item) continue;
    const std::wstring text = toWide(item->caption());
    if (text == L"-") {
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING | (item->checked ? MF_CHECKED : 0) | (item->enabled ? 0 : MF_GRAYED);
    if (!item->components().empty()) {
      HMENU sub = ::CreatePopupMenu();
      build(sub, *item, byId);
      ::AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), text.c_str());  // owned by menu
    } else {
      byId.push_back(item);
      ::AppendMenuW(menu, flags, byId.size(), text.c_str());
    }
  }
}

MenuItem* find(const Component& parent, std::string_view name) {
  for (const auto& c : parent.components()) {
    auto* item = dynamic_cast<MenuItem*>(c.get());
    if (!item) continue;
    if (item->name() == name) return item;
    if (MenuItem* found = find(*item, name)) return found;
  }
  return nullptr;
}
}  // namespace

MenuItem::MenuItem(Component* owner, std::string name, std::u16string caption, std::function<void(MenuItem&)> onClick)
    : Component(owner, std::move(name)), onClick(std::move(onClick)) {
  caption_ = std::move(caption);
}

PopupMenu::PopupMenu(Component* owner, std::string name) : Component(owner, std::move(name)) {}

void PopupMenu::popup(HWND owner, POINT screen) {
  UniqueMenu menu(::CreatePopupMenu());
  std::vector<MenuItem*> byId;
  build(menu.get(), *this, byId);
  // The owner must be foreground, or the menu does not close when the user clicks elsewhere.
  ::SetForegroundWindow(owner);
  const UINT id = static_cast<UINT>(::TrackPopupMenu(menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY,
                                                     screen.x, screen.y, 0, owner, nullptr));
  ::PostMessageW(owner, WM_NULL, 0, 0);
  if (id >= 1 && id <= byId.size()) {
    MenuItem* item = byId[id - 1];
    if (item->onClick) item->onClick(*item);
  }
}

MenuItem* PopupMenu::findItem(std::string_view name) const { return find(*this, name); }

}  // namespace quorvel::ui

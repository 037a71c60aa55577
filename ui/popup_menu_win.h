#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "ui/component.h"

namespace quorvel::ui {

// A menu item; the items it owns form its submenu. The caption "-" makes a separator.
class MenuItem : public Component {
 public:
  MenuItem(Component* owner, std::string name, std::u16string caption, std::function<void(MenuItem&)> onClick = {});
  ComponentKind kind() const override { return ComponentKind::MenuItem; }
  bool checked = false;
  bool enabled = true;
  std::function<void(MenuItem&)> onClick;
  MenuItem& item(std::string name, std::u16string caption, std::function<void(MenuItem&)> onClick = {}) {
    return add<MenuItem>(std::move(name), std::move(caption), std::move(onClick));
  }
};

// A popup menu built afresh from its item tree each time it pops up, so check marks and
// captions are always current.
class PopupMenu : public Component {
 public:
  PopupMenu(Component* owner, std::string name);
  ComponentKind kind() const override { return ComponentKind::PopupMenu; }
  MenuItem& item(std::string name, std::u16string caption, std::function<void(MenuItem&)> onClick = {}) {
    return add<MenuItem>(std::move(name), std::move(caption), std::move(onClick));
  }
  // Shows the menu at a screen point for `owner` and runs the chosen item's click handler.
  void popup(HWND owner, POINT screen);
  // Every item of the tree, depth first.
  MenuItem* findItem(std::string_view name) const;
};

}  // namespace quorvel::ui

#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/control_win.h"

namespace quorvel::ui {

// A list drawn by its owner, with a fixed item height.
class ListBox : public Control {
 public:
  ListBox(Component* owner, std::string name, DesignRect rect, int itemHeight, std::wstring fontFace = L"",
          int fontHeight = -12);
  ComponentKind kind() const override { return ComponentKind::ListBox; }
  const std::vector<std::u16string>& items() const { return items_; }
  void insert(int index, std::u16string item);
  void remove(int index);
  int itemIndex() const;
  void setItemIndex(int index);
  bool onDrawItem(DRAWITEMSTRUCT& dis) override;
  void layout() override;
  std::function<void(DRAWITEMSTRUCT&, const std::u16string&)> onDraw;

 protected:
  void create() override;
  void applyFont() override;

 private:
  std::vector<std::u16string> items_;
  int itemHeight_;
  std::wstring fontFace_;
  int fontHeight_;
  UniqueGdiObject font_;
};

}  // namespace quorvel::ui

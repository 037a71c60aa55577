#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/control_win.h"

namespace quorvel::ui {

// A drop-down list drawn by its owner, with a fixed item height.
class ComboBox : public Control {
 public:
  ComboBox(Component* owner, std::string name, DesignRect rect, std::vector<std::u16string> items,
           bool visible = true);
  ComponentKind kind() const override { return ComponentKind::ComboBox; }

  const std::vector<std::u16string>& items() const { return items_; }
  // Replaces the item texts; the selection is kept.
  void setItems(std::vector<std::u16string> items);
  void addItem(std::u16string item);
  std::vector<std::u16string> itemTexts() const override { return items_; }
  void setItemTexts(std::vector<std::u16string> items) override { setItems(std::move(items)); }
  int itemIndex() const;      // -1: no selection
  void setItemIndex(int index);  // out of range: no selection. Does not call onChange.
  std::u16string text() const;   // the selected item's text, empty without selection

  bool onCommand(WORD code) override;
  bool onDrawItem(DRAWITEMSTRUCT& dis) override;
  void layout() override;

  std::function<void()> onChange;
  // Draws one item; the default fills with the current brush and writes the text at +1,+1.
  std::function<void(DRAWITEMSTRUCT&, const std::u16string&)> onDraw;
  // The plain look: the selection colours' fill, the text at +1,+1, the focus rectangle.
  static void drawItem(DRAWITEMSTRUCT& dis, const std::u16string& text);

 protected:
  void create() override;

 private:
  void fill();
  std::vector<std::u16string> items_;
  int index_ = -1;
  bool initiallyVisible_;
};

}  // namespace quorvel::ui

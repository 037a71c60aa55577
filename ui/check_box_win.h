#pragma once
#include <functional>

#include "ui/control_win.h"

namespace quorvel::ui {

class CheckBox : public Control {
 public:
  CheckBox(Component* owner, std::string name, DesignRect rect, std::u16string caption);
  bool checked() const;
  void setChecked(bool checked);
  bool onCommand(WORD code) override;
  HBRUSH onCtlColor(HDC dc) override;
  std::function<void()> onClick;

 protected:
  void create() override;

 private:
  bool checked_ = false;
};

// A framed, captioned group. It is a panel (so its controls' notifications reach their
// objects) with the system's group frame drawn inside it.
class GroupBox : public Panel {
 public:
  GroupBox(Component* owner, std::string name, DesignRect rect, std::u16string caption);
  void setCaption(const std::u16string& text) override;
  void layout() override;

 protected:
  void create() override;

 private:
  HWND frame_ = nullptr;
};

// A filled rectangle or circle.
class Shape : public Control {
 public:
  enum class Kind { Rectangle, Circle };
  Shape(Component* owner, std::string name, DesignRect rect, Kind kind, COLORREF fill, COLORREF pen = RGB(0, 0, 0));
  void setFill(COLORREF fill);
  COLORREF fill() const { return fill_; }

 protected:
  void create() override;

 private:
  static LRESULT CALLBACK wndProc(HWND, UINT, WPARAM, LPARAM);
  Kind kind_;
  COLORREF fill_, pen_;
};

}  // namespace quorvel::ui

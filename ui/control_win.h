#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "support/handles_win.h"
#include "ui/component.h"

namespace quorvel::ui {

class Form;

// Place and size in design pixels (96 dpi), relative to the parent's client area.
struct DesignRect {
  int x = 0, y = 0, w = 0, h = 0;
};

// A child window owned by a form or by a panel. The parent window routes notifications
// (commands, owner drawing, colours) to the control object, found through a window property.
class Control : public Component {
 public:
  Control(Component* owner, std::string name, DesignRect rect);
  ~Control() override;

  HWND handle() const { return hwnd_; }
  Form* form() const;
  HWND parentHandle() const;
  int scale(int n) const;

  bool visible() const;
  void setVisible(bool visible);
  bool enabled() const;
  void setEnabled(bool enabled);
  void setCaption(const std::u16string& text) override;
  const DesignRect& designRect() const { return rect_; }
  // Sets the width in physical pixels (already scaled by the caller).
  void setWidth(int pixels);
  int currentHeight() const;

  // Creates the window on first use, places it for the form's dpi and gives it the form's
  // font; then lays out the controls it owns.
  virtual void layout();

  virtual bool onCommand(WORD /*code*/) { return false; }
  virtual bool onDrawItem(DRAWITEMSTRUCT&) { return false; }
  virtual HBRUSH onCtlColor(HDC) { return nullptr; }

  // Mouse button released over the control: (button, screen point). Null: the parent gets it.
  std::function<void(int button, POINT screen)> onMouseUp;

  // Routes a notification from a child window to its control object; true when handled.
  static bool reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);
  static Control* fromHandle(HWND hwnd);

 protected:
  virtual void create() = 0;
  void createWindow(const wchar_t* className, DWORD style, DWORD exStyle = 0);
  virtual void applyFont();
  static LRESULT CALLBACK subclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

  DesignRect rect_;
  HWND hwnd_ = nullptr;
  int widthOverride_ = -1;
};

// Static text. Clickable when onClick is set.
class Label : public Control {
 public:
  enum class Align { Left, Center };
  Label(Component* owner, std::string name, DesignRect rect, std::u16string caption, Align align = Align::Left,
        COLORREF color = RGB(0, 0, 0), bool bold = false, bool notify = false);
  ComponentKind kind() const override { return ComponentKind::Label; }
  bool onCommand(WORD code) override;
  HBRUSH onCtlColor(HDC dc) override;
  std::function<void()> onClick;
  COLORREF color;
  COLORREF background = RGB(255, 255, 255);

 protected:
  void create() override;
  void applyFont() override;

 private:
  Align align_;
  bool bold_, notify_;
  UniqueGdiObject boldFont_, brush_;
};

class Button : public Control {
 public:
  Button(Component* owner, std::string name, DesignRect rect, std::u16string caption);
  ComponentKind kind() const override { return ComponentKind::Button; }
  bool onCommand(WORD code) override;
  void click() {
    if (onClick) onClick();
  }
  std::function<void()> onClick;

 protected:
  void create() override;
};

// A plain white container; a card panel shows exactly one of its cards.
class Panel : public Control {
 public:
  Panel(Component* owner, std::string name, DesignRect rect);
  ComponentKind kind() const override { return ComponentKind::Panel; }
  void layout() override;
  COLORREF background = RGB(255, 255, 255);

 protected:
  void create() override;

 private:
  static LRESULT CALLBACK wndProc(HWND, UINT, WPARAM, LPARAM);
};

class CardPanel : public Panel {
 public:
  using Panel::Panel;
  Panel& addCard(std::string name);
  int activeCard() const { return active_; }
  void setActiveCard(int index);

 private:
  std::vector<Panel*> cards_;
  int active_ = 0;
};

}  // namespace quorvel::ui

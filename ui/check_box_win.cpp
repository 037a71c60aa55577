#include "ui/check_box_win.h"

#include <algorithm>

#include "ui/application_win.h"
#include "ui/form_win.h"
#include "ui/window_class_win.h"

namespace quorvel::ui {

CheckBox::CheckBox(Component* owner, std::string name, DesignRect rect, std::u16string caption)
    : Control(owner, std::move(name), rect) {
  caption_ = std::move(caption);
}

void CheckBox::create() {
  createWindow(L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX);
  ::SendMessageW(hwnd_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::checked() const {
  return hwnd_ ? ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED : checked_;
}

void CheckBox::setChecked(bool checked) {
  checked_ = checked;
  if (hwnd_) ::SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool CheckBox::onCommand(WORD code) {
  if (code != BN_CLICKED) return false;
  checked_ = checked();
  if (onClick) onClick();
  return true;
}

HBRUSH CheckBox::onCtlColor(HDC dc) {
  ::SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
}

GroupBox::GroupBox(Component* owner, std::string name, DesignRect rect, std::u16string caption)
    : Panel(owner, std::move(name), rect) {
  caption_ = std::move(caption);
}

void GroupBox::create() {
  Panel::create();
  // Created before the group's controls, so it lies beneath them.
  frame_ = ::CreateWindowExW(0, L"BUTTON", toWide(caption_).c_str(), WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0,
                             scale(rect_.w), scale(rect_.h), hwnd_, nullptr, Application::instance().hinstance(),
                             nullptr);
}

void GroupBox::layout() {
  Panel::layout();
  ::SetWindowPos(frame_, HWND_BOTTOM, 0, 0, scale(rect_.w), scale(rect_.h), SWP_NOACTIVATE);
  if (const Form* f = form()) ::SendMessageW(frame_, WM_SETFONT, reinterpret_cast<WPARAM>(f->font()), TRUE);
}

void GroupBox::setCaption(const std::u16string& text) {
  Component::setCaption(text);
  if (frame_) ::SetWindowTextW(frame_, toWide(text).c_str());
}

Shape::Shape(Component* owner, std::string name, DesignRect rect, Kind kind, COLORREF fill, COLORREF pen)
    : Control(owner, std::move(name), rect), kind_(kind), fill_(fill), pen_(pen) {}

void Shape::create() {
  ensureWindowClass(L"QuorvelShape", &Shape::wndProc);
  createWindow(L"QuorvelShape", WS_VISIBLE);
}

void Shape::setFill(COLORREF fill) {
  if (fill == fill_) return;
  fill_ = fill;
  if (hwnd_) ::InvalidateRect(hwnd_, nullptr, FALSE);
}

LRESULT CALLBACK Shape::wndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) return 1;
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    auto* self = static_cast<Shape*>(Control::fromHandle(hwnd));
    RECT r;
    ::GetClientRect(hwnd, &r);
    // The parent's white shows around a circle.
    ::FillRect(dc, &r, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    if (self) {
      UniqueGdiObject brush(::CreateSolidBrush(self->fill_));
      UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, self->pen_));
      SelectObjectScope b(dc, brush.get()), p(dc, pen.get());
      if (self->kind_ == Kind::Circle) {
        // A circle of the smaller side, centred, as a shape control draws it.
        const int d = std::min(r.right, r.bottom);
        const int x = (r.right - d) / 2, y = (r.bottom - d) / 2;
        ::Ellipse(dc, x, y, x + d, y + d);
      } else {
        ::Rectangle(dc, 0, 0, r.right, r.bottom);
      }
    }
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace quorvel::ui

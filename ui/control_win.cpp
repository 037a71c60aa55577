#include "ui/control_win.h"

#include <commctrl.h>
#include <windowsx.h>

#include "ui/application_win.h"
#include "ui/form_win.h"
#include "ui/window_class_win.h"

namespace quorvel::ui {

namespace {
constexpr wchar_t kControlProp[] = L"QuorvelControl";
}  // namespace

Control::Control(Component* owner, std::string name, DesignRect rect) : Component(owner, std::move(name)), rect_(rect) {}

Control::~Control() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    ::RemoveWindowSubclass(hwnd_, &Control::subclassProc, 1);
    ::RemovePropW(hwnd_, kControlProp);
    ::DestroyWindow(hwnd_);
  }
}

Form* Control::form() const {
  for (Component* c = owner(); c; c = c->owner())
    if (auto* f = dynamic_cast<Form*>(c)) return f;
  return nullptr;
}

HWND Control::parentHandle() const {
  if (auto* c = dynamic_cast<Control*>(owner())) return c->handle();
  if (auto* f = dynamic_cast<Form*>(owner())) return f->handle();
  return nullptr;
}

int Control::scale(int n) const {
  const Form* f = form();
  return f ? f->scale(n) : n;
}

void Control::createWindow(const wchar_t* className, DWORD style, DWORD exStyle) {
  const std::wstring text = toWide(caption_);
  hwnd_ = ::CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD, scale(rect_.x), scale(rect_.y),
                            scale(rect_.w), scale(rect_.h), parentHandle(), nullptr,
                            Application::instance().hinstance(), nullptr);
  ::SetPropW(hwnd_, kControlProp, this);
  ::SetWindowSubclass(hwnd_, &Control::subclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void Control::layout() {
  if (!hwnd_) create();
  const int w = widthOverride_ >= 0 ? widthOverride_ : scale(rect_.w);
  ::SetWindowPos(hwnd_, nullptr, scale(rect_.x), scale(rect_.y), w, scale(rect_.h), SWP_NOZORDER | SWP_NOACTIVATE);
  applyFont();
  for (const auto& child : components())
    if (auto* control = dynamic_cast<Control*>(child.get())) control->layout();
}

void Control::applyFont() {
  if (const Form* f = form()) ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(f->font()), TRUE);
}

bool Control::visible() const { return hwnd_ && (::GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE); }
void Control::setVisible(bool v) {
  if (hwnd_) ::ShowWindow(hwnd_, v ? SW_SHOWNA : SW_HIDE);
}
bool Control::enabled() const { return hwnd_ && ::IsWindowEnabled(hwnd_); }
void Control::setEnabled(bool e) {
  if (hwnd_) ::EnableWindow(hwnd_, e);
}
void Control::setCaption(const std::u16string& text) {
  Component::setCaption(text);
  if (hwnd_) ::SetWindowTextW(hwnd_, toWide(text).c_str());
}
void Control::setWidth(int pixels) {
  widthOverride_ = pixels;
  if (hwnd_) ::SetWindowPos(hwnd_, nullptr, 0, 0, pixels, currentHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Control::currentHeight() const {
  RECT r{};
  if (hwnd_) ::GetWindowRect(hwnd_, &r);
  return hwnd_ ? r.bottom - r.top : scale(rect_.h);
}

Control* Control::fromHandle(HWND hwnd) {
  if (!hwnd) return nullptr;
  // Only our controls carry this property; other child windows are none of ours.
  return static_cast<Control*>(::GetPropW(hwnd, kControlProp));
}

bool Control::reflect(UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  switch (msg) {
    case WM_COMMAND:
      if (Control* c = fromHandle(reinterpret_cast<HWND>(lp))) {
        result = 0;
        return c->onCommand(HIWORD(wp));
      }
      return false;
    case WM_DRAWITEM: {
      auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lp);
      if (dis->CtlType == ODT_MENU) return false;
      if (Control* c = fromHandle(dis->hwndItem)) {
        result = TRUE;
        return c->onDrawItem(*dis);
      }
      return false;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
      if (Control* c = fromHandle(reinterpret_cast<HWND>(lp))) {
        if (HBRUSH b = c->onCtlColor(reinterpret_cast<HDC>(wp))) {
          result = reinterpret_cast<LRESULT>(b);
          return true;
        }
      }
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK Control::subclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
  auto* self = reinterpret_cast<Control*>(ref);
  if ((msg == WM_RBUTTONUP || msg == WM_LBUTTONUP) && self->onMouseUp) {
    POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    ::ClientToScreen(hwnd, &pt);
    const LRESULT r = ::DefSubclassProc(hwnd, msg, wp, lp);
    self->onMouseUp(msg == WM_RBUTTONUP ? 1 : 0, pt);
    return r;
  }
  if (msg == WM_NCDESTROY) {
    ::RemoveWindowSubclass(hwnd, &Control::subclassProc, 1);
    ::RemovePropW(hwnd, kControlProp);
    self->hwnd_ = nullptr;
  }
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

// --- Label

Label::Label(Component* owner, std::string name, DesignRect rect, std::u16string caption, Align align,
             COLORREF color, bool bold, bool notify)
    : Control(owner, std::move(name), rect), color(color), align_(align), bold_(bold), notify_(notify) {
  caption_ = std::move(caption);
}

void Label::create() {
  DWORD style = WS_VISIBLE | SS_NOPREFIX | (align_ == Align::Center ? SS_CENTER : SS_LEFT);
  if (notify_) style |= SS_NOTIFY;
  // A label without a size of its own grows with its text, as design labels do.
  if (rect_.w == 0) rect_.w = 120;
  if (rect_.h == 0) rect_.h = 15;
  createWindow(L"STATIC", style);
}

void Label::applyFont() {
  const Form* f = form();
  if (!f) return;
  HFONT font = f->font();
  if (bold_) {
    LOGFONTW lf{};
    ::GetObjectW(font, sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    boldFont_.reset(::CreateFontIndirectW(&lf));
    font = static_cast<HFONT>(boldFont_.get());
  }
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

bool Label::onCommand(WORD code) {
  if (code == STN_CLICKED && onClick) {
    onClick();
    return true;
  }
  return false;
}

HBRUSH Label::onCtlColor(HDC dc) {
  ::SetTextColor(dc, color);
  ::SetBkColor(dc, background);
  if (!brush_) brush_.reset(::CreateSolidBrush(background));
  return static_cast<HBRUSH>(brush_.get());
}

// --- Button

Button::Button(Component* owner, std::string name, DesignRect rect, std::u16string caption)
    : Control(owner, std::move(name), rect) {
  caption_ = std::move(caption);
}

void Button::create() { createWindow(L"BUTTON", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON); }

bool Button::onCommand(WORD code) {
  if (code != BN_CLICKED) return false;
  click();
  return true;
}

// --- Panel

Panel::Panel(Component* owner, std::string name, DesignRect rect) : Control(owner, std::move(name), rect) {}

void Panel::create() {
  ensureWindowClass(L"QuorvelPanel", &Panel::wndProc);
  createWindow(L"QuorvelPanel", WS_VISIBLE | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT);
}

void Panel::layout() {
  // Cards fill their card panel.
  if (auto* parent = dynamic_cast<CardPanel*>(owner())) rect_ = {0, 0, parent->designRect().w, parent->designRect().h};
  Control::layout();
}

LRESULT CALLBACK Panel::wndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (Control::reflect(msg, wp, lp, result)) return result;
  if (msg == WM_ERASEBKGND) {
    auto* self = Control::fromHandle(hwnd);
    RECT r;
    ::GetClientRect(hwnd, &r);
    UniqueGdiObject brush(::CreateSolidBrush(self ? static_cast<Panel*>(self)->background : RGB(255, 255, 255)));
    ::FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(brush.get()));
    return 1;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

Panel& CardPanel::addCard(std::string name) {
  Panel& card = add<Panel>(std::move(name), DesignRect{0, 0, rect_.w, rect_.h});
  cards_.push_back(&card);
  return card;
}

void CardPanel::setActiveCard(int index) {
  active_ = index;
  for (std::size_t i = 0; i < cards_.size(); ++i) cards_[i]->setVisible(static_cast<int>(i) == index);
}

}  // namespace quorvel::ui

#include "ui/form_win.h"

#include <windowsx.h>

#include "ui/application_win.h"
#include "ui/control_win.h"
#include "ui/dpi.h"
#include "ui/window_class_win.h"

namespace quorvel::ui {

namespace {
void layoutTree(Component& c) {
  for (const auto& child : c.components())
    if (auto* control = dynamic_cast<Control*>(child.get())) control->layout();
}
}  // namespace

Form::Form(Component* owner, std::string name, FormStyle style) : Component(owner, std::move(name)), style_(std::move(style)) {}

Form::~Form() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    ::DestroyWindow(hwnd_);
  }
}

int Form::scale(int n) const { return scaleToDpi(n, dpi_); }

void Form::createHandle(HWND owner) {
  HINSTANCE inst = Application::instance().hinstance();
  ensureWindowClass(style_.className.c_str(), &Form::wndProc, ::LoadIconW(inst, MAKEINTRESOURCEW(1)), CS_DBLCLKS);
  brush_.reset(::CreateSolidBrush(style_.background));
  const std::wstring caption = toWide(caption_);
  ::CreateWindowExW(style_.exStyle, style_.className.c_str(), caption.c_str(), style_.style, CW_USEDEFAULT,
                    CW_USEDEFAULT, 100, 100, owner, nullptr, inst, this);
  dpi_ = static_cast<int>(::GetDpiForWindow(hwnd_));
  if (dpi_ <= 0) dpi_ = kDesignDpi;
  updateFont();
  sizeToClient();
  layoutControls();
}

void Form::sizeToClient() {
  RECT r{0, 0, scale(style_.clientWidth), scale(style_.clientHeight)};
  ::AdjustWindowRectExForDpi(&r, style_.style, FALSE, style_.exStyle, dpi_);
  ::SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::updateFont() {
  LOGFONTW lf{};
  lf.lfHeight = scale(style_.fontHeight);
  lf.lfCharSet = DEFAULT_CHARSET;
  lf.lfQuality = CLEARTYPE_QUALITY;
  wcsncpy(lf.lfFaceName, style_.fontFace.c_str(), LF_FACESIZE - 1);
  font_.reset(::CreateFontIndirectW(&lf));
}

void Form::layoutControls() { layoutTree(*this); }

void Form::show() {
  if (hwnd_) ::ShowWindow(hwnd_, SW_SHOW);
}
void Form::hide() {
  if (hwnd_) ::ShowWindow(hwnd_, SW_HIDE);
}
void Form::showModal() {
  if (modal_) {
    ::SetForegroundWindow(hwnd_);
    return;
  }
  modal_ = true;
  Form* main = Application::instance().mainForm();
  HWND mainHwnd = main && main != this ? main->handle() : nullptr;
  const bool disabled = mainHwnd && ::IsWindowEnabled(mainHwnd);
  if (disabled) ::EnableWindow(mainHwnd, FALSE);
  show();
  ::SetForegroundWindow(hwnd_);
  MSG msg;
  while (hwnd_ && ::IsWindowVisible(hwnd_)) {
    const BOOL r = ::GetMessageW(&msg, nullptr, 0, 0);
    if (r <= 0) {
      if (r == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (!hwnd_ || !::IsDialogMessageW(hwnd_, &msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
  if (disabled && ::IsWindow(mainHwnd)) ::EnableWindow(mainHwnd, TRUE);
  modal_ = false;
}

bool Form::visible() const { return hwnd_ && ::IsWindowVisible(hwnd_); }

void Form::centerOnScreen() {
  RECT r;
  ::GetWindowRect(hwnd_, &r);
  HMONITOR mon = ::MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO mi{sizeof(mi)};
  ::GetMonitorInfoW(mon, &mi);
  const int w = r.right - r.left, h = r.bottom - r.top;
  const int x = mi.rcWork.left + ((mi.rcWork.right - mi.rcWork.left) - w) / 2;
  const int y = mi.rcWork.top + ((mi.rcWork.bottom - mi.rcWork.top) - h) / 2;
  ::SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Form::close() {
  if (hwnd_) ::SendMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void Form::setCaption(const std::u16string& text) {
  Component::setCaption(text);
  if (hwnd_) ::SetWindowTextW(hwnd_, toWide(text).c_str());
}

LRESULT Form::handleMessage(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (Control::reflect(msg, wp, lp, result)) return result;
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      ::GetClientRect(hwnd_, &r);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, static_cast<HBRUSH>(brush_.get()));
      return 1;
    }
    case WM_CLOSE:
      if (onCloseQuery()) ::DestroyWindow(hwnd_);
      return 0;
    case WM_HELP:
      return TRUE;  // no help system
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      if (onMouseUp) {
        POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
        ::ClientToScreen(hwnd_, &pt);
        onMouseUp(msg == WM_RBUTTONUP ? 1 : 0, pt);
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wp);
      const RECT* r = reinterpret_cast<const RECT*>(lp);
      updateFont();
      ::SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      sizeToClient();
      layoutControls();
      ::InvalidateRect(hwnd_, nullptr, TRUE);
      return 0;
    }
    case WM_DESTROY:
      onDestroy();
      if (Application::instance().mainForm() == this) ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT CALLBACK Form::wndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    self->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->hwnd_ = nullptr;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->handleMessage(msg, wp, lp);
}

}  // namespace quorvel::ui

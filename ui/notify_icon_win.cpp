#include "ui/notify_icon_win.h"

#include <shellapi.h>

#include "ui/application_win.h"
#include "ui/popup_menu_win.h"
#include "ui/window_class_win.h"

namespace quorvel::ui {

namespace {
constexpr UINT kCallbackMessage = WM_APP + 1;
}

NotifyIcon::NotifyIcon(Component* owner, std::string name, HICON icon) : Component(owner, std::move(name)), icon_(icon) {
  ensureWindowClass(L"QuorvelNotifyIcon", &NotifyIcon::wndProc);
  HINSTANCE inst = Application::instance().hinstance();
  taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"QuorvelNotifyIcon", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            inst, nullptr);
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // Elevated or not, let the taskbar's broadcast through.
  ::ChangeWindowMessageFilterEx(hwnd_, taskbarCreated_, MSGFLT_ALLOW, nullptr);
}

NotifyIcon::~NotifyIcon() {
  if (visible_) notify(NIM_DELETE);
  ::DestroyWindow(hwnd_);
}

bool NotifyIcon::notify(DWORD message) {
  NOTIFYICONDATAW nid{};
  nid.cbSize = sizeof(nid);
  nid.hWnd = hwnd_;
  nid.uID = 1;
  nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP;
  nid.uCallbackMessage = kCallbackMessage;
  nid.hIcon = icon_;
  wcsncpy(nid.szTip, hint_.c_str(), ARRAYSIZE(nid.szTip) - 1);
  return ::Shell_NotifyIconW(message, &nid);
}

void NotifyIcon::setHint(const std::wstring& hint) {
  hint_ = hint;
  if (visible_) notify(NIM_MODIFY);
}

void NotifyIcon::setVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  notify(visible ? NIM_ADD : NIM_DELETE);
}

LRESULT CALLBACK NotifyIcon::wndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<NotifyIcon*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self && msg == self->taskbarCreated_ && self->taskbarCreated_) {
    if (self->visible_) self->notify(NIM_ADD);
    return 0;
  }
  if (self && msg == kCallbackMessage) {
    switch (LOWORD(lp)) {
      case WM_LBUTTONUP:
        if (self->onClick) self->onClick();
        break;
      case WM_RBUTTONUP:
      case WM_CONTEXTMENU:
        if (self->menu) {
          POINT pt;
          ::GetCursorPos(&pt);
          self->menu->popup(hwnd, pt);
        }
        break;
      default:
        break;
    }
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace quorvel::ui

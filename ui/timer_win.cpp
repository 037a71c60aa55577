#include "ui/timer_win.h"

#include "ui/application_win.h"
#include "ui/window_class_win.h"

namespace quorvel::ui {

Timer::Timer(Component* owner, std::string name, unsigned interval)
    : Component(owner, std::move(name)), interval_(interval) {
  ensureWindowClass(L"QuorvelTimer", &Timer::wndProc);
  HINSTANCE inst = Application::instance().hinstance();
  hwnd_ = ::CreateWindowExW(0, L"QuorvelTimer", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, inst, nullptr);
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Timer::~Timer() {
  if (hwnd_) {
    ::KillTimer(hwnd_, 1);
    ::DestroyWindow(hwnd_);
  }
}

void Timer::setEnabled(bool enabled) {
  enabled_ = enabled;
  if (enabled) ::SetTimer(hwnd_, 1, interval_, nullptr);
  else ::KillTimer(hwnd_, 1);
}

LRESULT CALLBACK Timer::wndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_TIMER) {
    auto* self = reinterpret_cast<Timer*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && self->enabled_ && self->onTimer) self->onTimer();
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace quorvel::ui

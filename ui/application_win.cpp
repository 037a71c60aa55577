#include "ui/application_win.h"

#include <commctrl.h>

#include "ui/form_win.h"

namespace quorvel::ui {

Application& Application::instance() {
  static Application app;
  return app;
}

void Application::initialize(HINSTANCE instance) {
  instance_ = instance;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
  WNDCLASSEXW wc{sizeof(wc)};
  wc.lpfnWndProc = &Application::wndProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"QuorvelApplication";
  wc.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
  ::RegisterClassExW(&wc);
  // A zero-size, never-shown popup: it owns the message boxes and the main form.
  hwnd_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                            instance, nullptr);
}

void Application::setTitle(const std::wstring& title) {
  title_ = title;
  if (hwnd_) ::SetWindowTextW(hwnd_, title.c_str());
}

void Application::minimize() {
  if (hwnd_) ::ShowWindow(hwnd_, SW_MINIMIZE);
}

void Application::restore() {
  if (hwnd_ && ::IsIconic(hwnd_)) ::ShowWindow(hwnd_, SW_RESTORE);
}

void Application::processMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

int Application::run() {
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void Application::terminate() { ::PostQuitMessage(0); }

LRESULT CALLBACK Application::wndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_HELP) return TRUE;  // no help system
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace quorvel::ui

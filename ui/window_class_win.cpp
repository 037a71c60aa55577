#include "ui/window_class_win.h"

#include "ui/application_win.h"

namespace quorvel::ui {

void ensureWindowClass(const wchar_t* name, WNDPROC proc, HICON icon, UINT style) {
  HINSTANCE inst = Application::instance().hinstance();
  WNDCLASSEXW wc{sizeof(wc)};
  if (::GetClassInfoExW(inst, name, &wc)) return;
  wc = WNDCLASSEXW{sizeof(wc)};
  wc.lpfnWndProc = proc;
  wc.hInstance = inst;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hIcon = icon;
  wc.style = style;
  wc.lpszClassName = name;
  ::RegisterClassExW(&wc);
}

}  // namespace quorvel::ui

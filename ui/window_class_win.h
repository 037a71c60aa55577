#pragma once
#include <windows.h>

namespace quorvel::ui {

// Registers a window class of this program once; later calls with the same name do nothing.
void ensureWindowClass(const wchar_t* name, WNDPROC proc, HICON icon = nullptr, UINT style = 0);

}  // namespace quorvel::ui

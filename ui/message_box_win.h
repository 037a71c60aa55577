#pragma once
#include <windows.h>

#include <string>

namespace quorvel::ui {

// A system message box owned by the application window.
int messageBox(const std::wstring& text, const std::wstring& caption, UINT flags);

}  // namespace quorvel::ui

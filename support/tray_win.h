#pragma once
#include <windows.h>

namespace quorvel {

// Hides the program into the notification area: no window, no taskbar button.
void HideApplication();
// Brings the main window back and to the foreground. Ignored once it is gone.
void ShowApplication();
// Makes the window the foreground window even when another program holds the foreground.
void ForceForegroundWindow(HWND hwnd);

}  // namespace quorvel

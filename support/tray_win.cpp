#include "support/tray_win.h"

#include "support/os_version_win.h"
#include "ui/application_win.h"
#include "ui/form_win.h"

namespace quorvel {


void HideApplication() {
  auto& app = ui::Application::instance();
  if (ui::Form* main = app.mainForm()) main->hide();
  app.showMainForm = false;
  app.minimize();
  if (app.handle()) ::ShowWindow(app.handle(), SW_HIDE);
}

void ShowApplication() {
  auto& app = ui::Application::instance();
  ui::Form* main = app.mainForm();
  if (!main || !main->handle() || !::IsWindow(main->handle())) return;
  ::ShowWindow(app.handle(), SW_SHOW);
  app.showMainForm = true;
  app.restore();
  main->show();
  ForceForegroundWindow(main->handle());
}

void ForceForegroundWindow(HWND hwnd) {
  if (::IsIconic(hwnd)) ::ShowWindow(hwnd, SW_RESTORE);
  HWND fore = ::GetForegroundWindow();
  if (fore == hwnd) return;
  if (osMajorVersion() < 6) {
    ::BringWindowToTop(hwnd);
    ::SetForegroundWindow(hwnd);
    return;
  }
  const DWORD foreThread = ::GetWindowThreadProcessId(fore, nullptr);
  const DWORD ownThread = ::GetWindowThreadProcessId(hwnd, nullptr);
  if (!::AttachThreadInput(ownThread, foreThread, TRUE)) return;
  ::BringWindowToTop(hwnd);
  ::SetForegroundWindow(hwnd);
  ::AttachThreadInput(ownThread, foreThread, FALSE);
  if (::GetForegroundWindow() == hwnd) return;
  DWORD timeout = 0;
  ::SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0);
  ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, nullptr, SPIF_SENDCHANGE);
  ::BringWindowToTop(hwnd);
  ::SetForegroundWindow(hwnd);
  ::SystemParametersInfoW(SPI_SETFOREGROUNDLOCKTIMEOUT, 0, reinterpret_cast<void*>(static_cast<UINT_PTR>(timeout)),
                          SPIF_SENDCHANGE);
}

}  // namespace quorvel

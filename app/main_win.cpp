// Process entry: hand the request to a running instance, or become the instance.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "app/frm_quorvel_win.h"
#include "support/handles_win.h"
#include "support/translate_win.h"
#include "ui/application_win.h"

namespace {

std::wstring firstArgument() {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  std::wstring first = argv && argc > 1 ? argv[1] : L"";
  if (argv) ::LocalFree(argv);
  return first;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  using namespace quorvel;
  const std::wstring arg = firstArgument();
  HWND running = ::FindWindowW(L"TFrmQuorvel", nullptr);

  if (arg == L"/uninst") {
    ::SendMessageW(running, WM_USER, 2, 0);
    for (int i = 0; i < 10 && ::IsWindow(running); ++i) ::Sleep(100);
    return 0;
  }

  // An instance runs: hand over and end. The handle goes with the process.
  UniqueHandle existing(::OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"QuorvelMutex"));
  if (existing) {
    if (arg != L"/start") ::SendMessageW(running, WM_USER, 1, 0);
    return 0;
  }
  // Owned for the life of the process; the system drops it when the process ends.
  UniqueHandle mutex(::CreateMutexW(nullptr, TRUE, L"QuorvelMutex"));

  ::SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  // The folder dialog is a COM object of the user-interface thread.
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  initTranslation();
  auto& app = ui::Application::instance();
  app.initialize(instance);
  app.setTitle(L"");
  int result = 0;
  {
    TFrmQuorvel form(arg);
    form.FormCreate();
    result = app.run();
  }
  clearTranslation();
  if (SUCCEEDED(com)) ::CoUninitialize();
  return result;
}

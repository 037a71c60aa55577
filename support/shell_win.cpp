#include "support/shell_win.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <vector>

#include "support/module_path_win.h"

#ifndef QV_LINK_HOST
#define QV_LINK_HOST L"go.brevisco.com"
#endif
#ifndef QV_ERROR_HOST
#define QV_ERROR_HOST L"error.brevisco.com"
#endif

namespace quorvel {

namespace {
std::wstring envOr(const wchar_t* name, const wchar_t* fallback) {
  wchar_t buffer[512];
  const DWORD n = ::GetEnvironmentVariableW(name, buffer, ARRAYSIZE(buffer));
  return n > 0 && n < ARRAYSIZE(buffer) ? std::wstring(buffer, n) : std::wstring(fallback);
}
}  // namespace

std::wstring GetVersionString(const std::wstring& pattern) {
  const std::wstring path = modulePath();
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return L"0.0.0.0";
  std::vector<BYTE> data(size);
  VS_FIXEDFILEINFO* info = nullptr;
  UINT len = 0;
  if (!::GetFileVersionInfoW(path.c_str(), 0, size, data.data()) ||
      !::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || !info)
    return L"0.0.0.0";
  wchar_t out[128];
  std::swprintf(out, ARRAYSIZE(out), pattern.c_str(), static_cast<int>(HIWORD(info->dwFileVersionMS)),
                static_cast<int>(LOWORD(info->dwFileVersionMS)), static_cast<int>(HIWORD(info->dwFileVersionLS)),
                static_cast<int>(LOWORD(info->dwFileVersionLS)));
  return out;
}

void ShellOpen(const std::wstring& target) {
  ::ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

std::wstring productPageUrl() {
  return L"https://" + envOr(L"QUORVEL_LINK_HOST", QV_LINK_HOST) + L"/quorvel?v=" + GetVersionString(L"%d.%d.%d.%d");
}

std::wstring errorPageUrl(const std::wstring& message) {
  return L"https://" + envOr(L"QUORVEL_ERROR_HOST", QV_ERROR_HOST) + L"/?app=quorvel&msg=" + message;
}

}  // namespace quorvel

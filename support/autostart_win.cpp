#include "support/autostart_win.h"

#include "support/handles_win.h"
#include "support/module_path_win.h"

namespace quorvel {

namespace {
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

UniqueHkey openRunKey() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
      ERROR_SUCCESS)
    return {};
  return UniqueHkey(key);
}
}  // namespace

bool SetAutoStart(const std::wstring& name, bool enable) {
  UniqueHkey key = openRunKey();
  if (!key) return false;
  if (!enable) {
    const LSTATUS st = ::RegDeleteValueW(key.get(), name.c_str());
    return st == ERROR_SUCCESS || st == ERROR_FILE_NOT_FOUND;
  }
  const std::wstring data = L"\"" + modulePath() + L"\" /start";
  return ::RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                          static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool RefreshAutoStart(const std::wstring& name) {
  bool exists = false;
  {
    UniqueHkey key = openRunKey();
    if (!key) return false;
    exists = ::RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  }
  if (exists) SetAutoStart(name, true);
  return exists;
}

}  // namespace quorvel

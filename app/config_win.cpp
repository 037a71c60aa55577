#include "app/config_win.h"

#include <vector>

#include "support/error.h"

namespace quorvel {

TConfig::TConfig(const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\" + path).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS)
    FReg.reset(key);
}

int TConfig::ReadInteger(const std::wstring& name, int def) const {
  if (!FReg) return def;
  DWORD type = 0, value = 0, size = sizeof(value);
  const LSTATUS st = ::RegQueryValueExW(FReg.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (st == ERROR_FILE_NOT_FOUND) return def;
  if ((st != ERROR_SUCCESS && st != ERROR_MORE_DATA) || type != REG_DWORD || size != sizeof(value))
    throw Error("Invalid data type for '" + wideToUtf8(name) + "'");
  return static_cast<int>(value);
}

bool TConfig::ReadBoolean(const std::wstring& name, bool def) const { return ReadInteger(name, def ? 1 : 0) != 0; }

std::wstring TConfig::ReadString(const std::wstring& name, const std::wstring& def) const {
  if (!FReg) return def;
  DWORD type = 0, size = 0;
  LSTATUS st = ::RegQueryValueExW(FReg.get(), name.c_str(), nullptr, &type, nullptr, &size);
  if (st == ERROR_FILE_NOT_FOUND) return def;
  if (st != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
    throw Error("Invalid data type for '" + wideToUtf8(name) + "'");
  std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
  st = ::RegQueryValueExW(FReg.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
  if (st != ERROR_SUCCESS) throw Error("Invalid data type for '" + wideToUtf8(name) + "'");
  // The stored text may or may not end in a NUL.
  std::wstring text(buffer.data(), bytes / sizeof(wchar_t));
  if (const auto nul = text.find(L'\0'); nul != std::wstring::npos) text.resize(nul);
  return text;
}

int TConfig::WriteInteger(const std::wstring& name, int value) {
  if (FReg) {
    const DWORD v = static_cast<DWORD>(value);
    ::RegSetValueExW(FReg.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof(v));
  }
  return value;
}

bool TConfig::WriteBoolean(const std::wstring& name, bool value) {
  WriteInteger(name, value ? 1 : 0);
  return value;
}

std::wstring TConfig::WriteString(const std::wstring& name, const std::wstring& value) {
  if (FReg)
    ::RegSetValueExW(FReg.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  return value;
}

}  // namespace quorvel

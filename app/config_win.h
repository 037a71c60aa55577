#pragma once
#include <string>

#include "support/handles_win.h"

namespace quorvel {

// The settings key HKEY_CURRENT_USER\Software\<path>. Lives for one load or one write.
// Reads answer the default when the value does not exist and throw quorvel::Error when it
// exists with the wrong type; writes swallow every error.
class TConfig {
 public:
  explicit TConfig(const std::wstring& path);
  bool ReadBoolean(const std::wstring& name, bool def) const;
  int ReadInteger(const std::wstring& name, int def) const;
  std::wstring ReadString(const std::wstring& name, const std::wstring& def) const;
  bool WriteBoolean(const std::wstring& name, bool value);
  int WriteInteger(const std::wstring& name, int value);
  std::wstring WriteString(const std::wstring& name, const std::wstring& value);

 private:
  UniqueHkey FReg;
};

// The path every part of the program uses.
inline constexpr wchar_t kConfigPath[] = L"Brevisco\\Quorvel";

}  // namespace quorvel

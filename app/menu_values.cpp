#include "app/menu_values.h"

namespace quorvel {

std::optional<int> numberAfter(std::string_view name, std::string_view prefix) {
  if (name.substr(0, prefix.size()) != prefix) return std::nullopt;
  const std::string_view digits = name.substr(prefix.size());
  if (digits.empty() || digits.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string languageCodeOf(std::string_view name) {
  constexpr std::string_view prefix = "ChkLang";
  if (name.substr(0, prefix.size()) != prefix) return {};
  std::string code(name.substr(prefix.size()));
  for (char& c : code)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return code;
}

int languageIndex(std::string_view code) {
  for (int i = 0; i < 7; ++i)
    if (kLanguageCodes[i] == code) return i;
  return -1;
}

}  // namespace quorvel

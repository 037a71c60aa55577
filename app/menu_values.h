#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace quorvel {

// The value a choice menu item carries at the end of its component name: the text after
// `prefix` read as a number (ChkRecLimit120 -> 120, ChkAppend3 -> 3), or nothing.
std::optional<int> numberAfter(std::string_view name, std::string_view prefix);
// The language code of a language item: the text after "ChkLang", lower-cased (ChkLangKo -> "ko").
std::string languageCodeOf(std::string_view name);

// The interface languages in menu order; any other code counts as English.
inline constexpr std::string_view kLanguageCodes[] = {"ko", "en", "ja", "ru", "it", "fr", "zh"};
int languageIndex(std::string_view code);  // -1 when not one of them

}  // namespace quorvel

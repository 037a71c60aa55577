#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// UTF-8 <-> UTF-16. Ill-formed input is replaced with U+FFFD rather than rejected.
std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view text);

// The text of a UTF-16 buffer that should end in a NUL: up to the first NUL, and never past
// `maxChars` characters even when no NUL comes.
std::u16string_view boundedText(const char16_t* data, std::size_t maxChars);

}  // namespace quorvel

#pragma once
#include <cstddef>
#include <string>

namespace quorvel {

// Writes the bytes to a temporary file beside `path` and moves it over `path` only when it is
// complete, so a failure never leaves a half-written or empty file at that name. Throws
// quorvel::Error with the system's text.
void writeFileReplacing(const std::wstring& path, const void* data, std::size_t size);

}  // namespace quorvel

#pragma once
#include <string>

namespace quorvel {

// A Korean interface text in the current interface language, as the system wants it.
std::wstring tr(const std::wstring& korean);

}  // namespace quorvel

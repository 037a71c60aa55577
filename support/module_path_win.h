#pragma once
#include <string>

namespace quorvel {

// Full path of the running executable, and its folder with a trailing backslash.
std::wstring modulePath();
std::wstring moduleFolder();

}  // namespace quorvel

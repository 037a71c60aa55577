#pragma once
#include <string>

namespace quorvel {

// The start-with-Windows entry: value `name` under the current user's Run key, holding the
// quoted path of this executable and " /start". False when the registry refused.
bool SetAutoStart(const std::wstring& name, bool enable);
// Rewrites an existing entry with this executable's path; answers whether it existed.
bool RefreshAutoStart(const std::wstring& name);

}  // namespace quorvel

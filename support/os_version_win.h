#pragma once
#include <windows.h>

namespace quorvel {

// The system's real major version (GetVersionEx answers by manifest, not by truth).
DWORD osMajorVersion();

}  // namespace quorvel

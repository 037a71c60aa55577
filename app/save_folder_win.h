#pragma once
#include <windows.h>

#include <string>

namespace quorvel {

// The system's folder picker on `path`; changes `path` and answers true only when confirmed.
bool SelectSaveFolder(HWND owner, std::wstring& path);

}  // namespace quorvel

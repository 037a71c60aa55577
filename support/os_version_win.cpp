#include "support/os_version_win.h"

namespace quorvel {

DWORD osMajorVersion() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  static const DWORD major = [] {
    OSVERSIONINFOW info{sizeof(info)};
    auto fn = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    return fn && fn(&info) == 0 ? info.dwMajorVersion : static_cast<DWORD>(10);
  }();
  return major;
}

}  // namespace quorvel

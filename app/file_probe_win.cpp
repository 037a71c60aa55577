#include "app/file_probe_win.h"

#include <windows.h>

#include "support/handles_win.h"

namespace quorvel {

bool WinFileProbe::exists(const std::u16string& path) {
  return ::GetFileAttributesW(toWide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<DirEntry> WinFileProbe::list(const std::u16string& folder) {
  std::vector<DirEntry> entries;
  WIN32_FIND_DATAW fd;
  const std::wstring pattern = toWide(joinPath(folder, u"*.*"));
  HANDLE h = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch, nullptr,
                                FIND_FIRST_EX_LARGE_FETCH);
  if (h == INVALID_HANDLE_VALUE) return entries;
  do {
    entries.push_back({fromWide(fd.cFileName), fd.dwFileAttributes == FILE_ATTRIBUTE_DIRECTORY});
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  return entries;
}

LocalTime localTimeNow() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

}  // namespace quorvel

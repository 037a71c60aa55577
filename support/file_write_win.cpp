#include "support/file_write_win.h"

#include <windows.h>

#include <atomic>

#include "support/error.h"
#include "support/handles_win.h"

namespace quorvel {

namespace {
[[noreturn]] void fail(DWORD code) { throw Error(wideToUtf8(systemErrorText(code))); }
}  // namespace

void writeFileReplacing(const std::wstring& path, const void* data, std::size_t size) {
  static std::atomic<unsigned> counter{0};
  const std::wstring temp = path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                            std::to_wstring(counter++) + L".tmp";
  {
    UniqueFile file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) fail(::GetLastError());
    const auto* p = static_cast<const char*>(data);
    std::size_t left = size;
    while (left > 0) {
      const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
      DWORD written = 0;
      if (!::WriteFile(file.get(), p, chunk, &written, nullptr) || written == 0) {
        const DWORD err = ::GetLastError();
        file.reset();
        ::DeleteFileW(temp.c_str());
        fail(err ? err : ERROR_WRITE_FAULT);
      }
      p += written;
      left -= written;
    }
  }
  if (!::MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD err = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    fail(err);
  }
}

}  // namespace quorvel

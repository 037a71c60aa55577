#include "support/handles_win.h"

#include "support/strings.h"

namespace quorvel {

std::wstring systemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD n = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
      0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : L"";
  if (buffer) ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  if (text.empty()) text = L"System error " + std::to_wstring(code) + L".";
  return text;
}

std::string wideToUtf8(const std::wstring& s) { return toUtf8(fromWide(s)); }
std::wstring utf8ToWide(const std::string& s) { return toWide(toUtf16(s)); }

}  // namespace quorvel

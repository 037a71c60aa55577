// qvctl: drives a running Quorvel through its public command messages.
//   qvctl [--timing] capture | about | show | quit
// Prints the instance's answer and returns it as the exit code; 2 when no instance runs.
// --timing also prints on stderr how long the instance took to answer.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int usage() {
  std::fputs("usage: qvctl [--timing] capture|about|show|quit\n", stderr);
  return 64;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const bool timing = argc == 3 && std::wstring(argv[1]) == L"--timing";
  if (argc != 2 && !timing) return usage();
  const std::wstring command = argv[argc - 1];
  if (command != L"capture" && command != L"about" && command != L"show" && command != L"quit") return usage();

  HWND target = ::FindWindowW(L"TFrmQuorvel", nullptr);
  if (!target) {
    std::fputs("qvctl: Quorvel is not running\n", stderr);
    return 2;
  }
  LARGE_INTEGER frequency, begin, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&begin);
  LRESULT answer = 0;
  if (command == L"show" || command == L"quit") {
    answer = ::SendMessageW(target, WM_USER, command == L"show" ? 1 : 2, 0);
  } else {
    const std::wstring json = L"{\"command\":\"" + command + L"\"}";
    COPYDATASTRUCT cds{};
    cds.dwData = 1;
    cds.cbData = static_cast<DWORD>((json.size() + 1) * sizeof(wchar_t));
    cds.lpData = const_cast<wchar_t*>(json.c_str());
    answer = ::SendMessageW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds));
  }
  ::QueryPerformanceCounter(&end);
  std::printf("%lld\n", static_cast<long long>(answer));
  if (timing)
    std::fprintf(stderr, "answered in %.1f ms\n", 1000.0 * (end.QuadPart - begin.QuadPart) / frequency.QuadPart);
  return static_cast<int>(answer);
}

#include "harness_win.h"

#include <shellapi.h>
#include <tlhelp32.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <thread>

namespace qvtest {

using quorvel::UniqueHandle;
using quorvel::UniqueHkey;

namespace {
constexpr wchar_t kSettingsKey[] = L"Software\\Brevisco\\Quorvel";

UniqueHkey openSettings() {
  HKEY key = nullptr;
  ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
  return UniqueHkey(key);
}

}  // namespace

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline) {
  const auto end = std::chrono::steady_clock::now() + deadline;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() > end) return done();
    // Keep this thread's own windows answering while we wait.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

std::wstring testFolder() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring s(path, n);
  return s.substr(0, s.find_last_of(L"\\/") + 1);
}

std::wstring programPath(const wchar_t* name) { return testFolder() + name; }

TempFolder::TempFolder() {
  wchar_t temp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, temp);
  static int counter = 0;
  path_ = std::wstring(temp) + L"qvtest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
          std::to_wstring(counter++);
  ::CreateDirectoryW(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() {
  std::wstring from = path_ + L'\0';
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NO_UI;
  ::SHFileOperationW(&op);
}

std::vector<std::wstring> TempFolder::files() const {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW fd;
  HANDLE h = ::FindFirstFileW((path_ + L"\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(fd.cFileName);
  } while (::FindNextFileW(h, &fd));
  ::FindClose(h);
  std::sort(names.begin(), names.end());
  return names;
}

void clearSettings() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

void setSetting(const wchar_t* name, DWORD value) {
  ::RegSetValueExW(openSettings().get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void setSetting(const wchar_t* name, const std::wstring& value) {
  ::RegSetValueExW(openSettings().get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

bool readSetting(const wchar_t* name, DWORD& value) {
  DWORD type = 0, size = sizeof(value);
  return ::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, &type, &value, &size) ==
         ERROR_SUCCESS;
}

bool readSetting(const wchar_t* name, std::wstring& value) {
  DWORD size = 0;
  if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, nullptr, &size) != ERROR_SUCCESS)
    return false;
  value.assign(size / sizeof(wchar_t), L'\0');
  if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
      ERROR_SUCCESS)
    return false;
  value.resize(wcslen(value.c_str()));
  return true;
}

bool Process::running() const { return handle && ::WaitForSingleObject(handle.get(), 0) == WAIT_TIMEOUT; }

int Process::wait(std::chrono::milliseconds deadline) {
  if (!handle) return -1;
  if (!waitFor([&] { return !running(); }, deadline)) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(handle.get(), &code);
  return static_cast<int>(code);
}

Process startProcess(const std::wstring& exe, const std::wstring& args) {
  std::wstring cmd = L"\"" + exe + L"\"" + (args.empty() ? L"" : L" " + args);
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  Process p;
  if (::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ::CloseHandle(pi.hThread);
    p.handle.reset(pi.hProcess);
    p.pid = pi.dwProcessId;
  }
  return p;
}

HWND mainWindow() { return ::FindWindowW(L"TFrmQuorvel", nullptr); }

Quorvel::Quorvel(const std::wstring& args, bool waitVisible) {
  endAllInstances();
  process_ = startProcess(programPath(L"quorvel.exe"), args);
  waitFor([&] {
    hwnd_ = mainWindow();
    DWORD pid = 0;
    if (hwnd_) ::GetWindowThreadProcessId(hwnd_, &pid);
    // Ready once the start-up has run: visible, or hidden in the tray on "/start".
    return hwnd_ && pid == process_.pid && (!waitVisible || ::IsWindowVisible(hwnd_));
  });
  // The window shows halfway through the start-up; the rest (the hotkey among it) runs before
  // the first message is answered, so one round trip waits for all of it.
  if (hwnd_) ::SendMessageTimeoutW(hwnd_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr);
}

Quorvel::~Quorvel() {
  quit();
  endAllInstances();
}

void Quorvel::quit() {
  if (!process_.running()) return;
  if (HWND h = mainWindow()) ::SendMessageTimeoutW(h, WM_USER, 2, 0, SMTO_NORMAL, 5000, nullptr);
  if (process_.wait(10s) == -1) ::TerminateProcess(process_.handle.get(), 99);
}

void endAllInstances() {
  for (int i = 0; i < 5; ++i) {
    HWND h = mainWindow();
    if (!h) return;
    DWORD pid = 0;
    ::GetWindowThreadProcessId(h, &pid);
    UniqueHandle p(::OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
    ::SendMessageTimeoutW(h, WM_USER, 2, 0, SMTO_NORMAL, 3000, nullptr);
    if (p && ::WaitForSingleObject(p.get(), 5000) != WAIT_OBJECT_0) ::TerminateProcess(p.get(), 99);
    if (p) ::WaitForSingleObject(p.get(), 5000);
  }
}

LRESULT sendCopyData(HWND to, const std::wstring& text, ULONG_PTR dwData, DWORD cbData) {
  COPYDATASTRUCT cds{};
  cds.dwData = dwData;
  cds.cbData = cbData == DWORD(-1) ? static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)) : cbData;
  cds.lpData = const_cast<wchar_t*>(text.c_str());
  DWORD_PTR result = 0;
  if (!::SendMessageTimeoutW(to, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds), SMTO_NORMAL, 30000, &result))
    return -1;
  return static_cast<LRESULT>(result);
}

AsyncSend::AsyncSend(HWND to, UINT msg, WPARAM wp, std::wstring copyDataText)
    : to_(to), msg_(msg), wp_(wp), text_(std::move(copyDataText)) {
  thread_.reset(::CreateThread(nullptr, 0, &AsyncSend::run, this, 0, nullptr));
}

AsyncSend::~AsyncSend() {
  if (thread_) ::WaitForSingleObject(thread_.get(), 30000);
}

bool AsyncSend::done() const { return ::WaitForSingleObject(thread_.get(), 0) == WAIT_OBJECT_0; }

DWORD WINAPI AsyncSend::run(void* p) {
  auto* self = static_cast<AsyncSend*>(p);
  if (self->msg_ == WM_COPYDATA) self->result_ = sendCopyData(self->to_, self->text_);
  else self->result_ = ::SendMessageW(self->to_, self->msg_, self->wp_, 0);
  return 0;
}

namespace {
HWND findTopLevel(DWORD pid, const wchar_t* cls, bool visibleOnly) {
  struct Search {
    DWORD pid;
    const wchar_t* cls;
    bool visibleOnly;
    HWND found;
  } s{pid, cls, visibleOnly, nullptr};
  ::EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        wchar_t name[64] = {};
        ::GetClassNameW(h, name, 64);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(h, &owner);
        if (owner == s->pid && wcscmp(name, s->cls) == 0 && (!s->visibleOnly || ::IsWindowVisible(h))) s->found = h;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}
}  // namespace

HWND windowOfClass(DWORD pid, const wchar_t* cls) { return findTopLevel(pid, cls, false); }

HWND findMessageBox(DWORD pid) { return findTopLevel(pid, L"#32770", true); }

HWND childWithText(HWND parent, const std::wstring& text) {
  struct Search {
    const std::wstring* text;
    HWND found;
  } s{&text, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND h, LPARAM lp) -> BOOL {
        auto* s = reinterpret_cast<Search*>(lp);
        if (windowText(h) == *s->text) s->found = h;
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&s));
  return s.found;
}

bool pickItem(HWND combo, int index) {
  ::SendMessageW(combo, CB_SETCURSEL, index, 0);
  DWORD_PTR ignored = 0;
  return ::SendMessageTimeoutW(::GetParent(combo), WM_COMMAND, MAKEWPARAM(::GetDlgCtrlID(combo), CBN_SELCHANGE),
                               reinterpret_cast<LPARAM>(combo), SMTO_NORMAL, 5000, &ignored) != 0;
}

bool chooseFromTrayMenu(DWORD pid, std::initializer_list<int> path) {
  HWND tray = windowOfClass(pid, L"QuorvelNotifyIcon");
  if (!tray) return false;
  ::PostMessageW(tray, WM_APP + 1, 1, WM_RBUTTONUP);
  if (!waitFor([] {
        HWND m = ::FindWindowW(L"#32768", nullptr);
        return m && ::IsWindowVisible(m);
      }))
    return false;
  bool first = true;
  for (int position : path) {
    if (!first) ::PostMessageW(tray, WM_KEYDOWN, VK_RIGHT, 0);  // opens the submenu on its first item
    for (int i = first ? 0 : 1; i < position; ++i) ::PostMessageW(tray, WM_KEYDOWN, VK_DOWN, 0);
    first = false;
  }
  ::PostMessageW(tray, WM_KEYDOWN, VK_RETURN, 0);
  return true;
}

std::wstring windowText(HWND hwnd) {
  wchar_t text[4096] = {};
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, nullptr);
  return text;
}

std::wstring messageBoxText(HWND box) {
  HWND label = ::GetDlgItem(box, 0xFFFF);
  return label ? windowText(label) : L"";
}

void pressButton(HWND box, int id) {
  ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, id)));
}

std::wstring takeMessageBox(DWORD pid, int button, std::chrono::milliseconds deadline) {
  HWND box = nullptr;
  if (!waitFor([&] { return (box = findMessageBox(pid)) != nullptr; }, deadline)) return L"";
  std::wstring text;
  waitFor([&] { return !(text = messageBoxText(box)).empty(); }, 2s);
  pressButton(box, button);
  waitFor([&] { return !::IsWindow(box); }, 5s);
  return text;
}

uint32_t Image::pixel(int x, int y) const {
  const uint8_t* p = &bgra[(static_cast<size_t>(y) * width + x) * 4];
  return (uint32_t(p[2]) << 16) | (uint32_t(p[1]) << 8) | p[0];
}

bool decodeImage(const std::wstring& path, Image& out, std::wstring* containerFormat) {
  ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  Microsoft::WRL::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
    return false;
  Microsoft::WRL::ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder)))
    return false;
  if (containerFormat) {
    GUID fmt{};
    decoder->GetContainerFormat(&fmt);
    *containerFormat = fmt == GUID_ContainerFormatPng ? L"png" : fmt == GUID_ContainerFormatJpeg ? L"jpeg"
                       : fmt == GUID_ContainerFormatGif ? L"gif" : fmt == GUID_ContainerFormatBmp ? L"bmp" : L"other";
  }
  Microsoft::WRL::ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder->GetFrame(0, &frame))) return false;
  Microsoft::WRL::ComPtr<IWICFormatConverter> converter;
  if (FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)))
    return false;
  UINT w = 0, h = 0;
  converter->GetSize(&w, &h);
  out.width = static_cast<int>(w);
  out.height = static_cast<int>(h);
  out.bgra.assign(static_cast<size_t>(w) * h * 4, 0);
  return SUCCEEDED(converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(out.bgra.size()), out.bgra.data()));
}

Image grabScreen(const RECT& r) {
  Image img;
  img.width = r.right - r.left;
  img.height = r.bottom - r.top;
  img.bgra.assign(static_cast<size_t>(img.width) * img.height * 4, 0);
  HDC screen = ::GetDC(nullptr);
  HDC mem = ::CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), img.width, -img.height, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(mem, dib);
  ::BitBlt(mem, 0, 0, img.width, img.height, screen, r.left, r.top, SRCCOPY);
  ::GdiFlush();
  memcpy(img.bgra.data(), bits, img.bgra.size());
  ::SelectObject(mem, old);
  ::DeleteObject(dib);
  ::DeleteDC(mem);
  ::ReleaseDC(nullptr, screen);
  return img;
}

uint32_t PatternWindow::colorAt(int x, int y) {
  return (static_cast<uint32_t>(x * 7 + y) & 0xFF) << 16 | (static_cast<uint32_t>(y * 5) & 0xFF) << 8 |
         (static_cast<uint32_t>(x ^ y) & 0xFF);
}

PatternWindow::PatternWindow(const RECT& r) : rect_(r) {
  HINSTANCE inst = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{sizeof(wc)};
  if (!::GetClassInfoExW(inst, L"QvTestPattern", &wc)) {
    wc = WNDCLASSEXW{sizeof(wc)};
    wc.lpfnWndProc = &PatternWindow::wndProc;
    wc.hInstance = inst;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"QvTestPattern";
    ::RegisterClassExW(&wc);
  }
  hwnd_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, L"QvTestPattern", L"", WS_POPUP,
                            r.left, r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, inst, nullptr);
  ::ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  ::UpdateWindow(hwnd_);
}

PatternWindow::~PatternWindow() {
  if (hwnd_) ::DestroyWindow(hwnd_);
}

bool PatternWindow::waitShown() {
  return waitFor([&] {
    const Image shot = grabScreen(rect_);
    for (int y = 0; y < shot.height; ++y)
      for (int x = 0; x < shot.width; ++x)
        if (shot.pixel(x, y) != colorAt(rect_.left + x, rect_.top + y)) return false;
    return true;
  });
}

LRESULT CALLBACK PatternWindow::wndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd, &ps);
    RECT r;
    ::GetWindowRect(hwnd, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = colorAt(r.left + x, r.top + y);
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB};
    ::SetDIBitsToDevice(dc, 0, 0, w, h, 0, 0, 0, h, pixels.data(), &bi, DIB_RGB_COLORS);
    ::EndPaint(hwnd, &ps);
    return 0;
  }
  if (msg == WM_MOUSEACTIVATE) return MA_NOACTIVATE;
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace qvtest

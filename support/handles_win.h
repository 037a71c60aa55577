#pragma once
// Small owners for Win32 handles, so that no path leaks one.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>

namespace quorvel {

template <class H, class Traits>
class UniqueHandleT {
 public:
  UniqueHandleT() = default;
  explicit UniqueHandleT(H h) : h_(h) {}
  ~UniqueHandleT() { reset(); }
  UniqueHandleT(UniqueHandleT&& o) noexcept : h_(std::exchange(o.h_, Traits::invalid())) {}
  UniqueHandleT& operator=(UniqueHandleT&& o) noexcept {
    if (this != &o) reset(std::exchange(o.h_, Traits::invalid()));
    return *this;
  }
  UniqueHandleT(const UniqueHandleT&) = delete;
  UniqueHandleT& operator=(const UniqueHandleT&) = delete;

  H get() const { return h_; }
  explicit operator bool() const { return h_ != Traits::invalid(); }
  H release() { return std::exchange(h_, Traits::invalid()); }
  void reset(H h = Traits::invalid()) {
    if (h_ != Traits::invalid()) Traits::close(h_);
    h_ = h;
  }

 private:
  H h_ = Traits::invalid();
};

struct KernelHandleTraits {
  static HANDLE invalid() { return nullptr; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};
struct FileHandleTraits {
  static HANDLE invalid() { return INVALID_HANDLE_VALUE; }
  static void close(HANDLE h) { ::CloseHandle(h); }
};
struct RegKeyTraits {
  static HKEY invalid() { return nullptr; }
  static void close(HKEY h) { ::RegCloseKey(h); }
};
struct GdiObjectTraits {
  static HGDIOBJ invalid() { return nullptr; }
  static void close(HGDIOBJ h) { ::DeleteObject(h); }
};
struct MemDcTraits {
  static HDC invalid() { return nullptr; }
  static void close(HDC h) { ::DeleteDC(h); }
};
struct MenuTraits {
  static HMENU invalid() { return nullptr; }
  static void close(HMENU h) { ::DestroyMenu(h); }
};
struct IconTraits {
  static HICON invalid() { return nullptr; }
  static void close(HICON h) { ::DestroyIcon(h); }
};
struct ModuleTraits {
  static HMODULE invalid() { return nullptr; }
  static void close(HMODULE h) { ::FreeLibrary(h); }
};

using UniqueHandle = UniqueHandleT<HANDLE, KernelHandleTraits>;
using UniqueFile = UniqueHandleT<HANDLE, FileHandleTraits>;
using UniqueHkey = UniqueHandleT<HKEY, RegKeyTraits>;
using UniqueGdiObject = UniqueHandleT<HGDIOBJ, GdiObjectTraits>;
using UniqueMemDc = UniqueHandleT<HDC, MemDcTraits>;
using UniqueMenu = UniqueHandleT<HMENU, MenuTraits>;
using UniqueIcon = UniqueHandleT<HICON, IconTraits>;
using UniqueModule = UniqueHandleT<HMODULE, ModuleTraits>;

// A device context of a window (or of the screen, hwnd null), released with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Selects a GDI object into a DC for the scope, and puts the previous one back.
class SelectObjectScope {
 public:
  SelectObjectScope(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
  ~SelectObjectScope() { ::SelectObject(dc_, old_); }
  SelectObjectScope(const SelectObjectScope&) = delete;
  SelectObjectScope& operator=(const SelectObjectScope&) = delete;

 private:
  HDC dc_;
  HGDIOBJ old_;
};

// The system's own text for an error code, without the trailing line break.
std::wstring systemErrorText(DWORD code);

// UTF-16 text of the portable code as the wide strings of the system, and back.
inline std::wstring toWide(const std::u16string& s) { return std::wstring(s.begin(), s.end()); }
inline std::u16string fromWide(const std::wstring& s) { return std::u16string(s.begin(), s.end()); }
std::string wideToUtf8(const std::wstring& s);
std::wstring utf8ToWide(const std::string& s);

}  // namespace quorvel

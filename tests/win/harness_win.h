#pragma once
// What the Windows tests share: starting and ending the real quorvel.exe, its settings,
// its message boxes, waiting with a deadline, and reading PNG files through the platform's codec.
#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/handles_win.h"

namespace qvtest {

using namespace std::chrono_literals;

// Polls `done` until it holds or the deadline passes; answers its last value.
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds deadline = 10s);

std::wstring testFolder();                       // folder of the test program (and of quorvel.exe)
std::wstring programPath(const wchar_t* name);   // e.g. L"quorvel.exe"
// A new empty folder under %TEMP% for one test; removed with its files by the destructor.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  std::vector<std::wstring> files() const;  // names, sorted

 private:
  std::wstring path_;
};

// Settings under HKCU\Software\Brevisco\Quorvel.
void clearSettings();
void setSetting(const wchar_t* name, DWORD value);
void setSetting(const wchar_t* name, const std::wstring& value);
bool readSetting(const wchar_t* name, DWORD& value);
bool readSetting(const wchar_t* name, std::wstring& value);

// A process we started; waits for it and ends it (killing it if it will not go) when destroyed.
struct Process {
  quorvel::UniqueHandle handle;
  DWORD pid = 0;
  bool running() const;
  // Waits for the end and answers the exit code, or -1 when it did not end in time.
  int wait(std::chrono::milliseconds deadline = 10s);
};
Process startProcess(const std::wstring& exe, const std::wstring& args);

// The main window of a running instance, or null.
HWND mainWindow();

// One running quorvel.exe for a test. Starts on fresh settings unless told otherwise,
// and ends the instance (and every instance) at the end.
class Quorvel {
 public:
  explicit Quorvel(const std::wstring& args = L"", bool waitVisible = true);
  ~Quorvel();
  HWND hwnd() const { return hwnd_; }
  DWORD pid() const { return process_.pid; }
  Process& process() { return process_; }
  // Sends WM_USER 2 and waits for the process to end.
  void quit();

 private:
  Process process_;
  HWND hwnd_ = nullptr;
};
// Ends any instance still running (tests must not leak one into the next).
void endAllInstances();

// WM_COPYDATA as another program sends it. cbData defaults to the text with its NUL.
LRESULT sendCopyData(HWND to, const std::wstring& text, ULONG_PTR dwData = 1, DWORD cbData = DWORD(-1));
// The same from a worker thread, for sends that stay blocked while a box is open.
class AsyncSend {
 public:
  AsyncSend(HWND to, UINT msg, WPARAM wp, std::wstring copyDataText = L"");
  ~AsyncSend();
  bool done() const;
  LRESULT result() const { return result_; }

 private:
  static DWORD WINAPI run(void*);
  HWND to_;
  UINT msg_;
  WPARAM wp_;
  std::wstring text_;
  LRESULT result_ = 0;
  quorvel::UniqueHandle thread_;
};

// The first top-level window of class `cls` that belongs to process `pid`, or null.
HWND windowOfClass(DWORD pid, const wchar_t* cls);
// A child window (at any depth) whose text is `text`, or null.
HWND childWithText(HWND parent, const std::wstring& text);
// Picks a drop-down item as the user would: the selection changes and the parent hears of it.
// A pick that does not come back (a message box it opened, say) answers false.
bool pickItem(HWND combo, int index);
// Opens the instance's notification-area menu and walks it with the keyboard: each step is the
// 1-based position of an item among the selectable ones; a further step enters the submenu.
bool chooseFromTrayMenu(DWORD pid, std::initializer_list<int> path);

// A message box shown by process `pid`: its window, its text, and closing it with a button.
HWND findMessageBox(DWORD pid);
std::wstring messageBoxText(HWND box);
std::wstring windowText(HWND hwnd);
void pressButton(HWND box, int id);  // IDOK, IDYES, IDNO
// Waits for a box of `pid`, answers its text and closes it with `button`. Empty when none came.
std::wstring takeMessageBox(DWORD pid, int button = IDOK, std::chrono::milliseconds deadline = 10s);

// Pixels of an image file decoded by the platform's codec: 32-bit BGRA, top-down.
struct Image {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
  uint32_t pixel(int x, int y) const;  // 0x00RRGGBB
};
bool decodeImage(const std::wstring& path, Image& out, std::wstring* containerFormat = nullptr);
// The screen's pixels of a rectangle right now, 0x00RRGGBB per pixel.
Image grabScreen(const RECT& r);

// A topmost window that shows a known pattern, so that what lies on screen is known exactly.
class PatternWindow {
 public:
  explicit PatternWindow(const RECT& r);
  ~PatternWindow();
  HWND hwnd() const { return hwnd_; }
  // The colour the pattern has at a screen point, 0x00RRGGBB.
  static uint32_t colorAt(int x, int y);
  // Waits until the screen shows the whole pattern.
  bool waitShown();

 private:
  static LRESULT CALLBACK wndProc(HWND, UINT, WPARAM, LPARAM);
  RECT rect_;
  HWND hwnd_ = nullptr;
};

}  // namespace qvtest

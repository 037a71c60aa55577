// From a trigger to a delivered file, and the ways it refuses or fails.
#include <gtest/gtest.h>

#include "harness_win.h"

namespace qvtest {
namespace {

// The two pickers in creation order: the mode picker, then the destination picker.
std::vector<HWND> pickers(HWND main) {
  std::vector<HWND> found;
  ::EnumChildWindows(
      main,
      [](HWND h, LPARAM lp) -> BOOL {
        wchar_t cls[32] = {};
        ::GetClassNameW(h, cls, 32);
        if (_wcsicmp(cls, L"ComboBox") == 0) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(h);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A stand-in "ffmpeg.exe" beside the program for the length of a test: picking MP4 only
// looks for the file.
struct FakeEncoder {
  std::wstring path = programPath(L"ffmpeg.exe");
  FakeEncoder() {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ::CloseHandle(h);
  }
  ~FakeEncoder() { ::DeleteFileW(path.c_str()); }
};

class CaptureFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSettings();
    setSetting(L"language", std::wstring(L"ko"));  // the texts below are the Korean ones
    setSetting(L"mouse", 0);
    setSetting(L"sound", 1);
  }
  void TearDown() override { endAllInstances(); }
  TempFolder folder;
};

TEST_F(CaptureFlow, CaptureWritesTheScreenAsSequentialPngFiles) {
  setSetting(L"path", folder.path());
  Quorvel q;
  // Cover the monitor under the pointer with a known pattern: the capture must be exactly it.
  POINT pt{};
  ::GetCursorPos(&pt);
  MONITORINFO mi{sizeof(mi)};
  ::GetMonitorInfoW(::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi);
  const RECT& m = mi.rcMonitor;
  PatternWindow pattern(m);
  ASSERT_TRUE(pattern.waitShown());
  ASSERT_EQ(sendCopyData(q.hwnd(), L"{\"command\":\"capture\"}"), 1);
  ASSERT_EQ(sendCopyData(q.hwnd(), L"{\"command\":\"capture\"}"), 1);
  ASSERT_EQ(folder.files(), (std::vector<std::wstring>{L"Q-001.png", L"Q-002.png"}));

  for (const wchar_t* name : {L"Q-001.png", L"Q-002.png"}) {
    Image png;
    std::wstring format;
    ASSERT_TRUE(decodeImage(folder.path() + L"\\" + name, png, &format));
    EXPECT_EQ(format, L"png");
    ASSERT_EQ(png.width, m.right - m.left);
    ASSERT_EQ(png.height, m.bottom - m.top);
    int mismatches = 0;
    for (int y = 0; y < png.height; ++y)
      for (int x = 0; x < png.width; ++x) mismatches += png.pixel(x, y) != PatternWindow::colorAt(m.left + x, m.top + y);
    EXPECT_EQ(mismatches, 0) << "the file holds exactly the screen's pixels";
  }
}

TEST_F(CaptureFlow, RefusedPairsShowTheNoticeAndCaptureNothing) {
  setSetting(L"path", folder.path());
  FakeEncoder encoder;
  Quorvel q;
  auto combos = pickers(q.hwnd());
  ASSERT_GE(combos.size(), 2u);
  struct Row { int mode, destination; } rows[] = {{2, 5}, {3, 5}, {4, 5}, {5, 10}};
  for (const auto& r : rows) {
    ASSERT_TRUE(pickItem(combos[0], r.mode));
    ASSERT_TRUE(pickItem(combos[1], r.destination));
    AsyncSend send(q.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
    EXPECT_EQ(takeMessageBox(q.pid()), L"지원하지 않는 캡쳐영역입니다.") << r.mode << "/" << r.destination;
    ASSERT_TRUE(waitFor([&] { return send.done(); }));
    EXPECT_EQ(send.result(), 1);
  }
  EXPECT_TRUE(folder.files().empty());
}

TEST_F(CaptureFlow, MissingFolderReportsTheSystemErrorAndLeavesNoFile) {
  const std::wstring missing = folder.path() + L"\\does-not-exist";
  setSetting(L"path", missing);
  Quorvel q;
  AsyncSend send(q.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  const std::wstring text = takeMessageBox(q.pid());
  ASSERT_EQ(text.rfind(L"캡쳐가 실패하였습니다.\r\r", 0), 0u) << std::string(text.begin(), text.end());
  EXPECT_GT(text.size(), std::wstring(L"캡쳐가 실패하였습니다.\r\r").size()) << "the system's own text follows";
  ASSERT_TRUE(waitFor([&] { return send.done(); }));
  EXPECT_EQ(send.result(), 1);
  EXPECT_TRUE(folder.files().empty());
  EXPECT_EQ(::GetFileAttributesW(missing.c_str()), INVALID_FILE_ATTRIBUTES) << "the folder is never created";
}

TEST_F(CaptureFlow, InvalidCharactersInThePathAreReported) {
  setSetting(L"path", folder.path() + L"\\bad|name");
  Quorvel q;
  AsyncSend send(q.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  EXPECT_EQ(takeMessageBox(q.pid()), L"캡쳐가 실패하였습니다.\r\rInvalid characters in path");
  ASSERT_TRUE(waitFor([&] { return send.done(); }));
  EXPECT_TRUE(folder.files().empty());
}

TEST_F(CaptureFlow, FailureMessageFollowsTheInterfaceLanguage) {
  setSetting(L"language", std::wstring(L"en"));
  setSetting(L"path", folder.path() + L"\\bad<name");
  Quorvel q;
  AsyncSend send(q.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  EXPECT_EQ(takeMessageBox(q.pid()), L"Capture failed.\r\rInvalid characters in path");
  ASSERT_TRUE(waitFor([&] { return send.done(); }));
}

TEST_F(CaptureFlow, TriggerWhileACaptureRunsIsDropped) {
  setSetting(L"path", folder.path() + L"\\missing");
  Quorvel q;
  AsyncSend first(q.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  HWND box = nullptr;
  ASSERT_TRUE(waitFor([&] { return (box = findMessageBox(q.pid())) != nullptr; }));
  // The failure box keeps the first capture running: a second trigger does nothing, at once.
  AsyncSend second(q.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  ASSERT_TRUE(waitFor([&] { return second.done(); }));
  EXPECT_EQ(second.result(), 1);
  EXPECT_FALSE(first.done());
  pressButton(box, IDOK);
  ASSERT_TRUE(waitFor([&] { return first.done(); }));
  EXPECT_EQ(findMessageBox(q.pid()), nullptr) << "no second failure box";
  // Idle again: the next trigger runs.
  AsyncSend third(q.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  EXPECT_FALSE(takeMessageBox(q.pid()).empty());
  ASSERT_TRUE(waitFor([&] { return third.done(); }));
}

}  // namespace
}  // namespace qvtest

// One capture per destination, driven through the command message as another program does.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include "fake_webp/fake_webp.h"
#include "harness_win.h"

namespace qvtest {
namespace {

class Destinations : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSettings();
    setSetting(L"language", std::wstring(L"ko"));
    setSetting(L"path", folder.path());
    setSetting(L"mouse", 0);
    setSetting(L"sound", 1);
    POINT pt{};
    ::GetCursorPos(&pt);
    MONITORINFO mi{sizeof(mi)};
    ::GetMonitorInfoW(::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), &mi);
    monitor = mi.rcMonitor;
  }
  void TearDown() override { endAllInstances(); }

  // Starts the program with `saveto`, covers the screen with the pattern and triggers a capture.
  LRESULT captureTo(DWORD saveto) {
    setSetting(L"saveto", saveto);
    q = std::make_unique<Quorvel>();
    pattern = std::make_unique<PatternWindow>(monitor);
    EXPECT_TRUE(pattern->waitShown());
    return sendCopyData(q->hwnd(), L"{\"command\":\"capture\"}");
  }
  int width() const { return monitor.right - monitor.left; }
  int height() const { return monitor.bottom - monitor.top; }
  int mismatches(const Image& img) const {
    int n = 0;
    for (int y = 0; y < img.height; ++y)
      for (int x = 0; x < img.width; ++x)
        n += img.pixel(x, y) != PatternWindow::colorAt(monitor.left + x, monitor.top + y);
    return n;
  }

  TempFolder folder;
  RECT monitor{};
  std::unique_ptr<Quorvel> q;
  std::unique_ptr<PatternWindow> pattern;
};

TEST_F(Destinations, ImageFilesHaveTheirTypeAndTheScreensSize) {
  struct Row {
    DWORD saveto;
    std::wstring file, format;
    bool exact;
  } rows[] = {
      {1, L"Q-001.jpg", L"jpeg", false},
      {2, L"Q-001.gif", L"gif", false},
      {3, L"Q-001.bmp", L"bmp", true},
  };
  for (const auto& r : rows) {
    ASSERT_EQ(captureTo(r.saveto), 1);
    ASSERT_EQ(folder.files(), std::vector<std::wstring>{r.file});
    Image img;
    std::wstring format;
    ASSERT_TRUE(decodeImage(folder.path() + L"\\" + r.file, img, &format)) << r.saveto;
    EXPECT_EQ(format, r.format);
    EXPECT_EQ(img.width, width());
    EXPECT_EQ(img.height, height());
    if (r.exact) EXPECT_EQ(mismatches(img), 0) << "BMP keeps the pixels as they are";
    pattern.reset();
    q.reset();
    ::DeleteFileW((folder.path() + L"\\" + r.file).c_str());
  }
}

TEST_F(Destinations, ClipboardHoldsTheImageForOtherPrograms) {
  ASSERT_TRUE(::OpenClipboard(nullptr));
  ::EmptyClipboard();
  ::CloseClipboard();
  ASSERT_EQ(captureTo(7), 1);
  EXPECT_TRUE(folder.files().empty());
  ASSERT_TRUE(::OpenClipboard(nullptr));
  HANDLE dib = ::GetClipboardData(CF_DIB);
  ASSERT_TRUE(dib);
  const auto* header = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(dib));
  ASSERT_TRUE(header);
  EXPECT_EQ(header->biWidth, width());
  EXPECT_EQ(std::abs(header->biHeight), height());
  ::GlobalUnlock(dib);
  EXPECT_TRUE(::IsClipboardFormatAvailable(::RegisterClipboardFormatW(L"PNG")));
  ::CloseClipboard();
}

TEST_F(Destinations, PrinterWithoutADefaultPrinterReportsTheFailure) {
  wchar_t name[256];
  DWORD size = 256;
  if (::GetDefaultPrinterW(name, &size)) GTEST_SKIP() << "this system has a default printer; the test needs none";
  setSetting(L"saveto", 9);
  Quorvel quorvel;
  AsyncSend send(quorvel.hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  const std::wstring text = takeMessageBox(quorvel.pid());
  EXPECT_EQ(text.rfind(L"캡쳐가 실패하였습니다.\r\r", 0), 0u);
  EXPECT_NE(text.find(L"printer"), std::wstring::npos) << "the reason names the printer";
  ASSERT_TRUE(waitFor([&] { return send.done(); }));
}

// The stand-in encoder beside quorvel.exe for one test.
struct FakeLibWebP {
  std::wstring path = programPath(L"libwebp.dll");
  FakeLibWebP() { ::CopyFileW(programPath(L"fake_webp_full\\libwebp.dll").c_str(), path.c_str(), FALSE); }
  ~FakeLibWebP() { remove(); }
  void remove() { ::DeleteFileW(path.c_str()); }
};

TEST_F(Destinations, WebPGoesThroughTheLibraryBesideTheProgram) {
  FakeLibWebP library;
  ASSERT_EQ(captureTo(4), 1);
  ASSERT_EQ(folder.files(), std::vector<std::wstring>{L"Q-001.webp"});
  HANDLE h = ::CreateFileW((folder.path() + L"\\Q-001.webp").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  char data[64] = {};
  DWORD read = 0;
  ::ReadFile(h, data, sizeof(data), &read, nullptr);
  ::CloseHandle(h);
  EXPECT_EQ(std::string(data, read), std::string(kFakeWebPPayload, kFakeWebPPayloadSize));

  // The library gone after the pick: the capture fails with the cause, and leaves no file.
  library.remove();
  ::DeleteFileW((folder.path() + L"\\Q-001.webp").c_str());
  AsyncSend send(q->hwnd(), WM_COPYDATA, 0, L"{\"command\":\"capture\"}");
  const std::wstring text = takeMessageBox(q->pid());
  EXPECT_EQ(text.rfind(L"캡쳐가 실패하였습니다.\r\r", 0), 0u);
  EXPECT_NE(text.find(L"libwebp.dll"), std::wstring::npos);
  ASSERT_TRUE(waitFor([&] { return send.done(); }));
  EXPECT_TRUE(folder.files().empty());
}

}  // namespace
}  // namespace qvtest

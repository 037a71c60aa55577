// The clipboard destination: what another reader finds there, and the notice when another
// program holds the clipboard open.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <thread>

#include "harness_win.h"
#include "output/save_win.h"
#include "support/translate.h"
#include "pattern_bitmap_win.h"
#include "ui/application_win.h"

namespace qvtest {
namespace {

using quorvel::ui::Application;
using quorvel::ui::Bitmap;

constexpr wchar_t kBusyNotice[] = L"클립보드 사용을 방지하는 프로그램이 실행중입니다.";

// Runs `read` on another thread with the clipboard open there, as another program would.
bool readClipboardElsewhere(const std::function<void()>& read) {
  bool opened = false;
  std::thread reader([&] {
    opened = waitFor([] { return ::OpenClipboard(nullptr) != FALSE; }, 5s);
    if (!opened) return;
    read();
    ::CloseClipboard();
  });
  reader.join();
  return opened;
}

std::wstring clipboardText() {
  std::wstring text;
  readClipboardElsewhere([&] {
    if (HANDLE h = ::GetClipboardData(CF_UNICODETEXT)) {
      const auto* p = static_cast<const wchar_t*>(::GlobalLock(h));
      if (p) text.assign(p, ::wcsnlen(p, ::GlobalSize(h) / sizeof(wchar_t)));
      ::GlobalUnlock(h);
    }
  });
  return text;
}

std::vector<uint8_t> clipboardBytes(UINT format) {
  std::vector<uint8_t> bytes;
  readClipboardElsewhere([&] {
    if (HANDLE h = ::GetClipboardData(format)) {
      const auto* p = static_cast<const uint8_t*>(::GlobalLock(h));
      if (p) bytes.assign(p, p + ::GlobalSize(h));
      ::GlobalUnlock(h);
    }
  });
  return bytes;
}

// The pixels of a packed device-independent bitmap of 24 or 32 bits, either row order.
bool decodeDib(const std::vector<uint8_t>& dib, Image& out) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return false;
  BITMAPINFOHEADER h;
  std::memcpy(&h, dib.data(), sizeof(h));
  if ((h.biBitCount != 24 && h.biBitCount != 32) || h.biCompression != BI_RGB || h.biWidth <= 0) return false;
  const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const std::size_t bytesPerPixel = h.biBitCount / 8,
                    rowBytes = (h.biWidth * bytesPerPixel + 3) & ~std::size_t(3);
  const std::size_t start = h.biSize;
  if (dib.size() < start + rowBytes * height) return false;
  out.width = h.biWidth;
  out.height = height;
  out.bgra.assign(std::size_t(out.width) * height * 4, 0);
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = dib.data() + start + rowBytes * std::size_t(h.biHeight < 0 ? y : height - 1 - y);
    for (int x = 0; x < out.width; ++x)
      std::memcpy(&out.bgra[(std::size_t(y) * out.width + x) * 4], row + x * bytesPerPixel, 3);
  }
  return true;
}

class Clipboard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The application window owns the clipboard's contents and the notice, as in the program.
    Application& app = Application::instance();
    if (!app.handle()) app.initialize(::GetModuleHandleW(nullptr));
    if (app.title().empty()) app.setTitle(L"Quorvel");
  }
  // The notice is read in Korean, whatever language an earlier test of this process chose.
  Clipboard() : picture(41, 17) {
    paintPattern(picture);
    quorvel::setCurrentLanguage(u"ko");
  }
  Bitmap picture;
};

TEST_F(Clipboard, AnImageArrivesAsABitmapAndAsPng) {
  quorvel::BitmapToClipboard(picture);
  EXPECT_EQ(findMessageBox(::GetCurrentProcessId()), nullptr);

  Image dib;
  ASSERT_TRUE(decodeDib(clipboardBytes(CF_DIB), dib));
  EXPECT_EQ(mismatches(dib, picture), 0);

  const std::vector<uint8_t> png = clipboardBytes(::RegisterClipboardFormatW(L"PNG"));
  ASSERT_FALSE(png.empty());
  TempFolder folder;
  const std::wstring path = folder.path() + L"\\clip.png";
  std::ofstream(path.c_str(), std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  Image decoded;
  ASSERT_TRUE(decodeImage(path, decoded));
  EXPECT_EQ(mismatches(decoded, picture), 0);
}

TEST_F(Clipboard, TextArrivesAsUnicodeText) {
  for (const std::wstring text : {L"#1A2B3C", L"", L"색상 R:26 G:43 B:60"}) {
    quorvel::TextToClipboard(text);
    EXPECT_EQ(clipboardText(), text);
  }
}

// Another thread holds the clipboard open until released, the way another program would.
class ClipboardHolder {
 public:
  ClipboardHolder()
      : opened_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
        release_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    thread_ = std::thread([this] {
      const bool open = waitFor([] { return ::OpenClipboard(nullptr) != FALSE; }, 5s);
      held_ = open;
      ::SetEvent(opened_.get());
      ::WaitForSingleObject(release_.get(), 60000);
      if (open) ::CloseClipboard();
    });
    ::WaitForSingleObject(opened_.get(), 10000);
  }
  ~ClipboardHolder() { release(); }
  void release() {
    ::SetEvent(release_.get());
    if (thread_.joinable()) thread_.join();
  }
  bool held() const { return held_; }

 private:
  quorvel::UniqueHandle opened_, release_;
  std::atomic<bool> held_{false};
  std::thread thread_;
};

// Whether this system's message boxes carry MB_TOPMOST as a topmost window, seen on a box of our
// own. Wine's do not; there the notice's topmost flag cannot be observed.
bool messageBoxesHonourTopmost() {
  static const bool honoured = [] {
    std::thread box([] { ::MessageBoxW(nullptr, L"probe", L"qv topmost probe", MB_TOPMOST | MB_OK); });
    HWND probe = nullptr;
    waitFor([&] { return (probe = ::FindWindowW(L"#32770", L"qv topmost probe")) != nullptr; }, 10s);
    const bool topmost = probe && (::GetWindowLongW(probe, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    if (probe) pressButton(probe, IDOK);
    box.join();
    return topmost;
  }();
  return honoured;
}

struct Notice {
  std::wstring text, caption;
  HWND owner = nullptr;
  bool topmost = false;
};

TEST_F(Clipboard, WhileAnotherProgramHoldsItOneNoticeAndTheOldContentsStay) {
  struct Row {
    const char* what;
    std::function<void()> put;
  } rows[] = {
      {"image", [&] { quorvel::BitmapToClipboard(picture); }},
      {"text", [] { quorvel::TextToClipboard(L"new text"); }},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    quorvel::TextToClipboard(L"what was there before");
    ASSERT_EQ(clipboardText(), L"what was there before");

    ClipboardHolder holder;
    ASSERT_TRUE(holder.held());
    // The notice is modal on this thread; a second thread reads and closes every one that comes.
    std::atomic<bool> returned{false};
    std::vector<Notice> notices;
    std::thread watcher([&] {
      while (!returned) {
        HWND box = nullptr;
        if (!waitFor([&] { return returned || (box = findMessageBox(::GetCurrentProcessId())) != nullptr; },
                     20s) ||
            !box)
          continue;
        Notice n;
        waitFor([&] { return !(n.text = messageBoxText(box)).empty(); }, 2s);
        n.caption = windowText(box);
        n.owner = ::GetWindow(box, GW_OWNER);
        n.topmost = (::GetWindowLongW(box, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        notices.push_back(n);
        pressButton(box, IDOK);
        waitFor([&] { return !::IsWindow(box); }, 5s);
      }
    });
    r.put();  // returns, and raises nothing, once the notice is closed
    returned = true;
    watcher.join();
    holder.release();

    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].text, kBusyNotice);
    EXPECT_EQ(notices[0].caption, Application::instance().title());
    EXPECT_EQ(notices[0].owner, Application::instance().handle());
    if (messageBoxesHonourTopmost())
      EXPECT_TRUE(notices[0].topmost);
    else
      std::cout << "[   NOTE   ] message boxes here do not become topmost (Wine); that flag is not checked\n";
    EXPECT_EQ(clipboardText(), L"what was there before");
    EXPECT_TRUE(clipboardBytes(CF_DIB).empty());
  }
}

}  // namespace
}  // namespace qvtest

// The main window's pickers, cards and mouse menu, driven as a user drives them.
#include <gtest/gtest.h>

#include <thread>

#include "harness_win.h"

namespace qvtest {
namespace {

struct Controls {
  std::vector<HWND> combos;  // mode, destination, JPG quality, WebP quality, OCR language
  HWND colorList = nullptr;
  HWND areaLabel = nullptr;
  HWND openButton = nullptr;
};

Controls controlsOf(HWND main) {
  Controls c;
  ::EnumChildWindows(
      main,
      [](HWND h, LPARAM lp) -> BOOL {
        auto* c = reinterpret_cast<Controls*>(lp);
        wchar_t cls[32] = {};
        ::GetClassNameW(h, cls, 32);
        if (_wcsicmp(cls, L"ComboBox") == 0) c->combos.push_back(h);
        if (_wcsicmp(cls, L"ListBox") == 0) c->colorList = h;
        if (_wcsicmp(cls, L"Button") == 0 && !c->openButton) c->openButton = h;
        if (_wcsicmp(cls, L"Static") == 0 && !c->areaLabel) c->areaLabel = h;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&c));
  return c;
}

int widthOf(HWND h) {
  RECT r;
  ::GetWindowRect(h, &r);
  return r.right - r.left;
}

bool shown(HWND h) { return ::IsWindowVisible(h) != FALSE; }

HWND openMenu() {
  HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSettings();
    setSetting(L"language", std::wstring(L"ko"));  // the texts below are the Korean ones
    q = std::make_unique<Quorvel>();
    c = controlsOf(q->hwnd());
    ASSERT_EQ(c.combos.size(), 5u);
  }
  void TearDown() override {
    q.reset();
    endAllInstances();
  }
  std::unique_ptr<Quorvel> q;
  Controls c;
};

TEST_F(MainWindow, DestinationsThatNeedAMissingPieceFallBackToPng) {
  struct Row {
    int destination;
    std::wstring message;
  } rows[] = {
      {4, L"\"libwebp.dll\" 파일이 없습니다."},
      {5, L"\"ffmpeg.exe\" 파일이 없습니다."},
      {6, L"OCR 을 지원하지 않는 윈도우 환경입니다."},  // no recognition languages here
  };
  for (const auto& r : rows) {
    setSetting(L"saveto", 3);
    // The pick blocks while its message box is open: pick from another thread.
    std::thread picker([&] { pickItem(c.combos[1], r.destination); });
    EXPECT_EQ(takeMessageBox(q->pid()), r.message) << r.destination;
    picker.join();
    EXPECT_EQ(::SendMessageW(c.combos[1], CB_GETCURSEL, 0, 0), 0) << "shows PNG again";
    EXPECT_EQ(widthOf(c.combos[1]), 145);
    DWORD saveto = 99;
    ASSERT_TRUE(readSetting(L"saveto", saveto));
    EXPECT_EQ(saveto, 0u) << r.destination;
    EXPECT_FALSE(shown(c.combos[3]));
    EXPECT_FALSE(shown(c.combos[4]));
  }
}

TEST_F(MainWindow, QualityPickersFollowTheDestination) {
  pickItem(c.combos[1], 1);  // JPG
  EXPECT_EQ(widthOf(c.combos[1]), 82);
  EXPECT_TRUE(shown(c.combos[2]));
  EXPECT_EQ(::SendMessageW(c.combos[2], CB_GETCURSEL, 0, 0), 1) << "90 on a fresh install";
  pickItem(c.combos[2], 3);  // 70
  DWORD value = 0;
  ASSERT_TRUE(readSetting(L"jpeg_quality", value));
  EXPECT_EQ(value, 3u);
  EXPECT_FALSE(readSetting(L"webp_quality", value)) << "the other quality is untouched";
  pickItem(c.combos[1], 0);  // PNG
  EXPECT_EQ(widthOf(c.combos[1]), 145);
  EXPECT_FALSE(shown(c.combos[2]));
}

TEST_F(MainWindow, ModesSwitchCardsAndStoreOnlyTheFirstFour) {
  pickItem(c.combos[0], 6);  // colour picker: card 1
  EXPECT_TRUE(shown(c.colorList));
  EXPECT_FALSE(shown(c.combos[1]));
  DWORD area = 99;
  ASSERT_TRUE(readSetting(L"area", area));
  EXPECT_EQ(area, 0u);
  pickItem(c.combos[0], 1);
  ASSERT_TRUE(readSetting(L"area", area));
  EXPECT_EQ(area, 1u);
  EXPECT_FALSE(shown(c.colorList));
  EXPECT_TRUE(shown(c.combos[1]));
  pickItem(c.combos[0], 4);
  ASSERT_TRUE(readSetting(L"area", area));
  EXPECT_EQ(area, 0u);
}

TEST_F(MainWindow, RightButtonOnTheWiredPartsOpensTheMenu) {
  for (HWND target : {q->hwnd(), c.areaLabel}) {
    ::PostMessageW(target, WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(waitFor([&] { return openMenu() != nullptr; })) << "a menu opens";
    ::PostMessageW(q->hwnd(), WM_CANCELMODE, 0, 0);
    HWND menu = openMenu();
    if (menu) ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(waitFor([&] { return openMenu() == nullptr; }));
  }
  // The button is not wired.
  ::PostMessageW(c.openButton, WM_RBUTTONUP, 0, MAKELPARAM(2, 2));
  ::SendMessageTimeoutW(q->hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  EXPECT_FALSE(waitFor([&] { return openMenu() != nullptr; }, 300ms));
}

}  // namespace
}  // namespace qvtest

// One instance per user, and how other starts hand their request over to it.
#include <gtest/gtest.h>

#include "harness_win.h"

namespace qvtest {
namespace {

class Instance : public ::testing::Test {
 protected:
  void SetUp() override { clearSettings(); }
  void TearDown() override { endAllInstances(); }
};

void hideByCloseBox(HWND hwnd) {
  ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(hwnd); }));
}

TEST_F(Instance, SecondStartShowsTheFirstAndEnds) {
  Quorvel first;
  ASSERT_TRUE(first.hwnd());
  hideByCloseBox(first.hwnd());
  EXPECT_TRUE(first.process().running()) << "the close box only hides";

  Process second = startProcess(programPath(L"quorvel.exe"), L"");
  EXPECT_EQ(second.wait(), 0);
  EXPECT_TRUE(waitFor([&] { return ::IsWindowVisible(first.hwnd()); })) << "the first instance shows itself";
  EXPECT_EQ(mainWindow(), first.hwnd());
  EXPECT_TRUE(first.process().running());
}

TEST_F(Instance, StartSwitchWhileRunningTouchesNothing) {
  Quorvel first;
  hideByCloseBox(first.hwnd());
  Process second = startProcess(programPath(L"quorvel.exe"), L"/start");
  EXPECT_EQ(second.wait(), 0);
  // Give a wrongly sent show request the time to arrive: a round trip through the window.
  ::SendMessageTimeoutW(first.hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  EXPECT_FALSE(::IsWindowVisible(first.hwnd()));
  EXPECT_TRUE(first.process().running());
}

TEST_F(Instance, StartSwitchStartsHidden) {
  Quorvel q(L"/start", /*waitVisible=*/false);
  ASSERT_TRUE(q.hwnd());
  EXPECT_FALSE(::IsWindowVisible(q.hwnd()));
  // WM_USER 1 brings it up once the tray icon exists.
  ::SendMessageW(q.hwnd(), WM_USER, 1, 0);
  EXPECT_TRUE(waitFor([&] { return ::IsWindowVisible(q.hwnd()); }));
}

TEST_F(Instance, UninstWithoutInstanceEndsAtOnceAndStartsNothing) {
  ASSERT_EQ(mainWindow(), nullptr);
  Process p = startProcess(programPath(L"quorvel.exe"), L"/uninst");
  EXPECT_EQ(p.wait(3s), 0);
  EXPECT_EQ(mainWindow(), nullptr);
}

TEST_F(Instance, UninstEndsTheRunningInstance) {
  Quorvel q;
  Process p = startProcess(programPath(L"quorvel.exe"), L"/uninst");
  EXPECT_EQ(p.wait(), 0);
  EXPECT_GE(q.process().wait(), 0) << "the instance ended";
  EXPECT_EQ(mainWindow(), nullptr);
}

TEST_F(Instance, InstWritesTheRunValueWithTheQuotedPath) {
  HKEY run = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &run, nullptr),
            ERROR_SUCCESS);
  quorvel::UniqueHkey key(run);
  ::RegDeleteValueW(run, L"Quorvel");
  {
    Quorvel q(L"/inst");
    wchar_t data[1024] = {};
    DWORD size = sizeof(data), type = 0;
    ASSERT_EQ(::RegQueryValueExW(run, L"Quorvel", nullptr, &type, reinterpret_cast<BYTE*>(data), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    wchar_t full[MAX_PATH];
    ::GetFullPathNameW(programPath(L"quorvel.exe").c_str(), MAX_PATH, full, nullptr);
    EXPECT_EQ(std::wstring(data), L"\"" + std::wstring(full) + L"\" /start");
  }
  ::RegDeleteValueW(run, L"Quorvel");
}

TEST_F(Instance, CommandsEndTheInstanceOnlyThroughTheGate) {
  Quorvel q;
  // WM_USER with another code is ignored; WM_USER 2 ends the program.
  EXPECT_EQ(::SendMessageW(q.hwnd(), WM_USER, 7, 0), 0);
  EXPECT_TRUE(q.process().running());
  EXPECT_EQ(::SendMessageW(q.hwnd(), WM_USER, 2, 0), 0);
  EXPECT_GE(q.process().wait(), 0);
}

TEST_F(Instance, EndOfSessionEndsTheProgramAndAnswersYes) {
  Quorvel q;
  EXPECT_EQ(::SendMessageW(q.hwnd(), WM_QUERYENDSESSION, 0, 0), 1);
  EXPECT_GE(q.process().wait(), 0);
}

}  // namespace
}  // namespace qvtest

namespace qvtest {
namespace {

constexpr UINT kTrayCallback = WM_APP + 1;

TEST(Tray, CloseBoxHidesAndTrayClickShows) {
  clearSettings();
  Quorvel q;
  ::SendMessageW(q.hwnd(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(waitFor([&] { return !::IsWindowVisible(q.hwnd()); }));
  HWND tray = windowOfClass(q.pid(), L"QuorvelNotifyIcon");
  ASSERT_TRUE(tray);
  ::SendMessageW(tray, kTrayCallback, 1, WM_LBUTTONUP);
  EXPECT_TRUE(waitFor([&] { return ::IsWindowVisible(q.hwnd()); }));
  EXPECT_TRUE(q.process().running());
}

TEST(Tray, QuitAsksFirstAndNoKeepsTheProgram) {
  clearSettings();
  setSetting(L"language", std::wstring(L"ko"));
  Quorvel q;
  ASSERT_TRUE(chooseFromTrayMenu(q.pid(), {11}));  // 종료하기
  EXPECT_EQ(takeMessageBox(q.pid(), IDNO), L"정말 종료하시겠습니까?");
  ::SendMessageTimeoutW(q.hwnd(), WM_NULL, 0, 0, SMTO_NORMAL, 5000, nullptr);
  EXPECT_TRUE(q.process().running());
  ASSERT_TRUE(chooseFromTrayMenu(q.pid(), {11}));
  EXPECT_EQ(takeMessageBox(q.pid(), IDYES), L"정말 종료하시겠습니까?");
  EXPECT_GE(q.process().wait(), 0) << "Yes ends the program";
}

}  // namespace
}  // namespace qvtest

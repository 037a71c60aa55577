// Settings in the registry: defaults, wrong types, and one value written per user action.
#include <gtest/gtest.h>

#include <map>

#include "harness_win.h"
#include "support/translate_win.h"

namespace qvtest {
namespace {

// Every value of the settings key, by name, as text ("dword:5" / "sz:text").
std::map<std::wstring, std::wstring> allSettings() {
  std::map<std::wstring, std::wstring> values;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Brevisco\\Quorvel", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return values;
  quorvel::UniqueHkey owner(key);
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLength = 256, type = 0;
    BYTE data[2048];
    DWORD size = sizeof(data);
    if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    values[name] = type == REG_DWORD ? L"dword:" + std::to_wstring(*reinterpret_cast<DWORD*>(data))
                                     : L"sz:" + std::wstring(reinterpret_cast<wchar_t*>(data));
  }
  return values;
}

bool settingsKeyExists() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Brevisco\\Quorvel", 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { clearSettings(); }
  void TearDown() override { endAllInstances(); }
};

TEST_F(Settings, FreshUserGetsTheDefaultsAndAnEmptyKey) {
  ASSERT_FALSE(settingsKeyExists());
  Quorvel q;
  EXPECT_TRUE(settingsKeyExists());
  // Only the two pickers' start-up handlers write: the mode and the destination as loaded.
  const auto values = allSettings();
  EXPECT_EQ(values, (std::map<std::wstring, std::wstring>{{L"area", L"dword:0"}, {L"saveto", L"dword:0"}}));
}

TEST_F(Settings, UnknownLanguageShowsEnglishAndStaysStored) {
  setSetting(L"language", std::wstring(L"de"));
  Quorvel q;
  HWND label = ::FindWindowExW(q.hwnd(), nullptr, L"Static", nullptr);
  ASSERT_TRUE(label);
  EXPECT_EQ(windowText(label), L"Capture");
  std::wstring stored;
  ASSERT_TRUE(readSetting(L"language", stored));
  EXPECT_EQ(stored, L"de");
}

TEST_F(Settings, ValuesOfTheWrongTypeFallBackToTheirDefaults) {
  TempFolder folder;
  setSetting(L"path", folder.path());
  setSetting(L"append", std::wstring(L"three"));  // a string where a number belongs
  setSetting(L"mouse", std::wstring(L"no"));
  setSetting(L"jpeg_quality", std::wstring(L"x"));
  setSetting(L"sound", 1);
  Quorvel q;
  ASSERT_TRUE(q.hwnd()) << "the start is not stopped";
  EXPECT_EQ(sendCopyData(q.hwnd(), L"{\"command\":\"capture\"}"), 1);
  EXPECT_EQ(folder.files(), std::vector<std::wstring>{L"Q-001.png"}) << "sequential naming, the default";
}

TEST_F(Settings, NamingSchemesFollowTheStoredValue) {
  struct Row { DWORD append; std::vector<std::wstring> existing; std::wstring expectedPrefix; } rows[] = {
      {1, {L"Q-001.png", L"Q-003.png"}, L"Q-004.png"},
      {3, {L"Q-001.png", L"Q-003.png"}, L"Q-002.png"},
      {2, {}, L"Q-2"},  // date and time: Q-yyyymmdd-hhmmsszzz.png
      {7, {}, L"Q-2"},  // an unlisted value names by date and time
  };
  for (const auto& r : rows) {
    TempFolder folder;
    for (const auto& name : r.existing) {
      HANDLE h = ::CreateFileW((folder.path() + L"\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
      ::CloseHandle(h);
    }
    clearSettings();
    setSetting(L"path", folder.path());
    setSetting(L"append", r.append);
    setSetting(L"sound", 1);
    Quorvel q;
    ASSERT_EQ(sendCopyData(q.hwnd(), L"{\"command\":\"capture\"}"), 1);
    auto files = folder.files();
    for (const auto& name : r.existing) files.erase(std::find(files.begin(), files.end(), name));
    ASSERT_EQ(files.size(), 1u) << r.append;
    EXPECT_EQ(files[0].rfind(r.expectedPrefix, 0), 0u) << r.append << ": " << std::string(files[0].begin(), files[0].end());
    if (r.append == 2 || r.append == 7) EXPECT_EQ(files[0].size(), std::wstring(L"Q-20261211-123456789.png").size());
    q.quit();
  }
}

TEST_F(Settings, EachMenuChoiceWritesExactlyItsOneValue) {
  Quorvel q;
  struct Row {
    std::initializer_list<int> path;
    std::wstring name, value;
  } rows[] = {
      {{5, 3}, L"append", L"dword:2"},        // 파일명 설정 > 날짜시간
      {{5, 2}, L"append", L"dword:3"},        // 파일명 설정 > 순차적 #2
      {{7, 3}, L"sound", L"dword:3"},         // 캡쳐소리 설정 > 캡쳐 후 소리
      {{6, 1, 3}, L"record_limit", L"dword:60"},  // 녹화 설정 > 최대 녹화시간 > 1시간
      {{6, 2}, L"audio", L"dword:1"},         // 녹화 설정 > 사운드 포함
      {{6, 3}, L"ffmpeg_log", L"dword:1"},    // 녹화 설정 > 로그 기록
      {{8}, L"mouse", L"dword:0"},            // 마우스 커서 포함
      {{4, 3}, L"language", L"sz:ja"},        // 언어 설정 > 日本語
  };
  for (const auto& r : rows) {
    auto before = allSettings();
    ASSERT_TRUE(chooseFromTrayMenu(q.pid(), r.path));
    ASSERT_TRUE(waitFor([&] { return allSettings() != before; })) << std::string(r.name.begin(), r.name.end());
    auto after = allSettings();
    before[r.name] = r.value;
    EXPECT_EQ(after, before) << "only " << std::string(r.name.begin(), r.name.end()) << " changed";
  }
}

TEST_F(Settings, LanguageFromTheMenuRetranslatesAndSurvivesARestart) {
  ASSERT_TRUE(quorvel::loadTranslationResource()) << "the test program carries the same table";
  {
    Quorvel q;
    HWND mode = ::FindWindowExW(q.hwnd(), nullptr, L"ComboBox", nullptr);
    ASSERT_TRUE(pickItem(mode, 3));
    ASSERT_TRUE(chooseFromTrayMenu(q.pid(), {4, 3}));  // 日本語
    HWND label = ::FindWindowExW(q.hwnd(), nullptr, L"Static", nullptr);
    ASSERT_TRUE(waitFor([&] { return windowText(label) == quorvel::Translate(L"캡쳐영역", L"ja"); }));
    wchar_t item[128] = {};
    ::SendMessageW(mode, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(item));
    EXPECT_EQ(std::wstring(item), quorvel::Translate(L"전체화면 캡쳐", L"ja"));
    EXPECT_EQ(::SendMessageW(mode, CB_GETCURSEL, 0, 0), 3) << "the selection is kept";
  }
  Quorvel again;
  HWND label = ::FindWindowExW(again.hwnd(), nullptr, L"Static", nullptr);
  EXPECT_EQ(windowText(label), quorvel::Translate(L"캡쳐영역", L"ja"));
}

}  // namespace
}  // namespace qvtest

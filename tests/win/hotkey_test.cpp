// The global capture hotkey: registration at start, the dialog's OK and Cancel, the message.
#include <gtest/gtest.h>

#include "harness_win.h"

namespace qvtest {
namespace {

HWND hotKeyDialog(DWORD pid) { return windowOfClass(pid, L"TFrmHotKey"); }

void pressPrintScreen() {
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = VK_SNAPSHOT;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, in, sizeof(INPUT));
}

DWORD snippingValue() {
  DWORD value = 0xFFFF, size = sizeof(value);
  if (::RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", L"PrintScreenKeyForSnippingEnabled",
                     RRF_RT_REG_DWORD, nullptr, &value, &size) != ERROR_SUCCESS)
    return 0xFFFF;
  return value;
}

class HotKey : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSettings();
    setSetting(L"language", std::wstring(L"ko"));  // the texts below are the Korean ones
    setSetting(L"path", folder.path());
    setSetting(L"mouse", 0);
    setSetting(L"sound", 1);
  }
  void TearDown() override { endAllInstances(); }
  TempFolder folder;
};

TEST_F(HotKey, FreshStartRegistersPrintScreenAndThePressCaptures) {
  Quorvel q;
  pressPrintScreen();
  EXPECT_TRUE(waitFor([&] { return folder.files() == std::vector<std::wstring>{L"Q-001.png"}; }))
      << "PrintScreen took a capture";
  // The dialog shows PrintScreen with no modifier ticked.
  HWND dialog = hotKeyDialog(q.pid());
  ASSERT_TRUE(dialog);
  EXPECT_FALSE(::IsWindowVisible(dialog));
  for (const wchar_t* box : {L"Shift", L"Ctrl", L"Alt"}) {
    HWND check = childWithText(dialog, box);
    ASSERT_TRUE(check) << box;
    EXPECT_EQ(::SendMessageW(check, BM_GETCHECK, 0, 0), BST_UNCHECKED) << box;
  }
}

TEST_F(HotKey, OnlyItsOwnIdentifierStartsACapture) {
  Quorvel q;
  HWND dialog = hotKeyDialog(q.pid());
  ASSERT_TRUE(dialog);
  ::SendMessageW(dialog, WM_HOTKEY, 0x1234, 0);
  EXPECT_TRUE(folder.files().empty());
  const ATOM id = ::GlobalFindAtomW(L"QuorvelHotKey");
  ASSERT_NE(id, 0);
  ::SendMessageW(dialog, WM_HOTKEY, id, 0);
  EXPECT_EQ(folder.files().size(), 1u);
}

TEST_F(HotKey, HeldCombinationGivesTheMessageAndTheModalDialog) {
  // Another program holds Ctrl+Shift+F12 before we start.
  ASSERT_TRUE(::RegisterHotKey(nullptr, 77, MOD_CONTROL | MOD_SHIFT, VK_F12));
  setSetting(L"hotkey", 0x7B + 0x4000 + 0x2000);
  Quorvel q(L"", /*waitVisible=*/false);
  EXPECT_EQ(takeMessageBox(q.pid()), L"알수없는 프로그램이 단축키를 사용중입니다.\r\r단축키를 변경해주세요.");
  HWND dialog = nullptr;
  ASSERT_TRUE(waitFor([&] { return (dialog = hotKeyDialog(q.pid())) && ::IsWindowVisible(dialog); }))
      << "the dialog is shown for another key";
  EXPECT_EQ(::SendMessageW(childWithText(dialog, L"Ctrl"), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_EQ(::SendMessageW(childWithText(dialog, L"Shift"), BM_GETCHECK, 0, 0), BST_CHECKED);

  // OK with the held combination: refused, the dialog stays.
  ::PostMessageW(childWithText(dialog, L"확인"), BM_CLICK, 0, 0);
  EXPECT_EQ(takeMessageBox(q.pid()), L"단축키가 다른 프로그램에서 사용중입니다.");
  EXPECT_TRUE(::IsWindowVisible(dialog));

  // Cancel: the stored (held) key cannot come back either; the dialog closes anyway.
  ::PostMessageW(childWithText(dialog, L"취소"), BM_CLICK, 0, 0);
  EXPECT_EQ(takeMessageBox(q.pid()), L"단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.");
  EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(dialog); }));
  ::UnregisterHotKey(nullptr, 77);
}

TEST_F(HotKey, CancelRestoresTheStoredKey) {
  Quorvel q;
  HWND dialog = hotKeyDialog(q.pid());
  ASSERT_TRUE(dialog);
  // The menu's "단축키 설정" shows the dialog.
  ASSERT_TRUE(chooseFromTrayMenu(q.pid(), {3}));
  ASSERT_TRUE(waitFor([&] { return ::IsWindowVisible(dialog) != FALSE; }));
  // Change the controls (Alt+A) without confirming, then cancel.
  HWND combo = ::FindWindowExW(::GetParent(childWithText(dialog, L"Alt")), nullptr, L"ComboBox", nullptr);
  ASSERT_TRUE(combo);
  ::SendMessageW(combo, CB_SETCURSEL, 1, 0);
  ::SendMessageW(childWithText(dialog, L"Alt"), BM_SETCHECK, BST_CHECKED, 0);
  ::SendMessageW(childWithText(dialog, L"취소"), BM_CLICK, 0, 0);
  EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(dialog); }));
  EXPECT_EQ(::SendMessageW(combo, CB_GETCURSEL, 0, 0), 0) << "PrintScreen is shown again";
  EXPECT_EQ(::SendMessageW(childWithText(dialog, L"Alt"), BM_GETCHECK, 0, 0), BST_UNCHECKED);
  DWORD stored = 0;
  EXPECT_FALSE(readSetting(L"hotkey", stored)) << "nothing was stored";
  pressPrintScreen();
  EXPECT_TRUE(waitFor([&] { return folder.files().size() == 1; })) << "PrintScreen still captures";
}

TEST_F(HotKey, OkStoresAndRegistersTheNewKey) {
  Quorvel q;
  HWND dialog = hotKeyDialog(q.pid());
  HWND combo = ::FindWindowExW(::GetParent(childWithText(dialog, L"Alt")), nullptr, L"ComboBox", nullptr);
  ASSERT_TRUE(combo);
  ::SendMessageW(combo, CB_SETCURSEL, 1, 0);  // A
  ::SendMessageW(childWithText(dialog, L"Ctrl"), BM_SETCHECK, BST_CHECKED, 0);
  ::SendMessageW(childWithText(dialog, L"확인"), BM_CLICK, 0, 0);
  DWORD stored = 0;
  ASSERT_TRUE(readSetting(L"hotkey", stored));
  EXPECT_EQ(stored, 0x41u + 0x4000u);
  // PrintScreen is free again for others; Ctrl+A is ours.
  EXPECT_TRUE(::RegisterHotKey(nullptr, 78, 0, VK_SNAPSHOT));
  ::UnregisterHotKey(nullptr, 78);
  EXPECT_FALSE(::RegisterHotKey(nullptr, 79, MOD_CONTROL, 'A'));
}

TEST_F(HotKey, EveryStartTurnsOffTheSnippingKey) {
  for (DWORD before : {1u, 0xFFFFu}) {
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Keyboard", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                &key, nullptr),
              ERROR_SUCCESS);
    if (before == 0xFFFFu) ::RegDeleteValueW(key, L"PrintScreenKeyForSnippingEnabled");
    else ::RegSetValueExW(key, L"PrintScreenKeyForSnippingEnabled", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&before), 4);
    ::RegCloseKey(key);
    setSetting(L"hotkey", 0x41 + 0x8000);  // whatever key is chosen
    Quorvel q;
    EXPECT_EQ(snippingValue(), 0u) << "value before start: " << before;
  }
}

}  // namespace
}  // namespace qvtest

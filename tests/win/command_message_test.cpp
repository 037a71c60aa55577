// The copy-data command message, as other programs send it.
#include <gtest/gtest.h>

#include "harness_win.h"

namespace qvtest {
namespace {

class CommandMessage : public ::testing::Test {
 protected:
  void SetUp() override {
    clearSettings();
    setSetting(L"path", folder.path());
    setSetting(L"mouse", 0);
    q = std::make_unique<Quorvel>();
    ASSERT_TRUE(q->hwnd());
  }
  void TearDown() override { q.reset(); }
  TempFolder folder;
  std::unique_ptr<Quorvel> q;
};

TEST_F(CommandMessage, AnswersOneOnlyForTheTwoExactCommands) {
  struct Row {
    const char* what;
    std::wstring text;
    ULONG_PTR dwData;
    LRESULT expected;
  } rows[] = {
      {"dwData 2", L"{\"command\":\"capture\"}", 2, 0},
      {"capital C", L"{\"command\":\"Capture\"}", 1, 0},
      {"not JSON", L"capture", 1, 0},
      {"JSON array", L"[\"capture\"]", 1, 0},
      {"member missing", L"{\"cmd\":\"capture\"}", 1, 0},
      {"member not a string", L"{\"command\":1}", 1, 0},
      {"empty text", L"", 1, 0},
  };
  for (const auto& r : rows) EXPECT_EQ(sendCopyData(q->hwnd(), r.text, r.dwData), r.expected) << r.what;
  EXPECT_TRUE(folder.files().empty()) << "no capture was taken";
  EXPECT_EQ(findMessageBox(q->pid()), nullptr);
}

TEST_F(CommandMessage, CaptureTakesOneCaptureAndAnswersOne) {
  EXPECT_EQ(sendCopyData(q->hwnd(), L"{\"command\":\"capture\"}"), 1);
  EXPECT_EQ(folder.files(), std::vector<std::wstring>{L"Q-001.png"});
}

TEST_F(CommandMessage, AboutAnswersOne) {
  // Opens the product page in the browser, if the system has one; nothing to wait for.
  EXPECT_EQ(sendCopyData(q->hwnd(), L"{\"command\":\"about\"}"), 1);
  EXPECT_TRUE(folder.files().empty());
}

TEST_F(CommandMessage, VeryLongTextIsReadWhole) {
  const std::wstring pad(200000, L'x');
  EXPECT_EQ(sendCopyData(q->hwnd(), L"{\"pad\":\"" + pad + L"\",\"command\":\"capture\"}"), 1);
  EXPECT_EQ(folder.files().size(), 1u);
}

TEST_F(CommandMessage, TextWithoutNulIsTakenUpToTheByteCount) {
  // Only cbData bytes cross to the receiver: what lies beyond must not be read.
  const std::wstring json = L"{\"command\":\"capture\"}";
  const std::wstring buffer = json + L"GARBAGE-WITHOUT-A-NUL";
  EXPECT_EQ(sendCopyData(q->hwnd(), buffer, 1, static_cast<DWORD>(json.size() * sizeof(wchar_t))), 1);
  EXPECT_EQ(folder.files().size(), 1u);
  // Cut inside the object: not JSON any more.
  EXPECT_EQ(sendCopyData(q->hwnd(), json, 1, static_cast<DWORD>((json.size() - 1) * sizeof(wchar_t))), 0);
  // An odd byte count ends at the last whole character.
  EXPECT_EQ(sendCopyData(q->hwnd(), buffer, 1, static_cast<DWORD>(json.size() * sizeof(wchar_t) + 1)), 1);
  EXPECT_EQ(sendCopyData(q->hwnd(), L"", 1, 0), 0);
  EXPECT_EQ(folder.files().size(), 2u);
}

}  // namespace
}  // namespace qvtest

#include "hotkey/hotkey_codes.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(HotKeyCodes, SplitComposeAndFlags) {
  struct Row {
    uint32_t code;
    uint8_t vk;
    bool shift, ctrl, alt;
    unsigned flags;
  } rows[] = {
      {0x2C, 0x2C, false, false, false, 0},
      {0x2C + 0x4000 + 0x2000, 0x2C, true, true, false, 6},  // Ctrl+Shift+PrintScreen
      {0x41 + 0x8000, 0x41, false, false, true, 1},          // Alt+A
      {0x7B + 0xE000, 0x7B, true, true, true, 7},
      {0x2E + 0x2000, 0x2E, true, false, false, 4},
  };
  for (const auto& r : rows) {
    const HotKeyParts p = splitHotKey(r.code);
    EXPECT_EQ(p.vk, r.vk) << std::hex << r.code;
    EXPECT_EQ(p.shift, r.shift) << std::hex << r.code;
    EXPECT_EQ(p.ctrl, r.ctrl) << std::hex << r.code;
    EXPECT_EQ(p.alt, r.alt) << std::hex << r.code;
    EXPECT_EQ(hotKeyModifiers(r.code), r.flags) << std::hex << r.code;
    EXPECT_EQ(composeHotKey(p), r.code) << std::hex << r.code;
  }
  // Alt combinations are stored as numbers from 32768 up.
  EXPECT_GE(composeHotKey({0x41, false, false, true}), 32768);
}

TEST(HotKeyCodes, FiftyEntriesInPickerOrder) {
  const auto& e = hotKeyEntries();
  ASSERT_EQ(e.size(), 50u);
  EXPECT_EQ(e[0].name, u"PrintScreen");
  EXPECT_EQ(e[0].vk, 0x2C);
  EXPECT_EQ(e[1].name, u"A");
  EXPECT_EQ(e[26].name, u"Z");
  EXPECT_EQ(e[27].name, u"1");
  EXPECT_EQ(e[35].name, u"9");
  EXPECT_EQ(e[36].name, u"0");
  EXPECT_EQ(e[36].vk, 0x30);
  EXPECT_EQ(e[37].name, u"F1");
  EXPECT_EQ(e[37].vk, 0x70);
  EXPECT_EQ(e[48].name, u"F12");
  EXPECT_EQ(e[48].vk, 0x7B);
  EXPECT_EQ(e[49].name, u"DEL");
  EXPECT_EQ(e[49].vk, 0x2E);
  EXPECT_EQ(hotKeyEntryIndex(0x2C), 0);
  EXPECT_EQ(hotKeyEntryIndex(0x5A), 26);
  EXPECT_EQ(hotKeyEntryIndex(0x20), -1);  // space is not offered
}

}  // namespace
}  // namespace quorvel

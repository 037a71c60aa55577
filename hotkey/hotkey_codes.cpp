#include "hotkey/hotkey_codes.h"

namespace quorvel {

const std::vector<HotKeyEntry>& hotKeyEntries() {
  static const std::vector<HotKeyEntry> entries = [] {
    std::vector<HotKeyEntry> list;
    list.push_back({u"PrintScreen", 0x2C});
    for (char16_t c = u'A'; c <= u'Z'; ++c) list.push_back({std::u16string(1, c), static_cast<uint8_t>(c)});
    for (char16_t c = u'1'; c <= u'9'; ++c) list.push_back({std::u16string(1, c), static_cast<uint8_t>(c)});
    list.push_back({u"0", 0x30});
    for (int i = 1; i <= 12; ++i) {
      std::u16string name = u"F";
      for (char c : std::to_string(i)) name += static_cast<char16_t>(c);
      list.push_back({name, static_cast<uint8_t>(0x70 + i - 1)});
    }
    list.push_back({u"DEL", 0x2E});
    return list;
  }();
  return entries;
}

HotKeyParts splitHotKey(uint32_t code) {
  return {static_cast<uint8_t>(code & 0xFF), (code & kShiftBit) != 0, (code & kCtrlBit) != 0, (code & kAltBit) != 0};
}

uint16_t composeHotKey(const HotKeyParts& parts) {
  return static_cast<uint16_t>(parts.vk | (parts.alt ? kAltBit : 0) | (parts.ctrl ? kCtrlBit : 0) |
                               (parts.shift ? kShiftBit : 0));
}

unsigned hotKeyModifiers(uint32_t code) {
  const HotKeyParts p = splitHotKey(code);
  return (p.alt ? 1u : 0u) | (p.ctrl ? 2u : 0u) | (p.shift ? 4u : 0u);
}

int hotKeyEntryIndex(uint8_t vk) {
  const auto& entries = hotKeyEntries();
  for (std::size_t i = 0; i < entries.size(); ++i)
    if (entries[i].vk == vk) return static_cast<int>(i);
  return -1;
}

}  // namespace quorvel

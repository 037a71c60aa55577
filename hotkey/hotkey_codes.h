#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {

// The keys the hotkey picker offers, in its order, with their virtual-key codes.
struct HotKeyEntry {
  std::u16string name;
  uint8_t vk;
};
const std::vector<HotKeyEntry>& hotKeyEntries();

// The stored 16-bit shortcut code: virtual key in bits 0-7, Shift 0x2000, Ctrl 0x4000, Alt 0x8000.
constexpr uint16_t kDefaultHotKey = 0x2C;  // PrintScreen
constexpr uint16_t kShiftBit = 0x2000, kCtrlBit = 0x4000, kAltBit = 0x8000;

struct HotKeyParts {
  uint8_t vk = 0;
  bool shift = false, ctrl = false, alt = false;
};
HotKeyParts splitHotKey(uint32_t code);
uint16_t composeHotKey(const HotKeyParts& parts);
// The registration flags: MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4.
unsigned hotKeyModifiers(uint32_t code);
// Index in hotKeyEntries() of a virtual key, or -1.
int hotKeyEntryIndex(uint8_t vk);

}  // namespace quorvel

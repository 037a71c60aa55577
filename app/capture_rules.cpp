#include "app/capture_rules.h"

namespace quorvel {

bool isRefusedPair(int mode, int destination) {
  if (mode == cmColorPicker) return false;
  if (destination == dsMP4 && mode != cmFullScreen && mode != cmArea) return true;
  return destination == dsFloating && mode == cmWebPage;
}

int storedMode(int mode) { return mode >= 0 && mode < 4 ? mode : 0; }

int qualityFromText(std::u16string_view text) {
  if (text.empty() || text.size() > 9) return 90;
  int value = 0;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') return 90;
    value = value * 10 + (c - u'0');
  }
  return value;
}

}  // namespace quorvel

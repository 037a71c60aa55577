#pragma once
#include <cstdint>

namespace quorvel {

// A read-only window onto 32-bit pixels, top-down rows, bytes in blue, green, red, x order.
// Captured bitmaps have no meaningful alpha; encoders ignore the fourth byte.
struct ImageView {
  const uint8_t* bgra = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes from one row to the next

  const uint8_t* row(int y) const { return bgra + static_cast<std::ptrdiff_t>(y) * stride; }
};

}  // namespace quorvel

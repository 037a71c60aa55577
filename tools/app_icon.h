#pragma once
#include <cstdint>
#include <vector>

namespace quorvel {

// One square icon image: top-down BGRA rows with straight (not premultiplied) alpha.
struct IconImage {
  int size = 0;
  std::vector<std::uint8_t> bgra;
};

// The sizes the program's icon carries: the small ones for title bars, menus and the notification
// area at the common DPI scales, and 256 for Explorer's large views.
inline constexpr int kAppIconSizes[] = {16, 24, 32, 48, 256};

// The application icon drawn at `size` pixels: a rounded blue tile with white viewfinder corners and a
// lens ring, anti-aliased against transparency.
IconImage renderAppIcon(int size);

// A .ico file holding `images` in order. Images up to 255 pixels are stored as 32-bit BMPs with their
// AND mask; 256-pixel ones as PNG, which keeps the file small.
std::vector<std::uint8_t> iconFile(const std::vector<IconImage>& images);

}  // namespace quorvel

#pragma once
#include <cstdint>
#include <vector>

#include "support/image_view.h"

namespace quorvel {

// Encodes 32-bit BGRx pixels (the fourth byte is ignored) as a PNG file image: 8-bit truecolour
// (colour type 2) without alpha and without interlacing. Throws Error for an empty image, which
// PNG cannot hold.
std::vector<uint8_t> encodePng(const ImageView& image);

}  // namespace quorvel

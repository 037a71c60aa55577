#pragma once
#include <cstdint>
#include <vector>

#include "support/image_view.h"

namespace quorvel {

// A Windows BMP file image of the pixels as they are (BITMAPFILEHEADER and BITMAPINFOHEADER,
// BI_RGB, rows bottom-up, 96 dpi). Both throw Error for an empty image or one whose file would
// pass 4 GiB.

// 32 bits per pixel, the fourth byte written unchanged.
std::vector<uint8_t> encodeBmp(const ImageView& image);

// 24 bits per pixel from top-down rows of blue, green, red bytes.
std::vector<uint8_t> encodeBmp24(const uint8_t* bgr, int width, int height, int stride);

}  // namespace quorvel

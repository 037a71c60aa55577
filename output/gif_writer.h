#pragma once
#include <cstdint>
#include <vector>

#include "support/image_view.h"

namespace quorvel {

// The pixels of a palette bitmap (1, 4 or 8 bits per pixel), rows top-down, packed from the most
// significant bit as in a device-independent bitmap.
struct IndexedView {
  const uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // bytes from one row to the next
  int bitsPerPixel = 8;
  const uint32_t* palette = nullptr;  // 0x00RRGGBB, i.e. an RGBQUAD read as a little-endian integer
  int paletteSize = 0;                // 1 to 256
};

// A single-image GIF89a of a 32-bit capture (the fourth byte is ignored). An image of at most 256
// distinct colours keeps them exactly; any other gets a palette of up to 256 colours computed
// from the image, and Floyd–Steinberg dithering. `threads` 0 uses one thread per core for large
// images; the bytes differ slightly with the thread count (bands of rows are dithered on their
// own), the picture hardly at all. Throws Error for an empty image or one wider or taller than
// 65535 pixels.
std::vector<uint8_t> encodeGif(const ImageView& image, int threads = 0);

// A GIF of a palette bitmap with its own palette, pixel for pixel. Throws Error for an empty
// image, an empty or oversized palette, or an unsupported depth.
std::vector<uint8_t> encodeGif(const IndexedView& image);

}  // namespace quorvel

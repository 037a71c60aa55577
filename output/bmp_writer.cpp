#include "output/bmp_writer.h"

#include <cstring>

#include "support/error.h"

namespace quorvel {
namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr int32_t kPixelsPerMetre = 3780;  // 96 dpi: 96 / 0.0254 m, rounded

void put16(uint8_t*& p, uint16_t v) {
  *p++ = static_cast<uint8_t>(v);
  *p++ = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t*& p, uint32_t v) {
  for (int i = 0; i < 4; ++i) *p++ = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> encodeRows(const uint8_t* top, int width, int height, int stride, int bitsPerPixel) {
  if (!top || width <= 0 || height <= 0) throw Error("Cannot save an empty image as BMP.");
  const uint64_t used = static_cast<uint64_t>(width) * (bitsPerPixel / 8);
  if (stride < 0 || static_cast<uint64_t>(stride) < used)
    throw Error("Cannot save the image as BMP: bad pixel rows.");
  const uint64_t rowBytes = (used + 3) & ~uint64_t{3};  // rows are padded to whole 32-bit words
  const uint64_t imageBytes = rowBytes * static_cast<uint64_t>(height);
  const uint64_t fileBytes = kFileHeaderSize + kInfoHeaderSize + imageBytes;
  if (fileBytes > UINT32_MAX) throw Error("The image is too large for a BMP file.");

  std::vector<uint8_t> out(fileBytes, 0);
  uint8_t* p = out.data();
  *p++ = 'B';
  *p++ = 'M';
  put32(p, static_cast<uint32_t>(fileBytes));
  put32(p, 0);  // two reserved words
  put32(p, kFileHeaderSize + kInfoHeaderSize);
  put32(p, kInfoHeaderSize);
  put32(p, static_cast<uint32_t>(width));
  put32(p, static_cast<uint32_t>(height));  // positive: bottom-up
  put16(p, 1);                              // planes
  put16(p, static_cast<uint16_t>(bitsPerPixel));
  put32(p, 0);  // BI_RGB
  put32(p, static_cast<uint32_t>(imageBytes));
  put32(p, kPixelsPerMetre);
  put32(p, kPixelsPerMetre);
  put32(p, 0);  // colours used: all
  put32(p, 0);  // colours important: all
  for (int y = height - 1; y >= 0; --y, p += rowBytes)
    std::memcpy(p, top + static_cast<std::ptrdiff_t>(y) * stride, used);
  return out;
}

}  // namespace

std::vector<uint8_t> encodeBmp(const ImageView& image) {
  return encodeRows(image.bgra, image.width, image.height, image.stride, 32);
}

std::vector<uint8_t> encodeBmp24(const uint8_t* bgr, int width, int height, int stride) {
  return encodeRows(bgr, width, height, stride, 24);
}

}  // namespace quorvel

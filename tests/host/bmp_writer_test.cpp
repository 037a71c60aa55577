#include "output/bmp_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/error.h"

namespace quorvel {
namespace {

uint32_t u32(const std::vector<uint8_t>& f, std::size_t at) {
  return f.at(at) | f.at(at + 1) << 8 | f.at(at + 2) << 16 | uint32_t(f.at(at + 3)) << 24;
}
uint16_t u16(const std::vector<uint8_t>& f, std::size_t at) {
  return uint16_t(f.at(at) | f.at(at + 1) << 8);
}

// Top-down rows of random bytes with `padding` extra bytes per row that must not be written.
std::vector<uint8_t> randomRows(int width, int height, int bytesPerPixel, int padding, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> rows(std::size_t(width * bytesPerPixel + padding) * height);
  for (auto& b : rows) b = uint8_t(rng());
  return rows;
}

// Reads the file as a BMP reader would and checks every header field and pixel byte against the
// top-down source rows.
void expectBmp(const std::vector<uint8_t>& f, const uint8_t* top, int width, int height, int stride, int bpp,
               const std::string& what) {
  const std::size_t rowBytes = (std::size_t(width) * bpp / 8 + 3) / 4 * 4;
  ASSERT_EQ(f.size(), 54 + rowBytes * height) << what;
  EXPECT_EQ(f[0], 'B') << what;
  EXPECT_EQ(f[1], 'M') << what;
  EXPECT_EQ(u32(f, 2), f.size()) << what;            // bfSize
  EXPECT_EQ(u32(f, 6), 0u) << what;                  // bfReserved1, bfReserved2
  EXPECT_EQ(u32(f, 10), 54u) << what;                // bfOffBits
  EXPECT_EQ(u32(f, 14), 40u) << what;                // biSize: BITMAPINFOHEADER
  EXPECT_EQ(int32_t(u32(f, 18)), width) << what;     // biWidth
  EXPECT_EQ(int32_t(u32(f, 22)), height) << what;    // biHeight > 0: bottom-up
  EXPECT_EQ(u16(f, 26), 1) << what;                  // biPlanes
  EXPECT_EQ(u16(f, 28), bpp) << what;                // biBitCount
  EXPECT_EQ(u32(f, 30), 0u) << what;                 // biCompression: BI_RGB
  EXPECT_EQ(u32(f, 34), rowBytes * height) << what;  // biSizeImage
  EXPECT_EQ(u32(f, 38), 3780u) << what;              // 96 dpi in pixels per metre
  EXPECT_EQ(u32(f, 42), 3780u) << what;
  EXPECT_EQ(u32(f, 46), 0u) << what;  // biClrUsed
  EXPECT_EQ(u32(f, 50), 0u) << what;  // biClrImportant
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = top + std::size_t(y) * stride;
    const std::size_t row = 54 + std::size_t(height - 1 - y) * rowBytes;
    for (std::size_t i = 0; i < rowBytes; ++i) {
      const int expected = i < std::size_t(width) * bpp / 8 ? src[i] : 0;  // padding is zero
      ASSERT_EQ(f[row + i], expected) << what << ": row " << y << ", byte " << i;
    }
  }
}

TEST(BmpWriter, ThirtyTwoBitPixelsAreWrittenUnchangedBottomUp) {
  const struct {
    int width, height, padding;
  } cases[] = {{1, 1, 0}, {3, 2, 0}, {5, 1, 8}, {1, 5, 4}, {17, 9, 12}};
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.width) + "x" + std::to_string(c.height);
    const std::vector<uint8_t> rows = randomRows(c.width, c.height, 4, c.padding, c.width * 31 + c.height);
    const int stride = c.width * 4 + c.padding;
    expectBmp(encodeBmp(ImageView{rows.data(), c.width, c.height, stride}), rows.data(), c.width, c.height,
              stride, 32, what);
  }
}

TEST(BmpWriter, TwentyFourBitRowsArePaddedToWholeWords) {
  // Widths 1 to 4 give every amount of row padding (3, 2, 1, 0 bytes).
  for (int width = 1; width <= 4; ++width)
    for (int padding : {0, 5}) {
      const std::string what = std::to_string(width) + "x3, source padding " + std::to_string(padding);
      const std::vector<uint8_t> rows = randomRows(width, 3, 3, padding, width + padding);
      const int stride = width * 3 + padding;
      expectBmp(encodeBmp24(rows.data(), width, 3, stride), rows.data(), width, 3, stride, 24, what);
    }
}

TEST(BmpWriter, RejectsImagesItCannotWrite) {
  const std::vector<uint8_t> pixels(64, 0);
  EXPECT_THROW(encodeBmp(ImageView{pixels.data(), 0, 0, 0}), Error);
  EXPECT_THROW(encodeBmp(ImageView{pixels.data(), 4, 0, 16}), Error);
  EXPECT_THROW(encodeBmp(ImageView{pixels.data(), 0, 4, 16}), Error);
  EXPECT_THROW(encodeBmp(ImageView{nullptr, 2, 2, 8}), Error);
  EXPECT_THROW(encodeBmp(ImageView{pixels.data(), 4, 2, 12}), Error);  // rows overlap
  EXPECT_THROW(encodeBmp24(pixels.data(), 4, 2, 11), Error);
  EXPECT_THROW(encodeBmp24(nullptr, 1, 1, 3), Error);
  // Larger than a BMP's 32-bit file size can say; refused before any pixel is read.
  EXPECT_THROW(encodeBmp(ImageView{pixels.data(), 40000, 40000, 160000}), Error);
}

}  // namespace
}  // namespace quorvel

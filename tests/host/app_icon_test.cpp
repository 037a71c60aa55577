#include "tools/app_icon.h"

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace quorvel {
namespace {

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

const std::uint8_t* pixel(const IconImage& image, int x, int y) {
  return &image.bgra[(static_cast<std::size_t>(y) * image.size + x) * 4];
}

// Back to top-down BGRA from an icon's DIB (bottom-up colour rows, then the bottom-up AND mask), checking
// that the mask marks exactly the fully transparent pixels.
IconImage decodeDib(const std::uint8_t* d, int size) {
  IconImage image{size, std::vector<std::uint8_t>(static_cast<std::size_t>(size) * size * 4)};
  const std::size_t maskStride = (size + 31) / 32 * 4, colors = static_cast<std::size_t>(size) * size * 4;
  for (int y = 0; y < size; ++y) {
    const std::uint8_t* row = d + static_cast<std::size_t>(size - 1 - y) * size * 4;
    std::copy(row, row + size * 4, image.bgra.begin() + static_cast<std::ptrdiff_t>(y) * size * 4);
    const std::uint8_t* mask = d + colors + (size - 1 - y) * maskStride;
    for (int x = 0; x < size; ++x)
      EXPECT_EQ((mask[x / 8] >> (7 - x % 8)) & 1, pixel(image, x, y)[3] == 0)
          << size << " mask at " << x << "," << y;
  }
  return image;
}

IconImage decodePng(const std::uint8_t* d, std::size_t n) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, d, n)) return {};
  png.format = PNG_FORMAT_BGRA;
  IconImage image{static_cast<int>(png.width), std::vector<std::uint8_t>(PNG_IMAGE_SIZE(png))};
  if (png.width != png.height || !png_image_finish_read(&png, nullptr, image.bgra.data(), 0, nullptr))
    return {};
  return image;
}

TEST(AppIcon, FileHoldsEveryRenderedSizeExactly) {
  std::vector<IconImage> images;
  for (int size : kAppIconSizes) images.push_back(renderAppIcon(size));
  const auto file = iconFile(images);
  ASSERT_GE(file.size(), 6u + 16u * images.size());
  EXPECT_EQ(le(file, 0, 2), 0u);
  EXPECT_EQ(le(file, 2, 2), 1u);
  ASSERT_EQ(le(file, 4, 2), images.size());
  std::size_t next = 6 + 16 * images.size();  // images follow the directory back to back
  for (std::size_t i = 0; i < images.size(); ++i) {
    const int size = images[i].size;
    SCOPED_TRACE(size);
    const std::size_t e = 6 + 16 * i;
    EXPECT_EQ(file[e], size % 256);
    EXPECT_EQ(file[e + 1], size % 256);
    EXPECT_EQ(le(file, e + 2, 2), 0u);   // no palette
    EXPECT_EQ(le(file, e + 4, 2), 1u);   // planes
    EXPECT_EQ(le(file, e + 6, 2), 32u);  // bits per pixel
    const std::uint32_t length = le(file, e + 8, 4), offset = le(file, e + 12, 4);
    ASSERT_EQ(offset, next);
    ASSERT_LE(offset + length, file.size());
    next += length;
    const std::uint8_t* d = file.data() + offset;
    IconImage decoded;
    if (size == 256) {
      ASSERT_EQ(std::vector<std::uint8_t>(d, d + 8),
                (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 13, 10, 26, 10}));
      decoded = decodePng(d, length);
    } else {
      const std::size_t maskBytes = (size + 31) / 32 * 4 * size;
      ASSERT_EQ(length, 40 + size * size * 4 + maskBytes);
      EXPECT_EQ(le(file, offset, 4), 40u);
      EXPECT_EQ(le(file, offset + 4, 4), static_cast<std::uint32_t>(size));
      EXPECT_EQ(le(file, offset + 8, 4), static_cast<std::uint32_t>(2 * size));
      EXPECT_EQ(le(file, offset + 14, 2), 32u);
      EXPECT_EQ(le(file, offset + 16, 4), 0u);
      decoded = decodeDib(d + 40, size);
    }
    EXPECT_EQ(decoded.size, size);
    EXPECT_TRUE(decoded.bgra == images[i].bgra) << "pixels differ from the rendering";
  }
  EXPECT_EQ(next, file.size());
}

TEST(AppIcon, EverySizeIsABlueTileWithAWhiteGlyph) {
  for (int size : kAppIconSizes) {
    SCOPED_TRACE(size);
    const IconImage image = renderAppIcon(size);
    const int last = size - 1, mid = size / 2;
    for (auto [x, y] : {std::pair{0, 0}, {last, 0}, {0, last}, {last, last}})
      EXPECT_EQ(pixel(image, x, y)[3], 0);
    const std::uint8_t* lens = pixel(image, mid, mid);
    EXPECT_EQ(lens[3], 255);
    EXPECT_GT(int{std::min({lens[0], lens[1], lens[2]})}, 200) << "the lens dot is white";
    const std::uint8_t* tile = pixel(image, mid, size / 9 + 1);  // between the top edge and the corners
    EXPECT_EQ(tile[3], 255);
    EXPECT_GT(tile[0], tile[2] + 100) << "blue, not red: " << int{tile[0]} << " " << int{tile[2]};
    // Anti-aliased edges: some pixels are partly covered.
    int partial = 0;
    for (std::size_t i = 3; i < image.bgra.size(); i += 4)
      partial += image.bgra[i] > 0 && image.bgra[i] < 255;
    EXPECT_GT(partial, 0);
  }
}

TEST(AppIcon, RejectsSizesAnIconCannotHold) {
  for (int size : {0, -16, 257}) EXPECT_THROW(renderAppIcon(size), std::invalid_argument) << size;
  EXPECT_THROW(iconFile({IconImage{16, std::vector<std::uint8_t>(10)}}), std::invalid_argument);
}

}  // namespace
}  // namespace quorvel

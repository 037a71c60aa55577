#include "output/png_writer.h"

#include <gtest/gtest.h>
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <random>
#include <string>

#include "support/error.h"

namespace quorvel {
namespace {

struct Decoded {
  bool ok = false;
  std::string error;
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  std::vector<uint8_t> rgb;  // width * 3 bytes per row
};

struct MemoryReader {
  const std::vector<uint8_t>* data;
  std::size_t pos;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t size) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (reader->pos + size > reader->data->size()) png_error(png, "read past the end of the file");
  std::memcpy(out, reader->data->data() + reader->pos, size);
  reader->pos += size;
}

void recordError(png_structp png, png_const_charp message) {
  static_cast<Decoded*>(png_get_error_ptr(png))->error = message;
  png_longjmp(png, 1);
}

// Decodes with libpng's own reader, which checks every CRC and the zlib stream's checksum.
Decoded decodeWithLibpng(const std::vector<uint8_t>& file) {
  Decoded d;
  MemoryReader reader{&file, 0};
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &d, recordError, nullptr);
  png_infop info = png_create_info_struct(png);
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    d.ok = false;
    return d;
  }
  png_set_read_fn(png, &reader, readFromMemory);
  png_read_info(png, info);
  png_get_IHDR(png, info, &d.width, &d.height, &d.bitDepth, &d.colorType, &d.interlace, nullptr, nullptr);
  if (d.colorType == PNG_COLOR_TYPE_RGB && d.bitDepth == 8) {
    d.rgb.resize(std::size_t(d.width) * 3 * d.height);
    rows.resize(d.height);
    for (png_uint_32 y = 0; y < d.height; ++y) rows[y] = d.rgb.data() + std::size_t(y) * d.width * 3;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  d.ok = true;
  return d;
}

enum class Content { Noise, Flat, Screen, Text, Gradient };

struct Pixels {
  int width, height, stride;
  std::vector<uint8_t> bgra;
  ImageView view() const { return {bgra.data(), width, height, stride}; }
};

// Rows are padded past width * 4 and the padding and alpha bytes are junk, so a writer that reads
// either shows up as wrong pixels.
Pixels makePixels(int width, int height, Content content, unsigned seed) {
  Pixels p{width, height, width * 4 + 12, {}};
  p.bgra.resize(std::size_t(p.stride) * height);
  std::mt19937 rng(seed);
  for (auto& b : p.bgra) b = uint8_t(rng());
  for (int y = 0; y < height; ++y) {
    uint8_t* row = p.bgra.data() + std::size_t(y) * p.stride;
    for (int x = 0; x < width; ++x) {
      uint8_t* px = row + 4 * x;
      switch (content) {
        case Content::Noise:
          break;
        case Content::Flat:
          px[0] = 0x30, px[1] = 0x60, px[2] = 0xF0;
          break;
        case Content::Screen:  // panels, a gradient, and scattered "text" specks
          if ((x / 7 + y / 5) % 11 == 0) break;
          px[0] = uint8_t(x < width / 2 ? 0xFF : y);
          px[1] = uint8_t(x < width / 2 ? 0xFF : 0x20);
          px[2] = uint8_t(x * 255 / width);
          break;
        case Content::Text:  // a page with sparse dark glyph pixels
          if ((x * 7 + y * 13) % 41 == 0) break;
          px[0] = px[1] = px[2] = 0xF8;
          break;
        case Content::Gradient:  // a smooth shade, as in a blurred background
          px[0] = uint8_t((x + y) / 9);
          px[1] = uint8_t(x / 9);
          px[2] = uint8_t(0x40 + y / 9);
          break;
      }
    }
  }
  return p;
}

TEST(PngWriter, RoundTripsThroughLibpng) {
  struct Case {
    int width, height;
    Content content;
  };
  const Case cases[] = {
      {1, 1, Content::Noise},
      {1, 1, Content::Flat},
      {2, 2, Content::Noise},
      {3, 5, Content::Noise},
      {17, 13, Content::Screen},
      {333, 77, Content::Noise},
      {333, 77, Content::Screen},
      {4000, 1, Content::Noise},
      {4000, 1, Content::Flat},
      {1, 3000, Content::Noise},
      {1, 3000, Content::Flat},
      {640, 480, Content::Flat},
      {1021, 769, Content::Screen},
      {1021, 769, Content::Noise},
      {2, 4099, Content::Screen},
      {1021, 769, Content::Text},
      {1021, 769, Content::Gradient},
      // Large enough to be encoded in several pieces: rows of a quarter megabyte and more,
      // and a narrow image whose pieces are tens of thousands of rows each.
      {90001, 3, Content::Noise},
      {90001, 3, Content::Screen},
      {3, 150000, Content::Screen},
  };
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " content " +
                             std::to_string(int(c.content));
    SCOPED_TRACE(name);
    const Pixels p = makePixels(c.width, c.height, c.content, unsigned(c.width * 7919 + c.height));
    const Decoded d = decodeWithLibpng(encodePng(p.view()));
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(d.width, png_uint_32(c.width));
    EXPECT_EQ(d.height, png_uint_32(c.height));
    EXPECT_EQ(d.bitDepth, 8);
    EXPECT_EQ(d.colorType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(d.interlace, PNG_INTERLACE_NONE);
    ASSERT_EQ(d.rgb.size(), std::size_t(c.width) * 3 * c.height);
    std::size_t wrong = 0, firstWrong = 0;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const uint8_t* src = p.bgra.data() + std::size_t(y) * p.stride + 4 * x;
        const uint8_t* got = d.rgb.data() + (std::size_t(y) * c.width + x) * 3;
        if (got[0] != src[2] || got[1] != src[1] || got[2] != src[0]) {
          if (wrong++ == 0) firstWrong = std::size_t(y) * c.width + x;
        }
      }
    EXPECT_EQ(wrong, 0u) << "first wrong pixel at index " << firstWrong;
  }
}

TEST(PngWriter, FlatContentCompressesWell) {
  const Pixels p = makePixels(1920, 1080, Content::Flat, 1);
  EXPECT_LT(encodePng(p.view()).size(), 20000u);
}

TEST(PngWriter, EmptyImageIsAnError) {
  const uint8_t pixel[4] = {};
  const ImageView empties[] = {{pixel, 0, 1, 4}, {pixel, 1, 0, 4}, {pixel, 0, 0, 0}, {pixel, -3, 2, 4}};
  for (const ImageView& v : empties) {
    SCOPED_TRACE(std::to_string(v.width) + "x" + std::to_string(v.height));
    try {
      encodePng(v);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_NE(std::string(e.what()).find("empty"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace quorvel

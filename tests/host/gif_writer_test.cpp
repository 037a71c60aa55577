#include "output/gif_writer.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>

#include "support/error.h"

namespace quorvel {
namespace {

// ---------------------------------------------------------------------------------------------
// A small, strict GIF reader of our own, written from the format and nothing else: it accepts
// one image with a global colour table and fails on anything out of place, including a code
// wider or narrower than the decoder's table implies, which is how an encoder's off-by-one in the
// code width shows.

struct DecodedGif {
  int width = 0, height = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB, the whole global table
  std::vector<uint8_t> indices;
  int minCodeSize = 0;
  int widestCode = 0;    // bits
  int clearsInside = 0;  // clear codes after the first code of the stream
  uint32_t rgb(std::size_t i) const { return palette[indices[i]]; }
};

DecodedGif decodeGif(const std::vector<uint8_t>& f) {
  std::size_t at = 0;
  auto need = [&](std::size_t n) {
    if (at + n > f.size()) throw std::runtime_error("truncated at byte " + std::to_string(at));
  };
  auto byte = [&] {
    need(1);
    return f[at++];
  };
  auto word = [&] {
    need(2);
    const int v = f[at] | f[at + 1] << 8;
    at += 2;
    return v;
  };

  DecodedGif g;
  need(6);
  if (std::string(f.begin(), f.begin() + 6) != "GIF89a") throw std::runtime_error("bad signature");
  at = 6;
  g.width = word();
  g.height = word();
  const int flags = byte();
  byte();  // background
  byte();  // aspect
  if (!(flags & 0x80)) throw std::runtime_error("no global colour table");
  const int entries = 2 << (flags & 7);
  for (int i = 0; i < entries; ++i) {
    need(3);
    g.palette.push_back(uint32_t(f[at]) << 16 | f[at + 1] << 8 | f[at + 2]);
    at += 3;
  }
  while (f.at(at) == 0x21) {  // extensions are allowed and skipped
    at += 2;
    for (int len = byte(); len; len = byte()) at += len;
  }
  if (byte() != 0x2C) throw std::runtime_error("no image descriptor");
  if (word() != 0 || word() != 0) throw std::runtime_error("image not at the origin");
  if (word() != g.width || word() != g.height) throw std::runtime_error("image size differs from the screen");
  if (byte() != 0) throw std::runtime_error("local table or interlace set");
  g.minCodeSize = byte();
  if (g.minCodeSize < 2 || g.minCodeSize > 8) throw std::runtime_error("bad minimum code size");
  std::vector<uint8_t> data;
  for (int len = byte(); len; len = byte()) {
    need(len);
    data.insert(data.end(), f.begin() + at, f.begin() + at + len);
    at += len;
  }
  if (byte() != 0x3B || at != f.size()) throw std::runtime_error("no trailer at the end");

  const int clear = 1 << g.minCodeSize, end = clear + 1;
  std::vector<int> prefix(4096, -1), length(4096, 1);
  std::vector<uint8_t> suffix(4096), first(4096);
  for (int c = 0; c < clear; ++c) suffix[c] = first[c] = uint8_t(c);
  int size = g.minCodeSize + 1, avail = clear + 2, prev = -1;
  std::size_t bit = 0, codes = 0;
  const std::size_t pixels = std::size_t(g.width) * g.height;
  std::vector<uint8_t> string;
  for (;;) {
    if (bit + size > data.size() * 8) throw std::runtime_error("code stream ends without an end code");
    int code = 0;
    for (int i = 0; i < size; ++i, ++bit) code |= (data[bit >> 3] >> (bit & 7) & 1) << i;
    g.widestCode = std::max(g.widestCode, size);
    ++codes;
    if (code == clear) {
      if (codes > 1) ++g.clearsInside;
      size = g.minCodeSize + 1;
      avail = clear + 2;
      prev = -1;
      continue;
    }
    if (code == end) break;
    if (code > avail || (prev < 0 && code >= clear) || (code == avail && prev < 0))
      throw std::runtime_error("code " + std::to_string(code) + " not in the table (next " +
                               std::to_string(avail) + ")");
    const int known = code < avail ? code : prev;
    string.assign(length[known], 0);
    for (int c = known, i = length[known] - 1; i >= 0; c = prefix[c], --i) string[i] = suffix[c];
    if (code == avail) string.push_back(first[prev]);
    if (g.indices.size() + string.size() > pixels)
      throw std::runtime_error("more pixels than the image holds");
    g.indices.insert(g.indices.end(), string.begin(), string.end());
    if (prev >= 0 && avail < 4096) {
      prefix[avail] = prev;
      suffix[avail] = string[0];
      first[avail] = first[prev];
      length[avail] = length[prev] + 1;
      if (++avail == (1 << size) && size < 12) ++size;
    }
    prev = code;
  }
  if (g.indices.size() != pixels) throw std::runtime_error("fewer pixels than the image holds");
  if ((data.size() * 8 - bit) >= 8) throw std::runtime_error("data after the end code");
  for (uint8_t i : g.indices)
    if (i >= g.palette.size()) throw std::runtime_error("index beyond the colour table");
  return g;
}

// ---------------------------------------------------------------------------------------------
// Test images

struct Image {
  int width = 0, height = 0, stride = 0;
  std::vector<uint8_t> bytes;
  ImageView view() const { return {bytes.data(), width, height, stride}; }
  uint32_t rgb(int x, int y) const {
    const uint8_t* p = &bytes[std::size_t(y) * stride + 4 * x];
    return uint32_t(p[2]) << 16 | p[1] << 8 | p[0];
  }
};

// Pixels from colour(x, y) = 0xRRGGBB; the fourth byte and any row padding get noise, which the
// encoder has to ignore.
Image makeImage(int width, int height, const std::function<uint32_t(int, int)>& colour, int padding = 0) {
  Image im{width, height, width * 4 + padding, {}};
  im.bytes.resize(std::size_t(im.stride) * height);
  std::mt19937 noise(width * 7919 + height);
  for (auto& b : im.bytes) b = uint8_t(noise());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &im.bytes[std::size_t(y) * im.stride + 4 * x];
      const uint32_t c = colour(x, y);
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16);
    }
  return im;
}

// Random pixels drawn from `count` random colours.
Image noiseImage(int width, int height, int count, unsigned seed = 1) {
  std::mt19937 rng(seed);
  std::vector<uint32_t> colours(count);
  for (auto& c : colours) c = rng() & 0xFFFFFF;
  return makeImage(width, height, [&](int, int) { return colours[rng() % count]; });
}

// A smooth, photo-like picture with far more than 256 colours.
Image gradientImage(int width, int height) {
  return makeImage(width, height, [&](int x, int y) {
    const double u = double(x) / width, v = double(y) / height;
    const int r = int(40 + 160 * u), g = int(60 + 120 * v), b = int(128 + 50 * std::sin(3 * u + 4 * v));
    return uint32_t(r << 16 | g << 8 | b);
  });
}

double psnr(const Image& original, const DecodedGif& gif) {
  double sum = 0;
  for (int y = 0; y < original.height; ++y)
    for (int x = 0; x < original.width; ++x) {
      const uint32_t a = original.rgb(x, y), b = gif.rgb(std::size_t(y) * original.width + x);
      for (int s = 0; s < 24; s += 8) {
        const double d = double(a >> s & 0xFF) - double(b >> s & 0xFF);
        sum += d * d;
      }
    }
  const double mse = sum / (3.0 * original.width * original.height);
  return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

void expectExact(const Image& im, const DecodedGif& gif, const std::string& what) {
  ASSERT_EQ(gif.width, im.width) << what;
  ASSERT_EQ(gif.height, im.height) << what;
  for (int y = 0; y < im.height; ++y)
    for (int x = 0; x < im.width; ++x)
      ASSERT_EQ(gif.rgb(std::size_t(y) * im.width + x), im.rgb(x, y)) << what << " at " << x << "," << y;
}

DecodedGif decodeOrFail(const std::vector<uint8_t>& file, const std::string& what) {
  try {
    return decodeGif(file);
  } catch (const std::exception& e) {
    ADD_FAILURE() << what << ": " << e.what();
    return {};
  }
}

// ---------------------------------------------------------------------------------------------

TEST(GifWriter, FewColoursRoundTripExactlyAtEverySize) {
  const struct {
    int width, height;
  } sizes[] = {{1, 1}, {2, 1}, {1, 2}, {7, 3}, {3, 7}, {333, 77}, {1000, 1}, {1, 1000}};
  for (const auto& s : sizes)
    for (int colours : {1, 2, 3, 17, 255, 256}) {
      const std::string what = std::to_string(s.width) + "x" + std::to_string(s.height) + " with " +
                               std::to_string(colours) + " colours";
      const Image im = noiseImage(s.width, s.height, colours, s.width + colours);
      const DecodedGif gif = decodeOrFail(encodeGif(im.view()), what);
      expectExact(im, gif, what);
      // The table is no larger than the colours need (a power of two, at least 2).
      EXPECT_LE(gif.palette.size(), std::max<std::size_t>(2, std::bit_ceil(std::size_t(colours)))) << what;
    }
}

TEST(GifWriter, CodesWidenToTwelveBitsAndTheTableRestarts) {
  // Noise hardly compresses, so the table fills again and again.
  for (int colours : {2, 256}) {
    const Image im = noiseImage(colours == 2 ? 800 : 300, 200, colours, 7);
    const DecodedGif gif = decodeOrFail(encodeGif(im.view(), 1), std::to_string(colours) + " colours");
    expectExact(im, gif, std::to_string(colours) + " colours");
    EXPECT_EQ(gif.minCodeSize, colours == 2 ? 2 : 8);
    EXPECT_EQ(gif.widestCode, 12);
    EXPECT_GE(gif.clearsInside, 3);
  }
}

TEST(GifWriter, EveryStreamLengthAndEveryBandJoinDecodes) {
  // The code after the last one (end or clear) is where the width is easiest to get wrong; each
  // length ends the table at a different point. Bands are joined mid-byte at every offset too.
  for (int length = 1; length <= 400; ++length) {
    const Image row = noiseImage(length, 1, 3, length);
    expectExact(row, decodeOrFail(encodeGif(row.view()), "row of " + std::to_string(length)),
                "row of " + std::to_string(length));
  }
  for (int width = 1; width <= 120; ++width)
    for (int threads : {2, 3}) {
      const Image im = noiseImage(width, 6, width % 2 ? 5 : 256, width);
      const std::string what = std::to_string(width) + "x6 on " + std::to_string(threads) + " threads";
      expectExact(im, decodeOrFail(encodeGif(im.view(), threads), what), what);
    }
}

TEST(GifWriter, ManyColoursAreDitheredOntoAPaletteOfTheirOwn) {
  const Image im = gradientImage(480, 360);
  for (int threads : {1, 2, 3}) {
    const std::string what = std::to_string(threads) + " threads";
    const DecodedGif gif = decodeOrFail(encodeGif(im.view(), threads), what);
    ASSERT_EQ(gif.indices.size(), std::size_t(480 * 360)) << what;
    EXPECT_EQ(gif.palette.size(), 256u) << what;
    EXPECT_GE(psnr(im, gif), 30.0) << what;
    // Error diffusion keeps the average colour of small blocks; mapping each pixel to its nearest
    // colour alone leaves whole bands of them off (about 1.5 levels on average here).
    double offBy = 0;
    int blocks = 0;
    for (int by = 0; by < 360; by += 8)
      for (int bx = 0; bx < 480; bx += 8)
        for (int s = 0; s < 24; s += 8, ++blocks) {
          double diff = 0;
          for (int y = by; y < by + 8; ++y)
            for (int x = bx; x < bx + 8; ++x)
              diff +=
                  double(gif.rgb(std::size_t(y) * 480 + x) >> s & 0xFF) - double(im.rgb(x, y) >> s & 0xFF);
          offBy += std::abs(diff / 64);
        }
    EXPECT_LT(offBy / blocks, 0.8) << what;
  }
}

TEST(GifWriter, OneColourMoreThanAPaletteHoldsStaysClose) {
  // 257 colours in large flat patches: the palette keeps 256, the patches stay near their colour.
  std::mt19937 rng(3);
  std::vector<uint32_t> colours(257);
  for (auto& c : colours) c = rng() & 0xFFFFFF;
  const Image im = makeImage(257 * 4, 40, [&](int x, int) { return colours[x / 4]; });
  const DecodedGif gif = decodeOrFail(encodeGif(im.view()), "257 colours");
  EXPECT_EQ(gif.palette.size(), 256u);
  EXPECT_GE(psnr(im, gif), 35.0);
}

TEST(GifWriter, AlphaAndRowPaddingDoNotMatter) {
  for (const Image& im : {noiseImage(61, 23, 40, 5), gradientImage(61, 23)}) {
    const Image padded = makeImage(
        im.width, im.height, [&](int x, int y) { return im.rgb(x, y); }, 12);
    Image opaque = padded;
    for (int y = 0; y < im.height; ++y)
      for (int x = 0; x < im.width; ++x) opaque.bytes[std::size_t(y) * opaque.stride + 4 * x + 3] = 255;
    EXPECT_EQ(encodeGif(padded.view(), 1), encodeGif(im.view(), 1));
    EXPECT_EQ(encodeGif(opaque.view(), 1), encodeGif(im.view(), 1));
  }
}

TEST(GifWriter, RejectsImagesAGifCannotHold) {
  std::vector<uint8_t> pixels(65536 * 4);
  const struct {
    const uint8_t* bits;
    int width, height, stride;
  } bad[] = {{pixels.data(), 0, 0, 0},
             {pixels.data(), 0, 5, 0},
             {pixels.data(), 5, 0, 20},
             {nullptr, 5, 5, 20},
             {pixels.data(), 65536, 1, 65536 * 4},
             {pixels.data(), 1, 65536, 4},
             {pixels.data(), 5, 2, 16}};
  for (const auto& b : bad)
    EXPECT_THROW(encodeGif(ImageView{b.bits, b.width, b.height, b.stride}), Error)
        << b.width << "x" << b.height << " stride " << b.stride;
  const Image widest = noiseImage(65535, 1, 2);
  EXPECT_EQ(decodeOrFail(encodeGif(widest.view()), "65535 wide").width, 65535);
}

// ---------------------------------------------------------------------------------------------
// Palette bitmaps

struct PackedImage {
  std::vector<uint8_t> bits;
  std::vector<uint8_t> indices;  // what the rows hold, one per pixel
  int stride = 0;
};

// Rows packed from the most significant bit, padded to 32 bits with set bits that must be ignored.
PackedImage packIndices(int width, int height, int bpp, int maxIndex, unsigned seed) {
  std::mt19937 rng(seed);
  PackedImage p;
  p.stride = (width * bpp + 31) / 32 * 4;
  p.bits.assign(std::size_t(p.stride) * height, 0xFF);
  for (int y = 0; y < height; ++y) {
    uint8_t* row = &p.bits[std::size_t(y) * p.stride];
    for (int x = 0; x < width; ++x) {
      const int v = int(rng() % (maxIndex + 1));
      p.indices.push_back(uint8_t(v));
      const int bit = x * bpp, shift = 8 - bpp - bit % 8;
      row[bit / 8] = uint8_t((row[bit / 8] & ~(((1 << bpp) - 1) << shift)) | v << shift);
    }
  }
  return p;
}

TEST(GifWriter, PaletteBitmapsKeepTheirPaletteAndIndices) {
  const struct {
    int bpp, width, height, paletteSize, maxIndex;
  } cases[] = {
      {1, 13, 3, 2, 1},  {1, 1, 1, 2, 1}, {4, 7, 5, 16, 15}, {4, 300, 20, 16, 15}, {8, 9, 4, 256, 255},
      {8, 50, 50, 5, 4}, {8, 1, 1, 1, 0}, {4, 6, 2, 3, 7},  // indices past the bitmap's palette show black
  };
  for (const auto& c : cases) {
    const std::string what = std::to_string(c.bpp) + "-bit " + std::to_string(c.width) + "x" +
                             std::to_string(c.height) + ", palette of " + std::to_string(c.paletteSize);
    const PackedImage packed = packIndices(c.width, c.height, c.bpp, c.maxIndex, c.width);
    std::vector<uint32_t> palette(c.paletteSize);
    std::mt19937 rng(c.bpp);
    for (auto& e : palette) e = rng() & 0xFFFFFF;
    const IndexedView view{packed.bits.data(), c.width,      c.height, packed.stride, c.bpp,
                           palette.data(),     c.paletteSize};
    const DecodedGif gif = decodeOrFail(encodeGif(view), what);
    ASSERT_EQ(gif.indices, packed.indices) << what;
    for (int i = 0; i <= c.maxIndex; ++i)
      EXPECT_EQ(gif.palette[i], i < c.paletteSize ? palette[i] : 0u) << what << ", entry " << i;
  }
}

TEST(GifWriter, RejectsPaletteBitmapsItCannotRead) {
  const std::vector<uint8_t> bits(64, 0);
  const std::vector<uint32_t> palette(257, 0x123456);
  const IndexedView good{bits.data(), 4, 4, 4, 8, palette.data(), 256};
  EXPECT_NO_THROW(encodeGif(good));
  auto with = [&](auto change) {
    IndexedView v = good;
    change(v);
    return v;
  };
  EXPECT_THROW(encodeGif(with([](IndexedView& v) { v.bitsPerPixel = 2; })), Error);
  EXPECT_THROW(encodeGif(with([](IndexedView& v) { v.bitsPerPixel = 16; })), Error);
  EXPECT_THROW(encodeGif(with([](IndexedView& v) { v.paletteSize = 0; })), Error);
  EXPECT_THROW(encodeGif(with([](IndexedView& v) { v.paletteSize = 257; })), Error);
  EXPECT_THROW(encodeGif(with([](IndexedView& v) { v.palette = nullptr; })), Error);
  EXPECT_THROW(encodeGif(with([](IndexedView& v) { v.width = 0; })), Error);
  EXPECT_THROW(encodeGif(with([](IndexedView& v) { v.stride = 3; })), Error);
}

// ---------------------------------------------------------------------------------------------
// A second, independent reader: ImageMagick, when it is installed.

TEST(GifWriter, ImageMagickReadsTheSamePixels) {
  if (std::system("command -v convert >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "ImageMagick's convert is not installed";
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("qv_gif_test_" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  for (const Image& im : {gradientImage(203, 101), noiseImage(150, 90, 2, 9), noiseImage(97, 300, 256, 4)}) {
    const std::vector<uint8_t> file = encodeGif(im.view(), 2);
    const DecodedGif ours = decodeOrFail(file, "our reader");
    std::ofstream(dir / "in.gif", std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    const std::string command =
        "convert '" + (dir / "in.gif").string() + "' -depth 8 'rgb:" + (dir / "out.rgb").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::ifstream in(dir / "out.rgb", std::ios::binary);
    const std::vector<uint8_t> rgb{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ASSERT_EQ(rgb.size(), std::size_t(im.width) * im.height * 3);
    for (std::size_t i = 0; i < ours.indices.size(); ++i)
      ASSERT_EQ(uint32_t(rgb[3 * i]) << 16 | rgb[3 * i + 1] << 8 | rgb[3 * i + 2], ours.rgb(i))
          << "pixel " << i;
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace quorvel

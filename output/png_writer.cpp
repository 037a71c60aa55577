#include "output/png_writer.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "support/error.h"

namespace quorvel {
namespace {

void putBe32(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v >> 24));
  out.push_back(uint8_t(v >> 16));
  out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

void putChunk(std::vector<uint8_t>& out, const char type[4], const uint8_t* data, std::size_t size) {
  putBe32(out, uint32_t(size));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  putBe32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

int paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return a;
  return pb <= pc ? b : c;
}

// Writes the five filtered versions of `cur` (with `prev` above it, zeros for the first row) and
// returns the index of the one whose bytes, read as signed, sum to the least: the usual choice.
int filterRow(const uint8_t* prev, const uint8_t* cur, std::size_t n, uint8_t* out[5]) {
  uint64_t sums[5] = {};
  for (std::size_t i = 0; i < n; ++i) {
    const int a = i >= 3 ? cur[i - 3] : 0, b = prev[i], c = i >= 3 ? prev[i - 3] : 0, x = cur[i];
    const uint8_t f[5] = {uint8_t(x), uint8_t(x - a), uint8_t(x - b), uint8_t(x - (a + b) / 2),
                          uint8_t(x - paeth(a, b, c))};
    for (int k = 0; k < 5; ++k) {
      out[k][i] = f[k];
      sums[k] += f[k] < 128 ? f[k] : 256 - f[k];
    }
  }
  int best = 0;
  for (int k = 1; k < 5; ++k)
    if (sums[k] < sums[best]) best = k;
  return best;
}

}  // namespace

std::vector<uint8_t> encodePng(const ImageView& image) {
  if (image.width <= 0 || image.height <= 0)
    throw Error("Cannot write a PNG image of " + std::to_string(image.width) + " x " +
                std::to_string(image.height) + " pixels: the image is empty.");
  const std::size_t w = std::size_t(image.width), n = w * 3;

  // Filtered scanlines, each led by its filter type byte.
  std::vector<uint8_t> raw((n + 1) * std::size_t(image.height));
  std::vector<uint8_t> prev(n, 0), cur(n), scratch(5 * n);
  uint8_t* variants[5] = {scratch.data(), scratch.data() + n, scratch.data() + 2 * n, scratch.data() + 3 * n,
                          scratch.data() + 4 * n};
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* src = image.row(y);
    for (std::size_t x = 0; x < w; ++x) {
      cur[3 * x] = src[4 * x + 2];
      cur[3 * x + 1] = src[4 * x + 1];
      cur[3 * x + 2] = src[4 * x];
    }
    const int filter = filterRow(prev.data(), cur.data(), n, variants);
    uint8_t* line = raw.data() + std::size_t(y) * (n + 1);
    line[0] = uint8_t(filter);
    std::memcpy(line + 1, variants[filter], n);
    prev.swap(cur);
  }

  std::vector<uint8_t> idat(compressBound(uLong(raw.size())));
  uLongf idatSize = uLongf(idat.size());
  if (compress2(idat.data(), &idatSize, raw.data(), uLong(raw.size()), 6) != Z_OK)
    throw Error("The PNG encoder ran out of memory.");

  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> ihdr;
  putBe32(ihdr, uint32_t(image.width));
  putBe32(ihdr, uint32_t(image.height));
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // bit depth, truecolour, deflate, adaptive filters, no interlace
  putChunk(out, "IHDR", ihdr.data(), ihdr.size());
  putChunk(out, "IDAT", idat.data(), idatSize);
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace quorvel

#include "output/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "support/error.h"

// How the encoder spends its time. A capture is split into horizontal bands of about
// kBandBytes of filtered data; each band is filtered and deflated on its own, by as many
// threads as there are cores. Every band's deflater is primed with the 32 KiB of filtered data
// that precede the band, so the decoder sees one continuous stream and the split costs next to
// nothing in size. The bands are joined with sync flushes (a byte-aligned empty stored block)
// and the adler-32 of the whole is put together from the bands' own checksums.
//
// Screen content is two kinds of picture: flat interface areas and text, where the unfiltered
// bytes repeat exactly and a deflate match search pays off, and photos or gradients, where
// predicted bytes are small and matches are rare and short. Rows that are mostly runs of one
// colour stay unfiltered; the others take the predictor with the smallest capped residuals.
// Each band then picks the zlib setting that suits what it holds, so the expensive lazy match
// search runs only where it finds something.

namespace quorvel {
namespace {

constexpr std::size_t kWindow = 32768;        // deflate's history, and the dictionary of a band
constexpr std::size_t kBandBytes = 256 * 1024;  // filtered bytes per band
constexpr uint32_t kMaxChunk = 0x7FFFFFFF;     // PNG chunk length limit

enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// ---- rows -------------------------------------------------------------------------------

// Asks for a cache line ahead of a sequential read: the hardware prefetcher alone leaves the
// row conversion waiting on memory for most of its time.
inline void prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

// `rgb` needs one byte of slack past width * 3: each pixel is stored as a whole word.
void toRgb(const uint8_t* bgrx, std::size_t width, uint8_t* rgb) {
  constexpr std::size_t kAhead = 2048;  // bytes
  for (std::size_t x = 0; x < width; ++x) {
    if (x % 16 == 0) prefetch(bgrx + 4 * x + kAhead);
    uint32_t v;
    std::memcpy(&v, bgrx + 4 * x, 4);
    v = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);  // little-endian B G R x -> R G B
    std::memcpy(rgb + 3 * x, &v, 4);
  }
}

// Pixels that repeat their left neighbour, ignoring the fourth byte.
std::size_t runPixels(const uint8_t* bgrx, std::size_t width) {
  uint32_t same = 0;
  for (std::size_t x = 1; x < width; ++x) {
    uint32_t left, here;
    std::memcpy(&left, bgrx + 4 * x - 4, 4);
    std::memcpy(&here, bgrx + 4 * x, 4);
    same += ((left ^ here) & 0x00FFFFFF) == 0;
  }
  return same;
}

inline uint8_t paethPredict(uint8_t a, uint8_t b, uint8_t c) {
  const int16_t pa = int16_t(std::abs(int16_t(b) - int16_t(c)));
  const int16_t pb = int16_t(std::abs(int16_t(a) - int16_t(c)));
  const int16_t pc = int16_t(std::abs(int16_t(a) + int16_t(b) - 2 * int16_t(c)));
  const uint8_t bc = pb <= pc ? b : c;
  return (pa <= pb && pa <= pc) ? a : bc;
}

// A residual's cost: its size as a signed byte, capped. Past a small magnitude every residual
// costs about the same in the Huffman code, so large outliers must not decide the choice.
inline uint32_t residualCost(uint8_t r) {
  const uint8_t m = uint8_t(r < 128 ? r : 256 - r);
  return m < 8 ? m : 8;
}

// Sub, Up, Average and Paeth residual costs of a row. `prev` is the row above (zeros for the
// first row). The first pixel has no left neighbour.
void predictorCosts(const uint8_t* prev, const uint8_t* cur, std::size_t n, uint32_t cost[5]) {
  uint32_t sub = 0, up = 0, avg = 0, paeth = 0;
  for (std::size_t i = 0; i < 3 && i < n; ++i) {
    sub += residualCost(cur[i]);
    up += residualCost(uint8_t(cur[i] - prev[i]));
    avg += residualCost(uint8_t(cur[i] - (prev[i] >> 1)));
    paeth += residualCost(uint8_t(cur[i] - prev[i]));
  }
  for (std::size_t i = 3; i < n; ++i) {
    const uint8_t a = cur[i - 3], b = prev[i], c = prev[i - 3], x = cur[i];
    sub += residualCost(uint8_t(x - a));
    up += residualCost(uint8_t(x - b));
    avg += residualCost(uint8_t(x - uint8_t((unsigned(a) + b) >> 1)));
    paeth += residualCost(uint8_t(x - paethPredict(a, b, c)));
  }
  cost[kSub] = sub, cost[kUp] = up, cost[kAverage] = avg, cost[kPaeth] = paeth;
}

void applyFilter(Filter f, const uint8_t* prev, const uint8_t* cur, std::size_t n, uint8_t* out) {
  const std::size_t head = std::min<std::size_t>(3, n);
  switch (f) {
    case kNone:
      std::memcpy(out, cur, n);
      break;
    case kSub:
      std::memcpy(out, cur, head);
      for (std::size_t i = 3; i < n; ++i) out[i] = uint8_t(cur[i] - cur[i - 3]);
      break;
    case kUp:
      for (std::size_t i = 0; i < n; ++i) out[i] = uint8_t(cur[i] - prev[i]);
      break;
    case kAverage:
      for (std::size_t i = 0; i < head; ++i) out[i] = uint8_t(cur[i] - (prev[i] >> 1));
      for (std::size_t i = 3; i < n; ++i) out[i] = uint8_t(cur[i] - uint8_t((unsigned(cur[i - 3]) + prev[i]) >> 1));
      break;
    case kPaeth:
      for (std::size_t i = 0; i < head; ++i) out[i] = uint8_t(cur[i] - prev[i]);
      for (std::size_t i = 3; i < n; ++i) out[i] = uint8_t(cur[i] - paethPredict(cur[i - 3], prev[i], prev[i - 3]));
      break;
  }
}

// Filters one row into out[0] (the filter type) and out[1..n]. Returns how many of its bytes
// are flat: zero residuals, or in an unfiltered row the bytes of pixels that repeat their left
// neighbour.
std::size_t filterRow(const uint8_t* source, const uint8_t* prev, const uint8_t* cur, std::size_t width,
                      uint8_t* out) {
  const std::size_t n = width * 3;
  // Mostly flat rows (interface, text on a plain background) stay unfiltered: their repeats
  // are exact byte strings that the match search finds, which any predictor would blur.
  const std::size_t runs = runPixels(source, width);
  if (runs * 10 >= width * 9) {
    out[0] = kNone;
    std::memcpy(out + 1, cur, n);
    return 3 * runs;
  }
  uint32_t cost[5];
  predictorCosts(prev, cur, n, cost);
  cost[kNone] = 0;
  for (std::size_t i = 0; i < n; ++i) cost[kNone] += residualCost(cur[i]);
  Filter best = kNone;
  for (int f = kSub; f <= kPaeth; ++f)
    if (cost[f] < cost[best]) best = Filter(f);
  out[0] = best;
  applyFilter(best, prev, cur, n, out + 1);
  std::size_t zeros = 0;
  for (std::size_t i = 1; i <= n; ++i) zeros += out[i] == 0;
  return zeros;
}

// ---- checksums --------------------------------------------------------------------------

// adler-32, in a form the compiler vectorises: per-lane column sums and their running totals
// stand in for the byte-serial recurrence, reduced once per block.
uint32_t adler32Of(uint32_t adler, const uint8_t* p, std::size_t len) {
  constexpr uint32_t kMod = 65521;
  constexpr std::size_t kLanes = 16, kBlock = 4096;  // 4096/16 * 255 fits a 16-bit column sum
  uint64_t s1 = adler & 0xFFFF, s2 = adler >> 16;
  while (len >= kLanes) {
    const std::size_t block = std::min(len, kBlock) / kLanes * kLanes;
    uint16_t col[kLanes] = {};
    uint32_t pre[kLanes] = {};
    for (std::size_t j = 0; j < block; j += kLanes)
      for (std::size_t k = 0; k < kLanes; ++k) {
        pre[k] += col[k];
        col[k] = uint16_t(col[k] + p[j + k]);
      }
    uint64_t sum = 0, weighted = 0, prefix = 0;
    for (std::size_t k = 0; k < kLanes; ++k) {
      sum += col[k];
      weighted += (kLanes - k) * uint64_t(col[k]);
      prefix += pre[k];
    }
    s2 = (s2 + block * s1 + kLanes * prefix + weighted) % kMod;
    s1 = (s1 + sum) % kMod;
    p += block;
    len -= block;
  }
  for (std::size_t i = 0; i < len; ++i) {
    s1 += p[i];
    s2 += s1;
  }
  return uint32_t((s2 % kMod) << 16 | (s1 % kMod));
}

uint32_t crc32Of(uint32_t crc, const uint8_t* p, std::size_t len) {
  while (len > 0) {
    const uInt step = uInt(std::min<std::size_t>(len, 1u << 30));
    crc = uint32_t(::crc32(crc, p, step));
    p += step;
    len -= step;
  }
  return crc;
}

// ---- bands ------------------------------------------------------------------------------

struct Band {
  int y0 = 0, y1 = 0;
  std::size_t rawBytes = 0;  // filtered bytes
  uint32_t adler = 1;        // of this band's filtered bytes alone
  uint32_t crc = 0;          // of its deflate data
  std::size_t worker = 0, offset = 0, size = 0;  // where its deflate data lies
};

// zlib settings by how flat a band is (the share of bytes that repeat their neighbour after
// filtering). Photos and gradients gain little from a deep match search; flat areas with text
// and repeated interface elements gain a lot, and there the search is cheap because matches
// are long.
struct Setting {
  int level;
  int good, lazy, nice, chain;  // deflateTune, when good > 0
};
Setting settingFor(std::size_t flat, std::size_t bytes) {
  if (flat * 100 < bytes * 85) return {3, 0, 0, 0, 0};
  if (flat * 100 < bytes * 95) return {5, 4, 32, 64, 32};
  return {6, 8, 32, 128, 64};
}

// One raw deflate stream per thread, reset for every band: setting a stream up allocates a
// few hundred kilobytes, which would cost more than deflating a flat band.
class Deflater {
 public:
  Deflater() {
    if (deflateInit2(&z_, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw Error("The PNG encoder could not start zlib: out of memory.");
  }
  ~Deflater() { deflateEnd(&z_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  // Deflates `in` after `dictionary` (the bytes just before it in the whole stream) and
  // appends the result to `out`. All but the last band end on a byte boundary (sync flush),
  // so their outputs can simply be concatenated.
  void compress(const Setting& setting, const uint8_t* dictionary, std::size_t dictionaryBytes,
                const uint8_t* in, std::size_t len, bool last, std::vector<uint8_t>& out) {
    deflateReset(&z_);
    deflateParams(&z_, setting.level, Z_DEFAULT_STRATEGY);
    if (setting.good > 0) deflateTune(&z_, setting.good, setting.lazy, setting.nice, setting.chain);
    if (dictionaryBytes > 0) deflateSetDictionary(&z_, dictionary, uInt(dictionaryBytes));
    std::size_t produced = out.size();
    out.resize(produced + deflateBound(&z_, uLong(std::min<std::size_t>(len, kMaxStep))) + 64);
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      const uInt step = uInt(std::min<std::size_t>(len, kMaxStep));
      const bool final = step == len;
      z_.next_in = const_cast<Bytef*>(in);
      z_.avail_in = step;
      int rc;
      do {
        if (produced == out.size()) out.resize(out.size() * 2);
        const uInt room = uInt(std::min<std::size_t>(out.size() - produced, kMaxStep));
        z_.next_out = out.data() + produced;
        z_.avail_out = room;
        rc = deflate(&z_, final ? flush : Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR) throw Error("The PNG encoder failed inside zlib.");
        produced += room - z_.avail_out;
      } while (z_.avail_out == 0 || (final && last && rc != Z_STREAM_END));
      in += step;
      len -= step;
      if (final) break;
    }
    out.resize(produced);
  }

 private:
  static constexpr std::size_t kMaxStep = std::size_t(1) << 30;  // zlib counts in 32 bits
  z_stream z_{};
};

struct Worker {
  Deflater deflater;
  std::vector<uint8_t> filtered, rgb;
  std::vector<uint8_t> deflated;  // the deflate data of every band this worker did, in turn
  std::exception_ptr error;
};

// Filters and deflates rows [band.y0, band.y1). The rows just above the band are filtered
// again (exactly as their own band did) to give the deflater its dictionary.
void encodeBand(const ImageView& image, Band& band, bool last, Worker& w) {
  const std::size_t width = std::size_t(image.width), n = width * 3, rowBytes = n + 1;
  const int contextRows = int(std::min<std::size_t>(std::size_t(band.y0), (kWindow + rowBytes - 1) / rowBytes));
  const int first = band.y0 - contextRows;
  w.filtered.resize(std::size_t(band.y1 - first) * rowBytes);
  w.rgb.assign(2 * n + 2, 0);  // two rows, each with the byte of slack toRgb needs
  uint8_t* prev = w.rgb.data();
  uint8_t* cur = w.rgb.data() + n + 1;
  if (first > 0) toRgb(image.row(first - 1), width, prev);
  std::size_t flat = 0;
  for (int y = first; y < band.y1; ++y) {
    toRgb(image.row(y), width, cur);
    const std::size_t f = filterRow(image.row(y), prev, cur, width, w.filtered.data() + std::size_t(y - first) * rowBytes);
    if (y >= band.y0) flat += f;
    std::swap(prev, cur);
  }
  const std::size_t contextBytes = std::size_t(contextRows) * rowBytes;
  const std::size_t dictionary = std::min(contextBytes, kWindow);
  const uint8_t* data = w.filtered.data() + contextBytes;
  band.rawBytes = w.filtered.size() - contextBytes;
  band.adler = adler32Of(1, data, band.rawBytes);
  band.offset = w.deflated.size();
  w.deflater.compress(settingFor(flat, band.rawBytes), data - dictionary, dictionary, data, band.rawBytes, last,
                      w.deflated);
  band.size = w.deflated.size() - band.offset;
  band.crc = crc32Of(0, w.deflated.data() + band.offset, band.size);
}

// Runs every band, on all cores when there is more than one band. Returns the workers, which
// hold the deflate data.
std::vector<Worker> encodeBands(const ImageView& image, std::vector<Band>& bands) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  std::vector<Worker> workers(std::min<std::size_t>(cores, bands.size()));
  std::atomic<std::size_t> next{0};
  std::atomic<bool> failed{false};
  auto work = [&](std::size_t index) {
    Worker& w = workers[index];
    try {
      for (std::size_t i = next++; i < bands.size() && !failed; i = next++) {
        bands[i].worker = index;
        encodeBand(image, bands[i], i + 1 == bands.size(), w);
      }
    } catch (...) {
      w.error = std::current_exception();
      failed = true;
    }
  };
  std::vector<std::thread> threads;
  for (std::size_t t = 1; t < workers.size(); ++t) {
    try {
      threads.emplace_back(work, t);
    } catch (const std::system_error&) {
      break;  // the threads that did start share the work
    }
  }
  work(0);
  for (auto& t : threads) t.join();
  for (auto& w : workers)
    if (w.error) std::rethrow_exception(w.error);
  return workers;
}

// ---- file ------------------------------------------------------------------------------

uint8_t* putBe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
  return p + 4;
}

// Writes a chunk whose data is already in place at p + 8 and returns the end of the chunk.
uint8_t* finishChunk(uint8_t* p, const char type[4], std::size_t size) {
  putBe32(p, uint32_t(size));
  std::memcpy(p + 4, type, 4);
  return putBe32(p + 8 + size, crc32Of(0, p + 4, 4 + size));
}

}  // namespace

std::vector<uint8_t> encodePng(const ImageView& image) {
  if (image.width <= 0 || image.height <= 0)
    throw Error("Cannot write a PNG image of " + std::to_string(image.width) + " x " +
                std::to_string(image.height) + " pixels: the image is empty.");
  const std::size_t rowBytes = std::size_t(image.width) * 3 + 1;
  const int rowsPerBand = int(std::clamp<std::size_t>(kBandBytes / rowBytes, 1, std::size_t(image.height)));
  std::vector<Band> bands((image.height + rowsPerBand - 1) / rowsPerBand);
  for (std::size_t i = 0; i < bands.size(); ++i) {
    bands[i].y0 = int(i) * rowsPerBand;
    bands[i].y1 = std::min(image.height, bands[i].y0 + rowsPerBand);
  }
  const std::vector<Worker> workers = encodeBands(image, bands);

  // The zlib stream is a header, the bands' deflate data in order, and the adler-32 of all the
  // filtered bytes. It goes into IDAT chunks of whole bands, as many as fit in one chunk; their
  // CRCs are combined from the bands' own, so no thread reads the compressed data twice.
  const uint8_t zlibHeader[2] = {0x78, 0x9C};
  uint32_t adler = 1;
  for (const Band& b : bands) adler = uint32_t(adler32_combine(adler, b.adler, z_off_t(b.rawBytes)));
  uint8_t zlibTrailer[4];
  putBe32(zlibTrailer, adler);

  struct Chunk {
    std::size_t firstBand, endBand, size;
  };
  std::vector<Chunk> chunks;
  std::size_t fileSize = 8 + 25 + 12;  // signature, IHDR, IEND
  for (std::size_t i = 0; i < bands.size();) {
    Chunk c{i, i, i == 0 ? sizeof zlibHeader : 0};
    do c.size += bands[c.endBand++].size;
    while (c.endBand < bands.size() && c.size + bands[c.endBand].size + sizeof zlibTrailer <= kMaxChunk);
    if (c.endBand == bands.size()) c.size += sizeof zlibTrailer;
    if (c.size > kMaxChunk) throw Error("The image is too large for a PNG file.");
    chunks.push_back(c);
    fileSize += 12 + c.size;
    i = c.endBand;
  }

  std::vector<uint8_t> file(fileSize);
  uint8_t* p = file.data();
  const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::memcpy(p, signature, 8);
  p += 8;
  uint8_t* ihdr = p + 8;
  putBe32(ihdr, uint32_t(image.width));
  putBe32(ihdr + 4, uint32_t(image.height));
  ihdr[8] = 8;   // bits per sample
  ihdr[9] = 2;   // truecolour, no alpha
  ihdr[10] = 0;  // deflate
  ihdr[11] = 0;  // adaptive filtering
  ihdr[12] = 0;  // no interlace
  p = finishChunk(p, "IHDR", 13);
  for (const Chunk& c : chunks) {
    putBe32(p, uint32_t(c.size));
    std::memcpy(p + 4, "IDAT", 4);
    uint32_t crc = crc32Of(0, p + 4, 4);
    p += 8;
    if (c.firstBand == 0) {
      std::memcpy(p, zlibHeader, sizeof zlibHeader);
      crc = crc32Of(crc, p, sizeof zlibHeader);
      p += sizeof zlibHeader;
    }
    for (std::size_t i = c.firstBand; i < c.endBand; ++i) {
      const Band& b = bands[i];
      std::memcpy(p, workers[b.worker].deflated.data() + b.offset, b.size);
      crc = uint32_t(crc32_combine(crc, b.crc, z_off_t(b.size)));
      p += b.size;
    }
    if (c.endBand == bands.size()) {
      std::memcpy(p, zlibTrailer, sizeof zlibTrailer);
      crc = crc32Of(crc, p, sizeof zlibTrailer);
      p += sizeof zlibTrailer;
    }
    p = putBe32(p, crc);
  }
  finishChunk(p, "IEND", 0);
  return file;
}

}  // namespace quorvel

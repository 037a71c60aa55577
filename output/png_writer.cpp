#include "output/png_writer.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "output/png_rows.h"
#include "support/error.h"

// How the encoder spends its time. A capture is split into horizontal bands of up to
// kBandBytes of filtered data, which the threads (one per core) take in turn to filter and
// deflate. Each band's deflater is primed with the end of the band before, so the decoder sees
// one continuous stream and the split costs next to nothing in size. Bands are joined with
// sync flushes (a byte-aligned empty stored block); the adler-32 of the whole is put together
// from the bands' own checksums.
//
// Screen content is mostly of two kinds: flat interface areas and text, whose unfiltered bytes
// repeat exactly, and photos or gradients, where predicted bytes are small and matches are
// rare and short. Each row gets the filter, and each band the zlib setting, that suits what it
// holds (see filterBand), so that the expensive match searches run only where they pay.

namespace quorvel {
namespace {

// A band's deflater is primed with this much of the band before: a little more would be
// found again, but priming costs about as much as deflating the same bytes.
constexpr std::size_t kDictionary = 16 * 1024;
constexpr std::size_t kBandBytes = 384 * 1024;    // filtered bytes per band, at most
constexpr std::size_t kMinBandBytes = 64 * 1024;  // and at least, but for the last
constexpr uint32_t kMaxChunk = 0x7FFFFFFF;        // PNG chunk length limit

using namespace png_rows;

// What a filtered row is made of, in bytes.
struct RowStats {
  std::size_t runs = 0;  // of pixels repeating their left neighbour
  std::size_t flat = 0;  // zero residuals, or in an unfiltered row the run bytes
};

// Filters one row into out[0] (the filter type) and out[1..n].
RowStats filterRow(const uint8_t* source, const uint8_t* prev, const uint8_t* cur, std::size_t width,
                   uint8_t* out) {
  const std::size_t n = width * 3;
  RowStats stats;
  stats.runs = 3 * runPixels(source, width);
  // Mostly flat rows (interface, text on a plain background) stay unfiltered: their repeats
  // are exact byte strings that the match search finds, which any predictor would blur.
  if (stats.runs * 10 >= n * 9) {
    out[0] = kNone;
    std::memcpy(out + 1, cur, n);
    stats.flat = stats.runs;
    return stats;
  }
  uint32_t cost[5];
  filterCosts(prev, cur, n, cost);
  Filter best = kNone;
  for (int f = kSub; f <= kPaeth; ++f)
    if (cost[f] < cost[best]) best = Filter(f);
  out[0] = best;
  applyFilter(best, prev, cur, n, out + 1);
  stats.flat = countZeros(out + 1, n);
  return stats;
}

// ---- checksums --------------------------------------------------------------------------

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

// zlib settings for a band: a level, which picks zlib's greedy or lazy matcher, and that
// matcher's limits (see deflateTune).
struct Setting {
  int level;
  int good, lazy, nice, chain;
};

// Greedy matching that remembers every position, even inside long matches. On runs it keeps
// the match distances short (one pixel, one row), which costs far fewer bits than the jumps
// that zlib's fast levels make after skipping over a long match.
constexpr Setting kEveryPosition = {3, 4, 258, 258, 8};

struct Band {
  int y0 = 0, y1 = 0;
  std::size_t filteredBytes = 0;
  Setting setting{};
  uint32_t adler = 1;  // of the band's filtered bytes
  uint32_t crc = 0;    // of `deflated`
  std::vector<uint8_t> deflated;
};

// One raw deflate stream per thread, reset for every band, with its own output buffer: setting
// a stream up and touching fresh memory cost more than deflating a flat band.
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
  // returns the deflate data, which stays valid until the next call. All but the last band end
  // on a byte boundary (sync flush), so the bands' outputs can simply be concatenated.
  std::pair<const uint8_t*, std::size_t> compress(const Setting& setting,
                                                  const std::vector<uint8_t>& dictionary, const uint8_t* in,
                                                  std::size_t len, bool last) {
    if (deflateReset(&z_) != Z_OK || deflateParams(&z_, setting.level, Z_DEFAULT_STRATEGY) != Z_OK ||
        deflateTune(&z_, setting.good, setting.lazy, setting.nice, setting.chain) != Z_OK ||
        (!dictionary.empty() &&
         deflateSetDictionary(&z_, dictionary.data(), uInt(dictionary.size())) != Z_OK))
      throw Error("The PNG encoder could not set zlib up.");
    std::size_t produced = 0;
    reserve(0, deflateBound(&z_, uLong(std::min(len, kMaxStep))) + 64);
    const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
    for (;;) {
      const uInt step = uInt(std::min(len, kMaxStep));
      const bool final = step == len;
      z_.next_in = const_cast<Bytef*>(in);
      z_.avail_in = step;
      int rc;
      do {
        if (produced == capacity_) reserve(produced, 2 * capacity_);
        const uInt room = uInt(std::min(capacity_ - produced, kMaxStep));
        z_.next_out = out_.get() + produced;
        z_.avail_out = room;
        rc = deflate(&z_, final ? flush : Z_NO_FLUSH);
        if (rc == Z_STREAM_ERROR) throw Error("The PNG encoder failed inside zlib.");
        produced += room - z_.avail_out;
      } while (z_.avail_out == 0 || (final && last && rc != Z_STREAM_END));
      in += step;
      len -= step;
      if (final) break;
    }
    return {out_.get(), produced};
  }

 private:
  static constexpr std::size_t kMaxStep = std::size_t(1) << 30;  // zlib counts in 32 bits

  // Grows the output buffer to at least `size` bytes, keeping the first `keep`. It is not
  // cleared: zlib writes every byte that is read back.
  void reserve(std::size_t keep, std::size_t size) {
    if (size <= capacity_) return;
    std::unique_ptr<uint8_t[]> bigger(new uint8_t[size]);
    if (keep > 0) std::memcpy(bigger.get(), out_.get(), keep);
    out_ = std::move(bigger);
    capacity_ = size;
  }

  z_stream z_{};
  std::unique_ptr<uint8_t[]> out_;
  std::size_t capacity_ = 0;
};

// Filters rows [band.y0, band.y1) into `filtered` and chooses how the band is to be deflated.
//
// Each row takes the predictor with the smallest capped residuals, or none when it is mostly
// runs of one colour. Then the band as a whole is judged by its share of flat bytes (zero
// residuals, or pixels repeating their neighbour). Photos and gradients are far from flat:
// matches there are rare and short, so a quick, shallow match search loses little. Flat bands
// (interface, text, blurred backgrounds) compress best unfiltered, as exact repeats of what
// was drawn. Where they are mostly runs (interface, text), a greedy search that remembers every
// position finds those repeats; smooth shaded areas need the lazy, deeper search.
void filterBand(const ImageView& image, Band& band, std::vector<uint8_t>& filtered,
                std::vector<uint8_t>& rgb) {
  const std::size_t width = std::size_t(image.width), n = width * 3, rowBytes = n + 1;
  band.filteredBytes = std::size_t(band.y1 - band.y0) * rowBytes;
  if (filtered.size() < band.filteredBytes) filtered.resize(band.filteredBytes);
  rgb.assign(2 * (n + kSlack), 0);  // two rows, each with the slack toRgb needs
  uint8_t* prev = rgb.data();
  uint8_t* cur = rgb.data() + n + kSlack;
  if (band.y0 > 0) toRgb(image.row(band.y0 - 1), width, prev);
  std::size_t runs = 0, flat = 0;
  for (int y = band.y0; y < band.y1; ++y) {
    toRgb(image.row(y), width, cur);
    const RowStats row =
        filterRow(image.row(y), prev, cur, width, filtered.data() + std::size_t(y - band.y0) * rowBytes);
    runs += row.runs;
    flat += row.flat;
    std::swap(prev, cur);
  }
  const std::size_t bytes = band.filteredBytes;
  if (flat * 100 >= bytes * 90) {
    for (int y = band.y0; y < band.y1; ++y) {
      uint8_t* out = filtered.data() + std::size_t(y - band.y0) * rowBytes;
      if (out[0] == kNone) continue;
      toRgb(image.row(y), width, cur);
      out[0] = kNone;
      std::memcpy(out + 1, cur, n);
    }
    if (flat * 100 >= bytes * 99)
      band.setting = kEveryPosition;
    else if (runs * 100 >= bytes * 90)
      band.setting = {3, 4, 16, 258, 16};
    else
      band.setting = {6, 8, 32, 128, 64};
  } else if (flat * 100 >= bytes * 85) {
    band.setting = {5, 4, 32, 64, 32};
  } else {
    band.setting = kEveryPosition;
  }
  band.adler = png_rows::adler32(1, filtered.data(), bytes);
}

// Encodes the bands on all cores. Each thread takes the next band, filters it, and deflates
// it primed with the end of the band before (every band but the last is longer than that
// dictionary), waiting for that band's filtering if it is not done yet. Filtered bands live in a
// few recycled buffers, released once deflated and once their successor has its dictionary:
// touching fresh memory for the whole filtered image costs more than filtering it.
class BandEncoder {
 public:
  BandEncoder(const ImageView& image, std::vector<Band>& bands)
      : image_(image), bands_(bands), filtered_(bands.size()), users_(bands.size(), 2) {
    users_.back() = 1;  // the last band is no one's dictionary
  }

  void run() {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t threads = std::min<std::size_t>(cores, bands_.size());
    std::vector<std::thread> helpers;
    for (std::size_t t = 1; t < threads; ++t) {
      try {
        helpers.emplace_back([this] { work(); });
      } catch (const std::system_error&) {
        break;  // the threads that did start share the work
      }
    }
    work();
    for (auto& h : helpers) h.join();
    if (error_) std::rethrow_exception(error_);
  }

 private:
  struct Stopped {};  // another thread failed; its error is the one to report

  void work() {
    try {
      Deflater deflater;
      std::vector<uint8_t> rgb, dictionary;
      for (std::size_t i = next_++; i < bands_.size() && !failed_; i = next_++) {
        Band& band = bands_[i];
        std::vector<uint8_t>* filtered = acquire();
        filterBand(image_, band, *filtered, rgb);
        const std::vector<uint8_t>* before = publish(i, filtered);
        dictionary.clear();
        if (before) {
          const std::size_t size = bands_[i - 1].filteredBytes, take = std::min(size, kDictionary);
          dictionary.assign(before->begin() + std::ptrdiff_t(size - take),
                            before->begin() + std::ptrdiff_t(size));
          release(i - 1);
        }
        const auto [data, size] = deflater.compress(band.setting, dictionary, filtered->data(),
                                                    band.filteredBytes, i + 1 == bands_.size());
        band.deflated.assign(data, data + size);
        band.crc = crc32Of(0, band.deflated.data(), band.deflated.size());
        release(i);
      }
    } catch (const Stopped&) {
    } catch (...) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
      failed_ = true;
      ready_.notify_all();
    }
  }

  std::vector<uint8_t>* acquire() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spare_.empty()) {
      storage_.push_back(std::make_unique<std::vector<uint8_t>>());
      return storage_.back().get();
    }
    std::vector<uint8_t>* buffer = spare_.back();
    spare_.pop_back();
    return buffer;
  }

  // Makes band i's filtered bytes available and returns those of band i - 1 (null for the
  // first band), waiting for them when needed.
  const std::vector<uint8_t>* publish(std::size_t i, std::vector<uint8_t>* filtered) {
    std::unique_lock<std::mutex> lock(mutex_);
    filtered_[i] = filtered;
    ready_.notify_all();
    if (i == 0) return nullptr;
    ready_.wait(lock, [&] { return filtered_[i - 1] != nullptr || failed_; });
    if (!filtered_[i - 1]) throw Stopped{};
    return filtered_[i - 1];
  }

  void release(std::size_t i) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--users_[i] == 0) spare_.push_back(filtered_[i]);
  }

  const ImageView& image_;
  std::vector<Band>& bands_;
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> failed_{false};
  std::mutex mutex_;
  std::condition_variable ready_;
  std::exception_ptr error_;  // the first failure
  std::vector<std::unique_ptr<std::vector<uint8_t>>> storage_;
  std::vector<std::vector<uint8_t>*> spare_;
  std::vector<std::vector<uint8_t>*> filtered_;  // per band, once filtered
  std::vector<int> users_;                       // per band: its own deflate, its successor's
};

// Bands of kBandBytes, smaller towards the end so that the threads finish together: there a
// band is a share of the rows left, down to kMinBandBytes.
std::vector<Band> planBands(int height, std::size_t rowBytes, std::size_t threads) {
  const auto rowsFor = [&](std::size_t bytes) {
    return int(std::clamp<std::size_t>(bytes / rowBytes, 1, std::size_t(height)));
  };
  const int most = rowsFor(kBandBytes), least = rowsFor(kMinBandBytes);
  std::vector<Band> bands;
  for (int y = 0; y < height;) {
    const int share = int(std::size_t(height - y) / (2 * threads));
    Band band;
    band.y0 = y;
    band.y1 = y + std::min(std::clamp(share, least, most), height - y);
    bands.push_back(std::move(band));
    y = bands.back().y1;
  }
  return bands;
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
  std::vector<Band> bands =
      planBands(image.height, rowBytes, std::max(1u, std::thread::hardware_concurrency()));
  BandEncoder(image, bands).run();

  // The zlib stream is a header, the bands' deflate data in order, and the adler-32 of all the
  // filtered bytes. It goes into IDAT chunks of whole bands, as many as fit in one chunk; their
  // CRCs are combined from the bands' own, so no thread reads the compressed data twice.
  const uint8_t zlibHeader[2] = {0x78, 0x9C};
  uint32_t adler = 1;
  for (const Band& b : bands) adler = uint32_t(adler32_combine(adler, b.adler, z_off_t(b.filteredBytes)));
  uint8_t zlibTrailer[4];
  putBe32(zlibTrailer, adler);

  struct Chunk {
    std::size_t firstBand, endBand, size;
  };
  std::vector<Chunk> chunks;
  std::size_t fileSize = 8 + 25 + 12;  // signature, IHDR, IEND
  for (std::size_t i = 0; i < bands.size();) {
    Chunk c{i, i, i == 0 ? sizeof zlibHeader : 0};
    do c.size += bands[c.endBand++].deflated.size();
    while (c.endBand < bands.size() &&
           c.size + bands[c.endBand].deflated.size() + sizeof zlibTrailer <= kMaxChunk);
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
      std::memcpy(p, b.deflated.data(), b.deflated.size());
      crc = uint32_t(crc32_combine(crc, b.crc, z_off_t(b.deflated.size())));
      p += b.deflated.size();
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

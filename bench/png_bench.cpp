// Our PNG writer against libpng at its defaults (zlib level 6, adaptive filters), both writing
// the same 8-bit RGB file into memory from the same BGRx pixels.
#include <png.h>

#include <algorithm>
#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/bench.h"
#include "output/png_writer.h"

namespace quorvel::bench {
namespace {

void appendToVector(png_structp png, png_bytep data, png_size_t size) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + size);
}

void flushNothing(png_structp) {}

std::vector<uint8_t> encodeWithLibpng(const ImageView& image) {
  std::vector<uint8_t> out;
  std::vector<png_const_bytep> rows(std::size_t(image.height));
  for (int y = 0; y < image.height; ++y) rows[std::size_t(y)] = image.row(y);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    std::fprintf(stderr, "qv_bench: libpng failed to write\n");
    std::abort();
  }
  png_set_write_fn(png, &out, appendToVector, flushNothing);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_set_bgr(png);
  png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the fourth byte of each pixel
  png_write_image(png, const_cast<png_bytepp>(rows.data()));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

double elapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

// Ours and libpng run in turn, five times each after a warm-up, so that a change in the
// machine's load falls on both; the medians are compared.
std::vector<BenchRow> pngBench(const BenchImage& image) {
  constexpr int kRuns = 5;
  BenchRow row;
  row.what = "PNG";
  row.image = image.name;
  row.oursBytes = encodePng(image.view()).size();
  row.refBytes = encodeWithLibpng(image.view()).size();
  std::vector<double> ours, ref;
  for (int i = 0; i < kRuns; ++i) {
    auto t0 = std::chrono::steady_clock::now();
    encodePng(image.view());
    ours.push_back(elapsedMs(t0));
    t0 = std::chrono::steady_clock::now();
    encodeWithLibpng(image.view());
    ref.push_back(elapsedMs(t0));
  }
  std::sort(ours.begin(), ours.end());
  std::sort(ref.begin(), ref.end());
  row.oursMs = ours[kRuns / 2];
  row.refMs = ref[kRuns / 2];
  return {row};
}

}  // namespace
}  // namespace quorvel::bench

QV_BENCH(png, quorvel::bench::pngBench);

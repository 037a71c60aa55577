#pragma once
// Shared pieces of the native benchmark program `qv_bench`: each encoder's benchmark is a
// function registered with QV_BENCH that measures our writer against its reference library on
// one image, in the same run, and returns the rows for the table.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/image_view.h"

namespace quorvel::bench {

struct BenchImage {
  std::string name;  // file name without folder
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;  // top-down, stride = width * 4, alpha 255
  ImageView view() const { return {bgra.data(), width, height, width * 4}; }
};

struct BenchRow {
  std::string what;                    // e.g. "PNG" or "GIF"
  std::string image;                   // BenchImage::name
  double oursMs = 0, refMs = 0;        // medians
  std::size_t oursBytes = 0, refBytes = 0;
  double oursPsnr = NAN, refPsnr = NAN;  // lossy formats only, in dB
};

using BenchFn = std::vector<BenchRow> (*)(const BenchImage&);

struct Registrar {
  Registrar(const char* name, BenchFn fn);
};
#define QV_BENCH(name, fn) static ::quorvel::bench::Registrar qv_bench_registrar_##name(#name, fn)

// Median wall time in milliseconds of `runs` calls of f (after one warm-up call).
template <class F>
double medianMs(int runs, F&& f) {
  f();
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace quorvel::bench

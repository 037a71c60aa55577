// GIF writer against ImageMagick's `convert -dither FloydSteinberg -colors 256` on the same pixels.
//
// ImageMagick runs as a separate program, so its time is taken net of its start-up and of reading
// the input: the median of `convert in.ppm -dither FloydSteinberg -colors 256 out.gif` minus the
// median of `convert in.ppm null:`, which starts, reads and decodes the same file and writes
// nothing. The input is a binary PPM so that decoding it is cheap and the difference is mostly
// quantising, dithering and GIF coding. Ours, the one and the other run in turn, seven times each,
// so that a change in the machine's load falls on all three; our time includes writing the file.
// Both GIFs are decoded by ImageMagick for the PSNR (over R, G and B) against the original pixels.
// QV_CONVERT names another convert program; without one, only our own figures are given.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "bench/bench.h"
#include "output/gif_writer.h"

namespace quorvel::bench {
namespace {

namespace fs = std::filesystem;

std::string shellArg(const fs::path& p) {
  return "'" + p.string() + "'";
}

bool run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string convertProgram() {
  const char* named = std::getenv("QV_CONVERT");
  return named && *named ? named : "convert";
}

void writeFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writePpm(const fs::path& path, const BenchImage& image) {
  const std::string header =
      "P6\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  std::vector<uint8_t> bytes(header.begin(), header.end());
  bytes.reserve(bytes.size() + std::size_t(image.width) * image.height * 3);
  for (std::size_t i = 0; i < image.bgra.size(); i += 4) {
    bytes.push_back(image.bgra[i + 2]);
    bytes.push_back(image.bgra[i + 1]);
    bytes.push_back(image.bgra[i]);
  }
  writeFile(path, bytes);
}

// PSNR in dB of a GIF against the original, decoded by ImageMagick; NaN when that fails.
double gifPsnr(const std::string& convert, const fs::path& gif, const fs::path& scratch,
               const BenchImage& image) {
  if (!run(convert + " " + shellArg(gif) + " -depth 8 " + shellArg("rgb:" + scratch.string()))) return NAN;
  const std::vector<uint8_t> rgb = readFile(scratch);
  if (rgb.size() != std::size_t(image.width) * image.height * 3) return NAN;
  double sum = 0;
  for (std::size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4)
    for (int k = 0; k < 3; ++k) {
      const double d = double(rgb[i + k]) - image.bgra[j + 2 - k];
      sum += d * d;
    }
  const double mse = sum / double(rgb.size());
  return mse == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mse);
}

template <class F>
double timeMs(F&& f) {
  const auto t0 = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

std::vector<BenchRow> gifBench(const BenchImage& image) {
  const fs::path dir = fs::temp_directory_path() / ("qv_gif_bench_" + std::to_string(std::random_device{}()));
  fs::create_directories(dir);
  const fs::path oursFile = dir / "ours.gif", ref = dir / "ref.gif", input = dir / "in.ppm",
                 scratch = dir / "out.rgb";

  BenchRow row;
  row.what = "GIF";
  row.image = image.name;
  std::vector<uint8_t> gif;
  auto ours = [&] {
    gif = encodeGif(image.view());
    writeFile(oursFile, gif);
  };
  const std::string convert = convertProgram();
  writePpm(input, image);
  const std::string encode =
      convert + " " + shellArg(input) + " -dither FloydSteinberg -colors 256 " + shellArg(ref);
  const std::string startup = convert + " " + shellArg(input) + " null:";

  if (!run(encode)) {
    std::fprintf(stderr, "gif: \"%s\" did not run; no reference figures\n", convert.c_str());
    row.oursMs = medianMs(7, ours);
    row.oursBytes = gif.size();
    row.refMs = NAN;
  } else {
    ours();
    std::vector<double> oursMs, fullMs, startupMs;
    for (int i = 0; i < 7; ++i) {
      oursMs.push_back(timeMs(ours));
      fullMs.push_back(timeMs([&] { run(encode); }));
      startupMs.push_back(timeMs([&] { run(startup); }));
    }
    row.oursMs = median(oursMs);
    row.refMs = median(fullMs) - median(startupMs);
    row.oursBytes = gif.size();
    row.refBytes = fs::file_size(ref);
    row.refPsnr = gifPsnr(convert, ref, scratch, image);
    row.oursPsnr = gifPsnr(convert, oursFile, scratch, image);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  return {row};
}

}  // namespace

QV_BENCH(gif, gifBench);

}  // namespace quorvel::bench

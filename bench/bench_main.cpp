// qv_bench [--only NAME]... [IMAGE.png]...
// Runs the registered benchmarks (all, or those named with --only) on the given screenshots, by
// default every *.png in the shared benchmark folder, and prints one Markdown table.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "bench/bench.h"

namespace quorvel::bench {
namespace {

std::map<std::string, BenchFn>& registry() {
  static std::map<std::string, BenchFn> benchmarks;
  return benchmarks;
}

bool loadPng(const std::string& path, BenchImage& image) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    std::fprintf(stderr, "qv_bench: cannot read %s: %s\n", path.c_str(), png.message);
    return false;
  }
  png.format = PNG_FORMAT_BGRA;  // opaque files come out with alpha 255
  image.name = std::filesystem::path(path).filename().string();
  image.width = int(png.width);
  image.height = int(png.height);
  image.bgra.resize(PNG_IMAGE_SIZE(png));
  if (!png_image_finish_read(&png, nullptr, image.bgra.data(), 0, nullptr)) {
    std::fprintf(stderr, "qv_bench: cannot decode %s: %s\n", path.c_str(), png.message);
    png_image_free(&png);
    return false;
  }
  return true;
}

std::string number(double v, const char* format) {
  if (std::isnan(v)) return "-";
  char text[64];
  std::snprintf(text, sizeof text, format, v);
  return text;
}

}  // namespace

Registrar::Registrar(const char* name, BenchFn fn) {
  registry()[name] = fn;
}

}  // namespace quorvel::bench

int main(int argc, char** argv) {
  using namespace quorvel::bench;
  std::vector<std::string> only, paths;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only.push_back(argv[++i]);
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: %s [--only NAME]... [IMAGE.png]...\n", argv[0]);
      return 2;
    } else {
      paths.push_back(argv[i]);
    }
  }
  for (const auto& name : only) {
    if (!registry().count(name)) {
      std::fprintf(stderr, "qv_bench: no benchmark named \"%s\"\n", name.c_str());
      return 2;
    }
  }
  if (paths.empty()) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(QV_BENCH_IMAGES, ec))
      if (entry.path().extension() == ".png") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    if (paths.empty()) {
      std::fprintf(stderr, "qv_bench: no images in %s\n", QV_BENCH_IMAGES);
      return 1;
    }
  }
  std::vector<BenchImage> images(paths.size());
  for (std::size_t i = 0; i < paths.size(); ++i)
    if (!loadPng(paths[i], images[i])) return 1;

  std::printf(
      "| what | image | ours ms | reference ms | speed ratio (ref/ours) | ours bytes | reference bytes "
      "| size ratio (ours/ref) | PSNR ours/ref dB |\n");
  std::printf("|---|---|--:|--:|--:|--:|--:|--:|--:|\n");
  std::fflush(stdout);
  for (const auto& [name, fn] : registry()) {
    if (!only.empty() && std::find(only.begin(), only.end(), name) == only.end()) continue;
    for (const auto& image : images) {
      for (const BenchRow& r : fn(image)) {
        const std::string psnr = std::isnan(r.oursPsnr) && std::isnan(r.refPsnr)
                                     ? "-"
                                     : number(r.oursPsnr, "%.2f") + " / " + number(r.refPsnr, "%.2f");
        std::printf("| %s | %s | %.1f | %.1f | %.2f | %zu | %zu | %.3f | %s |\n", r.what.c_str(),
                    r.image.c_str(), r.oursMs, r.refMs, r.refMs / r.oursMs, r.oursBytes, r.refBytes,
                    r.refBytes ? double(r.oursBytes) / double(r.refBytes) : NAN, psnr.c_str());
        std::fflush(stdout);
      }
    }
  }
  return 0;
}

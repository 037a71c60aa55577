#pragma once
// Bitmaps with known pixels for the output tests, and how close a decoded file comes to them.
#include <cmath>
#include <cstdint>
#include <set>

#include "harness_win.h"
#include "ui/bitmap_win.h"

namespace qvtest {

// A capture-like picture: smooth gradients, a saturated box with hard edges and a corner of
// single-pixel detail. The fourth byte is 0, as the grabber leaves it.
inline uint32_t patternColor(int x, int y, int width, int height) {
  if (x < 8 && y < 8) return ((x + y) & 1) ? 0xFFFFFF : 0x000000;
  if (x > width / 3 && x < width / 2 && y > height / 4 && y < 3 * height / 4) return 0x2050E0;
  return uint32_t((x * 255 / width) << 16 | (y * 255 / height) << 8 | ((x + 2 * y) & 0xFF));
}

// At most `colors` distinct colours, in blocks.
inline uint32_t fewColors(int x, int y, int colors) {
  return uint32_t((x / 5 + y / 3 * 7) % colors) * 0x010305 + 0x102030;
}

template <class Color>
void paint(quorvel::ui::Bitmap& bitmap, Color color) {
  uint8_t* bits = bitmap.bits();
  for (int y = 0; y < bitmap.height(); ++y)
    for (int x = 0; x < bitmap.width(); ++x) {
      const uint32_t c = color(x, y);
      uint8_t* p = bits + (std::size_t(y) * bitmap.width() + x) * 4;
      p[0] = uint8_t(c), p[1] = uint8_t(c >> 8), p[2] = uint8_t(c >> 16), p[3] = 0;
    }
}

inline void paintPattern(quorvel::ui::Bitmap& bitmap) {
  const int w = bitmap.width(), h = bitmap.height();
  paint(bitmap, [w, h](int x, int y) { return patternColor(x, y, w, h); });
}

inline uint32_t bitmapPixel(const quorvel::ui::Bitmap& bitmap, int x, int y) {
  const uint8_t* p = bitmap.view().row(y) + std::size_t(x) * 4;
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// Pixels of the decoded image that differ from the bitmap; every pixel when the sizes differ.
inline int mismatches(const Image& image, const quorvel::ui::Bitmap& bitmap) {
  if (image.width != bitmap.width() || image.height != bitmap.height())
    return bitmap.width() * bitmap.height();
  int n = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) n += image.pixel(x, y) != bitmapPixel(bitmap, x, y);
  return n;
}

// Peak signal-to-noise ratio over the colour channels, in dB (99 for identical pictures, 0 for
// different sizes).
inline double psnr(const Image& image, const quorvel::ui::Bitmap& bitmap) {
  if (image.width != bitmap.width() || image.height != bitmap.height()) return 0;
  double squares = 0;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) {
      const uint32_t a = image.pixel(x, y), b = bitmapPixel(bitmap, x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        const double d = double((a >> shift) & 0xFF) - double((b >> shift) & 0xFF);
        squares += d * d;
      }
    }
  const double mse = squares / (3.0 * image.width * image.height);
  return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

inline std::size_t distinctColors(const Image& image) {
  std::set<uint32_t> colors;
  for (int y = 0; y < image.height; ++y)
    for (int x = 0; x < image.width; ++x) colors.insert(image.pixel(x, y));
  return colors.size();
}

}  // namespace qvtest

#include "tools/app_icon.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace quorvel {
namespace {

struct Vec {
  double x, y;
};

double length(Vec v) {
  return std::hypot(v.x, v.y);
}

// Signed distances, negative inside.
double roundedBox(Vec p, Vec center, double half, double radius) {
  const Vec q{std::abs(p.x - center.x) - half + radius, std::abs(p.y - center.y) - half + radius};
  const double outside = length({std::max(q.x, 0.0), std::max(q.y, 0.0)});
  return outside + std::min(std::max(q.x, q.y), 0.0) - radius;
}

double capsule(Vec p, Vec a, Vec b, double halfWidth) {
  const Vec pa{p.x - a.x, p.y - a.y}, ba{b.x - a.x, b.y - a.y};
  const double h = std::clamp((pa.x * ba.x + pa.y * ba.y) / (ba.x * ba.x + ba.y * ba.y), 0.0, 1.0);
  return length({pa.x - ba.x * h, pa.y - ba.y * h}) - halfWidth;
}

double ring(Vec p, Vec center, double radius, double halfWidth) {
  return std::abs(length({p.x - center.x, p.y - center.y}) - radius) - halfWidth;
}

double disc(Vec p, Vec center, double radius) {
  return length({p.x - center.x, p.y - center.y}) - radius;
}

// Share of a pixel covered by a shape, from the shape's signed distance (in pixels) to the pixel centre.
double coverage(double distancePixels) {
  return std::clamp(0.5 - distancePixels, 0.0, 1.0);
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putBe(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 3; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putPngChunk(std::vector<std::uint8_t>& out, std::string_view type,
                 const std::vector<std::uint8_t>& data) {
  putBe(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  const auto crc = crc32(0, out.data() + start, static_cast<uInt>(out.size() - start));
  putBe(out, static_cast<std::uint32_t>(crc));
}

std::vector<std::uint8_t> encodePng(const IconImage& image) {
  const int n = image.size;
  std::vector<std::uint8_t> raw;
  raw.reserve(static_cast<std::size_t>(n) * (n * 4 + 1));
  for (int y = 0; y < n; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < n; ++x) {
      const std::uint8_t* p = &image.bgra[(static_cast<std::size_t>(y) * n + x) * 4];
      raw.insert(raw.end(), {p[2], p[1], p[0], p[3]});
    }
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<std::uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) !=
      Z_OK)
    throw std::runtime_error("icon: deflate failed");
  packed.resize(packedSize);

  std::vector<std::uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  putBe(header, static_cast<std::uint32_t>(n));
  putBe(header, static_cast<std::uint32_t>(n));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive filtering, no interlace
  putPngChunk(out, "IHDR", header);
  putPngChunk(out, "IDAT", packed);
  putPngChunk(out, "IEND", {});
  return out;
}

// An icon's DIB: BITMAPINFOHEADER with twice the height, bottom-up BGRA, then the bottom-up 1-bit AND mask
// (set where the pixel is fully transparent) for whoever still draws through the mask.
std::vector<std::uint8_t> encodeDib(const IconImage& image) {
  const int n = image.size;
  const int maskStride = (n + 31) / 32 * 4;
  const auto colorBytes = static_cast<std::uint32_t>(n) * n * 4;
  const auto maskBytes = static_cast<std::uint32_t>(maskStride) * n;
  std::vector<std::uint8_t> out;
  out.reserve(40 + colorBytes + maskBytes);
  putLe(out, 40, 4);
  putLe(out, static_cast<std::uint32_t>(n), 4);
  putLe(out, static_cast<std::uint32_t>(2 * n), 4);
  putLe(out, 1, 2);   // planes
  putLe(out, 32, 2);  // bits per pixel
  putLe(out, 0, 4);   // BI_RGB
  putLe(out, colorBytes + maskBytes, 4);
  putLe(out, 0, 4);
  putLe(out, 0, 4);
  putLe(out, 0, 4);
  putLe(out, 0, 4);
  for (int y = n - 1; y >= 0; --y) {
    const auto row = image.bgra.begin() + static_cast<std::ptrdiff_t>(y) * n * 4;
    out.insert(out.end(), row, row + n * 4);
  }
  for (int y = n - 1; y >= 0; --y) {
    std::vector<std::uint8_t> mask(maskStride, 0);
    for (int x = 0; x < n; ++x)
      if (image.bgra[(static_cast<std::size_t>(y) * n + x) * 4 + 3] == 0) mask[x / 8] |= 0x80 >> (x % 8);
    out.insert(out.end(), mask.begin(), mask.end());
  }
  return out;
}

}  // namespace

IconImage renderAppIcon(int size) {
  if (size <= 0 || size > 256) throw std::invalid_argument("icon: unsupported size");
  // Geometry in pixels, with the straight strokes snapped to the pixel grid so that the small sizes stay
  // crisp instead of smearing every line over two half-lit rows.
  const double s = size;
  const double stroke = std::max(1.0, std::round(0.072 * s));
  const auto snap = [&](double v) {
    return static_cast<int>(stroke) % 2 ? std::floor(v) + 0.5 : std::round(v);
  };
  const double margin = std::round(0.0625 * s), radius = 0.2 * s;
  const double inset = snap(0.25 * s);
  // Opposite corners keep at least two pixels between them, or at 16 pixels they close into a square.
  const double arm = std::min(std::round(0.17 * s), std::floor((s - 2 * inset - stroke - 2) / 2));
  const Vec mid{s / 2, s / 2};
  const Vec corners[4] = {{inset, inset}, {s - inset, inset}, {inset, s - inset}, {s - inset, s - inset}};
  // Tile colours, top to bottom (BGR).
  const double top[3] = {0xF7, 0x95, 0x3C}, bottom[3] = {0xD8, 0x5A, 0x1A};

  IconImage image{size, std::vector<std::uint8_t>(static_cast<std::size_t>(size) * size * 4)};
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const Vec p{x + 0.5, y + 0.5};
      const double tile = coverage(roundedBox(p, mid, s / 2 - margin, radius));
      // Below 20 pixels a lens ring has no room for its hole: the lens becomes a plain dot.
      double glyph = size < 20 ? disc(p, mid, 0.11 * s)
                               : std::min(ring(p, mid, 0.13 * s, stroke / 2), disc(p, mid, 0.045 * s));
      for (const Vec& c : corners) {
        const double dx = c.x < mid.x ? arm : -arm, dy = c.y < mid.y ? arm : -arm;
        glyph = std::min(
            {glyph, capsule(p, c, {c.x + dx, c.y}, stroke / 2), capsule(p, c, {c.x, c.y + dy}, stroke / 2)});
      }
      const double white = coverage(glyph);
      std::uint8_t* out = &image.bgra[(static_cast<std::size_t>(y) * size + x) * 4];
      for (int i = 0; i < 3; ++i) {
        const double base = top[i] + (bottom[i] - top[i]) * p.y / s;
        out[i] = static_cast<std::uint8_t>(std::lround(base + (255 - base) * white));
      }
      out[3] = static_cast<std::uint8_t>(std::lround(255 * tile));
      if (out[3] == 0) out[0] = out[1] = out[2] = 0;
    }
  }
  return image;
}

std::vector<std::uint8_t> iconFile(const std::vector<IconImage>& images) {
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const IconImage& image : images) {
    if (image.size <= 0 || image.size > 256 ||
        image.bgra.size() != static_cast<std::size_t>(image.size) * image.size * 4)
      throw std::invalid_argument("icon: bad image");
    encoded.push_back(image.size >= 256 ? encodePng(image) : encodeDib(image));
  }
  std::vector<std::uint8_t> out;
  putLe(out, 0, 2);
  putLe(out, 1, 2);  // icon, not cursor
  putLe(out, static_cast<std::uint32_t>(images.size()), 2);
  auto offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    const auto side = static_cast<std::uint8_t>(images[i].size == 256 ? 0 : images[i].size);
    out.insert(out.end(), {side, side, 0, 0});  // no palette, reserved
    putLe(out, 1, 2);
    putLe(out, 32, 2);
    putLe(out, static_cast<std::uint32_t>(encoded[i].size()), 4);
    putLe(out, offset, 4);
    offset += static_cast<std::uint32_t>(encoded[i].size());
  }
  for (const auto& data : encoded) out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace quorvel

#include "output/webp_encoder.h"

#include <cstring>
#include <memory>

#include "support/error.h"

namespace quorvel {

std::vector<uint8_t> encodeWebP(const WebPApi& api, const ImageView& image, float quality) {
  // A capture's fourth byte is whatever the grabber left, usually 0. libwebp would take that for
  // transparency: the file would carry an alpha plane, and the lossy encoder is free to change
  // the colour under transparent pixels. So the encoder sees an opaque copy.
  std::vector<uint8_t> opaque;
  const int width = image.width > 0 ? image.width : 0, height = image.height > 0 ? image.height : 0;
  const std::size_t rowBytes = std::size_t(width) * 4;
  opaque.resize(rowBytes * std::size_t(height));
  for (int y = 0; y < height && rowBytes > 0; ++y) {
    uint8_t* out = opaque.data() + rowBytes * std::size_t(y);
    std::memcpy(out, image.row(y), rowBytes);
    for (std::size_t x = 3; x < rowBytes; x += 4) out[x] = 0xFF;
  }

  uint8_t* output = nullptr;
  const std::size_t size = api.encodeBGRA(opaque.empty() ? image.bgra : opaque.data(), image.width,
                                          image.height, int(rowBytes), quality, &output);
  const auto release = [&api](uint8_t* p) { api.free(p); };
  const std::unique_ptr<uint8_t, decltype(release)> owned(output, release);
  if (size == 0 || !output) throw Error("WebP encoding failed");
  return std::vector<uint8_t>(output, output + size);
}

}  // namespace quorvel

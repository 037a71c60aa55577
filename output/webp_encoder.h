#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/image_view.h"

namespace quorvel {

// The two functions of libwebp's C interface the WebP writer calls, as found in the library
// loaded at run time.
struct WebPApi {
  // WebPEncodeBGRA: first row (top-down), width, height, stride in bytes, quality 0..100, and
  // where to put the encoded data. Answers its size, 0 on failure.
  std::size_t (*encodeBGRA)(const uint8_t*, int, int, int, float, uint8_t**);
  // WebPFree: releases what encodeBGRA put out.
  void (*free)(void*);
};

// Encodes the image through `api` and answers a copy of the encoded file; the library's own
// buffer is released with api.free on every path. The encoder is given the pixels opaque (alpha
// 255, rows packed), whatever the image's fourth byte holds. Throws Error("WebP encoding failed")
// when the encoder produces nothing.
std::vector<uint8_t> encodeWebP(const WebPApi& api, const ImageView& image, float quality);

}  // namespace quorvel

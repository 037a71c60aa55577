// Built as libwebp.dll in a folder of its own (and, with FAKE_WEBP_WITHOUT_FREE or
// FAKE_WEBP_WITHOUT_ENCODE, lacking one of the two functions), for the WebP writer's tests.
#include "fake_webp.h"

#include <cstdlib>
#include <cstring>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {
FakeWebPRecord record;
int nextAnswer = -1;
uint8_t* given = nullptr;
}  // namespace

FAKE_EXPORT const FakeWebPRecord* FakeWebPLastCall() {
  return &record;
}
FAKE_EXPORT void FakeWebPAnswer(int size) {
  nextAnswer = size;
}

#ifndef FAKE_WEBP_WITHOUT_ENCODE
FAKE_EXPORT std::size_t WebPEncodeBGRA(const uint8_t* bgra, int width, int height, int stride, float quality,
                                       uint8_t** output) {
  ++record.encodeCalls;
  record.width = width, record.height = height, record.stride = stride, record.quality = quality;
  if (bgra && width > 0 && height > 0) {
    std::memcpy(&record.firstPixel, bgra, 4);
    std::memcpy(&record.lastPixel, bgra + std::ptrdiff_t(height - 1) * stride + std::ptrdiff_t(width - 1) * 4,
                4);
  }
  given = static_cast<uint8_t*>(std::malloc(kFakeWebPPayloadSize));
  std::memcpy(given, kFakeWebPPayload, kFakeWebPPayloadSize);
  *output = given;
  return nextAnswer >= 0 ? std::size_t(nextAnswer) : kFakeWebPPayloadSize;
}
#endif

#ifndef FAKE_WEBP_WITHOUT_FREE
FAKE_EXPORT void WebPFree(void* p) {
  ++record.freeCalls;
  record.freedTheOutput = p != nullptr && p == given;
  std::free(p);
}
#endif

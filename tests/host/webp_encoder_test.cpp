#include "output/webp_encoder.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "support/error.h"

namespace quorvel {
namespace {

// A stand-in for the library that records what the writer hands it.
struct FakeEncoder {
  std::vector<uint8_t> pixels;  // what it was given, height * stride bytes
  int width = 0, height = 0, stride = 0;
  float quality = 0;
  std::vector<uint8_t> payload;
  bool nullOutput = false;
  uint8_t* given = nullptr;
  std::vector<void*> freed;
};
FakeEncoder fake;

std::size_t fakeEncode(const uint8_t* bgra, int width, int height, int stride, float quality, uint8_t** out) {
  fake.pixels.assign(bgra, bgra + std::size_t(height) * stride);
  fake.width = width, fake.height = height, fake.stride = stride, fake.quality = quality;
  if (fake.nullOutput) {
    *out = nullptr;
    return 0;
  }
  fake.given = static_cast<uint8_t*>(std::malloc(fake.payload.size() + 1));
  if (!fake.payload.empty()) std::memcpy(fake.given, fake.payload.data(), fake.payload.size());
  *out = fake.given;
  return fake.payload.size();
}

void fakeFree(void* p) {
  fake.freed.push_back(p);
  std::free(p);
}

// A picture with smooth areas, edges and detail, in rows padded past the pixels.
struct Pattern {
  int width, height, stride;
  std::vector<uint8_t> bytes;
  Pattern(int w, int h, int padding)
      : width(w), height(h), stride(w * 4 + padding), bytes(std::size_t(stride) * h) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        uint8_t* p = &bytes[std::size_t(y) * stride + std::size_t(x) * 4];
        const bool box = x > w / 4 && x < w / 2 && y > h / 3 && y < 2 * h / 3;
        p[0] = uint8_t(box ? 30 : x * 255 / w);
        p[1] = uint8_t(box ? 200 : y * 255 / h);
        p[2] = uint8_t(box ? 40 : (x + y) * 2);
        p[3] = 0;  // as captured: no meaningful alpha
      }
    for (int y = 0; y < h; ++y)  // the padding must never be read as pixels
      std::memset(&bytes[std::size_t(y) * stride + std::size_t(w) * 4], 0xA5, std::size_t(padding));
  }
  ImageView view() const { return {bytes.data(), width, height, stride}; }
};

TEST(WebPEncoder, HandsTheImageToTheLibraryAndCopiesItsOutput) {
  fake = {};
  fake.payload = {'R', 'I', 'F', 'F', 1, 2, 3};
  const Pattern image(5, 3, 12);
  const std::vector<uint8_t> file = encodeWebP({fakeEncode, fakeFree}, image.view(), 70.0f);
  EXPECT_EQ(file, fake.payload);
  EXPECT_EQ(fake.width, 5);
  EXPECT_EQ(fake.height, 3);
  EXPECT_EQ(fake.quality, 70.0f);
  // Top-down rows of the colours, opaque: the capture's fourth byte is no transparency.
  ASSERT_GE(fake.stride, 5 * 4);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x)
      for (int c = 0; c < 4; ++c)
        ASSERT_EQ(fake.pixels[std::size_t(y) * fake.stride + std::size_t(x) * 4 + c],
                  c == 3 ? 0xFF : image.bytes[std::size_t(y) * image.stride + std::size_t(x) * 4 + c])
            << "pixel " << x << "," << y << " byte " << c;
  ASSERT_EQ(fake.freed.size(), 1u) << "the library's buffer is released exactly once";
  EXPECT_EQ(fake.freed[0], fake.given);
}

TEST(WebPEncoder, NoOutputIsAnErrorAndStillReleasesTheBuffer) {
  for (const bool nullOutput : {false, true}) {
    SCOPED_TRACE(nullOutput ? "no buffer" : "empty buffer");
    fake = {};
    fake.nullOutput = nullOutput;
    const Pattern image(4, 4, 0);
    try {
      encodeWebP({fakeEncode, fakeFree}, image.view(), 90.0f);
      ADD_FAILURE() << "no error";
    } catch (const Error& e) {
      EXPECT_STREQ(e.what(), "WebP encoding failed");
    }
    EXPECT_EQ(fake.freed.size(), nullOutput ? 0u : 1u);
  }
}

// The real libwebp of the system, through the same two entry points the program loads.
class RealLibWebP : public ::testing::Test {
 protected:
  void SetUp() override {
    lib_ = dlopen("libwebp.so.7", RTLD_NOW | RTLD_LOCAL);
    if (!lib_) GTEST_SKIP() << "libwebp.so.7 cannot be loaded (" << dlerror() << "); install libwebp-dev";
    api_.encodeBGRA = reinterpret_cast<decltype(api_.encodeBGRA)>(dlsym(lib_, "WebPEncodeBGRA"));
    api_.free = reinterpret_cast<decltype(api_.free)>(dlsym(lib_, "WebPFree"));
    decode_ = reinterpret_cast<decltype(decode_)>(dlsym(lib_, "WebPDecodeBGRA"));
    ASSERT_TRUE(api_.encodeBGRA && api_.free && decode_) << "libwebp.so.7 lacks an entry point";
  }
  void TearDown() override {
    if (lib_) dlclose(lib_);
  }

  // Peak signal-to-noise ratio of the decoded file against the image's colour channels.
  double psnr(const std::vector<uint8_t>& file, const Pattern& image) {
    int w = 0, h = 0;
    uint8_t* decoded = decode_(file.data(), file.size(), &w, &h);
    EXPECT_NE(decoded, nullptr) << "the file does not decode";
    if (!decoded) return 0;
    EXPECT_EQ(w, image.width);
    EXPECT_EQ(h, image.height);
    double squares = 0;
    for (int y = 0; y < image.height && h == image.height && w == image.width; ++y)
      for (int x = 0; x < image.width; ++x)
        for (int c = 0; c < 3; ++c) {
          const double d = double(decoded[(std::size_t(y) * w + x) * 4 + c]) -
                           image.bytes[std::size_t(y) * image.stride + std::size_t(x) * 4 + c];
          squares += d * d;
        }
    api_.free(decoded);
    const double mse = squares / (3.0 * image.width * image.height);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
  }

  void* lib_ = nullptr;
  WebPApi api_{};
  uint8_t* (*decode_)(const uint8_t*, std::size_t, int*, int*) = nullptr;
};

TEST_F(RealLibWebP, EncodesWhatDecodesBackToThePicture) {
  const Pattern image(131, 77, 20);
  const std::vector<uint8_t> file = encodeWebP(api_, image.view(), 90.0f);
  ASSERT_GT(file.size(), 12u);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(file.begin() + 8, file.begin() + 12), "WEBP");
  EXPECT_EQ(std::string(file.begin() + 12, file.begin() + 16), "VP8 ")
      << "a plain lossy file, no alpha plane";
  // Lossy with 4:2:0 chroma, so the saturated box's edges cost a few dB; a file that mixed up
  // rows, channels or transparency lands far below.
  EXPECT_GT(psnr(file, image), 27.0);
}

TEST_F(RealLibWebP, QualityReachesTheEncoder) {
  const Pattern image(160, 120, 0);
  const std::size_t low = encodeWebP(api_, image.view(), 10.0f).size();
  const std::size_t high = encodeWebP(api_, image.view(), 100.0f).size();
  EXPECT_LT(low, high);
}

TEST_F(RealLibWebP, AnImageTheEncoderRefusesIsAnError) {
  const Pattern image(1, 1, 0);
  ImageView empty = image.view();
  empty.width = 0;
  EXPECT_THROW(encodeWebP(api_, empty, 90.0f), Error);
}

}  // namespace
}  // namespace quorvel

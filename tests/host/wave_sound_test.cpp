#include "tools/wave_sound.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel {
namespace {

std::uint32_t le(const std::vector<std::uint8_t>& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

std::string tag(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::string(b.begin() + at, b.begin() + at + 4);
}

// Root mean square distance from silence over [from, from + count).
double loudness(const std::vector<std::uint8_t>& s, std::size_t from, std::size_t count) {
  double sum = 0;
  for (std::size_t i = from; i < from + count; ++i) sum += (s[i] - 128.0) * (s[i] - 128.0);
  return std::sqrt(sum / count);
}

TEST(WaveSound, CaptureSoundFileHasTheStoredFormat) {
  const auto file = waveFile(captureSoundSamples(), kCaptureSoundRate);
  ASSERT_EQ(file.size(), 44u + 5480u);
  struct Field {
    const char* name;
    std::size_t offset;
    int bytes;
    std::uint32_t expected;
  };
  const Field fields[] = {
      {"RIFF size", 4, 4, 36 + 5480}, {"fmt size", 16, 4, 16},       {"format tag", 20, 2, 1},
      {"channels", 22, 2, 1},         {"sample rate", 24, 4, 11025}, {"bytes per second", 28, 4, 11025},
      {"block align", 32, 2, 1},      {"bits per sample", 34, 2, 8}, {"data size", 40, 4, 5480},
  };
  for (const Field& f : fields) EXPECT_EQ(le(file, f.offset, f.bytes), f.expected) << f.name;
  EXPECT_EQ(tag(file, 0), "RIFF");
  EXPECT_EQ(tag(file, 8), "WAVE");
  EXPECT_EQ(tag(file, 12), "fmt ");
  EXPECT_EQ(tag(file, 36), "data");
  EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), captureSoundSamples().begin()));
}

TEST(WaveSound, OddSampleCountIsPaddedToAWord) {
  const auto file = waveFile({1, 2, 3}, 8000);
  ASSERT_EQ(file.size(), 44u + 4u);
  EXPECT_EQ(le(file, 4, 4), 36u + 4u);  // RIFF size counts the pad byte
  EXPECT_EQ(le(file, 40, 4), 3u);       // the data chunk does not
  EXPECT_EQ(le(file, 24, 4), 8000u);
}

TEST(WaveSound, ShutterIsTwoDecayingClicksThenSilence) {
  const auto s = captureSoundSamples();
  ASSERT_EQ(s.size(), kCaptureSoundBytes);
  EXPECT_EQ(s, captureSoundSamples()) << "must not depend on time or run";
  const std::size_t ms10 = kCaptureSoundRate / 100;
  // Loud at the start, decayed before the second click at about 105 ms, loud again, then silent.
  EXPECT_GT(loudness(s, 0, ms10), 25.0);
  EXPECT_LT(loudness(s, 80 * ms10 / 10, ms10), 2.0);
  EXPECT_GT(loudness(s, 105 * ms10 / 10, ms10), 20.0);
  EXPECT_TRUE(std::all_of(s.end() - 2000, s.end(), [](std::uint8_t v) { return v == 128; }));
  const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
  EXPECT_GT(*lo, 0) << "clipped";
  EXPECT_LT(*hi, 255) << "clipped";
  EXPECT_LT(*lo, 70);
  EXPECT_GT(*hi, 190);
}

}  // namespace
}  // namespace quorvel

#include "tools/wave_sound.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string_view>

namespace quorvel {
namespace {

// RBJ band-pass biquad (constant 0 dB peak gain).
class BandPass {
 public:
  BandPass(double centerHz, double q, double rate) {
    const double w = 2 * std::numbers::pi * centerHz / rate;
    const double alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    b0_ = alpha / a0;
    b2_ = -alpha / a0;
    a1_ = -2 * std::cos(w) / a0;
    a2_ = (1 - alpha) / a0;
  }
  double operator()(double x) {
    const double y = b0_ * x + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
  }

 private:
  double b0_, b2_, a1_, a2_;
  double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// xorshift32: a tiny generator whose sequence is the same on every compiler and library.
class Noise {
 public:
  double operator()() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  std::uint32_t state_ = 0x51A7F00Du;
};

struct Click {
  double startSec;
  double amplitude;
  double decaySec;    // time constant of the noise burst
  double centerHz;    // colour of the noise
  double thumpHz;     // low body of the click
  double thumpLevel;  // relative to the noise
};

// Blade opening, then the blade closing a little later with a small bounce right after it.
constexpr Click kClicks[] = {
    {0.000, 1.00, 0.0070, 2600, 190, 0.35},
    {0.105, 0.85, 0.0095, 1900, 150, 0.45},
    {0.128, 0.25, 0.0050, 3200, 150, 0.00},
};

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void putTag(std::vector<std::uint8_t>& out, std::string_view tag) {
  out.insert(out.end(), tag.begin(), tag.end());
}

}  // namespace

std::vector<std::uint8_t> captureSoundSamples() {
  const double rate = kCaptureSoundRate;
  std::vector<double> mix(kCaptureSoundBytes, 0.0);
  Noise noise;
  for (const Click& click : kClicks) {
    BandPass filter(click.centerHz, 1.1, rate);
    const auto start = static_cast<std::size_t>(std::lround(click.startSec * rate));
    for (std::size_t i = start; i < mix.size(); ++i) {
      const double t = (i - start) / rate;
      const double envelope = click.amplitude * std::exp(-t / click.decaySec);
      // The thump decays more slowly than the rattle of the noise, as a body resonating after the hit.
      const double thump = click.thumpLevel * std::exp(-t / (2.5 * click.decaySec)) *
                           std::sin(2 * std::numbers::pi * click.thumpHz * t);
      mix[i] += envelope * filter(noise()) * 3.0 + click.amplitude * thump;
    }
  }
  double peak = 0;
  for (double v : mix) peak = std::max(peak, std::abs(v));
  const double gain = peak > 0 ? 0.9 / peak : 0;
  std::vector<std::uint8_t> samples(mix.size());
  for (std::size_t i = 0; i < mix.size(); ++i) {
    const long v = std::lround(128.0 + 127.0 * gain * mix[i]);
    samples[i] = static_cast<std::uint8_t>(std::clamp(v, 0L, 255L));
  }
  return samples;
}

std::vector<std::uint8_t> waveFile(const std::vector<std::uint8_t>& samples, int rate) {
  const auto dataSize = static_cast<std::uint32_t>(samples.size());
  const std::uint32_t pad = dataSize & 1;  // chunks are word-aligned
  std::vector<std::uint8_t> out;
  out.reserve(44 + dataSize + pad);
  putTag(out, "RIFF");
  putLe(out, 36 + dataSize + pad, 4);
  putTag(out, "WAVE");
  putTag(out, "fmt ");
  putLe(out, 16, 4);
  putLe(out, 1, 2);  // PCM
  putLe(out, 1, 2);  // mono
  putLe(out, static_cast<std::uint32_t>(rate), 4);
  putLe(out, static_cast<std::uint32_t>(rate), 4);  // bytes per second: one byte per sample
  putLe(out, 1, 2);                                 // block align
  putLe(out, 8, 2);                                 // bits per sample
  putTag(out, "data");
  putLe(out, dataSize, 4);
  out.insert(out.end(), samples.begin(), samples.end());
  if (pad) out.push_back(128);
  return out;
}

}  // namespace quorvel

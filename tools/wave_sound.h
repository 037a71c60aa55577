#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel {

// The capture sound as it is stored in the program: 8-bit unsigned mono PCM (128 is silence).
inline constexpr int kCaptureSoundRate = 11025;
inline constexpr std::size_t kCaptureSoundBytes = 5480;

// The shutter: two short clicks of band-passed noise with a fast decay, then silence. The noise comes
// from a fixed-seed generator, so every build produces the same sound.
std::vector<std::uint8_t> captureSoundSamples();

// A complete RIFF/WAVE file holding `samples` as 8-bit unsigned mono PCM at `rate` samples per second.
std::vector<std::uint8_t> waveFile(const std::vector<std::uint8_t>& samples, int rate);

}  // namespace quorvel

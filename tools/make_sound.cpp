// Writes the program's capture sound as a WAVE file: make_sound <output.wav>
#include <cstdio>
#include <fstream>

#include "tools/wave_sound.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_sound <output.wav>\n");
    return 2;
  }
  const auto bytes = quorvel::waveFile(quorvel::captureSoundSamples(), quorvel::kCaptureSoundRate);
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_sound: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}

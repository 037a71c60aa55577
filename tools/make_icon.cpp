// Writes the application icon: make_icon <output.ico>
#include <cstdio>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "tools/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icon <output.ico>\n");
    return 2;
  }
  try {
    std::vector<quorvel::IconImage> images;
    for (int size : quorvel::kAppIconSizes) images.push_back(quorvel::renderAppIcon(size));
    const auto bytes = quorvel::iconFile(images);
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write the file");
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_icon: %s: %s\n", argv[1], e.what());
    return 1;
  }
  return 0;
}

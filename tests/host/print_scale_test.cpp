#include "output/print_scale.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(PrintScale, WholeDotsPerScreenPixel) {
  struct Row {
    int printerDpi, screenDpi, scale;
  } rows[] = {
      {600, 96, 6},   // 6.25: the remainder is dropped
      {600, 144, 4},  // 4.17
      {600, 120, 5},  // exact
      {300, 96, 3},   // 3.125
      {96, 96, 1},    // same resolution
      {72, 96, 0},    // a printer coarser than the screen: nothing is drawn
      {600, 0, 0},    // unknown resolutions never divide by zero
      {0, 96, 0},     // unknown printer resolution
      {-300, 96, 0},  // nonsense from a driver
  };
  for (const Row& r : rows)
    EXPECT_EQ(printScale(r.printerDpi, r.screenDpi), r.scale) << r.printerDpi << " / " << r.screenDpi;
}

}  // namespace
}  // namespace quorvel

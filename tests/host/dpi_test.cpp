#include "ui/dpi.h"

#include <gtest/gtest.h>

namespace quorvel::ui {
namespace {

TEST(Dpi, ScalesWithHalvesToEven) {
  struct Row { int n, dpi, expected; } rows[] = {
      {82, 144, 123}, {72, 144, 108}, {145, 144, 218}, {145, 96, 145}, {1, 144, 2},  // 1.5 -> 2
      {3, 144, 4},  // 4.5 -> 4
      {5, 144, 8},  // 7.5 -> 8
      {162, 120, 202},  // 202.5 -> 202
      {-3, 144, -4}, {0, 192, 0}, {191, 192, 382},
  };
  for (const auto& r : rows) EXPECT_EQ(scaleToDpi(r.n, r.dpi), r.expected) << r.n << " at " << r.dpi;
}

}  // namespace
}  // namespace quorvel::ui

#include "output/png_rows.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

namespace quorvel::png_rows {
namespace {

// Rows of the kinds a screen holds, with the byte values where the arithmetic turns: 0, 1,
// 127, 128 and 255 (signed and unsigned limits, the averages' rounding, Paeth's ties).
std::vector<uint8_t> makeRow(std::mt19937& random, std::size_t n, int kind) {
  std::vector<uint8_t> row(n + kSlack);
  static const uint8_t edges[] = {0, 1, 127, 128, 129, 254, 255};
  for (std::size_t i = 0; i < n; ++i) {
    switch (kind) {
      case 0: row[i] = uint8_t(random()); break;
      case 1: row[i] = edges[random() % 7]; break;
      case 2: row[i] = uint8_t(i / 12 * 7 + random() % 3); break;  // a shallow gradient
      default: row[i] = random() % 16 == 0 ? uint8_t(random()) : 200; break;  // flat with specks
    }
  }
  return row;
}

// Every width from 1 to 70 pixels covers each tail length of every vector loop.
TEST(PngRows, FastKernelsComputeWhatThePlainOnesDefine) {
  std::mt19937 random(7);
  for (std::size_t width = 1; width <= 70; ++width) {
    for (int kind = 0; kind < 4; ++kind) {
      SCOPED_TRACE("width " + std::to_string(width) + ", kind " + std::to_string(kind));
      const std::size_t n = width * 3;
      const std::vector<uint8_t> bgrx = makeRow(random, width * 4, kind);
      const std::vector<uint8_t> prev = makeRow(random, n, kind), cur = makeRow(random, n, kind);

      std::vector<uint8_t> fast(n + kSlack), plainRgb(n + kSlack);
      toRgb(bgrx.data(), width, fast.data());
      plain::toRgb(bgrx.data(), width, plainRgb.data());
      ASSERT_TRUE(std::equal(fast.begin(), fast.begin() + long(n), plainRgb.begin()));
      EXPECT_EQ(runPixels(bgrx.data(), width), plain::runPixels(bgrx.data(), width));

      uint32_t costs[5], plainCosts[5];
      filterCosts(prev.data(), cur.data(), n, costs);
      plain::filterCosts(prev.data(), cur.data(), n, plainCosts);
      for (int f = kNone; f <= kPaeth; ++f) {
        EXPECT_EQ(costs[f], plainCosts[f]) << "filter " << f;
        std::vector<uint8_t> out(n + kSlack, 0xAA), plainOut(n + kSlack, 0xAA);
        applyFilter(Filter(f), prev.data(), cur.data(), n, out.data());
        plain::applyFilter(Filter(f), prev.data(), cur.data(), n, plainOut.data());
        ASSERT_EQ(out, plainOut) << "filter " << f;  // including the untouched bytes after the row
        EXPECT_EQ(countZeros(out.data(), n), plain::countZeros(out.data(), n));
      }
    }
  }
}

TEST(PngRows, PlainKernelsFollowThePngDefinitions) {
  // One pixel after one, above a row: a = left, b = above, c = above-left.
  const uint8_t prev[6] = {10, 20, 30, 40, 50, 60}, cur[6] = {100, 110, 120, 90, 100, 250};
  uint8_t out[6];
  plain::applyFilter(kSub, prev, cur, 6, out);
  EXPECT_EQ(out[0], 100);
  EXPECT_EQ(out[3], uint8_t(90 - 100));
  plain::applyFilter(kAverage, prev, cur, 6, out);
  EXPECT_EQ(out[0], 100 - 10 / 2);
  EXPECT_EQ(out[5], uint8_t(250 - (120 + 60) / 2));
  plain::applyFilter(kPaeth, prev, cur, 6, out);
  EXPECT_EQ(out[0], 100 - 10);  // no left neighbour: the pixel above is the prediction
  // a = 100, b = 40, c = 10: p = 130, distances 30, 90, 120: a is nearest.
  EXPECT_EQ(out[3], uint8_t(90 - 100));

  const uint8_t bgrx[8] = {1, 2, 3, 99, 1, 2, 3, 7};
  uint8_t rgb[6 + kSlack] = {};
  plain::toRgb(bgrx, 2, rgb);
  EXPECT_EQ(std::vector<uint8_t>(rgb, rgb + 6), (std::vector<uint8_t>{3, 2, 1, 3, 2, 1}));
  EXPECT_EQ(plain::runPixels(bgrx, 2), 1u);  // the fourth byte does not count
}

// adler-32 against zlib's, across the lengths where the running sums are reduced.
TEST(PngRows, Adler32MatchesZlib) {
  std::mt19937 random(11);
  std::vector<uint8_t> data(3 * 5552 + 77);
  for (auto& b : data) b = random() % 8 == 0 ? uint8_t(random()) : 255;  // near the sums' worst case
  for (std::size_t n : {std::size_t(0), std::size_t(1), std::size_t(15), std::size_t(16), std::size_t(17),
                        std::size_t(5551), std::size_t(5552), std::size_t(5553), data.size()}) {
    const uint32_t expected = uint32_t(::adler32(1, data.data(), uInt(n)));
    EXPECT_EQ(adler32(1, data.data(), n), expected) << n << " bytes";
    EXPECT_EQ(plain::adler32(1, data.data(), n), expected) << n << " bytes";
  }
  // Continued from a running value.
  const uint32_t head = adler32(1, data.data(), 1000);
  EXPECT_EQ(adler32(head, data.data() + 1000, 9000), uint32_t(::adler32(1, data.data(), 10000)));
}

}  // namespace
}  // namespace quorvel::png_rows

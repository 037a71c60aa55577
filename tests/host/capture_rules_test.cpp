#include "app/capture_rules.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(CaptureRules, RefusedPairs) {
  for (int mode = 0; mode <= 6; ++mode)
    for (int dest = -1; dest <= 11; ++dest) {
      bool expected = false;
      if (mode != cmColorPicker) {
        expected = (dest == dsMP4 && mode != cmFullScreen && mode != cmArea) ||
                   (dest == dsFloating && mode == cmWebPage);
      }
      EXPECT_EQ(isRefusedPair(mode, dest), expected) << "mode " << mode << " destination " << dest;
    }
  EXPECT_TRUE(isRefusedPair(cmDrag, dsMP4));
  EXPECT_TRUE(isRefusedPair(cmWebPage, dsFloating));
  EXPECT_FALSE(isRefusedPair(cmWebPage, dsPNG));
  EXPECT_FALSE(isRefusedPair(cmColorPicker, dsMP4));
}

TEST(CaptureRules, StoredModeAndQuality) {
  const int modes[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 0}, {5, 0}, {6, 0}, {-1, 0}};
  for (const auto& m : modes) EXPECT_EQ(storedMode(m[0]), m[1]) << m[0];
  struct Row { std::u16string text; int q; } rows[] = {
      {u"100", 100}, {u"90", 90}, {u"70", 70}, {u"60", 60}, {u"", 90}, {u"x", 90}, {u"-5", 90}, {u"99999999999", 90}};
  for (const auto& r : rows) EXPECT_EQ(qualityFromText(r.text), r.q);
}

}  // namespace
}  // namespace quorvel

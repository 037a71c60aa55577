#include "support/strings.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(Strings, Utf8AndUtf16RoundTrip) {
  const std::u16string samples[] = {u"", u"capture", u"캡쳐가 실패하였습니다.", u"\U0001F4F7 photo", u"Q-001.png"};
  for (const auto& s : samples) EXPECT_EQ(toUtf16(toUtf8(s)), s);
  EXPECT_EQ(toUtf8(std::u16string{char16_t(0xD800), u'x'}), "\xEF\xBF\xBDx");  // lone surrogate
  EXPECT_EQ(toUtf16("\xC3\x28"), u"\uFFFD(");          // broken sequence
  EXPECT_EQ(toUtf16("\xE2\x82"), u"\uFFFD\uFFFD");     // truncated at the end
  EXPECT_EQ(toUtf16("\xC0\x80"), u"\uFFFD\uFFFD");     // overlong NUL
}

TEST(Strings, BoundedTextStopsAtNulOrLimit) {
  const char16_t text[] = {u'a', u'b', 0, u'c'};
  EXPECT_EQ(boundedText(text, 4), u"ab");
  EXPECT_EQ(boundedText(text, 1), u"a");
  EXPECT_EQ(boundedText(text, 0), u"");
  EXPECT_EQ(boundedText(nullptr, 10), u"");
}

}  // namespace
}  // namespace quorvel

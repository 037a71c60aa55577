#include "app/menu_values.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(MenuValues, ValueComesFromTheEndOfTheComponentName) {
  struct Row { const char* name; const char* prefix; std::optional<int> value; } rows[] = {
      {"ChkAppend1", "ChkAppend", 1},         {"ChkAppend3", "ChkAppend", 3},
      {"ChkSound2", "ChkSound", 2},           {"ChkRecLimit0", "ChkRecLimit", 0},
      {"ChkRecLimit30", "ChkRecLimit", 30},   {"ChkRecLimit240", "ChkRecLimit", 240},
      {"ChkRecLimit", "ChkRecLimit", std::nullopt}, {"ChkMouse", "ChkSound", std::nullopt},
      {"ChkSoundX", "ChkSound", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(numberAfter(r.name, r.prefix), r.value) << r.name;
  const char* langs[][2] = {{"ChkLangKo", "ko"}, {"ChkLangEn", "en"}, {"ChkLangJa", "ja"}, {"ChkLangRu", "ru"},
                            {"ChkLangIt", "it"}, {"ChkLangFr", "fr"}, {"ChkLangZh", "zh"}};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(languageCodeOf(langs[i][0]), langs[i][1]);
    EXPECT_EQ(languageIndex(langs[i][1]), i);
  }
  EXPECT_EQ(languageIndex("de"), -1);
  EXPECT_EQ(languageIndex("KO"), -1);
}

}  // namespace
}  // namespace quorvel

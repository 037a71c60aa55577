// The translation table as the program carries it: an RCDATA resource of the executable (this test
// program links the same resources as quorvel.exe).
#include <gtest/gtest.h>

#include <string_view>

#include "support/translate_win.h"

namespace {

using namespace quorvel;

struct TableReset {
  ~TableReset() { clearTranslation(); }
};

TEST(TranslateResource, TableComesFromTheProgramResources) {
  TableReset reset;
  HRSRC info =
      ::FindResourceExW(nullptr, RT_RCDATA, L"translate", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(info, nullptr) << "no RCDATA TRANSLATE resource in language 1033";
  const auto* data = static_cast<const char*>(::LockResource(::LoadResource(nullptr, info)));
  ASSERT_NE(data, nullptr);
  // The resource compiler must not have touched the bytes (line ends, byte-order mark).
  const auto problems = checkTranslationFormat(std::string_view(data, ::SizeofResource(nullptr, info)));
  for (const auto& problem : problems) ADD_FAILURE() << problem;

  ASSERT_TRUE(loadTranslationResource());
  EXPECT_EQ(Translate(L"캡쳐영역", L"ja"), L"キャプチャー");
  EXPECT_EQ(Translate(L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.", L"en"),
            L"An unknown program is using the shortcut key.\r\rPlease change the shortcut key.");
  EXPECT_EQ(Translate(L"Захватить", L"de"), L"Capture");
}

TEST(TranslateResource, ModuleWithoutTableLeavesTextsAsWritten) {
  TableReset reset;
  EXPECT_FALSE(loadTranslationResource(::GetModuleHandleW(L"kernel32.dll")));
  EXPECT_EQ(Translate(L"캡쳐영역\\n", L"ja"), L"캡쳐영역\r");
}

TEST(TranslateResource, StartUpTakesTheUserLanguage) {
  TableReset reset;
  const std::wstring language = GetUserLanguage();
  EXPECT_GE(language.size(), 2u) << "\"" << language << "\"";
  EXPECT_LE(language.size(), 3u) << "\"" << language << "\"";
  for (wchar_t c : language) EXPECT_TRUE(c >= L'a' && c <= L'z') << "\"" << language << "\"";

  initTranslation();
  EXPECT_EQ(currentLanguage(), std::u16string(language.begin(), language.begin() + 2));
  EXPECT_EQ(Translate(L"캡쳐영역", L"zh"), L"捕获");
}

}  // namespace

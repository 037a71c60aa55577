#include "support/translate.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>

#include "support/strings.h"
#include "ui/component.h"

namespace quorvel {
namespace {

using ui::ComponentKind;

std::string shippedTable() {
  std::ifstream in(QV_SOURCE_DIR "/resources/translate.txt", std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

// The table file as blocks of code -> text (UTF-8, escapes kept), read independently of the parser.
std::vector<std::map<std::string, std::string>> tableBlocks(const std::string& bytes) {
  std::vector<std::map<std::string, std::string>> blocks(1);
  std::istringstream in(bytes.substr(3));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) {
      blocks.emplace_back();
      continue;
    }
    const auto eq = line.find('=');
    blocks.back()[line.substr(0, eq)] = line.substr(eq + 1);
  }
  while (!blocks.empty() && blocks.back().empty()) blocks.pop_back();
  return blocks;
}

std::u16string withCr(std::string text) {
  for (std::size_t at; (at = text.find("\\n")) != std::string::npos;) text.replace(at, 2, "\r");
  return toUtf16(text);
}

// The shipped table installed for one test; the module is left empty afterwards.
class Translation : public ::testing::Test {
 protected:
  void SetUp() override {
    bytes = shippedTable();
    ASSERT_FALSE(bytes.empty()) << "cannot read resources/translate.txt";
    installTranslationTable(TranslationTable::parse(bytes));
    setCurrentLanguage(u"ko");
  }
  void TearDown() override { clearTranslation(); }
  std::string bytes;
};

TEST(TranslationFile, IsWellFormed) {
  const std::string bytes = shippedTable();
  ASSERT_FALSE(bytes.empty()) << "cannot read resources/translate.txt";
  const auto problems = checkTranslationFormat(bytes);
  EXPECT_TRUE(problems.empty()) << joined(problems);
}

TEST(TranslationFile, HoldsTheDesignedKeysAndEnglishTexts) {
  const char* const expected[][2] = {
      {"Quorvel", "Quorvel"},
      {"캡쳐영역", "Capture"},
      {"전체화면 캡쳐", "Full Screen"},
      {"영역화면 캡쳐", "Region"},
      {"드래그영역 캡쳐", "Drag"},
      {"활성중인 화면 캡쳐", "Active Window"},
      {"윈도우 컨트롤 캡쳐", "Window Control"},
      {"웹페이지 캡쳐", "WebBrowser"},
      {"색상 추출", "Color Picker"},
      {"저장형식", "SaveTo"},
      {"MP4(동영상)", "MP4"},
      {"클립보드", "Clipboard"},
      {"이미지창고", "Upload Pixhold"},
      {"프린터", "Printer"},
      {"폴더열기", "Open Folder"},
      {"만든이 Brevisco", "Crafted by Brevisco"},
      {"저장폴더 열기", "Open Folder"},
      {"저장폴더 설정", "Folder setting"},
      {"단축키 설정", "Hotkey setting"},
      {"파일명 설정", "Filename setting"},
      {"순차적 #1", "Auto increment number #1"},
      {"순차적 #2", "Auto increment number #2"},
      {"날짜시간", "DateTime"},
      {"녹화 설정", "Recoder setting"},
      {"사운드 포함", "Include sound"},
      {"로그 기록", "Logging"},
      {"캡쳐소리 설정", "Sound setting"},
      {"없음", "None"},
      {"캡쳐 전 소리", "Before capture"},
      {"캡쳐 후 소리", "After capture"},
      {"마우스 커서 포함", "Mouse cursor"},
      {"부팅시 실행", "Run on system start"},
      {"종료하기", "Quit"},
      {"확인", "OK"},
      {"취소", "Cancel"},
      {"폴더 선택", "Select folder"},
      {"선택", "OK"},
      {"정말 종료하시겠습니까?", "Are you sure you want to quit?"},
      {"업로드 중입니다.", "Uploading."},
      {"이미지 업로드를 실패하였습니다.", "Image upload failed."},
      {"지원하지 않는 캡쳐영역입니다.", "Non capable capture region."},
      {"설정", "Setting"},
      {"단축키가 다른 프로그램에서 사용중입니다.", "Using shortcut keys in another program."},
      {"단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.",
       "The capture function does not work because the shortcut key is not set."},
      {"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.",
       "An unknown program is using the shortcut key.\\n\\nPlease change the shortcut key."},
      {"설정하기", "Setting"},
      {"영역크기 설정", "Size setting"},
      {"현재크기", "Current state"},
      {"사용자 정의 #1", "Custom #1"},
      {"사용자 정의 #2", "Custom #2"},
      {"사용자 정의 #3", "Custom #3"},
      {"넓이 :", "Width :"},
      {"높이 :", "Height :"},
      {"적용", "Apply"},
      {"언어 설정", "Language"},
      {"감추기", "Hide"},
      {"캡쳐가 실패하였습니다.", "Capture failed."},
      {"\"%s\" 파일이 없습니다.", "\"%s\" file not found."},
      {"최대 녹화시간", "Limit recording time"},
      {"무제한", "Unlimited"},
      {"30분", "30 minutes"},
      {"1시간", "1 hour"},
      {"2시간", "2 hours"},
      {"4시간", "4 hours"},
      {"플러팅", "Floating"},
      {"클립보드 사용을 방지하는 프로그램이 실행중입니다.",
       "A program preventing clipboard usage is running."},
  };
  const auto blocks = tableBlocks(shippedTable());
  ASSERT_EQ(blocks.size(), std::size(expected));
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const auto& block = blocks[b];
    EXPECT_EQ(block.count("ko") ? block.at("ko") : "", expected[b][0]) << "block " << b + 1;
    EXPECT_EQ(block.count("en") ? block.at("en") : "", expected[b][1]) << "block " << b + 1;
  }

  // Blocks given in full, and the credit that names the author in every language.
  const std::map<std::string, std::string> capture = {
      {"ko", "캡쳐영역"}, {"en", "Capture"},   {"ja", "キャプチャー"}, {"ru", "Захватить"},
      {"zh", "捕获"},     {"it", "Acquisire"}, {"fr", "Capture"}};
  EXPECT_EQ(blocks[1], capture);
  const std::map<std::string, std::string> unknownProgram = {
      {"ko", "알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요."},
      {"en", "An unknown program is using the shortcut key.\\n\\nPlease change the shortcut key."},
      {"ja",
       "不明なプログラムがショートカットキーを使用中です。\\n\\nショートカットキーを変更してください。"},
      {"ru", "Неизвестная программа использует горячую клавишу.\\n\\nПожалуйста, измените горячую клавишу."},
      {"zh", "未知程序正在使用快捷键。\\n\\n请更改快捷键。"},
      {"it",
       "Un programma sconosciuto sta utilizzando il tasto rapido.\\n\\nPer favore, cambia il tasto rapido."},
      {"fr", "Un programme inconnu utilise le raccourci.\\n\\nVeuillez changer le raccourci."}};
  EXPECT_EQ(blocks[44], unknownProgram);
  for (const auto& [code, text] : blocks[15]) EXPECT_NE(text.find("Brevisco"), std::string::npos) << code;
}

TEST(TranslationFormat, ReportsEachKindOfDamage) {
  const std::string good = shippedTable();
  ASSERT_FALSE(good.empty()) << "cannot read resources/translate.txt";
  ASSERT_TRUE(checkTranslationFormat(good).empty());
  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = good;
    const auto at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? s : s.replace(at, from.size(), to);
  };
  const struct {
    const char* name;
    std::string bytes;
    const char* problem;
  } cases[] = {
      {"no byte-order mark", good.substr(3), "byte-order mark"},
      {"LF alone", replaced("en=Quorvel\r\n", "en=Quorvel\n"), "CR or LF"},
      {"CR alone", replaced("en=Capture\r\n", "en=Capture\r"), "CR or LF"},
      {"no final empty line", good.substr(0, good.size() - 2), "CR LF CR LF"},
      {"two empty lines between blocks", replaced("\r\n\r\nko=캡쳐영역", "\r\n\r\n\r\nko=캡쳐영역"),
       "empty line"},
      {"empty line first", good.substr(0, 3) + "\r\n" + good.substr(3), "empty line"},
      {"languages swapped", replaced("ja=キャプチャー\r\nru=Захватить", "ru=Захватить\r\nja=キャプチャー"),
       "code 'ru', expected 'ja'"},
      {"first block in the later order",
       replaced("ja=Quorvel\r\nzh=Quorvel\r\nru=Quorvel", "ja=Quorvel\r\nru=Quorvel\r\nzh=Quorvel"),
       "code 'ru', expected 'zh'"},
      {"a language missing", replaced("it=Acquisire\r\n", ""), "6 lines, expected 7"},
      {"a block missing",
       replaced("ko=캡쳐영역\r\nen=Capture\r\nja=キャプチャー\r\nru=Захватить\r\nzh=捕获\r\nit="
                "Acquisire\r\nfr=Capture\r\n\r\n",
                ""),
       "65 blocks, expected 66"},
      {"'=' in a text", replaced("fr=Capture\r\n", "fr=Capture=1\r\n"), "'=' inside the text"},
      {"empty text", replaced("fr=Capture\r\n", "fr=\r\n"), "empty text"},
      {"no '='", replaced("fr=Capture\r\n", "fr Capture\r\n"), "no '='"},
      {"placeholder lost", replaced("File \"%s\" non trovato.", "File non trovato."), "0 \"%s\""},
      {"broken UTF-8", replaced("it=Acquisire", "it=Acquisire\xC3"), "not valid UTF-8"},
  };
  for (const auto& c : cases) {
    const auto problems = checkTranslationFormat(c.bytes);
    bool found = false;
    for (const auto& p : problems) found = found || p.find(c.problem) != std::string::npos;
    EXPECT_TRUE(found) << c.name << ": expected a problem with \"" << c.problem << "\", got:\n"
                       << joined(problems);
  }
}

TEST_F(Translation, Lookups) {
  setCurrentLanguage(u"ja");
  const struct {
    const char* text;
    const char16_t* language;
    const char* expected;
  } cases[] = {
      {"", u"ja", ""},
      {"없는 문장", u"ja", "없는 문장"},
      {"첫 줄\\n둘째 줄\\n", u"en", "첫 줄\r둘째 줄\r"},
      {"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.", u"zh",
       "未知程序正在使用快捷键。\r\r请更改快捷键。"},
      // Lookups compare the text with its escapes in place.
      {"알수없는 프로그램이 단축키를 사용중입니다.\r\r단축키를 변경해주세요.", u"en",
       "알수없는 프로그램이 단축키를 사용중입니다.\r\r단축키를 변경해주세요."},
      {"\"%s\" 파일이 없습니다.", u"ru", "Файл «%s» не найден."},
      {"캡쳐영역", u"", "キャプチャー"},  // the current language
      {"캡쳐영역", u"de", "Capture"},
      {"캡쳐영역", u"JA", "Capture"},
      {"캡쳐영역 ", u"en", "캡쳐영역 "},
      {"캡쳐", u"en", "캡쳐"},
      {"capture", u"ko", "capture"},
      // Texts shown in another language are found by their own line.
      {"キャプチャー", u"fr", "Capture"},
      {"Захватить", u"ko", "캡쳐영역"},
      {"Capture", u"zh", "捕获"},
      {"Plein écran", u"it", "Schermo intero"},
      // English texts shared by two blocks belong to the earlier one.
      {"Open Folder", u"ko", "폴더열기"},
      {"OK", u"ko", "확인"},
      {"Setting", u"ko", "설정"},
      {"Setting", u"ja", "設定"},
      // Texts without a row stay as they are in every language.
      {"녹화중입니다.", u"en", "녹화중입니다."},
      {"-", u"ja", "-"},
      {"한국어", u"en", "한국어"},
      {"English", u"ko", "English"},
      {"日本語", u"en", "日本語"},
      {"русский", u"fr", "русский"},
      {"Italiano", u"fr", "Italiano"},
      {"Français", u"it", "Français"},
      {"中文", u"en", "中文"},
      {"简体中文", u"ko", "简体中文"},
      {"PNG", u"ru", "PNG"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toUtf8(Translate(toUtf16(c.text), c.language)), toUtf8(toUtf16(c.expected)))
        << "text \"" << c.text << "\" into \"" << toUtf8(c.language) << "\"";
  }
  EXPECT_EQ(currentLanguage(), u"ja");
}

TEST(TranslationTable, LooksUpWithinTheMatchedBlock) {
  // No byte-order mark and bare LF line ends: the reader takes both.
  const TranslationTable table = TranslationTable::parse(
      "ko=하나\nen=One\nja=一\n\n"
      "ko=둘\r\nja=二\r\n\r\n"
      "ko=셋\\n\r\n");
  const struct {
    const char* text;
    const char16_t* language;
    const char* expected;
  } cases[] = {
      {"一", u"ko", "하나"},  // walks back to the block's first line
      {"一", u"ru", "One"},   // no such language in the block: English
      {"二", u"ru", "二"},    // nor English: the text itself
      {"둘", u"en", "둘"},          {"셋\\n", u"ja", "셋\r"},
      {"One", u"ja", "一"},         {"ko", u"en", "ko"},  // codes are not texts
      {"a\\nb\\", u"en", "a\rb\\"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(toUtf8(table.translate(toUtf16(c.text), c.language)), c.expected)
        << "text \"" << c.text << "\" into \"" << toUtf8(c.language) << "\"";
  }
  EXPECT_EQ(TranslationTable().translate(u"캡쳐영역\\n", u"en"), u"캡쳐영역\r");
}

TEST_F(Translation, SwitchesBetweenAnyTwoLanguages) {
  const auto blocks = tableBlocks(bytes);
  // Which blocks each text belongs to: a text in two blocks could not find its way back.
  std::map<std::string, std::vector<std::size_t>> owners;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    for (const auto& [code, text] : blocks[b]) {
      auto& list = owners[text];
      if (list.empty() || list.back() != b) list.push_back(b);
    }
  }
  std::vector<std::string> shared;
  for (const auto& [text, list] : owners)
    if (list.size() > 1) shared.push_back(text);
  EXPECT_EQ(shared, (std::vector<std::string>{"OK", "Open Folder", "Setting"}));

  for (std::size_t b = 0; b < blocks.size(); ++b) {
    for (const auto& [from, text] : blocks[b]) {
      if (owners[text].size() > 1) continue;
      for (const auto& [to, expected] : blocks[b]) {
        EXPECT_EQ(Translate(toUtf16(text), toUtf16(to)), withCr(expected))
            << "block " << b + 1 << ": \"" << text << "\" from " << from << " to " << to;
      }
    }
  }
}

// Components of the kinds translation cares about, as the window toolkit would make them.
template <ComponentKind Kind>
struct Fake : ui::Component {
  Fake(Component* owner, std::string name, const char* caption = "") : Component(owner, std::move(name)) {
    caption_ = toUtf16(caption);
  }
  ComponentKind kind() const override { return Kind; }
};

// A drop-down list or a list box. Like the real drop-down list, replacing the items keeps the
// selected index while it is still in range.
struct FakeList : ui::Component {
  FakeList(Component* owner, std::string name, ComponentKind kind, std::vector<std::string> texts, int index)
      : Component(owner, std::move(name)), index(index), kind_(kind) {
    for (const auto& t : texts) items.push_back(toUtf16(t));
  }
  ComponentKind kind() const override { return kind_; }
  std::vector<std::u16string> itemTexts() const override { return items; }
  void setItemTexts(std::vector<std::u16string> texts) override {
    items = std::move(texts);
    if (index >= static_cast<int>(items.size())) index = -1;
  }
  std::vector<std::u16string> items;
  int index;

 private:
  ComponentKind kind_;
};

// Pre-order: "name=caption", lists with their items and selection.
std::vector<std::string> snapshot(const ui::Component& root) {
  std::vector<std::string> out;
  std::function<void(const ui::Component&)> walk = [&](const ui::Component& c) {
    std::string line = c.name() + "=" + toUtf8(c.caption());
    if (const auto* list = dynamic_cast<const FakeList*>(&c)) {
      line += " [";
      for (const auto& item : list->items) line += toUtf8(item) + "|";
      line += "]@" + std::to_string(list->index);
    }
    out.push_back(line);
    for (const auto& child : c.components()) walk(*child);
  };
  walk(root);
  return out;
}

using FakeForm = Fake<ComponentKind::Form>;
using FakeLabel = Fake<ComponentKind::Label>;
using FakeButton = Fake<ComponentKind::Button>;
using FakePanel = Fake<ComponentKind::Panel>;
using FakePopup = Fake<ComponentKind::PopupMenu>;
using FakeItem = Fake<ComponentKind::MenuItem>;
using Texts = std::vector<std::string>;

TEST_F(Translation, ComponentTreeFollowsEachLanguageChange) {
  FakeForm form(nullptr, "FrmHotKey", "단축키 설정");
  form.add<FakeLabel>("LblWidth", "넓이 :");
  auto& combo = form.add<FakeList>("ChkArea", ComponentKind::ComboBox,
                                   Texts{"전체화면 캡쳐", "영역화면 캡쳐", "PNG"}, 1);
  combo.setCaption(u"캡쳐영역");
  combo.add<FakeLabel>("LblInside", "취소");  // a combo box's own components are left alone
  form.add<FakeList>("LstColor", ComponentKind::ListBox, Texts{"확인"}, 0).setCaption(u"설정");
  auto& menu = form.add<FakePopup>("Menu", "감추기");
  menu.add<FakeItem>("N3", "저장폴더 열기");
  menu.add<FakeItem>("N7", "-");
  auto& languages = menu.add<FakeItem>("N11", "언어 설정");
  languages.add<FakeItem>("ChkLangKo", "한국어");
  languages.add<FakeItem>("ChkLangEn", "English");
  auto& recording = menu.add<FakeItem>("N6", "녹화 설정");
  recording.add<FakeItem>("N13", "최대 녹화시간").add<FakeItem>("ChkRecLimit30", "30분");
  form.add<FakePanel>("PnlMain").add<FakeButton>("BtnYes", "확인");

  const struct {
    const char16_t* language;
    std::vector<std::string> expected;
  } steps[] = {
      {u"ja",
       {"FrmHotKey=Hotkey setting", "LblWidth=幅：", "ChkArea=캡쳐영역 [全画面|領域|PNG|]@1",
        "LblInside=취소", "LstColor=설정 [확인|]@0", "Menu=감추기", "N3=保存フォルダーを開く", "N7=-",
        "N11=言語", "ChkLangKo=한국어", "ChkLangEn=English", "N6=録画の設定", "N13=最大録画時間",
        "ChkRecLimit30=30分", "PnlMain=", "BtnYes=OK"}},
      {u"en",
       {"FrmHotKey=Hotkey setting", "LblWidth=Width :", "ChkArea=캡쳐영역 [Full Screen|Region|PNG|]@1",
        "LblInside=취소", "LstColor=설정 [확인|]@0", "Menu=감추기", "N3=Open Folder", "N7=-", "N11=Language",
        "ChkLangKo=한국어", "ChkLangEn=English", "N6=Recoder setting", "N13=Limit recording time",
        "ChkRecLimit30=30 minutes", "PnlMain=", "BtnYes=OK"}},
      // "Open Folder" is also the button's text, whose block comes first.
      {u"ko",
       {"FrmHotKey=단축키 설정", "LblWidth=넓이 :", "ChkArea=캡쳐영역 [전체화면 캡쳐|영역화면 캡쳐|PNG|]@1",
        "LblInside=취소", "LstColor=설정 [확인|]@0", "Menu=감추기", "N3=폴더열기", "N7=-", "N11=언어 설정",
        "ChkLangKo=한국어", "ChkLangEn=English", "N6=녹화 설정", "N13=최대 녹화시간", "ChkRecLimit30=30분",
        "PnlMain=", "BtnYes=확인"}},
      {u"ru",
       {"FrmHotKey=Hotkey setting", "LblWidth=Ширина:", "ChkArea=캡쳐영역 [Весь экран|Область|PNG|]@1",
        "LblInside=취소", "LstColor=설정 [확인|]@0", "Menu=감추기", "N3=Открыть папку", "N7=-", "N11=Язык",
        "ChkLangKo=한국어", "ChkLangEn=English", "N6=Настройки записи", "N13=Лимит времени записи",
        "ChkRecLimit30=30 минут", "PnlMain=", "BtnYes=ОК"}},
  };
  for (const auto& step : steps) {
    TranslateComponent(form, step.language);
    EXPECT_EQ(currentLanguage(), step.language);
    EXPECT_EQ(snapshot(form), step.expected) << "into " << toUtf8(step.language);
  }
}

TEST_F(Translation, EmptyLanguageUsesAndKeepsTheCurrentOne) {
  TranslateComponent(nullptr, u"fr");
  EXPECT_EQ(currentLanguage(), u"fr");
  FakeForm size(nullptr, "FrmSize", "영역크기 설정");
  size.add<FakeButton>("BtnApply", "적용");
  TranslateComponent(size);
  EXPECT_EQ(currentLanguage(), u"fr");
  EXPECT_EQ(snapshot(size), (std::vector<std::string>{"FrmSize=Size setting", "BtnApply=Appliquer"}));

  TranslateComponent(nullptr, u"ko");
  TranslateComponent(&size);
  EXPECT_EQ(snapshot(size), (std::vector<std::string>{"FrmSize=영역크기 설정", "BtnApply=적용"}));
}

TEST(TranslateComponent, MenuItemsAreTranslatedTwice) {
  // "A" -> "B" in English; "B" is first found as the Japanese text of the block before, whose
  // English is "Z". Whatever passes through the popup menu and then again as an owned component
  // ends at "Z"; everything else is translated once.
  installTranslationTable(TranslationTable::parse("ko=Y\r\nen=Z\r\nja=B\r\n\r\nko=A\r\nen=B\r\n\r\n"));
  FakeForm form(nullptr, "Form", "A");
  form.add<FakeLabel>("Label", "A");
  auto& menu = form.add<FakePopup>("Menu");
  menu.add<FakeItem>("Item", "A").add<FakeItem>("SubItem", "A");
  form.add<FakeList>("Combo", ComponentKind::ComboBox, Texts{"A"}, 0);
  TranslateComponent(form, u"en");
  EXPECT_EQ(snapshot(form),
            (std::vector<std::string>{"Form=B", "Label=B", "Menu=", "Item=Z", "SubItem=Z", "Combo= [B|]@0"}));
  clearTranslation();
  EXPECT_EQ(currentLanguage(), u"");
}

}  // namespace
}  // namespace quorvel

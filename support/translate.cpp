#include "support/translate.h"

#include <array>
#include <utility>

#include "support/strings.h"
#include "ui/component.h"

namespace quorvel {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Texts keep line breaks as the two characters backslash and n, so a table line stays one line.
std::u16string unescape(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\' && i + 1 < text.size() && text[i + 1] == u'n') {
      out += u'\r';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct State {
  TranslationTable table;
  std::u16string language;
};

State& state() {
  static State s;
  return s;
}

void translateMenuItems(ui::Component& parent) {
  for (const auto& child : parent.components()) {
    if (child->kind() != ui::ComponentKind::MenuItem) continue;
    child->setCaption(Translate(child->caption()));
    translateMenuItems(*child);
  }
}

bool hasCaption(ui::ComponentKind kind) {
  return kind != ui::ComponentKind::PopupMenu && kind != ui::ComponentKind::ListBox;
}

}  // namespace

TranslationTable TranslationTable::parse(std::string_view bytes) {
  TranslationTable table;
  if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    Line entry;
    if (line.empty()) {
      entry.blank = true;
    } else {
      const std::u16string text = toUtf16(line);
      const std::size_t eq = text.find(u'=');
      entry.code = text.substr(0, eq);
      if (eq != std::u16string::npos) entry.text = text.substr(eq + 1);
    }
    table.lines_.push_back(std::move(entry));
  }
  return table;
}

std::u16string TranslationTable::translate(std::u16string_view text, std::u16string_view language) const {
  if (text.empty()) return {};
  std::size_t match = 0;
  while (match < lines_.size() && (lines_[match].blank || lines_[match].text != text)) ++match;
  if (match == lines_.size()) return unescape(text);
  std::size_t first = match;
  while (first > 0 && !lines_[first - 1].blank) --first;
  for (const std::u16string_view code : {language, std::u16string_view(u"en")}) {
    for (std::size_t i = first; i < lines_.size() && !lines_[i].blank; ++i)
      if (lines_[i].code == code) return unescape(lines_[i].text);
  }
  return unescape(text);
}

void installTranslationTable(TranslationTable table) {
  state().table = std::move(table);
}

void clearTranslation() {
  state().table = TranslationTable();
  state().language.clear();
}

const std::u16string& currentLanguage() {
  return state().language;
}
void setCurrentLanguage(std::u16string language) {
  state().language = std::move(language);
}

std::u16string Translate(std::u16string_view text, std::u16string_view language) {
  return state().table.translate(text, language.empty() ? std::u16string_view(state().language) : language);
}

void TranslateComponent(ui::Component* component, std::u16string_view language) {
  if (!language.empty()) setCurrentLanguage(std::u16string(language));
  if (!component) return;
  const ui::ComponentKind kind = component->kind();
  if (kind == ui::ComponentKind::ComboBox) {
    // setItemTexts keeps the selected index, so the picker still shows the same choice.
    std::vector<std::u16string> items = component->itemTexts();
    for (auto& item : items) item = Translate(item);
    component->setItemTexts(std::move(items));
    return;
  }
  if (kind == ui::ComponentKind::PopupMenu) translateMenuItems(*component);
  if (hasCaption(kind)) {
    const std::u16string caption = component->caption();
    // Window titles stay English outside Korean; the main window sets its own title afterwards.
    const std::u16string translated = kind == ui::ComponentKind::Form && currentLanguage() != u"ko"
                                          ? Translate(caption, u"en")
                                          : Translate(caption);
    if (translated != caption) component->setCaption(translated);
  }
  // Menu items owned here were already translated through their popup menu; translating them
  // again is harmless because a translated text finds its own block.
  for (const auto& child : component->components()) TranslateComponent(child.get(), language);
}

std::vector<std::string> checkTranslationFormat(std::string_view bytes) {
  static constexpr std::array<std::string_view, 7> kFirstOrder{"ko", "en", "ja", "zh", "ru", "it", "fr"};
  static constexpr std::array<std::string_view, 7> kOrder{"ko", "en", "ja", "ru", "zh", "it", "fr"};
  constexpr std::size_t kBlocks = 66;

  std::vector<std::string> problems;
  if (bytes.starts_with(kBom))
    bytes.remove_prefix(kBom.size());
  else
    problems.push_back("the file does not start with the UTF-8 byte-order mark");
  if (!bytes.ends_with("\r\n\r\n")) problems.push_back("the file does not end with CR LF CR LF");

  struct Line {
    int number;
    std::string_view text;
  };
  std::vector<std::vector<Line>> blocks;
  bool open = false;
  int number = 0;
  while (!bytes.empty()) {
    ++number;
    const std::size_t end = bytes.find("\r\n");
    const std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 2);
    const std::string where = "line " + std::to_string(number) + ": ";
    if (line.find_first_of("\r\n") != std::string_view::npos)
      problems.push_back(where + "a CR or LF that is not part of a CR LF line end");
    if (line.empty()) {
      if (!open) problems.push_back(where + "an empty line that does not end a block");
      open = false;
      continue;
    }
    if (!open) blocks.emplace_back();
    open = true;
    blocks.back().push_back({number, line});
  }

  if (blocks.size() != kBlocks)
    problems.push_back(std::to_string(blocks.size()) + " blocks, expected " + std::to_string(kBlocks));
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    const auto& order = b == 0 ? kFirstOrder : kOrder;
    const auto& block = blocks[b];
    const std::string name =
        "block " + std::to_string(b + 1) + " (line " + std::to_string(block[0].number) + ")";
    if (block.size() != order.size())
      problems.push_back(name + ": " + std::to_string(block.size()) + " lines, expected 7");
    std::size_t keyPlaceholders = 0;
    for (std::size_t i = 0; i < block.size(); ++i) {
      const Line& line = block[i];
      const std::string where = "line " + std::to_string(line.number) + ": ";
      const std::size_t eq = line.text.find('=');
      if (eq == std::string_view::npos) {
        problems.push_back(where + "no '='");
        continue;
      }
      const std::string_view code = line.text.substr(0, eq), text = line.text.substr(eq + 1);
      if (i < order.size() && code != order[i])
        problems.push_back(where + "code '" + std::string(code) + "', expected '" + std::string(order[i]) +
                           "'");
      if (text.empty()) problems.push_back(where + "empty text");
      if (text.find('=') != std::string_view::npos) problems.push_back(where + "'=' inside the text");
      if (toUtf16(text).find(u'\uFFFD') != std::u16string::npos)
        problems.push_back(where + "not valid UTF-8");
      // The caller fills "%s" in after translation, so every language must keep as many.
      std::size_t placeholders = 0;
      for (std::size_t at = text.find("%s"); at != std::string_view::npos; at = text.find("%s", at + 2))
        ++placeholders;
      if (i == 0)
        keyPlaceholders = placeholders;
      else if (placeholders != keyPlaceholders)
        problems.push_back(where + std::to_string(placeholders) + " \"%s\", the Korean text has " +
                           std::to_string(keyPlaceholders));
    }
  }
  return problems;
}

}  // namespace quorvel

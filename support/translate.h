#pragma once
// Run-time translation of the interface. Every text is written in Korean; the translation table
// (the TRANSLATE resource) holds blocks of `code=text` lines, one block per text, one line per
// language. Lookups go by the text itself, in any language, so a control that already shows a
// translated text can be translated again into another language.
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

namespace ui {
class Component;
}

class TranslationTable {
 public:
  TranslationTable() = default;
  // The resource bytes: UTF-8, with or without the byte-order mark, lines ending in CR LF.
  static TranslationTable parse(std::string_view bytes);

  // The text in `language`, else in English, else the text itself; backslash-n becomes CR in
  // every case. `language` is taken as it is (an empty one matches no line).
  std::u16string translate(std::u16string_view text, std::u16string_view language) const;
  bool empty() const { return lines_.empty(); }

 private:
  struct Line {
    std::u16string code, text;
    bool blank = false;  // a block separator
  };
  std::vector<Line> lines_;
};

// The table every Translate call uses. Empty until one is installed.
void installTranslationTable(TranslationTable table);
// Shutdown: drops the table and clears the current language.
void clearTranslation();

// The interface language used when a call names none. Any code is accepted: one the table does
// not know simply yields English.
const std::u16string& currentLanguage();
void setCurrentLanguage(std::u16string language);

// `text` in `language` (the current language when empty).
std::u16string Translate(std::u16string_view text, std::u16string_view language = {});

// Translates a component and everything it owns: captions, combo box items (the selection is
// kept) and popup menu items. A non-empty language first becomes the current language; children
// are translated with the same argument. Forms are titled in English in every language but Korean.
void TranslateComponent(ui::Component* component, std::u16string_view language = {});
inline void TranslateComponent(ui::Component& component, std::u16string_view language = {}) {
  TranslateComponent(&component, language);
}

// Everything wrong with the bytes of a translation table file, one readable line per problem;
// empty when the file is well-formed.
std::vector<std::string> checkTranslationFormat(std::string_view bytes);

}  // namespace quorvel

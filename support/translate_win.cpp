#include "support/translate_win.h"

#include "support/handles_win.h"
#include "ui/component.h"

namespace quorvel {

namespace {
std::u16string toU16(std::wstring_view s) {
  return std::u16string(s.begin(), s.end());
}
}  // namespace

bool loadTranslationResource(HMODULE module) {
  try {
    if (!module) module = ::GetModuleHandleW(nullptr);
    HRSRC info =
        ::FindResourceExW(module, RT_RCDATA, L"TRANSLATE", MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    if (!info) info = ::FindResourceW(module, L"TRANSLATE", RT_RCDATA);
    if (!info) return false;
    const HGLOBAL loaded = ::LoadResource(module, info);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    const DWORD size = ::SizeofResource(module, info);
    if (!data || size == 0) return false;
    installTranslationTable(TranslationTable::parse(std::string_view(static_cast<const char*>(data), size)));
    return true;
  } catch (...) {
    // Without a table every text is shown as written.
    return false;
  }
}

std::wstring GetUserLanguage() {
  const LCID locale = ::GetUserDefaultLCID();
  const int size = ::GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, nullptr, 0);
  if (size < 1) return L"en";
  std::wstring name(static_cast<std::size_t>(size), L'\0');
  if (::GetLocaleInfoW(locale, LOCALE_SISO639LANGNAME, name.data(), size) == 0) return L"en";
  if (const std::size_t nul = name.find(L'\0'); nul != std::wstring::npos) name.resize(nul);
  return name;
}

void initTranslation() {
  loadTranslationResource();
  setCurrentLanguage(toU16(GetUserLanguage().substr(0, 2)));
}

std::wstring Translate(std::wstring_view text, std::wstring_view language) {
  return toWide(Translate(std::u16string_view(toU16(text)), std::u16string_view(toU16(language))));
}

void TranslateComponent(ui::Component& component, std::wstring_view language) {
  TranslateComponent(&component, std::u16string_view(toU16(language)));
}

}  // namespace quorvel

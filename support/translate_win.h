#pragma once
// The translation table's Windows side: the TRANSLATE resource, the user's locale, and the
// portable calls in the system's wide strings.
#include <windows.h>

#include <string>
#include <string_view>

#include "support/translate.h"

namespace quorvel {

// Installs the table of the RCDATA resource TRANSLATE (language 1033) of `module` (null: the
// program). False, with the table left as it was, when there is none or it cannot be read.
bool loadTranslationResource(HMODULE module = nullptr);

// The ISO 639 name of the user's default locale ("ko", "en", ...; some have three letters);
// "en" when it cannot be read.
std::wstring GetUserLanguage();

// Start-up, before any form exists: loads the program's table and takes the current language
// from the user's locale (its first two characters).
void initTranslation();

// The portable calls for wide strings.
std::wstring Translate(std::wstring_view text, std::wstring_view language = {});
void TranslateComponent(ui::Component& component, std::wstring_view language);

}  // namespace quorvel

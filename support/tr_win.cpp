#include "support/tr_win.h"

#include "support/translate_win.h"

namespace quorvel {

std::wstring tr(const std::wstring& korean) { return Translate(std::wstring_view(korean)); }

}  // namespace quorvel

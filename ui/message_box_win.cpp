#include "ui/message_box_win.h"

#include "ui/application_win.h"

namespace quorvel::ui {

int messageBox(const std::wstring& text, const std::wstring& caption, UINT flags) {
  return ::MessageBoxW(Application::instance().handle(), text.c_str(), caption.c_str(), flags);
}

}  // namespace quorvel::ui

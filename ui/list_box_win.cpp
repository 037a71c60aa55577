#include "ui/list_box_win.h"

#include "ui/form_win.h"

namespace quorvel::ui {

ListBox::ListBox(Component* owner, std::string name, DesignRect rect, int itemHeight, std::wstring fontFace,
                 int fontHeight)
    : Control(owner, std::move(name), rect), itemHeight_(itemHeight), fontFace_(std::move(fontFace)),
      fontHeight_(fontHeight) {}

void ListBox::create() {
  createWindow(L"LISTBOX", WS_VISIBLE | WS_VSCROLL | WS_BORDER | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOTIFY |
                               LBS_NOINTEGRALHEIGHT);
  for (const auto& item : items_)
    ::SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
}

void ListBox::layout() {
  Control::layout();
  ::SendMessageW(hwnd_, LB_SETITEMHEIGHT, 0, scale(itemHeight_));
}

void ListBox::applyFont() {
  if (fontFace_.empty()) return Control::applyFont();
  LOGFONTW lf{};
  lf.lfHeight = scale(fontHeight_);
  lf.lfCharSet = DEFAULT_CHARSET;
  wcsncpy(lf.lfFaceName, fontFace_.c_str(), LF_FACESIZE - 1);
  font_.reset(::CreateFontIndirectW(&lf));
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), TRUE);
}

void ListBox::insert(int index, std::u16string item) {
  if (index < 0 || index > static_cast<int>(items_.size())) index = static_cast<int>(items_.size());
  items_.insert(items_.begin() + index, item);
  if (hwnd_) ::SendMessageW(hwnd_, LB_INSERTSTRING, index, reinterpret_cast<LPARAM>(toWide(item).c_str()));
}

void ListBox::remove(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  if (hwnd_) ::SendMessageW(hwnd_, LB_DELETESTRING, index, 0);
}

int ListBox::itemIndex() const { return hwnd_ ? static_cast<int>(::SendMessageW(hwnd_, LB_GETCURSEL, 0, 0)) : -1; }

void ListBox::setItemIndex(int index) {
  if (hwnd_) ::SendMessageW(hwnd_, LB_SETCURSEL, index, 0);
}

bool ListBox::onDrawItem(DRAWITEMSTRUCT& dis) {
  const int i = static_cast<int>(dis.itemID);
  if (i < 0 || i >= static_cast<int>(items_.size())) {
    ::FillRect(dis.hDC, &dis.rcItem, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    return true;
  }
  if (onDraw) onDraw(dis, items_[i]);
  return true;
}

}  // namespace quorvel::ui

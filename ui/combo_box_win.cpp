#include "ui/combo_box_win.h"

namespace quorvel::ui {

namespace {
// The edit field's height in design pixels: with the borders the closed list is 22 high.
constexpr int kItemHeight = 16;
}  // namespace

ComboBox::ComboBox(Component* owner, std::string name, DesignRect rect, std::vector<std::u16string> items,
                   bool visible)
    : Control(owner, std::move(name), rect), items_(std::move(items)), initiallyVisible_(visible) {}

void ComboBox::create() {
  // The height given to CreateWindow is that of the dropped list.
  const DesignRect keep = rect_;
  createWindow(L"COMBOBOX", (initiallyVisible_ ? WS_VISIBLE : 0) | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST |
                                CBS_OWNERDRAWFIXED | CBS_HASSTRINGS);
  rect_ = keep;
  fill();
}

void ComboBox::layout() {
  if (!hwnd_) create();
  const int w = widthOverride_ >= 0 ? widthOverride_ : scale(rect_.w);
  ::SetWindowPos(hwnd_, nullptr, scale(rect_.x), scale(rect_.y), w, scale(rect_.h) + scale(kItemHeight) * 12,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  applyFont();
  ::SendMessageW(hwnd_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), scale(rect_.h) - 6 * scale(1));
  ::SendMessageW(hwnd_, CB_SETITEMHEIGHT, 0, scale(kItemHeight));
  // A picker narrowed beside a companion still drops its list at its full width.
  ::SendMessageW(hwnd_, CB_SETDROPPEDWIDTH, scale(rect_.w), 0);
}

void ComboBox::fill() {
  if (!hwnd_) return;
  ::SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
  for (const auto& item : items_)
    ::SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(item).c_str()));
  ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index_), 0);
}

void ComboBox::setItems(std::vector<std::u16string> items) {
  const int keep = itemIndex();
  items_ = std::move(items);
  index_ = keep < static_cast<int>(items_.size()) ? keep : -1;
  fill();
}

void ComboBox::addItem(std::u16string item) {
  items_.push_back(std::move(item));
  if (hwnd_) ::SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(toWide(items_.back()).c_str()));
}

int ComboBox::itemIndex() const {
  if (!hwnd_) return index_;
  return static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
}

void ComboBox::setItemIndex(int index) {
  index_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
  if (hwnd_) ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index_), 0);
}

std::u16string ComboBox::text() const {
  const int i = itemIndex();
  return i >= 0 && i < static_cast<int>(items_.size()) ? items_[i] : std::u16string();
}

bool ComboBox::onCommand(WORD code) {
  if (code != CBN_SELCHANGE) return false;
  index_ = itemIndex();
  if (onChange) onChange();
  return true;
}

bool ComboBox::onDrawItem(DRAWITEMSTRUCT& dis) {
  const int i = static_cast<int>(dis.itemID);
  const std::u16string text = i >= 0 && i < static_cast<int>(items_.size()) ? items_[i] : std::u16string();
  if (onDraw) onDraw(dis, text);
  else drawItem(dis, text);
  return true;
}

void ComboBox::drawItem(DRAWITEMSTRUCT& dis, const std::u16string& text) {
  const bool selected = dis.itemState & ODS_SELECTED;
  ::FillRect(dis.hDC, &dis.rcItem, ::GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  ::SetBkMode(dis.hDC, TRANSPARENT);
  ::SetTextColor(dis.hDC, ::GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  const std::wstring w = toWide(text);
  ::TextOutW(dis.hDC, dis.rcItem.left + 1, dis.rcItem.top + 1, w.c_str(), static_cast<int>(w.size()));
  if ((dis.itemState & ODS_FOCUS) && !(dis.itemState & ODS_NOFOCUSRECT)) ::DrawFocusRect(dis.hDC, &dis.rcItem);
}

}  // namespace quorvel::ui

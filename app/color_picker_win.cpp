// The colour picker mode: the colour under the pointer, sampled ten times a second, and the
// list of collected codes.
#include <windows.h>

#include <cwchar>

#include "app/frm_quorvel_win.h"
#include "output/save_win.h"
#include "support/handles_win.h"

namespace quorvel {

namespace {
// A code's digits 1-2 are red, 3-4 green, 5-6 blue.
COLORREF colorOfCode(const std::u16string& code) {
  const unsigned long v = std::wcstoul(toWide(code).c_str(), nullptr, 16);
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}
}  // namespace

void TFrmQuorvel::TmrColorTimer() {
  if (!FCapture) return;
  POINT pt{};
  ::GetCursorPos(&pt);
  COLORREF c = ::GetPixel(FCapture->DC(), pt.x, pt.y);
  if (c == CLR_INVALID) c = RGB(255, 255, 255);
  wchar_t code[8];
  std::swprintf(code, 8, L"%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c));
  LblColor->setCaption(fromWide(code));
  ShpColor->setFill(c);
}

void TFrmQuorvel::CaptureColor() {
  const std::u16string code = LblColor->caption();
  LstColor->insert(0, code);
  TextToClipboard(toWide(code));
}

void TFrmQuorvel::N5Click() {
  const int i = LstColor->itemIndex();
  if (i >= 0 && i < static_cast<int>(LstColor->items().size())) TextToClipboard(toWide(LstColor->items()[i]));
}

void TFrmQuorvel::N7Click() { LstColor->remove(LstColor->itemIndex()); }

void TFrmQuorvel::LstColorDrawItem(DRAWITEMSTRUCT& dis, const std::u16string& text) {
  const bool selected = dis.itemState & ODS_SELECTED;
  UniqueGdiObject back(::CreateSolidBrush(selected ? RGB(0x33, 0x99, 0xFF) : RGB(255, 255, 255)));
  ::FillRect(dis.hDC, &dis.rcItem, static_cast<HBRUSH>(back.get()));
  ::SetBkMode(dis.hDC, TRANSPARENT);
  ::SetTextColor(dis.hDC, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
  const std::wstring w = toWide(text);
  RECT clip = dis.rcItem;
  ::ExtTextOutW(dis.hDC, scale(20), dis.rcItem.top, ETO_CLIPPED, &clip, w.c_str(), static_cast<UINT>(w.size()), nullptr);
  const RECT swatch{dis.rcItem.left + scale(2), dis.rcItem.top + scale(2), scale(15), dis.rcItem.bottom - scale(2)};
  UniqueGdiObject fill(::CreateSolidBrush(colorOfCode(text)));
  ::FillRect(dis.hDC, &swatch, static_cast<HBRUSH>(fill.get()));
  UniqueGdiObject pen(::CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
  SelectObjectScope usePen(dis.hDC, pen.get());
  ::MoveToEx(dis.hDC, swatch.left, swatch.top, nullptr);
  ::LineTo(dis.hDC, swatch.right, swatch.top);
  ::LineTo(dis.hDC, swatch.right, swatch.bottom);
  ::LineTo(dis.hDC, swatch.left, swatch.bottom);
  ::LineTo(dis.hDC, swatch.left, swatch.top);
}

}  // namespace quorvel

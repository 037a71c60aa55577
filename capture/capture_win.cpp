#include "capture/capture_win.h"

#include <dwmapi.h>

#include "support/os_version_win.h"

namespace quorvel {


TCapture::TCapture() : FDC(::GetDC(nullptr)) {}

TCapture::~TCapture() {
  if (FDC) ::ReleaseDC(nullptr, FDC);
}

void TCapture::Capture(HDC canvas, const RECT& r) {
  ::BitBlt(canvas, 0, 0, r.right - r.left, r.bottom - r.top, FDC, r.left, r.top, SRCCOPY | CAPTUREBLT);
  if (FShowCursor) DrawMouse(canvas, r.left, r.top);
  ::GdiFlush();
}

void TCapture::Capture(ui::Bitmap& bitmap, const RECT& r) {
  bitmap.setSize(r.right - r.left, r.bottom - r.top);
  Capture(bitmap.dc(), r);
}

void TCapture::Capture(ui::Bitmap& bitmap, HWND h, RECT& r) {
  RECT bounds{};
  if (!h) {
    const auto list = monitors();
    const int i = GetCursorMonitor();
    if (i >= 0 && i < static_cast<int>(list.size())) bounds = list[i];
  } else {
    bounds = windowBounds(h);
  }
  const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
  bitmap.setSize(width, height);
  r = RECT{bounds.left, bounds.top, bounds.left + width, bounds.top + height};
  Capture(bitmap.dc(), r);
}

void TCapture::DrawMouse(HDC canvas, int left, int top) {
  // The structure's real size: a fixed 20 would make the call fail in a 64-bit process.
  CURSORINFO ci{};
  ci.cbSize = sizeof(ci);
  if (!::GetCursorInfo(&ci) || !ci.hCursor) return;
  int x = ci.ptScreenPos.x - left;
  int y = ci.ptScreenPos.y - top;
  ICONINFO ii{};
  if (::GetIconInfo(ci.hCursor, &ii)) {
    x -= static_cast<int>(ii.xHotspot);
    y -= static_cast<int>(ii.yHotspot);
    if (ii.hbmMask) ::DeleteObject(ii.hbmMask);
    if (ii.hbmColor) ::DeleteObject(ii.hbmColor);
  }
  ::DrawIconEx(canvas, x, y, ci.hCursor, 0, 0, 0, nullptr, DI_NORMAL | DI_COMPAT);
}

std::vector<RECT> TCapture::monitors() {
  std::vector<RECT> list;
  ::EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR, HDC, LPRECT rect, LPARAM data) -> BOOL {
        reinterpret_cast<std::vector<RECT>*>(data)->push_back(*rect);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&list));
  return list;
}

int TCapture::GetCursorMonitor() const {
  POINT pt{};
  ::GetCursorPos(&pt);
  HMONITOR target = ::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST);
  MONITORINFO mi{sizeof(mi)};
  if (!::GetMonitorInfoW(target, &mi)) return 0;
  const auto list = monitors();
  for (std::size_t i = 0; i < list.size(); ++i)
    if (::EqualRect(&list[i], &mi.rcMonitor)) return static_cast<int>(i);
  return 0;
}

RECT TCapture::windowBounds(HWND h) {
  RECT r{};
  BOOL composition = FALSE;
  if (osMajorVersion() >= 6 && SUCCEEDED(::DwmIsCompositionEnabled(&composition)) && composition &&
      SUCCEEDED(::DwmGetWindowAttribute(h, DWMWA_EXTENDED_FRAME_BOUNDS, &r, sizeof(r))))
    return r;
  r = RECT{};
  ::GetWindowRect(h, &r);
  return r;
}

}  // namespace quorvel

#pragma once
#include <windows.h>

#include <vector>

#include "ui/bitmap_win.h"

namespace quorvel {

// The one screen grabber. It copies screen rectangles (physical pixels of the virtual screen)
// into a canvas or bitmap, optionally with the mouse cursor, and finds a window's or the
// pointer's monitor's bounds. It hides nothing first.
class TCapture {
 public:
  TCapture();
  ~TCapture();
  TCapture(const TCapture&) = delete;
  TCapture& operator=(const TCapture&) = delete;

  bool ShowCursor() const { return FShowCursor; }
  void SetShowCursor(bool show) { FShowCursor = show; }
  HDC DC() const { return FDC; }

  // Canvas form: copies R to (0, 0) of the canvas; the canvas is not resized.
  void Capture(HDC canvas, const RECT& r);
  // Bitmap form: resizes the bitmap to R, then copies.
  void Capture(ui::Bitmap& bitmap, const RECT& r);
  // Window form: h null means the monitor under the pointer; r receives the bounds captured.
  void Capture(ui::Bitmap& bitmap, HWND h, RECT& r);
  // Draws the current cursor so that its hotspot lands where it points; (left, top) is the
  // screen point that the canvas's (0, 0) stands for.
  void DrawMouse(HDC canvas, int left, int top);

  // The bounds of every monitor, in the system's order, and the index of the one that holds
  // the pointer (or the nearest one).
  static std::vector<RECT> monitors();
  int GetCursorMonitor() const;
  // The on-screen bounds of a window: extended frame bounds where composition gives them,
  // else the window rectangle.
  static RECT windowBounds(HWND h);

 private:
  bool FShowCursor = true;
  HDC FDC = nullptr;
};

}  // namespace quorvel

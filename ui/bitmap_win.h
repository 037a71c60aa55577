#pragma once
#include <windows.h>

#include "support/handles_win.h"
#include "support/image_view.h"

namespace quorvel::ui {

// A 32-bit top-down DIB section with its own memory DC (the canvas). Capture, encoders and
// windows share this one representation.
class Bitmap {
 public:
  Bitmap() = default;
  Bitmap(int width, int height) { setSize(width, height); }
  ~Bitmap() {
    if (oldBitmap_) ::SelectObject(dc_.get(), oldBitmap_);
  }
  Bitmap(const Bitmap&) = delete;
  Bitmap& operator=(const Bitmap&) = delete;

  int width() const { return width_; }
  int height() const { return height_; }
  // Resizes; the pixels are undefined afterwards (black for a new DIB). Zero sizes are allowed.
  void setSize(int width, int height);
  HDC dc() const { return dc_.get(); }
  HBITMAP handle() const { return static_cast<HBITMAP>(dib_.get()); }
  uint8_t* bits() { return bits_; }
  // Pixels as the portable code sees them; call after GDI drawing is finished (GdiFlush).
  ImageView view() const;

 private:
  int width_ = 0, height_ = 0;
  UniqueMemDc dc_;
  UniqueGdiObject dib_;
  HGDIOBJ oldBitmap_ = nullptr;
  uint8_t* bits_ = nullptr;
};

}  // namespace quorvel::ui

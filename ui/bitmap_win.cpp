#include "ui/bitmap_win.h"

#include "support/error.h"

namespace quorvel::ui {

void Bitmap::setSize(int width, int height) {
  if (width == width_ && height == height_ && (dib_ || width == 0 || height == 0)) return;
  if (!dc_) dc_.reset(::CreateCompatibleDC(nullptr));
  if (oldBitmap_) {
    ::SelectObject(dc_.get(), oldBitmap_);
    oldBitmap_ = nullptr;
  }
  dib_.reset();
  bits_ = nullptr;
  width_ = width < 0 ? 0 : width;
  height_ = height < 0 ? 0 : height;
  if (width_ == 0 || height_ == 0) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
  bi.bmiHeader.biWidth = width_;
  bi.bmiHeader.biHeight = -height_;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!dib) {
    const DWORD err = ::GetLastError();
    width_ = height_ = 0;
    throw Error(wideToUtf8(systemErrorText(err ? err : ERROR_NOT_ENOUGH_MEMORY)));
  }
  dib_.reset(dib);
  bits_ = static_cast<uint8_t*>(bits);
  oldBitmap_ = ::SelectObject(dc_.get(), dib);
}

ImageView Bitmap::view() const {
  ::GdiFlush();
  return {bits_, width_, height_, width_ * 4};
}

}  // namespace quorvel::ui

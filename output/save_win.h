#pragma once
#include <string>

#include "ui/bitmap_win.h"

namespace quorvel {

// Writes the bitmap as an 8-bit RGB PNG. Errors carry the system's text.
void BitmapToPNGFile(const ui::Bitmap& bitmap, const std::wstring& fileName);

}  // namespace quorvel

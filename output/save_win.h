#pragma once
#include <string>

#include "ui/bitmap_win.h"

namespace quorvel {

// One captured bitmap to one output. The file writers create or replace `fileName` whole (a
// failure leaves whatever was there before, never a partial file) and raise quorvel::Error with
// the system's text; they show nothing themselves.

// 8-bit RGB PNG.
void BitmapToPNGFile(const ui::Bitmap& bitmap, const std::wstring& fileName);
// Colour baseline JPEG; `quality` on the usual 1..100 scale (clamped).
void BitmapToJPGFile(const ui::Bitmap& bitmap, const std::wstring& fileName, int quality);
// Single-image GIF: at most 256 colours from the image itself, dithered when it has more.
void BitmapToGIFFile(const ui::Bitmap& bitmap, const std::wstring& fileName);
// BMP of the pixels as they are, 32 bits per pixel.
void BitmapToBMPFile(const ui::Bitmap& bitmap, const std::wstring& fileName);
// WebP through libwebp.dll beside the program, loaded for this call only; `quality` 0..100.
// A missing or unusable library is an error that names the cause, and no file is written.
void BitmapToWebPFile(const ui::Bitmap& bitmap, const std::wstring& fileName, int quality);

// Prints the bitmap alone on one page of the default printer, without a dialog, each screen
// pixel as a whole number of printer dots (printScale). The job is ended on every path; errors
// are raised after that.
void BitmapToPrinter(const ui::Bitmap& bitmap, int pixelsPerInch);

// Replace the clipboard's contents with the image (a device-independent bitmap and PNG) or
// with Unicode text. They never raise: when the clipboard cannot be used, typically because
// another program holds it open, they say so in one message box and return.
void BitmapToClipboard(const ui::Bitmap& bitmap);
void TextToClipboard(const std::wstring& text);

}  // namespace quorvel

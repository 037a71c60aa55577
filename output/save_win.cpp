#include "output/save_win.h"

#include "output/bmp_writer.h"
#include "output/gif_writer.h"
#include "output/png_writer.h"
#include "support/file_write_win.h"

namespace quorvel {

namespace {
void writeBytes(const std::wstring& fileName, const std::vector<uint8_t>& bytes) {
  writeFileReplacing(fileName, bytes.data(), bytes.size());
}
}  // namespace

void BitmapToPNGFile(const ui::Bitmap& bitmap, const std::wstring& fileName) {
  writeBytes(fileName, encodePng(bitmap.view()));
}

void BitmapToGIFFile(const ui::Bitmap& bitmap, const std::wstring& fileName) {
  writeBytes(fileName, encodeGif(bitmap.view()));
}

void BitmapToBMPFile(const ui::Bitmap& bitmap, const std::wstring& fileName) {
  writeBytes(fileName, encodeBmp(bitmap.view()));
}

}  // namespace quorvel

#include "output/save_win.h"

#include "output/png_writer.h"
#include "support/file_write_win.h"

namespace quorvel {

void BitmapToPNGFile(const ui::Bitmap& bitmap, const std::wstring& fileName) {
  const std::vector<uint8_t> png = encodePng(bitmap.view());
  writeFileReplacing(fileName, png.data(), png.size());
}

}  // namespace quorvel

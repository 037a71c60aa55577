#include <windows.h>

#include <algorithm>

#include "output/save_win.h"
#include "output/webp_encoder.h"
#include "support/error.h"
#include "support/file_write_win.h"
#include "support/handles_win.h"
#include "support/module_path_win.h"

namespace quorvel {

void BitmapToWebPFile(const ui::Bitmap& bitmap, const std::wstring& fileName, int quality) {
  // The library is optional and lives beside the program; it is loaded for this save only.
  const std::wstring path = moduleFolder() + L"libwebp.dll";
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES)
    throw Error("libwebp.dll was not found beside the program (" + wideToUtf8(moduleFolder()) + ").");
  // The altered search path lets a libwebp built in parts find its companions (libsharpyuv.dll)
  // in the same folder.
  const UniqueModule library(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library)
    throw Error("libwebp.dll could not be loaded: " + wideToUtf8(systemErrorText(::GetLastError())));
  WebPApi api{};
  api.encodeBGRA = reinterpret_cast<decltype(api.encodeBGRA)>(
      reinterpret_cast<void*>(::GetProcAddress(library.get(), "WebPEncodeBGRA")));
  if (!api.encodeBGRA) throw Error("libwebp.dll does not export WebPEncodeBGRA.");
  api.free = reinterpret_cast<decltype(api.free)>(
      reinterpret_cast<void*>(::GetProcAddress(library.get(), "WebPFree")));
  if (!api.free) throw Error("libwebp.dll does not export WebPFree.");

  const std::vector<uint8_t> webp = encodeWebP(api, bitmap.view(), float(std::clamp(quality, 0, 100)));
  writeFileReplacing(fileName, webp.data(), webp.size());
}

}  // namespace quorvel

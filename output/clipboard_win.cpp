#include <windows.h>

#include <cstring>
#include <functional>
#include <vector>

#include "support/tr_win.h"
#include "output/png_writer.h"
#include "output/save_win.h"
#include "support/handles_win.h"
#include "ui/application_win.h"
#include "ui/message_box_win.h"

namespace quorvel {

namespace {

struct GlobalTraits {
  static HGLOBAL invalid() { return nullptr; }
  static void close(HGLOBAL h) { ::GlobalFree(h); }
};
// Memory for the clipboard: ours until SetClipboardData takes it.
using UniqueGlobal = UniqueHandleT<HGLOBAL, GlobalTraits>;

UniqueGlobal globalOf(std::size_t size, const std::function<void(uint8_t*)>& fill) {
  UniqueGlobal memory(::GlobalAlloc(GMEM_MOVEABLE, size));
  if (!memory) return memory;
  auto* p = static_cast<uint8_t*>(::GlobalLock(memory.get()));
  if (!p) return UniqueGlobal();
  fill(p);
  ::GlobalUnlock(memory.get());
  return memory;
}

// A device-independent bitmap the way every program pastes it: 24 bits, rows bottom-up. The
// capture's fourth byte is no alpha, and some programs would take a 32-bit one for it.
UniqueGlobal dibOf(const ImageView& image) {
  const std::size_t rowBytes = (std::size_t(image.width) * 3 + 3) & ~std::size_t(3);
  const std::size_t size = sizeof(BITMAPINFOHEADER) + rowBytes * std::size_t(image.height);
  return globalOf(size, [&](uint8_t* p) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = image.width;
    header.biHeight = image.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = DWORD(rowBytes * std::size_t(image.height));
    std::memcpy(p, &header, sizeof(header));
    uint8_t* rows = p + sizeof(header);
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* in = image.row(y);
      uint8_t* out = rows + rowBytes * std::size_t(image.height - 1 - y);
      for (int x = 0; x < image.width; ++x, in += 4, out += 3) out[0] = in[0], out[1] = in[1], out[2] = in[2];
      std::memset(out, 0, rowBytes - std::size_t(image.width) * 3);
    }
  });
}

// The clipboard, open for this scope. Another program may hold it for a moment (clipboard
// managers read every change), so opening is tried for about a tenth of a second.
class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) {
    for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
      if (attempt > 0) ::Sleep(10);
      open_ = ::OpenClipboard(owner) != FALSE;
    }
  }
  ~OpenClipboardScope() {
    if (open_) ::CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

struct Format {
  UINT id;
  UniqueGlobal data;
};

// Replaces the clipboard's contents with `formats`, all prepared beforehand so that the old
// contents are only given up when the new ones are ready. False when any step fails.
bool replaceClipboard(std::vector<Format>& formats) {
  for (const Format& f : formats)
    if (!f.id || !f.data) return false;
  const OpenClipboardScope clipboard(ui::Application::instance().handle());
  if (!clipboard || !::EmptyClipboard()) return false;
  for (Format& f : formats) {
    if (!::SetClipboardData(f.id, f.data.get())) return false;
    f.data.release();  // the clipboard owns it now
  }
  return true;
}

void reportClipboardBusy() {
  ui::messageBox(tr(L"클립보드 사용을 방지하는 프로그램이 실행중입니다."), tr(ui::Application::instance().title()),
                 MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION | MB_OK);
}

// Runs `put` and turns any failure into the one notice; nothing escapes.
template <class Put>
void putOnClipboard(Put put) {
  bool done = false;
  try {
    done = put();
  } catch (...) {
    done = false;
  }
  if (!done) reportClipboardBusy();
}

}  // namespace

void BitmapToClipboard(const ui::Bitmap& bitmap) {
  putOnClipboard([&] {
    const ImageView image = bitmap.view();
    // PNG as well: browsers and office programs paste it losslessly and prefer it.
    const std::vector<uint8_t> png = encodePng(image);
    std::vector<Format> formats;
    formats.push_back({CF_DIB, dibOf(image)});
    formats.push_back({::RegisterClipboardFormatW(L"PNG"),
                       globalOf(png.size(), [&](uint8_t* p) { std::memcpy(p, png.data(), png.size()); })});
    return replaceClipboard(formats);
  });
}

void TextToClipboard(const std::wstring& text) {
  putOnClipboard([&] {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    std::vector<Format> formats;
    formats.push_back(
        {CF_UNICODETEXT, globalOf(bytes, [&](uint8_t* p) { std::memcpy(p, text.c_str(), bytes); })});
    return replaceClipboard(formats);
  });
}

}  // namespace quorvel

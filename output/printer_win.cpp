#include <windows.h>
#include <winspool.h>

#include <string>

#include "output/print_scale.h"
#include "output/save_win.h"
#include "support/error.h"
#include "support/handles_win.h"

namespace quorvel {

namespace {

[[noreturn]] void fail(DWORD code) {
  throw Error(wideToUtf8(systemErrorText(code ? code : ERROR_GEN_FAILURE)));
}

std::wstring defaultPrinter() {
  DWORD size = 0;
  ::GetDefaultPrinterW(nullptr, &size);
  DWORD err = ::GetLastError();
  if (size > 0) {
    std::wstring name(size, L'\0');
    if (::GetDefaultPrinterW(name.data(), &size)) {
      name.resize(name.find(L'\0') == std::wstring::npos ? name.size() : name.find(L'\0'));
      return name;
    }
    err = ::GetLastError();
  }
  if (err == ERROR_FILE_NOT_FOUND || err == ERROR_INVALID_NAME)
    throw Error("There is no default printer: choose one in the Windows printer settings.");
  fail(err);
}

// One document of one page. Once started, it is ended on every path, so that a failure while
// drawing never leaves the printer waiting for the rest of the job.
class PrintJob {
 public:
  explicit PrintJob(HDC dc) : dc_(dc) {
    DOCINFOW doc{};
    doc.cbSize = sizeof(doc);
    if (::StartDocW(dc_, &doc) <= 0) fail(::GetLastError());
    if (::StartPage(dc_) <= 0) {
      const DWORD err = ::GetLastError();
      ::EndDoc(dc_);
      fail(err);
    }
  }
  ~PrintJob() {
    if (!ended_) {
      ::EndPage(dc_);
      ::EndDoc(dc_);
    }
  }
  PrintJob(const PrintJob&) = delete;
  PrintJob& operator=(const PrintJob&) = delete;

  void end() {
    ended_ = true;
    const bool page = ::EndPage(dc_) > 0;
    const DWORD err = ::GetLastError();
    if (::EndDoc(dc_) <= 0) fail(::GetLastError());
    if (!page) fail(err);
  }

 private:
  HDC dc_;
  bool ended_ = false;
};

}  // namespace

void BitmapToPrinter(const ui::Bitmap& bitmap, int pixelsPerInch) {
  const std::wstring printer = defaultPrinter();
  const UniqueMemDc dc(::CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr));
  if (!dc) fail(::GetLastError());
  const int scaleX = printScale(::GetDeviceCaps(dc.get(), LOGPIXELSX), pixelsPerInch);
  const int scaleY = printScale(::GetDeviceCaps(dc.get(), LOGPIXELSY), pixelsPerInch);

  PrintJob job(dc.get());
  const ImageView image = bitmap.view();
  if (scaleX > 0 && scaleY > 0 && image.width > 0 && image.height > 0) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = image.width;
    info.bmiHeader.biHeight = -image.height;  // top-down, as the bitmap holds them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const int drawn = ::StretchDIBits(dc.get(), 0, 0, image.width * scaleX, image.height * scaleY, 0, 0,
                                      image.width, image.height, image.bgra, &info, DIB_RGB_COLORS, SRCCOPY);
    if (drawn <= 0) fail(::GetLastError());  // 0, or GDI_ERROR as a signed count; the job still ends first
  }
  job.end();
}

}  // namespace quorvel

// The printer destination. Wine finds printers only through CUPS, so on a machine without a
// print server there is none, and only the refusal can be seen.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>

#include "harness_win.h"
#include "output/save_win.h"
#include "pattern_bitmap_win.h"
#include "support/error.h"

namespace qvtest {
namespace {

std::wstring defaultPrinter() {
  wchar_t name[512] = {};
  DWORD size = 512;
  return ::GetDefaultPrinterW(name, &size) ? name : L"";
}

TEST(Printer, WithoutADefaultPrinterTheErrorSaysSo) {
  if (const std::wstring printer = defaultPrinter(); !printer.empty())
    GTEST_SKIP() << "this machine has a default printer (" << quorvel::wideToUtf8(printer)
                 << "); the refusal needs one without";
  quorvel::ui::Bitmap picture(16, 16);
  paintPattern(picture);
  try {
    quorvel::BitmapToPrinter(picture, 96);
    ADD_FAILURE() << "no error";
  } catch (const quorvel::Error& e) {
    EXPECT_NE(std::string(e.what()).find("no default printer"), std::string::npos) << e.what();
  }
}

TEST(Printer, PrintsOnePageOnTheDefaultPrinter) {
  const std::wstring printer = defaultPrinter();
  if (printer.empty())
    GTEST_SKIP()
        << "no default printer here: Wine sees printers only through a CUPS server, and this machine "
           "runs none; the page itself needs a machine with a printer";
  quorvel::ui::Bitmap picture(64, 48);
  paintPattern(picture);
  EXPECT_NO_THROW(quorvel::BitmapToPrinter(picture, 96));
}

}  // namespace
}  // namespace qvtest

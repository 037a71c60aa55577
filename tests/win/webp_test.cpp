// The WebP writer with stand-ins for libwebp.dll placed beside the test program, which is the
// program whose folder the writer looks in.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "fake_webp/fake_webp.h"
#include "harness_win.h"
#include "output/save_win.h"
#include "pattern_bitmap_win.h"
#include "support/error.h"

namespace qvtest {
namespace {

using quorvel::ui::Bitmap;

const std::wstring& besideTheProgram() {
  static const std::wstring path = testFolder() + L"libwebp.dll";
  return path;
}

// Puts a libwebp.dll beside the test program for one test, and takes it away afterwards so that
// no other test (nor a quorvel.exe started from this folder) finds it.
class LibraryBesideTheProgram {
 public:
  // `variant`: a folder of the build with a fake libwebp.dll; empty for a file that is no DLL.
  explicit LibraryBesideTheProgram(const wchar_t* variant) {
    ::DeleteFileW(besideTheProgram().c_str());
    if (*variant) {
      placed_ =
          ::CopyFileW((testFolder() + variant + L"\\libwebp.dll").c_str(), besideTheProgram().c_str(), FALSE);
    } else {
      std::ofstream(besideTheProgram().c_str(), std::ios::binary) << "this is not a library";
      placed_ = true;
    }
  }
  ~LibraryBesideTheProgram() { ::DeleteFileW(besideTheProgram().c_str()); }
  bool placed() const { return placed_; }

 private:
  bool placed_ = false;
};

// The test's own hold on the fake library: while it is loaded here, the writer loads the same
// module, so what it recorded can be read afterwards.
class Hold {
 public:
  Hold() : module_(::LoadLibraryW(besideTheProgram().c_str())) {}
  ~Hold() { release(); }
  void release() {
    if (module_) ::FreeLibrary(module_);
    module_ = nullptr;
  }
  const FakeWebPRecord& record() const {
    return *reinterpret_cast<FakeWebPRecordFn>(
        reinterpret_cast<void*>(::GetProcAddress(module_, "FakeWebPLastCall")))();
  }
  void answer(int size) const {
    reinterpret_cast<FakeWebPAnswerFn>(reinterpret_cast<void*>(::GetProcAddress(module_, "FakeWebPAnswer")))(
        size);
  }
  explicit operator bool() const { return module_ != nullptr; }

 private:
  HMODULE module_;
};

bool libraryLoaded() {
  return ::GetModuleHandleW(besideTheProgram().c_str()) != nullptr;
}

std::vector<uint8_t> readFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

class WritersWebP : public ::testing::Test {
 protected:
  WritersWebP() : picture(37, 23) { paintPattern(picture); }
  TempFolder folder;
  Bitmap picture;
};

TEST_F(WritersWebP, HandsThePixelsToTheLibraryAndWritesWhatItAnswers) {
  LibraryBesideTheProgram library(L"fake_webp_full");
  ASSERT_TRUE(library.placed());
  struct Row {
    int quality;
    float passed;
  } rows[] = {{70, 70.0f}, {90, 90.0f}, {100, 100.0f}, {250, 100.0f}, {-5, 0.0f}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.quality);
    const std::wstring path = folder.path() + L"\\capture.webp";
    {
      Hold hold;
      ASSERT_TRUE(hold);
      ASSERT_NO_THROW(quorvel::BitmapToWebPFile(picture, path, r.quality));
      const FakeWebPRecord call = hold.record();
      EXPECT_EQ(call.encodeCalls, 1);
      EXPECT_EQ(call.width, 37);
      EXPECT_EQ(call.height, 23);
      EXPECT_EQ(call.stride, 37 * 4);
      EXPECT_EQ(call.quality, r.passed);
      // Rows top-down, opaque: the capture's fourth byte is no transparency.
      EXPECT_EQ(call.firstPixel, 0xFF000000u | bitmapPixel(picture, 0, 0));
      EXPECT_EQ(call.lastPixel, 0xFF000000u | bitmapPixel(picture, 36, 22));
      EXPECT_EQ(call.freeCalls, 1);
      EXPECT_EQ(call.freedTheOutput, 1) << "WebPFree gets back what WebPEncodeBGRA gave";
    }
    EXPECT_FALSE(libraryLoaded()) << "the writer unloads the library after the save";
    EXPECT_EQ(readFile(path),
              std::vector<uint8_t>(kFakeWebPPayload, kFakeWebPPayload + kFakeWebPPayloadSize));
  }
}

TEST_F(WritersWebP, AnUnusableLibraryIsAnErrorThatNamesTheCauseAndWritesNothing) {
  struct Row {
    const wchar_t* variant;  // null: no library at all; empty: a file that is no library
    int answer;              // what the encoder answers, -1 its payload
    const char* message;
  } rows[] = {
      {nullptr, -1, "libwebp.dll was not found beside the program"},
      {L"", -1, "libwebp.dll could not be loaded"},
      {L"fake_webp_without_encode", -1, "libwebp.dll does not export WebPEncodeBGRA."},
      {L"fake_webp_without_free", -1, "libwebp.dll does not export WebPFree."},
      {L"fake_webp_full", 0, "WebP encoding failed"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.message);
    std::unique_ptr<LibraryBesideTheProgram> library;
    if (r.variant) {
      library = std::make_unique<LibraryBesideTheProgram>(r.variant);
      ASSERT_TRUE(library->placed());
    }
    const std::wstring path = folder.path() + L"\\capture.webp";
    {
      Hold hold;  // nothing to hold for the first two rows
      if (r.answer >= 0) hold.answer(r.answer);
      try {
        quorvel::BitmapToWebPFile(picture, path, 90);
        ADD_FAILURE() << "no error";
      } catch (const quorvel::Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind(r.message, 0), 0u) << e.what();
      }
      if (r.answer >= 0)
        EXPECT_EQ(hold.record().freeCalls, 1) << "the encoder's buffer is released all the same";
    }
    EXPECT_FALSE(libraryLoaded()) << "the writer unloads the library on the way out";
    EXPECT_EQ(folder.files(), std::vector<std::wstring>{}) << "no file, not even an empty one";
  }
}

}  // namespace
}  // namespace qvtest

// The image file writers: what a decoder reads back from their files, and what they leave
// behind when they fail.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "harness_win.h"
#include "output/save_win.h"
#include "pattern_bitmap_win.h"
#include "support/error.h"

namespace qvtest {
namespace {

using quorvel::ui::Bitmap;

std::vector<uint8_t> readFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct Writer {
  const char* name;
  const wchar_t* extension;
  const wchar_t* container;  // as decodeImage names it
  std::function<void(const Bitmap&, const std::wstring&)> write;
};

const std::vector<Writer>& writers() {
  static const std::vector<Writer> all = {
      {"PNG", L"png", L"png", quorvel::BitmapToPNGFile},
      {"JPG", L"jpg", L"jpeg",
       [](const Bitmap& b, const std::wstring& f) { quorvel::BitmapToJPGFile(b, f, 90); }},
      {"GIF", L"gif", L"gif", quorvel::BitmapToGIFFile},
      {"BMP", L"bmp", L"bmp", quorvel::BitmapToBMPFile},
  };
  return all;
}

const Writer& writer(const char* name) {
  for (const Writer& w : writers())
    if (std::string(w.name) == name) return w;
  throw std::logic_error(name);
}

class Writers : public ::testing::Test {
 protected:
  Writers() : picture(173, 61) { paintPattern(picture); }
  std::wstring target(const Writer& w, const wchar_t* stem = L"capture") const {
    return folder.path() + L"\\" + stem + L"." + w.extension;
  }
  TempFolder folder;
  Bitmap picture;  // odd sizes: no row of any format ends on a round number
};

TEST_F(Writers, EachFileDecodesBackToThePicture) {
  struct Row {
    const char* writer;
    double minimumPsnr;  // 99: exact
  } rows[] = {{"PNG", 99}, {"BMP", 99}, {"GIF", 30}, {"JPG", 28}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.writer);
    const Writer& w = writer(r.writer);
    ASSERT_NO_THROW(w.write(picture, target(w)));
    Image decoded;
    std::wstring container;
    ASSERT_TRUE(decodeImage(target(w), decoded, &container));
    EXPECT_EQ(container, w.container);
    ASSERT_EQ(decoded.width, picture.width());
    ASSERT_EQ(decoded.height, picture.height());
    if (r.minimumPsnr >= 99)
      EXPECT_EQ(mismatches(decoded, picture), 0);
    else
      EXPECT_GE(psnr(decoded, picture), r.minimumPsnr);
  }
  EXPECT_EQ(folder.files(),
            (std::vector<std::wstring>{L"capture.bmp", L"capture.gif", L"capture.jpg", L"capture.png"}))
      << "nothing else is left beside the files";
}

TEST_F(Writers, GifReducesToAPaletteAndKeepsAFewColoursExactly) {
  const Writer& gif = writer("GIF");
  gif.write(picture, target(gif, L"many"));
  Image many;
  ASSERT_TRUE(decodeImage(target(gif, L"many"), many));
  EXPECT_LE(distinctColors(many), 256u);

  Bitmap few(97, 45);
  paint(few, [](int x, int y) { return fewColors(x, y, 200); });
  gif.write(few, target(gif, L"few"));
  Image decoded;
  ASSERT_TRUE(decodeImage(target(gif, L"few"), decoded));
  EXPECT_EQ(mismatches(decoded, few), 0) << "200 colours fit the palette as they are";
}

TEST_F(Writers, BmpHoldsThePixelsAsTheyAreAt32BitsPerPixel) {
  const Writer& bmp = writer("BMP");
  bmp.write(picture, target(bmp));
  const std::vector<uint8_t> file = readFile(target(bmp));
  ASSERT_EQ(file.size(), 14u + 40u + std::size_t(picture.width()) * picture.height() * 4);
  EXPECT_EQ(file[28] | file[29] << 8, 32) << "bits per pixel";
}

// The markers of a JPEG file up to its first scan: {marker, the bytes of its segment}.
std::vector<std::pair<int, std::vector<uint8_t>>> jpegSegments(const std::vector<uint8_t>& f) {
  std::vector<std::pair<int, std::vector<uint8_t>>> segments;
  std::size_t at = 2;
  while (at + 4 <= f.size() && f[at] == 0xFF) {
    const int marker = f[at + 1];
    const std::size_t length = std::size_t(f[at + 2]) << 8 | f[at + 3];
    if (at + 2 + length > f.size()) break;
    segments.push_back({marker, std::vector<uint8_t>(f.begin() + at + 4, f.begin() + at + 2 + length)});
    if (marker == 0xDA) break;  // start of scan: entropy-coded data follows
    at += 2 + length;
  }
  return segments;
}

class WritersJpeg : public Writers {
 protected:
  std::vector<uint8_t> save(int quality) {
    const std::wstring path = folder.path() + L"\\q" + std::to_wstring(quality) + L".jpg";
    quorvel::BitmapToJPGFile(picture, path, quality);
    return readFile(path);
  }
};

TEST_F(WritersJpeg, IsAColourBaselineFile) {
  const std::vector<uint8_t> file = save(90);
  ASSERT_GE(file.size(), 4u);
  EXPECT_EQ(file[0] << 8 | file[1], 0xFFD8);
  int frames = 0;
  for (const auto& [marker, segment] : jpegSegments(file)) {
    EXPECT_TRUE(marker < 0xC1 || marker > 0xCF || marker == 0xC4 || marker == 0xCC)
        << "frame marker " << std::hex << marker << " is not baseline";
    if (marker == 0xC0) {
      ++frames;
      ASSERT_GE(segment.size(), 6u);
      EXPECT_EQ(segment[5], 3) << "three colour components";
    }
  }
  EXPECT_EQ(frames, 1);
}

TEST_F(WritersJpeg, FollowsTheAskedQuality) {
  const std::vector<uint8_t> q60 = save(60), q90 = save(90), q100 = save(100);
  if (q60 == q100)
    GTEST_SKIP()
        << "this system's JPEG encoder gives the same file at every ImageQuality (Wine's ignores the "
           "option), so the quality cannot be seen in the file";
  EXPECT_LT(q60.size(), q90.size());
  EXPECT_LT(q90.size(), q100.size());
  // Values outside 1..100 are held to it.
  EXPECT_EQ(save(0), save(1));
  EXPECT_EQ(save(250), q100);
}

TEST_F(Writers, AFailedWriteLeavesNoFile) {
  Bitmap empty;
  ::CreateDirectoryW((folder.path() + L"\\taken.png").c_str(), nullptr);
  struct Row {
    const char* why;
    const Bitmap* bitmap;
    std::wstring path;  // {ext} is the writer's extension
  } rows[] = {
      {"the folder does not exist", &picture, folder.path() + L"\\missing\\capture.{ext}"},
      {"the bitmap is empty", &empty, folder.path() + L"\\capture.{ext}"},
      {"a folder has the name", &picture, folder.path() + L"\\taken.png"},
  };
  for (const Row& r : rows)
    for (const Writer& w : writers()) {
      SCOPED_TRACE(std::string(w.name) + ": " + r.why);
      std::wstring path = r.path;
      if (const auto at = path.find(L"{ext}"); at != std::wstring::npos) path.replace(at, 5, w.extension);
      try {
        w.write(*r.bitmap, path);
        ADD_FAILURE() << "no error";
      } catch (const quorvel::Error& e) {
        EXPECT_STRNE(e.what(), "") << "the error has a message";
      }
      EXPECT_EQ(folder.files(), std::vector<std::wstring>{}) << "no file, not even a temporary one";
    }
}

TEST_F(Writers, AnExistingFileIsReplacedWhole) {
  for (const Writer& w : writers()) {
    SCOPED_TRACE(w.name);
    const std::wstring path = target(w);
    writeFile(path, std::vector<uint8_t>(1 << 20, 'x'));
    ASSERT_NO_THROW(w.write(picture, path));
    EXPECT_LT(readFile(path).size(), std::size_t(1) << 20) << "nothing of the old file is left at its end";
    Image decoded;
    ASSERT_TRUE(decodeImage(path, decoded));
    EXPECT_EQ(decoded.width, picture.width());
  }
  // The lossless files are exactly what a fresh write gives.
  for (const char* name : {"PNG", "BMP", "GIF"}) {
    SCOPED_TRACE(name);
    const Writer& w = writer(name);
    w.write(picture, target(w, L"fresh"));
    EXPECT_EQ(readFile(target(w)), readFile(target(w, L"fresh")));
  }
}

}  // namespace
}  // namespace qvtest

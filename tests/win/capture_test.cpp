// The screen grabber in-process: a window of our own paints pixels we know, and every captured
// pixel is checked against them.
#include <dwmapi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "capture/capture_win.h"
#include "harness_win.h"

namespace qvtest {
namespace {

using quorvel::TCapture;
using quorvel::ui::Bitmap;

constexpr RECT kWindow{100, 120, 400, 320};  // where the pattern window sits, 300 x 200

// Every pixel of the pattern differs from every other, so a copy shifted by one pixel in any
// direction, or a swapped axis, cannot match. 0x00RRGGBB of window-local (x, y).
uint32_t pattern(int x, int y) {
  return static_cast<uint32_t>((0x30 + 0x80 * (x >> 8)) << 16 | (y & 0xFF) << 8 | (x & 0xFF));
}

// The pattern at a screen point (inside kWindow).
uint32_t patternAt(int sx, int sy) {
  return pattern(sx - kWindow.left, sy - kWindow.top);
}

std::string str(const RECT& r) {
  char s[80];
  std::snprintf(s, sizeof s, "(%ld, %ld, %ld, %ld)", r.left, r.top, r.right, r.bottom);
  return s;
}
std::string hex(uint32_t c) {
  char s[16];
  std::snprintf(s, sizeof s, "0x%06X", c);
  return s;
}

uint32_t pixel(const quorvel::ImageView& v, int x, int y) {
  const uint8_t* p = v.row(y) + x * 4;
  return uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];  // the fourth byte means nothing
}

// The first pixel of a w x h region of `v` that is not `expected`, described; empty when all match.
std::string firstMismatch(const quorvel::ImageView& v, int w, int h,
                          const std::function<uint32_t(int, int)>& expected) {
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (pixel(v, x, y) != expected(x, y))
        return "(" + std::to_string(x) + ", " + std::to_string(y) + ") is " + hex(pixel(v, x, y)) +
               ", expected " + hex(expected(x, y));
  return "";
}

std::string firstMismatch(const Image& a, const quorvel::ImageView& v) {
  if (a.width != v.width || a.height != v.height) return "sizes differ";
  return firstMismatch(v, v.width, v.height, [&](int x, int y) { return a.pixel(x, y); });
}

// A topmost popup that paints the pattern, made by a window class of its own.
class PatternWindow {
 public:
  PatternWindow() {
    static const ATOM atom = [] {
      WNDCLASSEXW wc{sizeof(wc)};
      wc.lpfnWndProc = proc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
      wc.lpszClassName = L"QvGrabberPattern";
      return ::RegisterClassExW(&wc);
    }();
    hwnd_ = ::CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, MAKEINTATOM(atom), L"pattern", WS_POPUP,
                              kWindow.left, kWindow.top, kWindow.right - kWindow.left,
                              kWindow.bottom - kWindow.top, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                              nullptr);
    ::ShowWindow(hwnd_, SW_SHOW);
    ::SetForegroundWindow(hwnd_);
    ::UpdateWindow(hwnd_);
  }
  ~PatternWindow() { ::DestroyWindow(hwnd_); }
  PatternWindow(const PatternWindow&) = delete;
  PatternWindow& operator=(const PatternWindow&) = delete;
  HWND hwnd() const { return hwnd_; }

  // True once the screen shows the whole pattern where the window is.
  static bool onScreen() {
    const Image screen = grabScreen(kWindow);
    for (int y = 0; y < screen.height; ++y)
      for (int x = 0; x < screen.width; ++x)
        if (screen.pixel(x, y) != pattern(x, y)) return false;
    return true;
  }

  // The cursor shown while the pointer is over the window (null: the class cursor).
  static inline HCURSOR cursor = nullptr;

 private:
  static LRESULT CALLBACK proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(h, &ps);
        const int w = kWindow.right - kWindow.left, ht = kWindow.bottom - kWindow.top;
        std::vector<uint32_t> px(static_cast<size_t>(w) * ht);
        for (int y = 0; y < ht; ++y)
          for (int x = 0; x < w; ++x) px[static_cast<size_t>(y) * w + x] = pattern(x, y);
        BITMAPINFO bi{};
        bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -ht, 1, 32, BI_RGB};
        ::SetDIBitsToDevice(dc, 0, 0, w, ht, 0, 0, 0, ht, px.data(), &bi, DIB_RGB_COLORS);
        ::EndPaint(h, &ps);
        return 0;
      }
      case WM_SETCURSOR:
        if (cursor && LOWORD(lp) == HTCLIENT) {
          ::SetCursor(cursor);
          return TRUE;
        }
        break;
    }
    return ::DefWindowProcW(h, msg, wp, lp);
  }
  HWND hwnd_ = nullptr;
};

// One pattern window for the suite: without a window manager, Wine spends seconds on each
// window that goes away.
class Grabber : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // The program is per-monitor aware, so the grabber works in physical pixels; so do we.
    previousDpi_ = ::SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    window_ = new PatternWindow;
  }
  static void TearDownTestSuite() {
    delete window_;
    window_ = nullptr;
    if (previousDpi_) ::SetThreadDpiAwarenessContext(previousDpi_);
  }
  void SetUp() override {
    // Keep the pointer off the pattern unless a test puts it there.
    ::SetCursorPos(kWindow.right + 50, kWindow.bottom + 50);
    ASSERT_TRUE(waitFor(PatternWindow::onScreen)) << "the pattern window does not show its pattern";
  }
  static HWND window() { return window_->hwnd(); }

 private:
  static inline PatternWindow* window_ = nullptr;
  static inline DPI_AWARENESS_CONTEXT previousDpi_ = nullptr;
};

TEST_F(Grabber, RectangleFormCopiesExactlyThePixelsOfTheRectangle) {
  TCapture capture;
  capture.SetShowCursor(false);
  Bitmap bitmap;  // one bitmap for every row: each capture resizes it, up or down
  const RECT rows[] = {
      kWindow,                                                        // the whole window
      {130, 150, 330, 260},                                           // inside it
      {399, 319, 400, 320},                                           // its last pixel alone
      {kWindow.left, kWindow.top, kWindow.left + 1, kWindow.bottom},  // a one-pixel column
  };
  for (const RECT& r : rows) {
    SCOPED_TRACE(str(r));
    capture.Capture(bitmap, r);
    ASSERT_EQ(bitmap.width(), r.right - r.left);
    ASSERT_EQ(bitmap.height(), r.bottom - r.top);
    const auto view = bitmap.view();
    EXPECT_EQ(firstMismatch(view, view.width, view.height,
                            [&](int x, int y) { return patternAt(r.left + x, r.top + y); }),
              "");
  }
}

TEST_F(Grabber, CanvasFormCopiesToTheOriginAndKeepsTheCanvasSize) {
  TCapture capture;
  capture.SetShowCursor(false);
  Bitmap canvas(400, 300);
  constexpr uint32_t kUntouched = 0x5A1E07;
  {
    const auto view = canvas.view();
    for (int y = 0; y < view.height; ++y)
      for (int x = 0; x < view.width; ++x)
        reinterpret_cast<uint32_t*>(canvas.bits())[y * view.width + x] = kUntouched;
  }
  const RECT r{150, 170, 250, 220};  // 100 x 50
  capture.Capture(canvas.dc(), r);
  ASSERT_EQ(canvas.width(), 400);
  ASSERT_EQ(canvas.height(), 300);
  const auto view = canvas.view();
  EXPECT_EQ(firstMismatch(view, view.width, view.height,
                          [&](int x, int y) {
                            return x < 100 && y < 50 ? patternAt(r.left + x, r.top + y) : kUntouched;
                          }),
            "");
}

TEST_F(Grabber, WindowFormCapturesTheWindowByItsBounds) {
  TCapture capture;
  capture.SetShowCursor(false);
  BOOL composition = FALSE;
  const bool composited = SUCCEEDED(::DwmIsCompositionEnabled(&composition)) && composition;
  if (!composited)
    std::printf("No desktop composition (as under Wine): windows are taken by their window rectangle.\n");

  // A popup has no invisible resize borders, so with or without composition its bounds are
  // exactly where we put it.
  Bitmap bitmap(7, 7);
  RECT r{-1, -1, -1, -1};
  capture.Capture(bitmap, window(), r);
  EXPECT_EQ(str(r), str(kWindow));
  ASSERT_EQ(bitmap.width(), kWindow.right - kWindow.left);
  ASSERT_EQ(bitmap.height(), kWindow.bottom - kWindow.top);
  const auto view = bitmap.view();
  EXPECT_EQ(firstMismatch(view, view.width, view.height, pattern), "");

  // A framed window: its extended frame bounds where composition gives them, which leave out the
  // invisible borders; its window rectangle otherwise.
  HWND framed = ::CreateWindowExW(0, L"STATIC", L"framed", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 500, 400, 240,
                                  160, nullptr, nullptr, nullptr, nullptr);
  ASSERT_TRUE(framed);
  RECT expected{};
  if (!composited ||
      FAILED(::DwmGetWindowAttribute(framed, DWMWA_EXTENDED_FRAME_BOUNDS, &expected, sizeof expected)))
    ::GetWindowRect(framed, &expected);
  capture.Capture(bitmap, framed, r);
  ::DestroyWindow(framed);
  EXPECT_EQ(str(r), str(expected));
  EXPECT_EQ(bitmap.width(), expected.right - expected.left);
  EXPECT_EQ(bitmap.height(), expected.bottom - expected.top);
}

TEST_F(Grabber, NullWindowCapturesTheMonitorUnderThePointer) {
  TCapture capture;
  capture.SetShowCursor(false);
  const std::vector<RECT> monitors = TCapture::monitors();
  ASSERT_FALSE(monitors.empty());
  if (monitors.size() == 1) std::printf("One monitor here: the pointer can only choose that one.\n");
  for (size_t i = 0; i < monitors.size(); ++i) {
    const RECT m = monitors[i];
    SCOPED_TRACE("monitor " + std::to_string(i) + " " + str(m));
    // A point of this monitor away from the pattern window.
    const POINT p{m.left + 10, m.bottom - 10};
    ::SetCursorPos(p.x, p.y);
    ASSERT_TRUE(waitFor([&] {
      POINT now{};
      return ::GetCursorPos(&now) && now.x == p.x && now.y == p.y;
    }));
    HMONITOR hm = ::MonitorFromPoint(p, MONITOR_DEFAULTTONULL);
    MONITORINFO mi{sizeof(mi)};
    ASSERT_TRUE(::GetMonitorInfoW(hm, &mi));
    ASSERT_EQ(str(mi.rcMonitor), str(m));
    EXPECT_EQ(capture.GetCursorMonitor(), static_cast<int>(i));

    Bitmap bitmap;
    RECT r{};
    Image before, after;
    // Compare with a screen that held still across the capture.
    ASSERT_TRUE(waitFor([&] {
      before = grabScreen(m);
      capture.Capture(bitmap, nullptr, r);
      after = grabScreen(m);
      return before.bgra == after.bgra;
    })) << "the screen never held still";
    EXPECT_EQ(str(r), str(m));
    const auto view = bitmap.view();
    EXPECT_EQ(firstMismatch(before, view), "");
    RECT inside{};
    if (::IntersectRect(&inside, &kWindow, &m) && ::EqualRect(&inside, &kWindow)) {
      // The desktop around may be one flat colour; the pattern proves the copy is not shifted.
      EXPECT_EQ(pixel(view, kWindow.left - m.left + 37, kWindow.top - m.top + 11), pattern(37, 11));
      EXPECT_EQ(pixel(view, kWindow.right - 1 - m.left, kWindow.bottom - 1 - m.top), pattern(299, 199));
    }
  }
}

// A 32 x 32 colour cursor with its hotspot at (5, 7): a yellow one-pixel border around magenta,
// a cyan hotspot pixel, and a transparent bottom-right quadrant.
constexpr int kCursorSize = 32;
constexpr POINT kHotspot{5, 7};
constexpr uint32_t kTransparent = 0xFF000000;
uint32_t cursorPixel(int x, int y) {
  if (x >= 16 && y >= 16) return kTransparent;
  if (x == kHotspot.x && y == kHotspot.y) return 0x00FFFF;
  if (x == 0 || y == 0 || x == kCursorSize - 1 || y == kCursorSize - 1) return 0xFFFF00;
  return 0xFF00FF;
}

quorvel::UniqueIcon makeCursor() {
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), kCursorSize, -kCursorSize, 1, 32, BI_RGB};
  void* bits = nullptr;
  quorvel::UniqueGdiObject color(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  // Mask rows are 4 bytes (32 one-bit pixels); a set bit keeps the screen.
  std::vector<uint8_t> mask(kCursorSize * 4, 0);
  for (int y = 0; y < kCursorSize; ++y)
    for (int x = 0; x < kCursorSize; ++x) {
      const uint32_t c = cursorPixel(x, y);
      // Opaque alpha where the cursor is and a set mask bit where it is not, so that the image
      // is the same whether the system draws it by its alpha or by its mask.
      static_cast<uint32_t*>(bits)[y * kCursorSize + x] = c == kTransparent ? 0 : (0xFF000000 | c);
      if (c == kTransparent) mask[y * 4 + x / 8] |= 0x80 >> (x % 8);
    }
  quorvel::UniqueGdiObject maskBitmap(::CreateBitmap(kCursorSize, kCursorSize, 1, 1, mask.data()));
  ICONINFO ii{FALSE, static_cast<DWORD>(kHotspot.x), static_cast<DWORD>(kHotspot.y),
              static_cast<HBITMAP>(maskBitmap.get()), static_cast<HBITMAP>(color.get())};
  return quorvel::UniqueIcon(::CreateIconIndirect(&ii));
}

TEST_F(Grabber, CursorIsDrawnWithItsHotspotOnThePointedPixel) {
  quorvel::UniqueIcon cursor = makeCursor();
  ASSERT_TRUE(cursor);
  HCURSOR hc = static_cast<HCURSOR>(cursor.get());
  PatternWindow::cursor = hc;
  const auto previousClassCursor = ::SetClassLongPtrW(window(), GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(hc));
  struct Restore {
    HWND h;
    LONG_PTR classCursor;
    ~Restore() {
      PatternWindow::cursor = nullptr;
      ::SetClassLongPtrW(h, GCLP_HCURSOR, classCursor);
      ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    }
  } restore{window(), static_cast<LONG_PTR>(previousClassCursor)};

  const POINT p{250, 210};  // the cursor image covers (245, 203) - (277, 235), inside the window
  // Windows shows the cursor that the thread under the pointer sets; Wine answers GetCursorInfo
  // with the cursor of the thread that has the foreground, so be that thread too.
  ::SetForegroundWindow(window());
  ::SetCursorPos(p.x, p.y);
  ::SetCursor(hc);
  CURSORINFO ci{};
  const bool reported = waitFor([&] {
    ci = CURSORINFO{sizeof(ci)};
    return ::GetCursorInfo(&ci) && ci.hCursor == hc && ci.ptScreenPos.x == p.x && ci.ptScreenPos.y == p.y;
  });
  ASSERT_TRUE(reported) << "GetCursorInfo reports cursor " << ci.hCursor << " at (" << ci.ptScreenPos.x
                        << ", " << ci.ptScreenPos.y << "), not ours " << hc << " at (" << p.x << ", " << p.y
                        << "); foreground window " << ::GetForegroundWindow() << ", ours " << window();

  const RECT image{p.x - kHotspot.x, p.y - kHotspot.y, p.x - kHotspot.x + kCursorSize,
                   p.y - kHotspot.y + kCursorSize};
  // What the screen point (sx, sy) must hold in a capture that shows the cursor.
  const auto withCursor = [&](int sx, int sy) {
    const POINT s{sx, sy};
    if (::PtInRect(&image, s)) {
      const uint32_t c = cursorPixel(sx - image.left, sy - image.top);
      if (c != kTransparent) return c;
    }
    return patternAt(sx, sy);
  };
  struct Row {
    const char* name;
    RECT r;
    bool show;
  } rows[] = {
      {"the whole window", kWindow, true},
      {"a rectangle that cuts through the cursor", {p.x - 2, p.y - 3, p.x + 60, p.y + 50}, true},
      {"a rectangle away from the cursor", {120, 140, 200, 180}, true},
      {"the whole window, cursor off", kWindow, false},
  };
  TCapture capture;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.name) + " " + str(row.r));
    capture.SetShowCursor(row.show);
    Bitmap bitmap;
    capture.Capture(bitmap, row.r);
    const auto view = bitmap.view();
    const int ox = row.r.left, oy = row.r.top;
    if (row.show && ::PtInRect(&row.r, p)) {
      EXPECT_EQ(hex(pixel(view, p.x - ox, p.y - oy)), hex(0x00FFFF)) << "the hotspot is not on the pointer";
      if (::PtInRect(&row.r, POINT{image.left - 1, image.top - 1})) {
        EXPECT_EQ(hex(pixel(view, image.left - ox, image.top - oy)), hex(0xFFFF00))
            << "the image's corner is not hotspot pixels up and left of the pointer";
        EXPECT_EQ(hex(pixel(view, image.left - 1 - ox, image.top - 1 - oy)),
                  hex(patternAt(image.left - 1, image.top - 1)));
      }
    }
    EXPECT_EQ(firstMismatch(view, view.width, view.height,
                            [&](int x, int y) {
                              return row.show ? withCursor(ox + x, oy + y) : patternAt(ox + x, oy + y);
                            }),
              "");
  }
}

TEST_F(Grabber, EmptyRectanglesGiveEmptyBitmaps) {
  TCapture capture;  // the cursor stays on: drawing it into an empty canvas must be harmless
  const RECT rows[] = {{150, 150, 150, 250}, {150, 150, 250, 150}, {150, 150, 150, 150}};
  Bitmap bitmap(20, 10);
  for (const RECT& r : rows) {
    SCOPED_TRACE(str(r));
    capture.Capture(bitmap, r);
    EXPECT_EQ(bitmap.width(), r.right - r.left);
    EXPECT_EQ(bitmap.height(), r.bottom - r.top);
  }
  const int i = capture.GetCursorMonitor();
  EXPECT_GE(i, 0);
  EXPECT_LT(i, static_cast<int>(TCapture::monitors().size()));
}

}  // namespace
}  // namespace qvtest

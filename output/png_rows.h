#pragma once
// The per-row work of the PNG writer: pixel conversion, the five PNG filters, and the counts and
// checksum the writer judges and frames a band with. On x86-64 these run on SSE2 (which every
// x86-64 processor has); the plain versions in `png_rows::plain` define what each must compute,
// are used on other processors, and are what the tests compare the fast ones against (the plain
// adler-32 is zlib's).
#include <cstddef>
#include <cstdint>

namespace quorvel::png_rows {

enum Filter : uint8_t { kNone = 0, kSub = 1, kUp = 2, kAverage = 3, kPaeth = 4 };

// Bytes a destination buffer needs past the last byte written, for whole-vector stores.
constexpr std::size_t kSlack = 16;

// BGRx (4 bytes a pixel, the fourth ignored) to RGB. `rgb` needs kSlack bytes past width * 3.
void toRgb(const uint8_t* bgrx, std::size_t width, uint8_t* rgb);

// Pixels (after the first) equal to their left neighbour, ignoring the fourth byte.
std::size_t runPixels(const uint8_t* bgrx, std::size_t width);

// A filter's cost on a row: the sum over the row's residuals of their size as a signed byte,
// capped at 8 (past a small size every residual costs about the same in a Huffman code, so
// large outliers must not decide the choice). `prev` is the row above (zeros for the first
// row); the first pixel has no left neighbour. n is the row's length in bytes.
void filterCosts(const uint8_t* prev, const uint8_t* cur, std::size_t n, uint32_t cost[5]);

// Writes the row filtered with f to out[0..n).
void applyFilter(Filter f, const uint8_t* prev, const uint8_t* cur, std::size_t n, uint8_t* out);

// Zero bytes in p[0..n).
std::size_t countZeros(const uint8_t* p, std::size_t n);

// adler-32 of p[0..n) continued from `adler` (1 to start).
uint32_t adler32(uint32_t adler, const uint8_t* p, std::size_t n);

namespace plain {
void toRgb(const uint8_t* bgrx, std::size_t width, uint8_t* rgb);
std::size_t runPixels(const uint8_t* bgrx, std::size_t width);
void filterCosts(const uint8_t* prev, const uint8_t* cur, std::size_t n, uint32_t cost[5]);
void applyFilter(Filter f, const uint8_t* prev, const uint8_t* cur, std::size_t n, uint8_t* out);
std::size_t countZeros(const uint8_t* p, std::size_t n);
uint32_t adler32(uint32_t adler, const uint8_t* p, std::size_t n);
}  // namespace plain

}  // namespace quorvel::png_rows

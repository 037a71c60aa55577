#include "output/png_rows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <zlib.h>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QV_PNG_ROWS_SSE2 1
#endif

namespace quorvel::png_rows {
namespace {

inline uint8_t paethPredict(uint8_t a, uint8_t b, uint8_t c) {
  const int pa = std::abs(int(b) - int(c));
  const int pb = std::abs(int(a) - int(c));
  const int pc = std::abs(int(a) + int(b) - 2 * int(c));
  const uint8_t bc = pb <= pc ? b : c;
  return (pa <= pb && pa <= pc) ? a : bc;
}

inline uint8_t residual(Filter f, uint8_t x, uint8_t a, uint8_t b, uint8_t c) {
  switch (f) {
    case kSub: return uint8_t(x - a);
    case kUp: return uint8_t(x - b);
    case kAverage: return uint8_t(x - uint8_t((unsigned(a) + b) >> 1));
    case kPaeth: return uint8_t(x - paethPredict(a, b, c));
    default: return x;
  }
}

inline uint32_t residualCost(uint8_t r) {
  const uint8_t m = uint8_t(r < 128 ? r : 256 - r);
  return m < 8 ? m : 8;
}

// Bytes [from, to) of a row; the first pixel's left neighbours (a and c) are zero.
void costsRange(const uint8_t* prev, const uint8_t* cur, std::size_t from, std::size_t to, uint32_t cost[5]) {
  for (std::size_t i = from; i < to; ++i) {
    const uint8_t a = i >= 3 ? cur[i - 3] : 0, c = i >= 3 ? prev[i - 3] : 0;
    for (int f = kNone; f <= kPaeth; ++f) cost[f] += residualCost(residual(Filter(f), cur[i], a, prev[i], c));
  }
}

void filterRange(Filter f, const uint8_t* prev, const uint8_t* cur, std::size_t from, std::size_t to,
                 uint8_t* out) {
  for (std::size_t i = from; i < to; ++i)
    out[i] = residual(f, cur[i], i >= 3 ? cur[i - 3] : 0, prev[i], i >= 3 ? prev[i - 3] : 0);
}

inline void prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}

constexpr uint32_t kAdlerMod = 65521;
constexpr std::size_t kAdlerMax = 5552;  // bytes summed before s2 could pass 32 bits

}  // namespace

// ---- plain ------------------------------------------------------------------------------

namespace plain {

void toRgb(const uint8_t* bgrx, std::size_t width, uint8_t* rgb) {
  for (std::size_t x = 0; x < width; ++x) {
    uint32_t v;
    std::memcpy(&v, bgrx + 4 * x, 4);
    v = ((v >> 16) & 0xFF) | (v & 0xFF00) | ((v & 0xFF) << 16);  // little-endian B G R x -> R G B
    std::memcpy(rgb + 3 * x, &v, 4);
  }
}

std::size_t runPixels(const uint8_t* bgrx, std::size_t width) {
  std::size_t same = 0;
  for (std::size_t x = 1; x < width; ++x)
    same += std::memcmp(bgrx + 4 * x - 4, bgrx + 4 * x, 3) == 0;
  return same;
}

void filterCosts(const uint8_t* prev, const uint8_t* cur, std::size_t n, uint32_t cost[5]) {
  std::fill(cost, cost + 5, 0u);
  costsRange(prev, cur, 0, n, cost);
}

void applyFilter(Filter f, const uint8_t* prev, const uint8_t* cur, std::size_t n, uint8_t* out) {
  filterRange(f, prev, cur, 0, n, out);
}

std::size_t countZeros(const uint8_t* p, std::size_t n) {
  return std::size_t(std::count(p, p + n, uint8_t(0)));
}

uint32_t adler32(uint32_t adler, const uint8_t* p, std::size_t n) {
  while (n > 0) {  // zlib counts in 32 bits
    const uInt step = uInt(std::min<std::size_t>(n, 1u << 30));
    adler = uint32_t(::adler32(adler, p, step));
    p += step;
    n -= step;
  }
  return adler;
}

}  // namespace plain

// ---- SSE2 -------------------------------------------------------------------------------

#if QV_PNG_ROWS_SSE2
namespace {

inline __m128i load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void store(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// Paeth predictions for 16 bytes, in 16-bit lanes.
inline __m128i paeth16(__m128i a, __m128i b, __m128i c) {
  const __m128i zero = _mm_setzero_si128();
  const auto half = [&](__m128i a16, __m128i b16, __m128i c16) {
    const __m128i bc = _mm_sub_epi16(b16, c16), ac = _mm_sub_epi16(a16, c16), abc = _mm_add_epi16(bc, ac);
    const __m128i pa = _mm_max_epi16(bc, _mm_sub_epi16(zero, bc));
    const __m128i pb = _mm_max_epi16(ac, _mm_sub_epi16(zero, ac));
    const __m128i pc = _mm_max_epi16(abc, _mm_sub_epi16(zero, abc));
    const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
    const __m128i useC = _mm_cmpgt_epi16(pb, pc);
    const __m128i bOrC = _mm_or_si128(_mm_and_si128(useC, c16), _mm_andnot_si128(useC, b16));
    return _mm_or_si128(_mm_and_si128(notA, bOrC), _mm_andnot_si128(notA, a16));
  };
  const __m128i lo = half(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero), _mm_unpacklo_epi8(c, zero));
  const __m128i hi = half(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero), _mm_unpackhi_epi8(c, zero));
  return _mm_packus_epi16(lo, hi);
}

inline __m128i average16(__m128i a, __m128i b) {  // floor((a + b) / 2)
  return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
}

inline __m128i residual16(Filter f, __m128i x, __m128i a, __m128i b, __m128i c) {
  switch (f) {
    case kSub: return _mm_sub_epi8(x, a);
    case kUp: return _mm_sub_epi8(x, b);
    case kAverage: return _mm_sub_epi8(x, average16(a, b));
    case kPaeth: return _mm_sub_epi8(x, paeth16(a, b, c));
    default: return x;
  }
}

// Sums of capped residual sizes, as two 64-bit lanes.
inline __m128i cost16(__m128i r) {
  const __m128i size = _mm_min_epu8(r, _mm_sub_epi8(_mm_setzero_si128(), r));
  return _mm_sad_epu8(_mm_min_epu8(size, _mm_set1_epi8(8)), _mm_setzero_si128());
}

inline uint64_t sum64(__m128i v) {
  uint64_t lanes[2];
  store(reinterpret_cast<uint8_t*>(lanes), v);
  return lanes[0] + lanes[1];
}

inline uint32_t sum32(__m128i v) {
  uint32_t lanes[4];
  store(reinterpret_cast<uint8_t*>(lanes), v);
  return lanes[0] + lanes[1] + lanes[2] + lanes[3];
}

}  // namespace

void toRgb(const uint8_t* bgrx, std::size_t width, uint8_t* rgb) {
  const __m128i low = _mm_set1_epi32(0xFF), mid = _mm_set1_epi32(0xFF00);
  const __m128i first = _mm_set1_epi64x(0xFFFFFF), second = _mm_set1_epi64x(0xFFFFFF000000);
  std::size_t x = 0;
  for (; x + 4 <= width; x += 4) {
    if ((x & 15) == 0) prefetch(bgrx + 4 * x + 2048);
    const __m128i v = load(bgrx + 4 * x);
    // Each 32-bit lane B G R x becomes R G B 0, then each 64-bit lane's two pixels are packed
    // into its low six bytes.
    const __m128i d = _mm_or_si128(_mm_or_si128(_mm_and_si128(_mm_srli_epi32(v, 16), low), _mm_and_si128(v, mid)),
                                   _mm_slli_epi32(_mm_and_si128(v, low), 16));
    const __m128i q = _mm_or_si128(_mm_and_si128(d, first), _mm_and_si128(_mm_srli_epi64(d, 8), second));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rgb + 3 * x), q);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(rgb + 3 * x + 6), _mm_srli_si128(q, 8));
  }
  plain::toRgb(bgrx + 4 * x, width - x, rgb + 3 * x);
}

std::size_t runPixels(const uint8_t* bgrx, std::size_t width) {
  // 32-bit lanes cannot overflow: a row is narrower than 2^31 pixels and each lane counts a quarter.
  const __m128i colour = _mm_set1_epi32(0xFFFFFF), zero = _mm_setzero_si128();
  __m128i counts = zero;
  std::size_t x = 1;
  for (; x + 4 <= width; x += 4) {
    const __m128i differ = _mm_and_si128(_mm_xor_si128(load(bgrx + 4 * x), load(bgrx + 4 * x - 4)), colour);
    counts = _mm_sub_epi32(counts, _mm_cmpeq_epi32(differ, zero));
  }
  std::size_t same = sum32(counts);
  for (; x < width; ++x) same += std::memcmp(bgrx + 4 * x - 4, bgrx + 4 * x, 3) == 0;
  return same;
}

void filterCosts(const uint8_t* prev, const uint8_t* cur, std::size_t n, uint32_t cost[5]) {
  std::fill(cost, cost + 5, 0u);
  std::size_t i = std::min<std::size_t>(3, n);
  costsRange(prev, cur, 0, i, cost);
  __m128i sums[5];
  for (auto& s : sums) s = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i x = load(cur + i), a = load(cur + i - 3), b = load(prev + i), c = load(prev + i - 3);
    sums[kNone] = _mm_add_epi64(sums[kNone], cost16(x));
    sums[kSub] = _mm_add_epi64(sums[kSub], cost16(_mm_sub_epi8(x, a)));
    sums[kUp] = _mm_add_epi64(sums[kUp], cost16(_mm_sub_epi8(x, b)));
    sums[kAverage] = _mm_add_epi64(sums[kAverage], cost16(_mm_sub_epi8(x, average16(a, b))));
    sums[kPaeth] = _mm_add_epi64(sums[kPaeth], cost16(_mm_sub_epi8(x, paeth16(a, b, c))));
  }
  for (int f = kNone; f <= kPaeth; ++f) cost[f] += uint32_t(sum64(sums[f]));
  costsRange(prev, cur, i, n, cost);
}

void applyFilter(Filter f, const uint8_t* prev, const uint8_t* cur, std::size_t n, uint8_t* out) {
  if (f == kNone) {
    std::memcpy(out, cur, n);
    return;
  }
  std::size_t i = std::min<std::size_t>(3, n);
  filterRange(f, prev, cur, 0, i, out);
  for (; i + 16 <= n; i += 16)
    store(out + i, residual16(f, load(cur + i), load(cur + i - 3), load(prev + i), load(prev + i - 3)));
  filterRange(f, prev, cur, i, n, out);
}

std::size_t countZeros(const uint8_t* p, std::size_t n) {
  const __m128i zero = _mm_setzero_si128();
  std::size_t zeros = 0, i = 0;
  while (i + 16 <= n) {
    __m128i counts = zero;  // 8-bit lanes: at most 255 steps at a time
    const std::size_t end = i + std::min<std::size_t>((n - i) / 16, 255) * 16;
    for (; i < end; i += 16) counts = _mm_sub_epi8(counts, _mm_cmpeq_epi8(load(p + i), zero));
    zeros += sum64(_mm_sad_epu8(counts, zero));
  }
  return zeros + plain::countZeros(p + i, n - i);
}

// Per 16 bytes: s1 gains their sum, s2 gains 16 times s1 before them plus the bytes weighted
// 16, 15, ..., 1. The sums of earlier blocks are kept as one vector and multiplied once.
uint32_t adler32(uint32_t adler, const uint8_t* p, std::size_t n) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i weightsLo = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i weightsHi = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  uint64_t s1 = adler & 0xFFFF, s2 = adler >> 16;
  while (n >= 16) {
    const std::size_t blocks = std::min(n, kAdlerMax) / 16;
    __m128i sum = zero, before = zero, weighted = zero;
    for (std::size_t k = 0; k < blocks; ++k) {
      const __m128i v = load(p + 16 * k);
      before = _mm_add_epi64(before, sum);
      sum = _mm_add_epi64(sum, _mm_sad_epu8(v, zero));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(v, zero), weightsLo));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(v, zero), weightsHi));
    }
    s2 = (s2 + s1 * 16 * blocks + 16 * sum64(before) + sum32(weighted)) % kAdlerMod;
    s1 = (s1 + sum64(sum)) % kAdlerMod;
    p += 16 * blocks;
    n -= 16 * blocks;
  }
  return plain::adler32(uint32_t(s2 << 16 | s1), p, n);
}

#else  // no SSE2: the plain versions

void toRgb(const uint8_t* bgrx, std::size_t width, uint8_t* rgb) { plain::toRgb(bgrx, width, rgb); }
std::size_t runPixels(const uint8_t* bgrx, std::size_t width) { return plain::runPixels(bgrx, width); }
void filterCosts(const uint8_t* prev, const uint8_t* cur, std::size_t n, uint32_t cost[5]) {
  plain::filterCosts(prev, cur, n, cost);
}
void applyFilter(Filter f, const uint8_t* prev, const uint8_t* cur, std::size_t n, uint8_t* out) {
  plain::applyFilter(f, prev, cur, n, out);
}
std::size_t countZeros(const uint8_t* p, std::size_t n) { return plain::countZeros(p, n); }
uint32_t adler32(uint32_t adler, const uint8_t* p, std::size_t n) { return plain::adler32(adler, p, n); }

#endif

}  // namespace quorvel::png_rows

#include "output/gif_writer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <thread>

#include "support/error.h"

// The GIF path of a capture: count the colours; at most 256 are kept exactly, otherwise a palette
// is cut from a 6-bit histogram (a median cut that splits where the squared error drops most, in
// plain RGB so that the error we minimise is the one that PSNR measures), and the pixels are
// mapped with Floyd–Steinberg through a two-level nearest-colour table. The image is cut into
// horizontal bands that are dithered and LZW-coded on their own, by as many threads as there are
// cores; the bands' code streams are joined with a clear code between them, which any decoder
// accepts.

namespace quorvel {
namespace {

static_assert(std::endian::native == std::endian::little, "pixel loads assume little-endian");

constexpr int kMaxSide = 65535;

uint32_t loadPixel(const uint8_t* p) {  // 0x00RRGGBB from B, G, R, x bytes
  uint32_t v;
  std::memcpy(&v, p, 4);
  return v & 0xFFFFFF;
}

// ---------------------------------------------------------------------------------------------
// Threads

int threadCount(std::size_t pixels, int height, int requested) {
  int n = requested;
  if (n <= 0) {
    const unsigned cores = std::thread::hardware_concurrency();
    n = static_cast<int>(std::clamp(cores, 1u, 16u));
    // Below a quarter megapixel a thread costs more than it saves.
    n = static_cast<int>(std::min<std::size_t>(n, std::max<std::size_t>(1, pixels >> 18)));
  }
  return std::clamp(n, 1, height);
}

// Runs fn(0) ... fn(n - 1), each on its own thread; the first error is rethrown after all ended.
template <class F>
void forEachThread(int n, F&& fn) {
  std::vector<std::exception_ptr> errors(n);
  auto guarded = [&](int i) {
    try {
      fn(i);
    } catch (...) {
      errors[i] = std::current_exception();
    }
  };
  std::vector<std::thread> threads;
  std::vector<int> inline_;
  for (int i = 1; i < n; ++i) {
    try {
      threads.emplace_back(guarded, i);
    } catch (...) {  // no thread to be had: do the band here
      inline_.push_back(i);
    }
  }
  guarded(0);
  for (int i : inline_) guarded(i);
  for (auto& t : threads) t.join();
  for (auto& e : errors)
    if (e) std::rethrow_exception(e);
}

// Hands out items 0 ... items - 1 to `threads` threads as each becomes free; fn(thread, item). A
// core that another program keeps busy then costs us the items it would have done late, not a
// fixed half of the image.
template <class F>
void shareOut(int threads, int items, F&& fn) {
  std::atomic<int> next{0};
  forEachThread(threads, [&](int t) {
    for (int item = next++; item < items; item = next++) fn(t, item);
  });
}

int bandStart(int band, int bands, int height) {
  return static_cast<int>(static_cast<int64_t>(height) * band / bands);
}

// ---------------------------------------------------------------------------------------------
// Palette and nearest-colour lookup

struct Palette {
  int size = 0;
  std::array<int, 256> r{}, g{}, b{};
  void add(int red, int green, int blue) {
    r[size] = red;
    g[size] = green;
    b[size] = blue;
    ++size;
  }
};

// Exact nearest palette entry (squared RGB distance) for any colour, through grids of cells. Only
// the entries whose nearest possible distance to a cell is within the smallest farthest distance
// of any entry can be nearest somewhere in that cell. `NearestIndex` keeps those lists for grids
// up to 8x8x8, each built from the one before. `NearestCache`, one per thread, narrows them for
// the cells of a 16-grid and then of a finer grid as pixels reach them, so that only the colours
// a picture has cost anything and a search compares a colour with a handful of entries.
class NearestIndex {
 public:
  static constexpr int kFineBits = 5;  // the cache's grid: 32 cells a side, small enough for L2

  explicit NearestIndex(const Palette& pal) : pal_(pal) {
    start_ = {0, static_cast<uint32_t>(pal.size)};
    lists_.resize(pal.size);
    for (int p = 0; p < pal.size; ++p) lists_[p] = static_cast<uint8_t>(p);
    std::vector<uint32_t> kept;
    for (int bits = 2; bits <= kBuiltBits; ++bits) {
      const int side = 1 << bits, width = 256 >> bits;
      std::vector<uint32_t> start(side * side * side + 1);
      std::vector<uint8_t> lists;
      lists.reserve(lists_.size() * 4);
      for (int cell = 0; cell < side * side * side; ++cell) {
        const int ri = cell >> (2 * bits), gi = cell >> bits & (side - 1), bi = cell & (side - 1);
        const int parent = bits == 2 ? 0 : (ri >> 1) << (2 * bits - 2) | (gi >> 1) << (bits - 1) | (bi >> 1);
        start[cell] = static_cast<uint32_t>(lists.size());
        narrow(lists_.data() + start_[parent], static_cast<int>(start_[parent + 1] - start_[parent]),
               ri * width, gi * width, bi * width, width, kept);
        for (uint32_t e : kept) lists.push_back(static_cast<uint8_t>(e));
      }
      start.back() = static_cast<uint32_t>(lists.size());
      start_.swap(start);
      lists_.swap(lists);
    }
  }

  const Palette& palette() const { return pal_; }

  // The entries that can be nearest in the cell (ri, gi, bi) of the 16-grid, as for narrow().
  void coarseList(int ri, int gi, int bi, std::vector<uint32_t>& out) const {
    const int parent = (ri >> 1) << (2 * kBuiltBits) | (gi >> 1) << kBuiltBits | (bi >> 1);
    narrow(lists_.data() + start_[parent], static_cast<int>(start_[parent + 1] - start_[parent]), ri * 16,
           gi * 16, bi * 16, 16, out);
  }

  // The entries of `list`, those of the cell's 16-grid parent, that can be nearest in the cell
  // (ri, gi, bi) of the fine grid, each as entry | (its nearest possible squared distance) << 8,
  // nearest first.
  void candidates(int ri, int gi, int bi, const uint8_t* list, int count, std::vector<uint32_t>& out) const {
    constexpr int width = 256 >> kFineBits;
    const int r0 = ri * width, g0 = gi * width, b0 = bi * width;
    narrow(list, count, r0, g0, b0, width, out);
    if (out.size() > 1) dropDominated(r0, g0, b0, width, out);
    std::sort(out.begin(), out.end());  // the likeliest winner first, which is also the tie-break
  }

  // The entries of `list` that can be nearest somewhere in the cube of side `width` at
  // (r0, g0, b0), as entry | nearest possible squared distance << 8.
  void narrow(const uint8_t* list, int count, int r0, int g0, int b0, int width,
              std::vector<uint32_t>& out) const {
    out.resize(count);
    int bound = INT32_MAX;
    const int last = width - 1;
    for (int i = 0; i < count; ++i) {
      const int p = list[i];
      const int dr = pal_.r[p] - r0, dg = pal_.g[p] - g0, db = pal_.b[p] - b0;  // cube is [0, last]
      const int nr = std::max({0, -dr, dr - last}), ng = std::max({0, -dg, dg - last}),
                nb = std::max({0, -db, db - last});
      const int fr = std::max(dr, last - dr), fg = std::max(dg, last - dg), fb = std::max(db, last - db);
      out[i] = static_cast<uint32_t>(p) | static_cast<uint32_t>(nr * nr + ng * ng + nb * nb) << 8;
      bound = std::min(bound, fr * fr + fg * fg + fb * fb);
    }
    out.erase(
        std::remove_if(out.begin(), out.end(), [&](uint32_t e) { return static_cast<int>(e >> 8) > bound; }),
        out.end());
  }

 private:
  static constexpr int kBuiltBits = 3;  // the grids up to 8 cells a side are built at once

  // The bound above keeps many entries that are never nearest. Drops each entry that one of the
  // few entries nearest the cell's centre is at least as near to at every colour of the cell: as
  // |x-p|^2 - |x-q|^2 is linear in x, it is enough that its smallest value over the corners is >= 0.
  void dropDominated(int r0, int g0, int b0, int width, std::vector<uint32_t>& list) const {
    const int n = static_cast<int>(list.size());
    const int lo[3] = {r0, g0, b0}, hi[3] = {r0 + width - 1, g0 + width - 1, b0 + width - 1};
    std::array<std::array<int, 3>, 256> c;
    std::array<int, 256> centreDist;
    for (int i = 0; i < n; ++i) {
      const int p = list[i] & 0xFF;
      c[i] = {pal_.r[p], pal_.g[p], pal_.b[p]};
      int d = 0;
      for (int a = 0; a < 3; ++a) {
        const int t = 2 * c[i][a] - (lo[a] + hi[a]);  // twice the offset from the centre
        d += t * t;
      }
      centreDist[i] = d;
    }
    constexpr int kJudges = 4;
    int judges[kJudges], judgeCount = 0;
    for (int i = 0; i < n; ++i) {  // keep the few nearest the centre, in order
      int at = judgeCount < kJudges ? judgeCount++ : kJudges;
      while (at > 0 && centreDist[judges[at - 1]] > centreDist[i]) {
        if (at < kJudges) judges[at] = judges[at - 1];
        --at;
      }
      if (at < kJudges) judges[at] = i;
    }
    std::array<bool, 256> dropped{};
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < judgeCount && !dropped[i]; ++j) {
        const int q = judges[j];
        if (q == i || dropped[q]) continue;
        int least = 0;
        for (int a = 0; a < 3; ++a) {
          const int coef = 2 * (c[q][a] - c[i][a]);
          least += (coef > 0 ? coef * lo[a] : coef * hi[a]) + c[i][a] * c[i][a] - c[q][a] * c[q][a];
        }
        dropped[i] = least >= 0;
      }
    }
    int kept = 0;
    for (int i = 0; i < n; ++i)
      if (!dropped[i]) list[kept++] = list[i];
    list.resize(kept);
  }

  const Palette& pal_;
  std::vector<uint32_t> start_;
  std::vector<uint8_t> lists_;
};

class NearestCache {
 public:
  explicit NearestCache(const NearestIndex& index)
      : index_(index), pal_(index.palette()), cells_(1 << (3 * kBits), 0) {
    // Every slot starts out holding a true answer, for white, so no slot needs an empty mark.
    memo_.assign(1 << kMemoBits, 0xFFFFFFu << 8 | search(255, 255, 255));
  }

  // Dithered colours recur a lot, so the answers for the most recent ones are kept by colour.
  [[gnu::always_inline]] int find(int r, int g, int b) {
    const uint32_t key = static_cast<uint32_t>(r << 16 | g << 8 | b);
    uint32_t& memo = memo_[(key * 0x9E3779B1u) >> (32 - kMemoBits)];
    if ((memo >> 8) == key) return static_cast<int>(memo & 0xFF);
    const int k = search(r, g, b);
    memo = key << 8 | static_cast<uint32_t>(k);
    return k;
  }

  int search(int r, int g, int b) {
    constexpr int shift = 8 - kBits;
    const int cell = (r >> shift) << (2 * kBits) | (g >> shift) << kBits | (b >> shift);
    uint32_t v = cells_[cell];
    if (v == 0) v = fill(cell);
    if (v & 1) return static_cast<int>(v >> 1);
    const uint64_t* list = lists_.data() + (v >> 10);
    const int count = static_cast<int>(v >> 1 & 511);
    auto distance = [&](uint64_t e) {
      const int dr = r - static_cast<int>(e >> 32 & 0xFF), dg = g - static_cast<int>(e >> 40 & 0xFF),
                db = b - static_cast<int>(e >> 48 & 0xFF);
      return dr * dr + dg * dg + db * db;
    };
    int best = list[0] & 0xFF;
    int bestDist = distance(list[0]);
    // All of them, without branches: which one wins is a toss-up that a branch would mispredict,
    // and the lists are short.
    for (int i = 1; i < count; ++i) {
      const uint64_t e = list[i];
      const int d = distance(e);
      const bool nearer = d < bestDist;
      bestDist = nearer ? d : bestDist;
      best = nearer ? static_cast<int>(e & 0xFF) : best;
    }
    return best;
  }

 private:
  static constexpr int kBits = NearestIndex::kFineBits;
  static constexpr int kMemoBits = 16;

  // A cell's word: 0 not yet known; entry << 1 | 1 for a single candidate; otherwise
  // offset << 10 | count << 1 into `lists_`, whose items carry the entry's colour along:
  // entry | nearest possible distance << 8 | red << 32 | green << 40 | blue << 48.
  uint32_t fill(int cell) {
    const int ri = cell >> (2 * kBits), gi = cell >> kBits & ((1 << kBits) - 1),
              bi = cell & ((1 << kBits) - 1);
    constexpr int up = kBits - 4;  // from this grid to the 16-grid
    const int parent = (ri >> up) << 8 | (gi >> up) << 4 | (bi >> up);
    uint32_t coarse = coarse_[parent];
    if (coarse == 0) {  // never 0 once known: every cell has at least one entry
      index_.coarseList(ri >> up, gi >> up, bi >> up, scratch_);
      coarse = static_cast<uint32_t>(coarseLists_.size()) << 9 | static_cast<uint32_t>(scratch_.size());
      for (uint32_t e : scratch_) coarseLists_.push_back(static_cast<uint8_t>(e));
      coarse_[parent] = coarse;
    }
    index_.candidates(ri, gi, bi, coarseLists_.data() + (coarse >> 9), static_cast<int>(coarse & 511),
                      scratch_);
    if (scratch_.size() == 1) return cells_[cell] = (scratch_[0] & 0xFF) << 1 | 1;
    if (lists_.size() + scratch_.size() >= (1u << 22)) {  // out of offsets: start over
      std::fill(cells_.begin(), cells_.end(), 0);
      lists_.clear();
    }
    const uint32_t v = static_cast<uint32_t>(lists_.size()) << 10 | static_cast<uint32_t>(scratch_.size())
                                                                        << 1;
    for (uint32_t e : scratch_) {
      const int p = e & 0xFF;
      lists_.push_back(e | uint64_t(pal_.r[p]) << 32 | uint64_t(pal_.g[p]) << 40 | uint64_t(pal_.b[p]) << 48);
    }
    return cells_[cell] = v;
  }

  const NearestIndex& index_;
  const Palette& pal_;
  std::vector<uint32_t> cells_;
  std::vector<uint64_t> lists_;
  std::vector<uint32_t> coarse_ = std::vector<uint32_t>(4096, 0);  // the 16-grid: offset << 9 | count
  std::vector<uint8_t> coarseLists_;
  std::vector<uint32_t> scratch_;
  std::vector<uint32_t> memo_;  // colour << 8 | entry
};

// ---------------------------------------------------------------------------------------------
// Colour census: a 6-bit histogram with the mean of each cell, and the exact colours while there
// are at most 256 of them.

constexpr int kHistBits = 6;  // per channel
constexpr int kHistSide = 1 << kHistBits;
constexpr int kHistCells = 1 << (3 * kHistBits);

struct HistCell {
  uint32_t count, lowR, lowG, lowB;  // pixels, and the sums of the bits dropped from each channel
};

// Open-addressed set of at most 256 colours; gives up (full) at the 257th.
class SmallColourSet {
 public:
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;  // no 24-bit colour has this value
  SmallColourSet() { slots_.fill(kEmpty); }
  // Slot of `c`, or of the empty place where it belongs.
  int slotOf(uint32_t c) const {
    int h = static_cast<int>((c * 0x9E3779B1u) >> 22);
    while (slots_[h] != kEmpty && slots_[h] != c) h = (h + 1) & 1023;
    return h;
  }
  bool add(uint32_t c) {
    if (full_) return false;
    const int h = slotOf(c);
    if (slots_[h] == c) return true;
    if (size_ == 256) {
      full_ = true;
      return false;
    }
    slots_[h] = c;
    ++size_;
    return true;
  }
  bool full() const { return full_; }
  std::vector<uint32_t> colours() const {
    std::vector<uint32_t> out;
    for (uint32_t c : slots_)
      if (c != kEmpty) out.push_back(c);
    std::sort(out.begin(), out.end());
    return out;
  }

 private:
  std::array<uint32_t, 1024> slots_;
  int size_ = 0;
  bool full_ = false;
};

// Adds the colours of rows [y0, y1) to `set` until it is full.
void collectColours(const ImageView& image, int y0, int y1, SmallColourSet& set) {
  uint32_t last = SmallColourSet::kEmpty;
  for (int y = y0; y < y1 && !set.full(); ++y) {
    const uint8_t* row = image.row(y);
    for (int x = 0; x < image.width; ++x) {
      const uint32_t c = loadPixel(row + 4 * x);
      if (c != last && !set.add(c)) return;
      last = c;
    }
  }
}

// Adds rows [y0, y1) to `hist`, which is made on first use.
void countColours(const ImageView& image, int y0, int y1, std::vector<HistCell>& hist) {
  if (hist.empty()) hist.assign(kHistCells, HistCell{0, 0, 0, 0});
  for (int y = y0; y < y1; ++y) {
    const uint8_t* row = image.row(y);
    int x = 0;
    while (x < image.width) {
      const uint32_t c = loadPixel(row + 4 * x);
      int run = 1;
      while (x + run < image.width && loadPixel(row + 4 * (x + run)) == c) ++run;
      constexpr int drop = 8 - kHistBits, low = (1 << drop) - 1, top = kHistSide - 1;
      HistCell& cell = hist[(c >> (16 + drop) & top) << (2 * kHistBits) |
                            (c >> (8 + drop) & top) << kHistBits | (c >> drop & top)];
      cell.count += run;
      cell.lowR += (c >> 16 & low) * run;
      cell.lowG += (c >> 8 & low) * run;
      cell.lowB += (c & low) * run;
      x += run;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Palette design

struct Bin {
  float c[3];    // mean colour
  uint8_t q[3];  // the histogram cell on each axis
  double weight;
};

// A run of histogram cells with their weighted sums: weight, colour, and squared colour per axis.
struct Box {
  std::size_t begin, end;
  double w = 0, s[3] = {0, 0, 0}, ss[3] = {0, 0, 0};

  // The weighted squared error around the box's mean; none for a single cell, which a split
  // cannot reduce (and whose sums would only leave rounding behind).
  double sse() const {
    if (end - begin < 2 || w <= 0) return 0;
    return ss[0] + ss[1] + ss[2] - (s[0] * s[0] + s[1] * s[1] + s[2] * s[2]) / w;
  }
};

// Splits boxes of histogram cells, always the one with the largest squared error, along its
// widest axis at the point that leaves the least error in the two halves.
std::vector<Box> medianCut(std::vector<Bin>& bins, int maxColours) {
  Box all{0, bins.size()};
  for (const Bin& b : bins)
    for (int k = 0; k < 3; ++k) {
      all.s[k] += b.weight * b.c[k];
      all.ss[k] += b.weight * b.c[k] * b.c[k];
    }
  for (const Bin& b : bins) all.w += b.weight;
  std::vector<Box> boxes{all};
  std::vector<double> errors{all.sse()};
  std::vector<Bin> sorted;
  while (static_cast<int>(boxes.size()) < maxColours) {
    const std::size_t at = std::max_element(errors.begin(), errors.end()) - errors.begin();
    if (errors[at] <= 0) break;
    const Box box = boxes[at];
    Bin* first = bins.data() + box.begin;
    Bin* last = bins.data() + box.end;
    const std::size_t m = box.end - box.begin;

    int axis = 0;
    double spread = -1;
    for (int k = 0; k < 3; ++k) {
      const double v = box.ss[k] - box.s[k] * box.s[k] / box.w;
      if (v > spread) spread = v, axis = k;
    }
    // Ordered by histogram cell along the axis (a counting sort; a cell's mean stays inside it).
    {
      std::array<std::size_t, kHistSide + 1> start{};
      for (const Bin* b = first; b != last; ++b) ++start[b->q[axis] + 1];
      for (int v = 1; v <= kHistSide; ++v) start[v] += start[v - 1];
      sorted.resize(m);
      for (const Bin* b = first; b != last; ++b) sorted[start[b->q[axis]]++] = *b;
      std::copy(sorted.begin(), sorted.end(), first);
    }

    // Error of a part = sum(w|c|^2) - |sum(wc)|^2 / sum(w); every cut is tried from running sums.
    const double totalSS = box.ss[0] + box.ss[1] + box.ss[2];
    Box left{box.begin, box.begin};
    double lss = 0, bestErr = INFINITY;
    std::size_t bestCut = 0;
    for (std::size_t i = 0; i + 1 < m; ++i) {
      const Bin& b = first[i];
      left.w += b.weight;
      for (int k = 0; k < 3; ++k) {
        left.s[k] += b.weight * b.c[k];
        lss += b.weight * b.c[k] * b.c[k];
      }
      if (first[i + 1].q[axis] == b.q[axis]) continue;  // cut only between cells
      const double rw = box.w - left.w;
      const double r0 = box.s[0] - left.s[0], r1 = box.s[1] - left.s[1], r2 = box.s[2] - left.s[2];
      const double err =
          (lss - (left.s[0] * left.s[0] + left.s[1] * left.s[1] + left.s[2] * left.s[2]) / left.w) +
          (totalSS - lss - (r0 * r0 + r1 * r1 + r2 * r2) / rw);
      if (err < bestErr) bestErr = err, bestCut = i + 1;
    }
    if (bestCut == 0) {  // all cells share the value on the widest axis
      errors[at] = 0;
      continue;
    }
    // The sums of the chosen left part, taken afresh, and the right part's as what remains.
    Box l{box.begin, box.begin + bestCut}, r{box.begin + bestCut, box.end};
    for (const Bin* b = first; b != first + bestCut; ++b) {
      l.w += b->weight;
      for (int k = 0; k < 3; ++k) {
        l.s[k] += b->weight * b->c[k];
        l.ss[k] += b->weight * b->c[k] * b->c[k];
      }
    }
    r.w = box.w - l.w;
    for (int k = 0; k < 3; ++k) r.s[k] = box.s[k] - l.s[k], r.ss[k] = box.ss[k] - l.ss[k];
    boxes[at] = l;
    errors[at] = l.sse();
    boxes.push_back(r);
    errors.push_back(r.sse());
  }
  return boxes;
}

int roundColour(double v) {
  return std::clamp(static_cast<int>(std::lround(v)), 0, 255);
}

Palette designPalette(const std::vector<HistCell>& hist, int maxColours) {
  std::vector<Bin> bins;
  for (int i = 0; i < kHistCells; ++i) {
    const HistCell& h = hist[i];
    if (!h.count) continue;
    const float n = static_cast<float>(h.count);
    constexpr int drop = 8 - kHistBits;
    const int qr = i >> (2 * kHistBits), qg = i >> kHistBits & (kHistSide - 1), qb = i & (kHistSide - 1);
    bins.push_back({{static_cast<float>(qr << drop) + h.lowR / n, static_cast<float>(qg << drop) + h.lowG / n,
                     static_cast<float>(qb << drop) + h.lowB / n},
                    {static_cast<uint8_t>(qr), static_cast<uint8_t>(qg), static_cast<uint8_t>(qb)},
                    static_cast<double>(h.count)});
  }
  const std::vector<Box> boxes = medianCut(bins, maxColours);

  // Each box gives its weighted mean. (Lloyd rounds from here moved the palette by fractions of a
  // decibel either way once the pixels are dithered, so they are not worth their time.)
  Palette rounded;
  for (const Box& box : boxes) {
    double w = 0, s[3] = {0, 0, 0};
    for (std::size_t i = box.begin; i < box.end; ++i) {
      w += bins[i].weight;
      for (int a = 0; a < 3; ++a) s[a] += bins[i].weight * bins[i].c[a];
    }
    rounded.add(roundColour(s[0] / w), roundColour(s[1] / w), roundColour(s[2] / w));
  }

  // Rounding can make two colours equal; keep one of each.
  Palette pal;
  std::vector<uint32_t> seen;
  for (int k = 0; k < rounded.size; ++k) {
    const uint32_t key = static_cast<uint32_t>(rounded.r[k] << 16 | rounded.g[k] << 8 | rounded.b[k]);
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    pal.add(rounded.r[k], rounded.g[k], rounded.b[k]);
  }
  return pal;
}

// ---------------------------------------------------------------------------------------------
// Pixel mapping

// Floyd–Steinberg, serpentine, over one band of rows. A band below the first starts a few rows
// early without writing them, so that it enters its first row carrying almost the error the band
// above would have handed it.
class DitherLane {
 public:
  static constexpr int kWarmUp = 4;

  // The three channels of an error travel together in one integer, red + green * 2^21 +
  // blue * 2^42: sums and small multiples of such triples are exact while each part stays within
  // +-2^20, and ours stay within a few thousand sixteenths.
  static constexpr int64_t pack(int64_t r, int64_t g, int64_t b) {
    return r + g * (1 << 21) + b * (int64_t{1} << 42);
  }

  DitherLane(const ImageView& image, int y0, int y1, int from, uint8_t* indices)
      : image_(image),
        y_(from),
        y0_(y0),
        y1_(y1),
        indices_(indices),
        rowA_(image.width + 2),
        rowB_(image.width + 2),
        scratch_(image.width) {}

  bool done() const { return y_ >= y1_; }
  int step() const { return (y_ & 1) ? -1 : 1; }

  // What one row's loop keeps in registers. The error a pixel hands on goes 7/16 to the next
  // pixel, and 3/16, 5/16 and 1/16 to the three below it; those below are summed as the row goes
  // and each written once, when no later pixel of the row adds to it.
  struct Row {
    const uint8_t* src;
    uint8_t* dst;
    const int64_t* in;  // error for this row in sixteenths, packed, with a spare pixel at each end
    int64_t* out;       // the same for the next row
    int step;
    int lastKey = -1, k = 0;
    int64_t ahead = 0;      // for the next pixel of this row
    int64_t belowLast = 0;  // for the pixel below the last one done, which lacks only our 3/16
    int64_t belowNext = 0;  // for the pixel below this one, so far
  };

  // Row y reads the error row of its parity and writes the other; the first row reads zeros.
  Row beginRow() {
    return {image_.row(y_),
            y_ >= y0_ ? indices_ + static_cast<std::size_t>(y_) * image_.width : scratch_.data(),
            (y_ & 1 ? rowB_ : rowA_).data(), (y_ & 1 ? rowA_ : rowB_).data(), step()};
  }

  void endRow(const Row& row, int lastX) {
    row.out[lastX + 1] = row.belowLast;
    ++y_;
  }

  [[gnu::always_inline]] static void pixel(Row& row, int x, NearestCache& nearest,
                                           const int64_t* packedPalette) {
    const uint8_t* p = row.src + 4 * x;
    // Unpack the incoming error, rounded to whole levels: each part is sign-extended from its
    // 21 bits and taken off before the next is read.
    const int64_t e = row.in[x + 1] + row.ahead + pack(8, 8, 8);
    const int64_t er = static_cast<int64_t>(static_cast<uint64_t>(e) << 43) >> 43;
    const int64_t rest = (e - er) >> 21;
    const int64_t eg = static_cast<int64_t>(static_cast<uint64_t>(rest) << 43) >> 43;
    const int64_t eb = (rest - eg) >> 21;
    const int r = std::clamp(p[2] + static_cast<int>(er >> 4), 0, 255);
    const int g = std::clamp(p[1] + static_cast<int>(eg >> 4), 0, 255);
    const int b = std::clamp(p[0] + static_cast<int>(eb >> 4), 0, 255);
    const int key = r << 16 | g << 8 | b;
    if (key != row.lastKey) row.lastKey = key, row.k = nearest.find(r, g, b);  // flat areas repeat
    row.dst[x] = static_cast<uint8_t>(row.k);
    const int64_t err = pack(r, g, b) - packedPalette[row.k];
    row.out[x + 1 - row.step] = row.belowLast + err * 3;  // below the previous pixel (or the spare)
    row.belowLast = row.belowNext + err * 5;
    row.belowNext = err;
    row.ahead = err * 7;
  }

 private:
  const ImageView& image_;
  int y_, y0_, y1_;
  uint8_t* indices_;
  std::vector<int64_t> rowA_, rowB_;  // the error rows, used in turn
  std::vector<uint8_t> scratch_;      // where the warm-up rows go
};

// Dithers the bands [a0, a1) and [b0, b1) in step: two independent chains of error diffusion on
// one thread keep the processor busy while each waits on its own table lookups. The second
// band's warm-up is lengthened by a row where needed so that both run the same way.
void ditherBands(const ImageView& image, int a0, int a1, int b0, int b1, NearestCache& nearest,
                 const std::array<int64_t, 256>& packedPalette, uint8_t* indices) {
  const int w = image.width;
  const int fromA = std::max(0, a0 - DitherLane::kWarmUp);
  int fromB = b0 == b1 ? b1 : std::max(0, b0 - DitherLane::kWarmUp);
  if (b0 < b1 && ((fromB - fromA) & 1)) --fromB;
  DitherLane a(image, a0, a1, fromA, indices), b(image, b0, b1, fromB, indices);
  while (!a.done() || !b.done()) {
    const int step = (a.done() ? b : a).step();
    const int firstX = step > 0 ? 0 : w - 1, lastX = step > 0 ? w - 1 : 0;
    if (a.done() || b.done()) {
      DitherLane& lane = a.done() ? b : a;
      DitherLane::Row row = lane.beginRow();
      for (int i = 0, x = firstX; i < w; ++i, x += step)
        DitherLane::pixel(row, x, nearest, packedPalette.data());
      lane.endRow(row, lastX);
      continue;
    }
    DitherLane::Row rowA = a.beginRow(), rowB = b.beginRow();
    for (int i = 0, x = firstX; i < w; ++i, x += step) {
      DitherLane::pixel(rowA, x, nearest, packedPalette.data());
      DitherLane::pixel(rowB, x, nearest, packedPalette.data());
    }
    a.endRow(rowA, lastX);
    b.endRow(rowB, lastX);
  }
}

// Maps rows [y0, y1) of an image of at most 256 colours onto its exact palette.
void mapExactRows(const ImageView& image, int y0, int y1, const SmallColourSet& set,
                  const std::array<uint8_t, 1024>& indexOfSlot, uint8_t* indices) {
  const int w = image.width;
  for (int y = y0; y < y1; ++y) {
    const uint8_t* src = image.row(y);
    uint8_t* dst = indices + static_cast<std::size_t>(y) * w;
    uint32_t last = SmallColourSet::kEmpty;
    uint8_t k = 0;
    for (int x = 0; x < w; ++x) {
      const uint32_t c = loadPixel(src + 4 * x);
      if (c != last) last = c, k = indexOfSlot[set.slotOf(c)];
      dst[x] = k;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// LZW

struct BitStream {
  std::vector<uint8_t> bytes;
  uint64_t bits = 0;
};

class BitWriter {
 public:
  explicit BitWriter(std::size_t expectedBytes) : buf_(expectedBytes + 16) {}
  void put(uint32_t code, int size) {
    acc_ |= static_cast<uint64_t>(code) << count_;
    count_ += size;
    if (count_ >= 32) {
      if (pos_ + 4 > buf_.size()) buf_.resize(buf_.size() * 2);
      const uint32_t word = static_cast<uint32_t>(acc_);
      std::memcpy(buf_.data() + pos_, &word, 4);
      pos_ += 4;
      acc_ >>= 32;
      count_ -= 32;
    }
  }
  BitStream finish() {
    BitStream out;
    out.bits = pos_ * 8 + count_;
    buf_.resize(pos_ + 4);
    std::memcpy(buf_.data() + pos_, &acc_, 4);  // the low 32 bits hold the rest; the top stays zero
    buf_.resize((out.bits + 7) / 8);
    out.bytes = std::move(buf_);
    return out;
  }

 private:
  std::vector<uint8_t> buf_;
  std::size_t pos_ = 0;
  uint64_t acc_ = 0;
  int count_ = 0;
};

// LZW codes of `n` indices, which are one piece of the image. The first piece starts with a clear
// code; every piece but the last ends with one (so the next starts on a fresh table) and the
// last with the end code.
BitStream lzwEncode(const uint8_t* data, std::size_t n, int minCodeSize, bool first, bool last) {
  const uint32_t clear = 1u << minCodeSize, end = clear + 1;
  // Dictionary: (prefix code << 8 | byte) -> code, open-addressed; a slot holds key << 12 | code,
  // and 0 marks an empty slot (codes start above the clear code, so no entry is 0).
  constexpr int kHashBits = 14;
  std::vector<uint32_t> table(1u << kHashBits, 0);
  int size = minCodeSize + 1;
  uint32_t next = clear + 2;
  BitWriter out(n / 3);
  if (first) out.put(clear, size);

  uint32_t prefix = data[0];
  for (std::size_t i = 1; i < n; ++i) {
    const uint32_t c = data[i];
    const uint32_t key = prefix << 8 | c;
    uint32_t h = (c << (kHashBits - 8) ^ prefix) & ((1u << kHashBits) - 1);  // as in compress(1)
    bool known = false;
    for (;;) {
      const uint32_t slot = table[h];
      if (slot == 0) break;
      if ((slot >> 12) == key) {
        prefix = slot & 0xFFF;
        known = true;
        break;
      }
      h = (h + 1) & ((1u << kHashBits) - 1);
    }
    if (known) continue;
    out.put(prefix, size);
    if (next < 4096) {
      table[h] = key << 12 | next;
      ++next;
      // The decoder adds this entry one code later, and widens its codes when its table fills
      // the current width; in our terms that is when `next` passes 2^size.
      if (next > (1u << size)) ++size;
    } else {
      out.put(clear, size);
      std::fill(table.begin(), table.end(), 0);
      size = minCodeSize + 1;
      next = clear + 2;
    }
    prefix = c;
  }
  out.put(prefix, size);
  // Reading that last code completes the decoder's entry `next - 1`, which may widen the code
  // that follows.
  if (next == (1u << size) && size < 12) ++size;
  out.put(last ? end : clear, size);
  return out.finish();
}

void appendBits(BitStream& dst, const BitStream& src) {
  const int shift = static_cast<int>(dst.bits & 7);
  const std::size_t at = dst.bytes.size(), srcBytes = (src.bits + 7) / 8;
  dst.bits += src.bits;
  dst.bytes.resize((dst.bits + 7) / 8);
  if (shift == 0) {
    std::memcpy(dst.bytes.data() + at, src.bytes.data(), srcBytes);
    return;
  }
  // The last byte so far is part-filled: each source byte goes half into it, half into the next.
  uint8_t* out = dst.bytes.data() + at - 1;
  const std::size_t end = dst.bytes.size() - (at - 1);
  for (std::size_t i = 0; i < srcBytes; ++i) {
    out[i] |= static_cast<uint8_t>(src.bytes[i] << shift);
    if (i + 1 < end) out[i + 1] = static_cast<uint8_t>(src.bytes[i] >> (8 - shift));
  }
}

// ---------------------------------------------------------------------------------------------
// File

void putWord(std::vector<uint8_t>& out, int v) {
  out.push_back(static_cast<uint8_t>(v & 0xFF));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

std::vector<uint8_t> assembleGif(int width, int height, const Palette& pal, std::vector<BitStream> pieces,
                                 int minCodeSize) {
  int bits = 1;
  while ((1 << bits) < pal.size) ++bits;
  BitStream code = std::move(pieces[0]);
  for (std::size_t i = 1; i < pieces.size(); ++i) appendBits(code, pieces[i]);

  std::vector<uint8_t> out;
  out.reserve(13 + 3 * 256 + 11 + code.bytes.size() + code.bytes.size() / 255 + 3);
  for (char ch : std::string("GIF89a")) out.push_back(static_cast<uint8_t>(ch));
  putWord(out, width);
  putWord(out, height);
  out.push_back(static_cast<uint8_t>(0x80 | 7 << 4 | (bits - 1)));  // global table, 8-bit source
  out.push_back(0);                                                 // background colour
  out.push_back(0);                                                 // square pixels
  for (int k = 0; k < (1 << bits); ++k) {
    const bool used = k < pal.size;
    out.push_back(static_cast<uint8_t>(used ? pal.r[k] : 0));
    out.push_back(static_cast<uint8_t>(used ? pal.g[k] : 0));
    out.push_back(static_cast<uint8_t>(used ? pal.b[k] : 0));
  }
  out.push_back(0x2C);  // image descriptor: the whole screen, no local table, not interlaced
  putWord(out, 0);
  putWord(out, 0);
  putWord(out, width);
  putWord(out, height);
  out.push_back(0);
  out.push_back(static_cast<uint8_t>(minCodeSize));
  for (std::size_t at = 0; at < code.bytes.size(); at += 255) {
    const std::size_t len = std::min<std::size_t>(255, code.bytes.size() - at);
    out.push_back(static_cast<uint8_t>(len));
    out.insert(out.end(), code.bytes.begin() + at, code.bytes.begin() + at + len);
  }
  out.push_back(0);     // end of image data
  out.push_back(0x3B);  // trailer
  return out;
}

int minCodeSizeFor(int paletteSize) {
  int bits = 2;  // the format's smallest
  while ((1 << bits) < paletteSize) ++bits;
  return bits;
}

void checkSize(int width, int height) {
  if (width <= 0 || height <= 0) throw Error("Cannot save an empty image as GIF.");
  if (width > kMaxSide || height > kMaxSide)
    throw Error("The image is too large for a GIF file (at most 65535 pixels on each side).");
}

}  // namespace

std::vector<uint8_t> encodeGif(const ImageView& image, int threads) {
  checkSize(image.width, image.height);
  if (!image.bgra || image.stride < image.width * 4)
    throw Error("Cannot save the image as GIF: bad pixel rows.");
  const int w = image.width, h = image.height;
  threads = threadCount(static_cast<std::size_t>(w) * h, h, threads);

  // The image is coded in bands, two at a time (see ditherBands), handed out to the threads a
  // pair at a time. A few pairs per thread even out the work without many warm-up rows.
  const int pairs = threads == 1 ? 1 : 3 * threads;
  const int bands = std::min(2 * pairs, h);
  auto bandRows = [&](int band) {
    return std::pair{bandStart(band, bands, h), bandStart(band + 1, bands, h)};
  };
  auto pairOf = [&](int pair) {  // the bands of a pair; the second is -1 where there are too few
    return 2 * pair + 1 < bands ? std::array{2 * pair, 2 * pair + 1} : std::array{2 * pair, -1};
  };
  const int pairCount = (bands + 1) / 2;

  // At most 256 colours in the whole image: keep them as they are. Looking stops at the 257th,
  // which for most captures is within their first rows.
  std::vector<SmallColourSet> seen(threads);
  std::atomic<bool> tooMany{false};
  shareOut(threads, bands, [&](int t, int band) {
    if (tooMany) return;
    const auto [y0, y1] = bandRows(band);
    collectColours(image, y0, y1, seen[t]);
    if (seen[t].full()) tooMany = true;
  });
  SmallColourSet exact;
  bool fits = !tooMany;
  for (const SmallColourSet& set : seen)
    for (uint32_t colour : fits ? set.colours() : std::vector<uint32_t>{}) fits = fits && exact.add(colour);

  Palette pal;
  std::vector<uint8_t> indices(static_cast<std::size_t>(w) * h);
  std::vector<BitStream> pieces(bands);
  auto code = [&](int band, int minCode) {
    const auto [y0, y1] = bandRows(band);
    pieces[band] = lzwEncode(indices.data() + static_cast<std::size_t>(y0) * w,
                             static_cast<std::size_t>(y1 - y0) * w, minCode, band == 0, band == bands - 1);
  };

  if (fits) {
    std::array<uint8_t, 1024> indexOfSlot{};
    for (uint32_t c : exact.colours()) {
      indexOfSlot[exact.slotOf(c)] = static_cast<uint8_t>(pal.size);
      pal.add(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
    }
    const int minCode = minCodeSizeFor(pal.size);
    shareOut(threads, bands, [&](int, int band) {
      const auto [y0, y1] = bandRows(band);
      mapExactRows(image, y0, y1, exact, indexOfSlot, indices.data());
      code(band, minCode);
    });
    return assembleGif(w, h, pal, std::move(pieces), minCode);
  }

  std::vector<std::vector<HistCell>> counts(threads);
  shareOut(threads, bands, [&](int t, int band) {
    const auto [y0, y1] = bandRows(band);
    countColours(image, y0, y1, counts[t]);
  });
  std::vector<HistCell>& hist = counts[0];
  if (hist.empty()) hist.assign(kHistCells, HistCell{0, 0, 0, 0});  // its thread was given no rows
  for (int t = 1; t < threads; ++t)
    for (int k = 0; k < static_cast<int>(counts[t].size()); ++k) {
      const HistCell& o = counts[t][k];
      if (!o.count) continue;
      hist[k].count += o.count;
      hist[k].lowR += o.lowR;
      hist[k].lowG += o.lowG;
      hist[k].lowB += o.lowB;
    }
  pal = designPalette(hist, 256);
  counts.clear();
  const NearestIndex index(pal);
  std::array<int64_t, 256> packedPalette{};
  for (int k = 0; k < pal.size; ++k) packedPalette[k] = DitherLane::pack(pal.r[k], pal.g[k], pal.b[k]);
  const int minCode = minCodeSizeFor(pal.size);
  std::vector<std::unique_ptr<NearestCache>> caches(threads);
  shareOut(threads, pairCount, [&](int t, int pair) {
    if (!caches[t]) caches[t] = std::make_unique<NearestCache>(index);
    const auto [one, other] = pairOf(pair);
    const auto [a0, a1] = bandRows(one);
    const auto [b0, b1] = other < 0 ? std::pair{h, h} : bandRows(other);
    ditherBands(image, a0, a1, b0, b1, *caches[t], packedPalette, indices.data());
    code(one, minCode);
    if (other >= 0) code(other, minCode);
  });
  return assembleGif(w, h, pal, std::move(pieces), minCode);
}

std::vector<uint8_t> encodeGif(const IndexedView& image) {
  checkSize(image.width, image.height);
  const int bpp = image.bitsPerPixel;
  if (bpp != 1 && bpp != 4 && bpp != 8)
    throw Error("Cannot save a " + std::to_string(bpp) + "-bit palette image as GIF.");
  if (!image.bits || int64_t{image.stride} * 8 < int64_t{image.width} * bpp)
    throw Error("Cannot save the image as GIF: bad pixel rows.");
  if (!image.palette || image.paletteSize < 1 || image.paletteSize > 256)
    throw Error("Cannot save the image as GIF: its palette is empty or too large.");

  const int w = image.width, h = image.height;
  std::vector<uint8_t> indices(static_cast<std::size_t>(w) * h);
  int highest = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* src = image.bits + static_cast<std::ptrdiff_t>(y) * image.stride;
    uint8_t* dst = indices.data() + static_cast<std::size_t>(y) * w;
    for (int x = 0; x < w; ++x) {
      const int bit = x * bpp;
      const int v = (src[bit >> 3] >> (8 - bpp - (bit & 7))) & ((1 << bpp) - 1);
      dst[x] = static_cast<uint8_t>(v);
      highest = std::max(highest, v);
    }
  }
  // An index past the end of the bitmap's own palette shows black, as it would on screen.
  Palette pal;
  for (int k = 0; k < std::max(image.paletteSize, highest + 1); ++k) {
    const uint32_t c = k < image.paletteSize ? image.palette[k] : 0;
    pal.add(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
  }
  const int minCode = minCodeSizeFor(pal.size);
  return assembleGif(w, h, pal, {lzwEncode(indices.data(), indices.size(), minCode, true, true)}, minCode);
}

}  // namespace quorvel

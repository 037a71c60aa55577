#include "ui/dpi.h"

#include <cstdint>

namespace quorvel::ui {

int scaleToDpi(int n, int dpi) {
  // Exact rational arithmetic: n * dpi / 96, halves to even.
  const int64_t num = static_cast<int64_t>(n) * dpi;
  int64_t q = num / kDesignDpi;
  int64_t r = num % kDesignDpi;
  if (r < 0) { r += kDesignDpi; --q; }
  if (2 * r > kDesignDpi || (2 * r == kDesignDpi && (q & 1))) ++q;
  return static_cast<int>(q);
}

}  // namespace quorvel::ui

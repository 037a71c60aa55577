#pragma once

namespace quorvel::ui {

constexpr int kDesignDpi = 96;

// n design pixels at `dpi`, rounded to the nearest integer with halves to even
// (145 at 144 dpi is 217.5, which gives 218; 82 gives 123).
int scaleToDpi(int n, int dpi);

}  // namespace quorvel::ui

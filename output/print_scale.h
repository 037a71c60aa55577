#pragma once

namespace quorvel {

// How many printer dots one screen pixel becomes along an axis. Only whole multiples are used,
// so every screen pixel prints as the same block and thin lines keep an even width; the
// remainder of the division is dropped. 0 (nothing drawn) when the printer is coarser than the
// screen or either resolution is unknown.
inline int printScale(int printerDpi, int screenDpi) {
  if (printerDpi <= 0 || screenDpi <= 0) return 0;
  return printerDpi / screenDpi;
}

}  // namespace quorvel

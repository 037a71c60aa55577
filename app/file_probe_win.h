#pragma once
#include "app/file_naming.h"

namespace quorvel {

// The file system as file naming sees it.
class WinFileProbe : public FileProbe {
 public:
  bool exists(const std::u16string& path) override;
  std::vector<DirEntry> list(const std::u16string& folder) override;
};

LocalTime localTimeNow();

}  // namespace quorvel

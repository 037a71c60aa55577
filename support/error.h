#pragma once
#include <stdexcept>
#include <string>

namespace quorvel {

// An operation failed; what() is a user-readable UTF-8 message (the system's own text where
// the system reported the failure). It becomes a message box where the user's action began.
class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quorvel

// The system's failures: an exception that carries one of its fixed message texts.
#pragma once

#include <stdexcept>
#include <string>

namespace scrivlock {

class TError : public std::runtime_error {
 public:
  explicit TError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace scrivlock

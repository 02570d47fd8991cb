#pragma once

#include <stdexcept>
#include <string>

namespace xlsx {

// A workbook file that could not be written; what() says why, in words a
// person can act on (the system's reason for a failed write, for example).
class WriteError : public std::runtime_error {
  public:
    explicit WriteError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace xlsx

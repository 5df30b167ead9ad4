#pragma once
// The one error type of the project: a complete Spanish text for the user (UTF-8) that already
// names what to act on (file, table, record, field, value).

#include <stdexcept>
#include <string>

namespace pontrel {

class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

} // namespace pontrel

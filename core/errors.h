#pragma once

#include <stdexcept>
#include <string>

namespace tavin {

// Every failure of the engine and the package reader: an English message
// that the caller shows as it stands.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace tavin

// SHA-256 of a byte string (FIPS 180-4), for names derived from paths.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tavin {

std::array<std::uint8_t, 32> sha256(std::string_view data);

// The digest in lower-case hexadecimal, 64 digits.
std::string sha256Hex(std::string_view data);

}  // namespace tavin

// Characters of the symbol fonts (Symbol, Wingdings, Webdings) in Unicode.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tavin {

// The Unicode character a symbol font shows for a code: the font's own code
// (0x20-0xFF) or its private-use form (0xF020-0xF0FF). 0 when the font is not
// a symbol font we know or the code has no counterpart.
std::uint32_t symbolToUnicode(std::string_view font, std::uint32_t code);

// A bullet or symbol text as a reader should see it: private-use characters
// of a symbol font (as lists and w:sym carry them) replaced by their Unicode
// counterparts; those without one by a bullet, when bullet is true, or else
// kept (a reader with the font sees it). Text outside the private-use area
// stays as it is.
std::string symbolText(std::string_view utf8, std::string_view font, bool bullet);

}  // namespace tavin

// Files that hold the user's state are replaced whole, never half written.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// Writes text to a temporary file beside path and renames it into place,
// creating the folder when needed. Raises with a message naming path.
void writeFileAtomically(const std::string& path, std::string_view text);

}  // namespace tavin

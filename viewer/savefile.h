// Files that hold the user's state are replaced whole, never half written.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// Writes text to a temporary file beside path and renames it into place,
// creating the missing folders (mode 0700) when needed. The file gets the
// modes the user's umask gives new files. When path is a link, the file it
// names is replaced instead, and only when that file (or the folder it
// would be made in) is the user's own. Raises with a message naming path.
void writeFileAtomically(const std::string& path, std::string_view text);

// Makes folder and the folders missing above it, each new one mode 0700
// (folders that exist keep their modes). Raises with a message naming it.
void makePrivateFolders(const std::string& folder);

}  // namespace tavin

// Small file facts for the viewer and the package handling.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tavin {

// Size in bytes of the file at path (relative paths against the current
// folder); 0 when there is none.
std::int64_t fileSizeOf(const std::string& path);

// Display form in kilobytes: (bytes div 1024) + 1 " KB", or "0 KB".
std::string sizeText(std::int64_t bytes);

// The file name of a document path up to and including its last "."
// ("report.docx" gives "report."); empty when the name has no ".".
std::string workFolderName(const std::string& path);

// Writes text to the file at path, created with the modes the umask gives
// new files. A link at path is never followed, and anything that is not a
// regular file is refused ("Not a regular file"). Raises on failure.
void writeFileNoFollow(const std::string& path, std::string_view text);

// Copies one file's bytes, replacing the destination. Raises on failure.
void copyFileTo(const std::string& source, const std::string& destination);

// The names of all entries of a folder, "." and ".." included, in the order
// the file system lists them; empty for a missing folder.
std::vector<std::string> listFolder(const std::string& folder);

}  // namespace tavin

// Small file facts for the viewer and the package handling.
#pragma once

#include <cstdint>
#include <string>

namespace tavin {

// Size in bytes of the file at path (relative paths against the current
// folder); 0 when there is none.
std::int64_t fileSizeOf(const std::string& path);

// Display form in kilobytes: (bytes div 1024) + 1 " KB", or "0 KB".
std::string sizeText(std::int64_t bytes);

// The file name of a document path up to and including its last "."
// ("report.docx" gives "report."); empty when the name has no ".".
std::string workFolderName(const std::string& path);

}  // namespace tavin

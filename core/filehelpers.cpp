#include "core/filehelpers.h"

#include <sys/stat.h>

#include "core/uStr.h"

namespace tavin {

std::int64_t fileSizeOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return 0;
    return static_cast<std::int64_t>(st.st_size);
}

std::string sizeText(std::int64_t bytes) {
    if (bytes > 0) return std::to_string(bytes / 1024 + 1) + " KB";
    return "0 KB";
}

std::string workFolderName(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return headText(name, findBackward(name, ".", 0));
}

}  // namespace tavin

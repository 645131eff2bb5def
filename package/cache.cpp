#include "package/cache.h"

#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/fileio.h"
#include "package/workfolder.h"

namespace tavin {

namespace {

// The document path of a record: what follows its four leading fields
// (size, modification time, device:inode, change time).
std::string recordedPath(const std::string& record) {
    std::size_t pos = 0;
    for (int field = 0; field < 4; ++field) {
        pos = record.find(' ', pos);
        if (pos == std::string::npos) return {};
        ++pos;
    }
    std::string path = record.substr(pos);
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
    return path;
}

// The record of a work folder of root, read without following links;
// empty when there is none.
std::string readRecord(int rootFd, const std::string& name) {
    const UniqueFd dir(::openat(rootFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir) return {};
    std::string text;
    const UniqueFd fd(::openat(dir.get(), kSourceRecordName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd) {
        struct stat st {};
        if (::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size < 65536) {
            char buffer[4096];
            for (ssize_t n; (n = ::read(fd.get(), buffer, sizeof buffer)) > 0;) {
                text.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    return text;
}

}  // namespace

void markWorkFolderOpened(const std::string& folder) { ::utimensat(AT_FDCWD, folder.c_str(), nullptr, AT_SYMLINK_NOFOLLOW); }

int pruneCache(const std::string& root, const std::string& keep, int maxAgeDays) {
    const UniqueFd rootFd(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!rootFd) return 0;
    struct stat rootSt {};
    if (::fstat(rootFd.get(), &rootSt) != 0 || rootSt.st_uid != ::geteuid()) return 0;
    std::vector<std::string> names;
    if (const UniqueDir dir = folderStreamOf(rootFd.get())) {
        while (const dirent* e = ::readdir(dir.get())) {
            const std::string name = e->d_name;
            if (name == "." || name == ".." || name[0] == '.') continue;  // siblings in the making
            names.push_back(name);
        }
    }
    const std::time_t now = std::time(nullptr);
    int removed = 0;
    for (const std::string& name : names) {
        if (name == keep) continue;
        struct stat st {};
        if (::fstatat(rootFd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) continue;
        const std::string record = readRecord(rootFd.get(), name);
        if (record.empty()) continue;
        bool remove = maxAgeDays < 0;
        if (!remove) remove = now - st.st_mtime > static_cast<std::time_t>(maxAgeDays) * 24 * 3600;
        if (!remove) {
            const std::string source = recordedPath(record);
            struct stat sourceSt {};
            remove = source.empty() || ::stat(source.c_str(), &sourceSt) != 0;
        }
        if (!remove) continue;
        std::error_code ec;
        // remove_all removes links, never what they point to.
        std::filesystem::remove_all(std::filesystem::path(root) / name, ec);
        if (!ec) ++removed;
    }
    return removed;
}

}  // namespace tavin

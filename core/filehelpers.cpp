#include "core/filehelpers.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/fileio.h"
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

void writeFileNoFollow(const std::string& path, std::string_view text) {
    // Non-blocking, so that a FIFO at path cannot hold the open.
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666));
    if (!fd) throw Error("Cannot create file " + path + ": " + errnoMessage(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        throw Error("Cannot create file " + path + ": Not a regular file");
    }
    int err = ::ftruncate(fd.get(), 0) == 0 ? 0 : errno;
    if (!err) err = writeAll(fd.get(), text);
    // A failed close can report a failed write.
    if (const int closed = fd.close(); !err) err = closed;
    if (err != 0) throw Error("Cannot write file " + path + ": " + errnoMessage(err));
}

void copyFileTo(const std::string& source, const std::string& destination) {
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in) throw Error("Cannot open " + source + ": " + errnoMessage(errno));
    UniqueFd out(::open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out) {
        const int err = errno;
        throw Error("Cannot create " + destination + ": " + errnoMessage(err));
    }
    char buf[65536];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            break;
        }
        if (n == 0) break;
        err = writeAll(out.get(), std::string_view(buf, static_cast<std::size_t>(n)));
        if (err) break;
    }
    in.reset();
    if (const int closed = out.close(); !err) err = closed;
    if (err) throw Error("Cannot copy " + source + " to " + destination + ": " + errnoMessage(err));
}

std::vector<std::string> listFolder(const std::string& folder) {
    std::vector<std::string> names;
    const UniqueDir d(::opendir(folder.c_str()));
    if (!d) return names;
    while (const dirent* e = ::readdir(d.get())) names.emplace_back(e->d_name);
    return names;
}

}  // namespace tavin

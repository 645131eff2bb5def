#include "viewer/savefile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"

namespace tavin {

void writeFileAtomically(const std::string& path, std::string_view text) {
    const std::filesystem::path target(path);
    std::error_code ec;
    if (target.has_parent_path()) std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) throw Error("Cannot write " + path + ": " + ec.message());

    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0) throw Error("Cannot write " + path + ": " + std::strerror(errno));
    int err = 0;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (!err && ::fchmod(fd, 0644) != 0) err = errno;
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmp.c_str(), path.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        throw Error("Cannot write " + path + ": " + std::strerror(err));
    }
}

}  // namespace tavin

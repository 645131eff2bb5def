#include "core/fileio.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tavin {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

int UniqueFd::close() {
    if (fd_ < 0) return 0;
    const int err = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    return err;
}

void UniqueDir::reset(DIR* dir) {
    if (dir_) ::closedir(dir_);
    dir_ = dir;
}

UniqueDir folderStreamOf(int folderFd) {
    // The stream closes the descriptor it reads, so it gets a copy.
    UniqueFd copy(::fcntl(folderFd, F_DUPFD_CLOEXEC, 0));
    if (!copy) return {};
    DIR* dir = ::fdopendir(copy.get());
    if (!dir) return {};
    copy.release();
    return UniqueDir(dir);
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string withSlash(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

std::string errnoMessage(int err) {
    char buffer[256];
    // The GNU strerror_r: returns the message, in buffer or a static text.
    return ::strerror_r(err, buffer, sizeof buffer);
}

int writeAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t w = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (w < 0 && errno == EINTR) continue;
        if (w < 0) return errno;
        if (w == 0) return EIO;
        done += static_cast<std::size_t>(w);
    }
    return 0;
}

int writeAtomically(const std::string& target, std::string_view bytes) {
    std::random_device random;
    std::string tmp;
    UniqueFd fd;
    for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
        tmp = target + "." + std::to_string(random() % 1000000000u) + ".tmp";
        fd.reset(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!fd && errno != EEXIST) break;
    }
    if (!fd) return errno;
    int err = writeAll(fd.get(), bytes);
    if (!err && ::fsync(fd.get()) != 0) err = errno;
    if (const int closed = fd.close(); !err) err = closed;
    if (!err && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
    if (err) ::unlink(tmp.c_str());
    return err;
}

std::string xdgFolder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return withSlash(value);
    const char* home = std::getenv("HOME");
    return withSlash(home && *home ? home : "/tmp") + fallback;
}

}  // namespace tavin

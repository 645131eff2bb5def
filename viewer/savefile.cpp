#include "viewer/savefile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"

namespace tavin {

namespace {

// Makes the folders missing above path, each private to the user.
void makeParents(const std::filesystem::path& target) {
    if (!target.has_parent_path()) return;
    std::filesystem::path sofar;
    for (const auto& part : target.parent_path()) {
        sofar /= part;
        if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) {
            throw Error("Cannot write " + target.string() + ": " + std::strerror(errno));
        }
    }
}

// Where the text goes: path itself, or the file a link at path names when
// that file (or, for a file not made yet, its folder) is the user's own.
std::string writeTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    std::string resolved;
    if (real) {
        resolved = real;
        std::free(real);
    } else {
        // A dangling link: its target resolved as far as it exists.
        std::error_code ec;
        resolved = std::filesystem::weakly_canonical(std::filesystem::path(path), ec).string();
        if (ec) resolved.clear();
    }
    struct stat target {};
    const bool exists = !resolved.empty() && ::lstat(resolved.c_str(), &target) == 0;
    const std::string owner = exists ? resolved : std::filesystem::path(resolved).parent_path().string();
    struct stat own {};
    if (resolved.empty() || ::stat(owner.c_str(), &own) != 0 || own.st_uid != ::geteuid() ||
        (exists && !S_ISREG(target.st_mode))) {
        throw Error("Cannot write " + path + ": it is a link to a file that is not the user's own");
    }
    return resolved;
}

}  // namespace

void writeFileAtomically(const std::string& path, std::string_view text) {
    makeParents(std::filesystem::path(path));
    const std::string target = writeTarget(path);

    // A new name beside the target, created with the modes the umask gives.
    std::random_device random;
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp = target + "." + std::to_string(random() % 1000000000u) + ".tmp";
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
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
    if (!err && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmp.c_str(), target.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        throw Error("Cannot write " + path + ": " + std::strerror(err));
    }
}

}  // namespace tavin

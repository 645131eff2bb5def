#include "core/fileio.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "core/errors.h"
#include "core/uStr.h"

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

namespace {

[[noreturn]] void fail(const std::string& what, const std::string& path, int err) {
    throw Error(what + " " + path + ": " + errnoMessage(err));
}

}  // namespace

OutputFolder::OutputFolder(const std::string& path) : path_(withSlash(path)) {
    fd_.reset(::open(path.empty() ? "." : path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd_) fail("Cannot open folder", path, errno);
}

OutputFolder OutputFolder::subfolder(const std::string& name) const {
    refuseLink(name);
    const std::string shown = path_ + name;
    if (::mkdirat(fd_.get(), name.c_str(), 0777) != 0 && errno != EEXIST) fail("Cannot create", shown, errno);
    UniqueFd fd(::openat(fd_.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd && errno == ELOOP) throw Error("Will not write through a link: " + shown);
    if (!fd) fail("Cannot open folder", shown, errno);
    return OutputFolder(std::move(fd), shown + "/");
}

void OutputFolder::refuseLink(const std::string& name) const {
    struct stat st {};
    if (::fstatat(fd_.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        throw Error("Will not write through a link: " + path_ + name);
}

std::pair<UniqueFd, std::string> OutputFolder::newFileFor(const std::string& name) const {
    refuseLink(name);
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temporary = "." + name + "." + std::to_string(random() % 1000000000u) + ".tmp";
        UniqueFd fd(::openat(fd_.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (fd) return {std::move(fd), std::move(temporary)};
        if (errno != EEXIST) break;
    }
    fail("Cannot create file", path_ + name, errno);
}

void OutputFolder::placeAt(UniqueFd fd, const std::string& temporary, const std::string& name, int err) const {
    if (const int closed = fd.close(); !err) err = closed;
    // A rename never follows a link at its target: it replaces it.
    if (!err && ::renameat(fd_.get(), temporary.c_str(), fd_.get(), name.c_str()) != 0) err = errno;
    if (err) {
        ::unlinkat(fd_.get(), temporary.c_str(), 0);
        fail("Cannot write file", path_ + name, err);
    }
}

void OutputFolder::writeFile(const std::string& name, std::string_view bytes) const {
    auto [fd, temporary] = newFileFor(name);
    const int err = writeAll(fd.get(), bytes);
    placeAt(std::move(fd), temporary, name, err);
}

void OutputFolder::copyFile(const std::string& source, const std::string& name) const {
    UniqueFd in(::open(source.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!in || ::fstat(in.get(), &st) != 0) fail("Cannot open", source, errno);
    if (!S_ISREG(st.st_mode)) throw Error("Cannot open " + source + ": Not a regular file");
    auto [out, temporary] = newFileFor(name);
    char buf[65536];
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(in.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) err = errno;
        if (n <= 0) break;
        err = writeAll(out.get(), std::string_view(buf, static_cast<std::size_t>(n)));
        if (err) break;
    }
    placeAt(std::move(out), temporary, name, err);
}

bool OutputFolder::copyFolder(const std::string& source, const std::string& name) const {
    const std::string from = withSlash(source);
    std::vector<std::string> files;
    if (const UniqueDir d(::opendir(from.c_str())); d) {
        while (const dirent* e = ::readdir(d.get())) {
            const std::string file = e->d_name;
            struct stat st {};
            if (file != "." && file != ".." && ::lstat((from + file).c_str(), &st) == 0 && S_ISREG(st.st_mode))
                files.push_back(file);
        }
    }
    if (files.empty()) return false;
    const OutputFolder to = subfolder(name);
    for (const std::string& file : files) to.copyFile(from + file, file);
    return true;
}

namespace {

// The regular file at relative inside folder, opened one component at a
// time with no link followed; none when it is not there that way (missing,
// a link). Any other failure raises, and so does a file that is not a
// regular one when strict is set (else it is none).
UniqueFd openInFolder(const std::string& folder, std::string_view relative, bool strict) {
    const std::string shown = withSlash(folder) + std::string(relative);
    auto absent = [&](int err) {
        if (err == ENOENT || err == ENOTDIR || err == ELOOP) return UniqueFd();
        fail("Cannot read file", shown, err);
    };
    UniqueFd dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return absent(errno);
    std::size_t from = 0;
    for (;;) {
        const std::size_t slash = relative.find('/', from);
        const std::string part(relative.substr(from, slash == std::string_view::npos ? std::string_view::npos : slash - from));
        if (slash == std::string_view::npos) {
            UniqueFd file(::openat(dir.get(), part.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            if (!file) return absent(errno);
            struct stat st {};
            if (::fstat(file.get(), &st) != 0) fail("Cannot read file", shown, errno);
            if (S_ISREG(st.st_mode)) return file;
            if (strict) fail("Cannot read file", shown, EISDIR);
            return {};
        }
        from = slash + 1;
        if (part.empty() || part == ".") continue;
        UniqueFd next(::openat(dir.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next) return absent(errno);
        dir = std::move(next);
    }
}

}  // namespace

namespace {

// Large parts (a document part runs to tens of megabytes) are copied from a
// mapping of the file into a buffer that asks for huge pages (reserveText),
// so that they are neither zero-filled first nor faulted in 4 KiB at a time.
constexpr std::size_t kMappedRead = std::size_t{1} << 20;

std::string readMapped(int fd, std::size_t size) {
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
    if (map == MAP_FAILED) return {};
    std::string out;
    reserveText(out, size);
    out.append(static_cast<const char*>(map), size);
    ::munmap(map, size);
    return out;
}

}  // namespace

std::string readFileInFolder(const std::string& folder, std::string_view relative) {
    const UniqueFd fd = openInFolder(folder, relative, true);
    if (!fd) return {};
    const std::string shown = withSlash(folder) + std::string(relative);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) fail("Cannot read file", shown, errno);
    // A regular file opened without waiting reads as any other.
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    const auto size = static_cast<std::size_t>(st.st_size);
    if (S_ISREG(st.st_mode) && size >= kMappedRead) {
        std::string mapped = readMapped(fd.get(), size);
        if (mapped.size() == size) return mapped;
    }
    std::string out(size, '\0');
    std::size_t got = 0;
    while (got < out.size()) {
        const ssize_t r = ::read(fd.get(), out.data() + got, out.size() - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) fail("Cannot read file", shown, errno);
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    out.resize(got);
    return out;
}

bool isRegularFileInFolder(const std::string& folder, std::string_view relative) {
    return static_cast<bool>(openInFolder(folder, relative, false));
}

std::string xdgFolder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return withSlash(value);
    const char* home = std::getenv("HOME");
    return withSlash(home && *home ? home : "/tmp") + fallback;
}

}  // namespace tavin

// The file layer every part of the code shares: descriptors that close
// themselves, whole writes, atomic replacement, folder paths, the XDG base
// folders and error texts that are safe on any thread.
#pragma once

#include <dirent.h>

#include <string>
#include <string_view>
#include <utility>

namespace tavin {

// A file descriptor, closed when its owner goes; -1 holds none.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);
    // Closes the descriptor now: 0, or the errno of a failed close (which
    // can report a failed earlier write).
    int close();

private:
    int fd_ = -1;
};

// A folder stream of opendir or fdopendir, closed when its owner goes.
class UniqueDir {
public:
    UniqueDir() = default;
    explicit UniqueDir(DIR* dir) : dir_(dir) {}
    ~UniqueDir() { reset(); }
    UniqueDir(UniqueDir&& other) noexcept : dir_(other.release()) {}
    UniqueDir& operator=(UniqueDir&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueDir(const UniqueDir&) = delete;
    UniqueDir& operator=(const UniqueDir&) = delete;

    DIR* get() const { return dir_; }
    explicit operator bool() const { return dir_ != nullptr; }
    DIR* release() {
        DIR* dir = dir_;
        dir_ = nullptr;
        return dir;
    }
    void reset(DIR* dir = nullptr);

private:
    DIR* dir_ = nullptr;
};

// A stream over the entries of the open folder folderFd, read through a
// descriptor of its own (folderFd stays open and its owner's); empty when
// none can be made.
UniqueDir folderStreamOf(int folderFd);

// Whether path names a regular file, links followed.
bool isRegularFile(const std::string& path);

// path with a "/" at its end ("" gives "/").
std::string withSlash(std::string path);

// The text of an errno value, as strerror gives it but safe on any thread.
std::string errnoMessage(int err);

// Writes all of bytes to fd, retrying interrupted and partial writes:
// 0, or the errno of the failure.
int writeAll(int fd, std::string_view bytes);

// Replaces the file target with bytes, never leaving it half written: a
// new temporary file beside it (with the modes the umask gives new files,
// no link followed) is written, flushed to disk and renamed onto target.
// 0, or the errno of the failure; the temporary file is then removed.
int writeAtomically(const std::string& target, std::string_view bytes);

// A folder that files are written into through its own descriptor, so
// that nothing is ever written through a link planted in it: an existing
// link at a name is refused ("Will not write through a link: PATH"), files
// are made new (O_EXCL, O_NOFOLLOW) beside their name and renamed onto it.
// Errors raise.
class OutputFolder {
public:
    // The folder at path, which must be there.
    explicit OutputFolder(const std::string& path);
    // Its folder name (made when missing, never through a link).
    OutputFolder subfolder(const std::string& name) const;
    // Makes name hold bytes, with the modes the umask gives new files.
    void writeFile(const std::string& name, std::string_view bytes) const;
    // Makes name a copy of the regular file at source (not read through a link).
    void copyFile(const std::string& source, const std::string& name) const;
    // Copies the regular files of the folder source (no link among them
    // followed) into its folder name; false, making nothing, when there
    // are none.
    bool copyFolder(const std::string& source, const std::string& name) const;
    const std::string& path() const { return path_; }

private:
    OutputFolder(UniqueFd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}
    void refuseLink(const std::string& name) const;
    // A new file beside name, and its name.
    std::pair<UniqueFd, std::string> newFileFor(const std::string& name) const;
    void placeAt(UniqueFd fd, const std::string& temporary, const std::string& name, int err) const;
    UniqueFd fd_;
    std::string path_;  // ending in "/"
};

// The bytes of the regular file at relative (a path inside folder), read
// without following a link at any of its components; empty when it is
// missing or is reached only through a link, or is not a regular file.
// A file that exists but cannot be read raises an Error naming it.
std::string readFileInFolder(const std::string& folder, std::string_view relative);

// Whether relative names a regular file inside folder, no link followed.
bool isRegularFileInFolder(const std::string& folder, std::string_view relative);

// An XDG base folder, ending in "/": the variable's value when it is an
// absolute path (relative ones are ignored, as the XDG rules say), else
// fallback under $HOME ("/tmp" when HOME is unset or empty).
std::string xdgFolder(const char* variable, const char* fallback);

}  // namespace tavin

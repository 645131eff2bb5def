#include "viewer/savefile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/fileio.h"

namespace tavin {

namespace {

// Makes the folders missing above path, each private to the user.
void makeParents(const std::filesystem::path& target) {
    if (!target.has_parent_path()) return;
    std::filesystem::path sofar;
    for (const auto& part : target.parent_path()) {
        sofar /= part;
        if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) {
            throw Error("Cannot write " + target.string() + ": " + errnoMessage(errno));
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

void makePrivateFolders(const std::string& folder) {
    // The folders above a file in folder: folder itself and those above it.
    makeParents(std::filesystem::path(folder) / "x");
}

void writeFileAtomically(const std::string& path, std::string_view text) {
    makeParents(std::filesystem::path(path));
    const std::string target = writeTarget(path);

    if (const int err = writeAtomically(target, text); err != 0) {
        throw Error("Cannot write " + path + ": " + errnoMessage(err));
    }
}

}  // namespace tavin

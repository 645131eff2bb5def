#include "package/workfolder.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/fileio.h"
#include "core/filehelpers.h"
#include "core/sha256.h"
#include "core/uStr.h"
#include "package/docxParts.h"
#include "package/zip.h"

namespace fs = std::filesystem;

namespace tavin {

namespace {

constexpr std::size_t kMaxNameBytes = 200;
constexpr std::time_t kStaleAge = 24 * 60 * 60;

std::string withoutSlash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    const fs::path abs = fs::absolute(path, ec);
    return ec ? path : abs.lexically_normal().string();
}

// What identifies the file a work folder was extracted from. Anything but a
// regular file is refused here, before anything opens it.
std::string sourceRecord(const std::string& documentPath) {
    struct stat st {};
    if (::stat(documentPath.c_str(), &st) != 0) {
        throw Error(std::string("Cannot open ") + documentPath + ": " + errnoMessage(errno));
    }
    if (!S_ISREG(st.st_mode)) throw Error("Not a regular file");
    auto time = [](const struct timespec& t) {
        return std::to_string(static_cast<long long>(t.tv_sec)) + "." + std::to_string(t.tv_nsec);
    };
    return std::to_string(static_cast<long long>(st.st_size)) + " " + time(st.st_mtim) + " " +
           std::to_string(static_cast<unsigned long long>(st.st_dev)) + ":" +
           std::to_string(static_cast<unsigned long long>(st.st_ino)) + " " + time(st.st_ctim) + " " +
           absolutePath(documentPath);
}

// The folder name inside root, when it is a real folder of the user's
// (never a link); none otherwise.
UniqueFd openOwnFolder(int rootFd, const std::string& name) {
    UniqueFd fd(::openat(rootFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return fd;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) return {};
    return fd;
}

// The record of a folder, read without following a link; false when it has
// none.
bool readRecord(int folderFd, std::string& record) {
    const UniqueFd fd(::openat(folderFd, kSourceRecordName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 65536) return false;
    record.clear();
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        record.append(buf, static_cast<std::size_t>(n));
    }
    return true;
}

bool hasRecord(int rootFd, const std::string& name) {
    const UniqueFd folder = openOwnFolder(rootFd, name);
    if (!folder) return false;
    std::string record;
    return readRecord(folder.get(), record);
}

bool recordMatches(int rootFd, const std::string& name, const std::string& expected) {
    const UniqueFd folder = openOwnFolder(rootFd, name);
    if (!folder) return false;
    std::string record;
    return readRecord(folder.get(), record) && record == expected;
}

// Written beside its final name and renamed into place.
void writeRecord(const std::string& folder, const std::string& record) {
    if (const int err = writeAtomically(folder + kSourceRecordName, record); err != 0) {
        throw Error("Cannot write " + folder + kSourceRecordName + ": " + errnoMessage(err));
    }
}

// The temporary folders made and not yet renamed or removed.
std::mutex unfinishedLock;
std::set<std::string>& unfinished() {
    static std::set<std::string> folders;
    return folders;
}

// A new private folder ".NAME.XXXXXX" in root; returns its name.
std::string makeTempSibling(const std::string& root, const std::string& name) {
    std::string templ = root + "." + name + ".XXXXXX";
    std::lock_guard<std::mutex> hold(unfinishedLock);
    if (!::mkdtemp(templ.data())) throw Error("Cannot create a folder in " + root + ": " + errnoMessage(errno));
    unfinished().insert(templ);
    return templ.substr(root.size());
}

void finished(const std::string& root, const std::string& name) {
    std::lock_guard<std::mutex> hold(unfinishedLock);
    unfinished().erase(root + name);
}

// Removes a folder of root and everything in it; std::filesystem removes
// links, never what they point to.
void removeTree(const std::string& root, const std::string& name) {
    std::error_code ec;
    fs::remove_all(fs::path(root + name), ec);
    finished(root, name);
}

// Whether name is one of our temporary siblings: "." NAME "." and six
// characters of mkdtemp.
bool isTempSiblingName(const std::string& name) {
    if (name.size() < 9 || name[0] != '.' || name == "." || name == "..") return false;
    const std::size_t dot = name.size() - 7;
    return name[dot] == '.' && dot > 1;
}

void removeStaleSiblings(const std::string& root, int rootFd) {
    const std::time_t now = std::time(nullptr);
    std::vector<std::string> stale;
    {
        const UniqueDir dir = folderStreamOf(rootFd);
        if (!dir) return;
        while (const dirent* e = ::readdir(dir.get())) {
            const std::string name = e->d_name;
            if (!isTempSiblingName(name)) continue;
            struct stat st {};
            if (::fstatat(rootFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (!S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
            if (now - st.st_mtim.tv_sec > kStaleAge) stale.push_back(name);
        }
    }
    for (const std::string& name : stale) removeTree(root, name);
}

// Opens the prepared root; raises when it may not be used.
UniqueFd openTempRoot(const std::string& root) {
    const std::string path = withoutSlash(root);
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
            throw Error("The cache folder " + path + " is a link; Tavin uses only a folder of its own");
        }
        throw Error("Cannot open the cache folder " + path + ": " + errnoMessage(errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || st.st_uid != ::geteuid()) {
        throw Error("The cache folder " + path + " belongs to another user; Tavin uses only a folder of its own");
    }
    if ((st.st_mode & 077) != 0) ::fchmod(fd.get(), 0700);
    return fd;
}

// Renames from to to inside root unless to exists. File systems without
// renameat2 flags get the plain rename, which fails on a folder that is
// not empty and is only tried when nothing is there.
bool renameNoReplace(int rootFd, const std::string& from, const std::string& to) {
    if (::renameat2(rootFd, from.c_str(), rootFd, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    struct stat st {};
    if (::fstatat(rootFd, to.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::renameat(rootFd, from.c_str(), rootFd, to.c_str()) == 0;
}

// Swaps two folders of root; without renameat2 flags, to is moved aside
// to a temporary name first and from renamed into its place. Afterwards
// from names the old folder.
bool exchangeFolders(const std::string& root, int rootFd, const std::string& from, const std::string& to) {
    if (::renameat2(rootFd, from.c_str(), rootFd, to.c_str(), RENAME_EXCHANGE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    const std::string aside = makeTempSibling(root, to + ".old");
    if (::renameat(rootFd, to.c_str(), rootFd, aside.c_str()) != 0) {
        ::unlinkat(rootFd, aside.c_str(), AT_REMOVEDIR);
        return false;
    }
    if (!renameNoReplace(rootFd, from, to)) {
        const int err = errno;
        removeTree(root, aside);
        errno = err;
        return false;
    }
    if (::renameat(rootFd, aside.c_str(), rootFd, from.c_str()) != 0) removeTree(root, aside);
    return true;
}

}  // namespace

std::string tempRoot() {
    if (const char* dir = std::getenv("TAVIN_CACHE_DIR"); dir && *dir) return withSlash(dir);
    return xdgFolder("XDG_CACHE_HOME", ".cache/") + "tavin/dxml/";
}

std::string workFolderDirName(const std::string& documentPath) {
    std::string name = workFolderName(documentPath);
    if (!name.empty() && name.back() == '.') name.pop_back();
    if (name.empty() || name == "." || name == "..") return "_";
    return name;
}

namespace {

// The length of the UTF-8 character at s[i], or 0 when none starts there.
std::size_t utf8Length(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    return n;
}

// A folder name that is UTF-8 whatever the document's name: a byte that
// starts no character is written "%XX", and the name is cut at a
// character's end. The viewer's page addresses its pictures through the
// folder's path, which must read back as the same bytes.
std::string utf8FolderName(std::string_view name, std::size_t maxBytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < name.size();) {
        std::size_t n = utf8Length(name, i);
        std::string piece;
        if (n == 0) {
            const auto b = static_cast<unsigned char>(name[i]);
            piece = {'%', kHex[b >> 4], kHex[b & 15]};
            n = 1;
        } else {
            piece = std::string(name.substr(i, n));
        }
        if (out.size() + piece.size() > maxBytes) break;
        out += piece;
        i += n;
    }
    return out;
}

}  // namespace

std::string workFolderKey(const std::string& documentPath) {
    const std::string name = utf8FolderName(workFolderDirName(documentPath), kMaxNameBytes);
    return name + "-" + sha256Hex(absolutePath(documentPath)).substr(0, 8);
}

void prepareTempRoot(const std::string& root) {
    // The folders missing on the way are made private: the names in them
    // tell which documents were read.
    const fs::path path = fs::path(withoutSlash(root)).lexically_normal();
    fs::path sofar;
    for (const fs::path& part : path) {
        sofar /= part;
        if (::mkdir(sofar.c_str(), 0700) != 0 && errno != EEXIST) {
            throw Error("Cannot create " + sofar.string() + ": " + errnoMessage(errno));
        }
    }
    const UniqueFd fd = openTempRoot(root);
    removeStaleSiblings(withSlash(root), fd.get());
}

namespace {

// Extracts the package with the viewer's settings; masks (lower case, "*"
// wildcards) select entries, an empty list selects all.
void extract(const std::string& documentPath, const std::string& destFolder, const ExtractCallbacks& callbacks,
             std::vector<std::string> masks) {
    TVCLUnZip unzip;
    unzip.OverwriteMode = TUZOverwriteMode::Always;
    unzip.DoProcessMessages = callbacks.processMessages;
    unzip.OnMessage = callbacks.message;
    unzip.SetZipName(documentPath);
    unzip.ReadDirectory();
    unzip.DoAll = masks.empty();
    unzip.FilesList = std::move(masks);
    unzip.SetDestDir(destFolder);
    unzip.RecreateDirs = true;
    unzip.RetainAttributes = true;
    unzip.ExtractEntries();
}

}  // namespace

void extractPackage(const std::string& documentPath, const std::string& destFolder, const ExtractCallbacks& callbacks) {
    extract(documentPath, destFolder, callbacks, {});
}

namespace {

// A part name as an extraction mask: lower case, wildcards taken literally.
std::string partMask(const std::string& name) {
    std::string mask;
    for (char c : lowerCase(name)) {
        if (c == '*' || c == '?' || c == '[' || c == '\\') mask.push_back('\\');
        mask.push_back(c);
    }
    return mask;
}

}  // namespace

void extractConversionParts(const std::string& documentPath, const std::string& destFolder,
                            const ExtractCallbacks& callbacks) {
    // The package relationships name the document part, and the document's
    // own relationships its styles and numbering: each is read before the
    // parts it names are taken out.
    extract(documentPath, destFolder, callbacks, {"_rels/.rels"});
    const std::string folder = withSlash(destFolder);
    DocumentParts parts = findDocumentParts(folder);
    extract(documentPath, destFolder, callbacks,
            {partMask(parts.document), partMask(parts.relationships), "docprops/core.xml", "docprops/app.xml",
             partMask(parts.folder) + "media/*"});
    parts = findDocumentParts(folder);
    // Charts and diagrams are drawn from their own parts.
    std::vector<std::string> masks = {partMask(parts.styles), partMask(parts.numbering), partMask(parts.theme),
                                      partMask(parts.fontTable), partMask(parts.folder) + "charts/*",
                                      partMask(parts.folder) + "diagrams/*"};
    // The notes, comments, headers and footers beside the body, with their
    // own relationships and pictures, and the settings that number notes.
    for (const StoryRelationship& story :
         storyRelationships(readPart(folder, parts.relationships), parts.folder)) {
        masks.push_back(partMask(story.part));
        masks.push_back(partMask(relationshipsPartName(story.part)));
        const std::size_t slash = story.part.rfind('/');
        const std::string storyFolder = slash == std::string::npos ? std::string() : story.part.substr(0, slash + 1);
        if (storyFolder != parts.folder) masks.push_back(partMask(storyFolder) + "media/*");
    }
    extract(documentPath, destFolder, callbacks, masks);
}

std::string openWorkFolder(const std::string& documentPath, const std::string& root, const ExtractCallbacks& callbacks) {
    const std::string base = withSlash(root);
    const std::string name = workFolderKey(documentPath);
    const std::string folder = base + name + "/";
    std::string record = sourceRecord(documentPath);

    prepareTempRoot(base);
    const UniqueFd rootFd = openTempRoot(base);
    if (recordMatches(rootFd.get(), name, record)) return folder;

    // Always a fresh extraction, into a folder no one else can have made.
    std::string fresh = makeTempSibling(base, name);
    try {
        for (int attempt = 0;; ++attempt) {
            extractPackage(documentPath, base + fresh, callbacks);
            // A document replaced while it was read is read again.
            const std::string after = sourceRecord(documentPath);
            if (after == record) break;
            if (attempt == 2) throw Error("The document changed while it was read: " + documentPath);
            record = after;
            removeTree(base, fresh);
            fresh = makeTempSibling(base, name);
        }
        writeRecord(base + fresh + "/", record);
    } catch (...) {
        removeTree(base, fresh);
        throw;
    }

    for (int attempt = 0; attempt < 8; ++attempt) {
        if (renameNoReplace(rootFd.get(), fresh, name)) {
            finished(base, fresh);
            return folder;
        }
        const int err = errno;
        if (err != EEXIST && err != ENOTEMPTY) {
            removeTree(base, fresh);
            throw Error("Cannot move the extracted package to " + folder + ": " + errnoMessage(err));
        }
        // Another opener put the same extraction in place meanwhile.
        if (recordMatches(rootFd.get(), name, record)) {
            removeTree(base, fresh);
            return folder;
        }
        // Something that is not an extraction of ours is never touched.
        if (!hasRecord(rootFd.get(), name)) {
            removeTree(base, fresh);
            throw Error("Cannot use " + folder + ": it is not a work folder of Tavin");
        }
        // An outdated extraction of ours: swap the fresh one in, then remove
        // the old one under the temporary name.
        if (exchangeFolders(base, rootFd.get(), fresh, name)) {
            removeTree(base, fresh);
            return folder;
        }
    }
    const int err = errno;
    removeTree(base, fresh);
    throw Error("Cannot move the extracted package to " + folder + ": " + errnoMessage(err));
}

void removeUnfinishedWorkFolders() {
    std::lock_guard<std::mutex> hold(unfinishedLock);
    // An extraction may still be writing into them: tried again until gone.
    for (const std::string& folder : unfinished()) {
        std::error_code ec;
        for (int attempt = 0; attempt < 100 && fs::exists(folder, ec); ++attempt) fs::remove_all(folder, ec);
    }
    unfinished().clear();
}

}  // namespace tavin

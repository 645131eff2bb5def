#include "package/workfolder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "core/errors.h"
#include "core/filehelpers.h"
#include "core/uStr.h"
#include "package/docxParts.h"
#include "package/zip.h"

namespace fs = std::filesystem;

namespace tavin {

namespace {

std::string withSlash(std::string p) {
    if (p.empty() || p.back() != '/') p += '/';
    return p;
}

// What identifies the file a work folder was extracted from.
std::string sourceRecord(const std::string& documentPath) {
    std::error_code ec;
    const fs::path abs = fs::absolute(documentPath, ec);
    struct stat st {};
    if (::stat(documentPath.c_str(), &st) != 0) {
        throw Error(std::string("Cannot open ") + documentPath + ": " + std::strerror(errno));
    }
    return std::to_string(static_cast<long long>(st.st_size)) + " " + std::to_string(static_cast<long long>(st.st_mtim.tv_sec)) +
           "." + std::to_string(st.st_mtim.tv_nsec) + " " + (ec ? documentPath : abs.lexically_normal().string());
}

bool hasRecord(const std::string& folder) {
    struct stat st {};
    return ::lstat((folder + kSourceRecordName).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool recordMatches(const std::string& folder, const std::string& record) {
    if (!hasRecord(folder)) return false;
    try {
        return readTextFile(folder + kSourceRecordName) == record;
    } catch (const Error&) {
        return false;
    }
}

// Written beside its final name and renamed into place.
void writeRecord(const std::string& folder, const std::string& record) {
    const std::string tmp = folder + kSourceRecordName + ".tmp";
    writeTextFile(tmp, record);
    if (::rename(tmp.c_str(), (folder + kSourceRecordName).c_str()) != 0) {
        throw Error("Cannot write " + folder + kSourceRecordName + ": " + std::strerror(errno));
    }
}

std::string makeTempSibling(const std::string& root, const std::string& name) {
    std::string templ = root + "." + name + ".XXXXXX";
    if (!::mkdtemp(templ.data())) throw Error("Cannot create a folder in " + root + ": " + std::strerror(errno));
    return withSlash(templ);
}

void removeTree(const std::string& folder) {
    std::error_code ec;
    fs::remove_all(fs::path(folder), ec);
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string tempRoot() {
    if (const char* dir = std::getenv("TAVIN_CACHE_DIR"); dir && *dir) return withSlash(dir);
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) return withSlash(xdg) + "tavin/dxml/";
    const char* home = std::getenv("HOME");
    return withSlash(home && *home ? home : "/tmp") + ".cache/tavin/dxml/";
}

std::string workFolderDirName(const std::string& documentPath) {
    std::string name = workFolderName(documentPath);
    if (!name.empty() && name.back() == '.') name.pop_back();
    if (name.empty() || name == "." || name == "..") return "_";
    return name;
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
            {partMask(parts.document), partMask(parts.relationships), "docprops/core.xml",
             partMask(parts.folder) + "media/*"});
    parts = findDocumentParts(folder);
    extract(documentPath, destFolder, callbacks, {partMask(parts.styles), partMask(parts.numbering)});
}

std::string openWorkFolder(const std::string& documentPath, const std::string& root, const ExtractCallbacks& callbacks) {
    const std::string base = withSlash(root);
    const std::string name = workFolderDirName(documentPath);
    const std::string folder = base + name + "/";
    const std::string record = sourceRecord(documentPath);
    if (recordMatches(folder, record)) return folder;

    std::error_code ec;
    fs::create_directories(base, ec);
    if (ec) throw Error("Cannot create " + base + ": " + ec.message());

    // A folder that is not one of ours is never removed: extract into it.
    if (isFolder(folder) && !hasRecord(folder)) {
        extractPackage(documentPath, folder, callbacks);
        writeRecord(folder, record);
        return folder;
    }

    const std::string fresh = makeTempSibling(base, name);
    try {
        extractPackage(documentPath, fresh, callbacks);
        writeRecord(fresh, record);
    } catch (...) {
        removeTree(fresh);
        throw;
    }
    const std::string target = base + name;
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (::rename(fresh.substr(0, fresh.size() - 1).c_str(), target.c_str()) == 0) return folder;
        if (errno != ENOTEMPTY && errno != EEXIST) break;
        // Another opener put the same extraction in place meanwhile.
        if (recordMatches(folder, record)) {
            removeTree(fresh);
            return folder;
        }
        // An outdated extraction of ours: move it aside, then remove it.
        if (!hasRecord(folder)) break;
        const std::string old = makeTempSibling(base, name + ".old");
        ::rmdir(old.substr(0, old.size() - 1).c_str());
        if (::rename(target.c_str(), old.substr(0, old.size() - 1).c_str()) == 0) removeTree(old);
    }
    const int err = errno;
    removeTree(fresh);
    throw Error("Cannot move the extracted package to " + folder + ": " + std::strerror(err));
}

}  // namespace tavin

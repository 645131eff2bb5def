// Work folders: where a document's package is extracted, and the cache of
// extractions under the temp root.
#pragma once

#include <functional>
#include <string>

namespace tavin {

// The root of all work folders, ending in "/": $TAVIN_CACHE_DIR if set,
// else $XDG_CACHE_HOME/tavin/dxml/, else ~/.cache/tavin/dxml/.
std::string tempRoot();

// The name of a document's work folder on disk: workFolderName without its
// trailing dot, or "_" where that would be empty, "." or "..".
std::string workFolderDirName(const std::string& documentPath);

// Callbacks that the caller may supply while a package is extracted.
struct ExtractCallbacks {
    std::function<void()> processMessages;
    std::function<void(const std::string& title, const std::string& text)> message;
};

// Extracts every entry of the package at documentPath into destFolder
// (created when missing), replacing files of the same names.
void extractPackage(const std::string& documentPath, const std::string& destFolder,
                    const ExtractCallbacks& callbacks = {});

// Extracts only what a conversion reads: the document, relationships,
// styles, numbering and core properties parts, and the pictures of
// word/media/.
void extractConversionParts(const std::string& documentPath, const std::string& destFolder,
                            const ExtractCallbacks& callbacks = {});

// The work folder of a document under root (ending in "/"), extracted and
// current. The folder records which file it was extracted from (absolute
// path, size, modification time); an extraction of the same file is reused,
// any other is replaced by a fresh one. Extraction goes into a temporary
// sibling that is renamed into place, so a concurrent opener never sees a
// half-extracted folder. Only folders holding that record are ever replaced;
// a folder without it is extracted into in place.
std::string openWorkFolder(const std::string& documentPath, const std::string& root,
                           const ExtractCallbacks& callbacks = {});

// The name of the record file inside a work folder.
inline constexpr const char* kSourceRecordName = ".tavin-source";

}  // namespace tavin

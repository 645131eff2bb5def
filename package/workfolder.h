// Work folders: where a document's package is extracted, and the cache of
// extractions under the temp root.
#pragma once

#include <functional>
#include <string>

namespace tavin {

// The root of all work folders, ending in "/": $TAVIN_CACHE_DIR if set,
// else $XDG_CACHE_HOME/tavin/dxml/, else ~/.cache/tavin/dxml/.
std::string tempRoot();

// The readable part of a work folder's name: workFolderName without its
// trailing dot, or "_" where that would be empty, "." or "..".
std::string workFolderDirName(const std::string& documentPath);

// The name of a document's work folder on disk: workFolderDirName (cut to
// 200 bytes), "-", and the first 8 hexadecimal digits of the SHA-256 of the
// document's absolute path, so that documents of one name in different
// folders never share a work folder.
std::string workFolderKey(const std::string& documentPath);

// Makes root (ending in "/") ready for work folders: creates what is
// missing of it mode 0700, makes it 0700 when it is ours, and refuses a
// root that is a link, not a folder, or not owned by the user. Hidden
// temporary siblings (".NAME.XXXXXX") of ours left in it for more than a day
// are removed.
void prepareTempRoot(const std::string& root);

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
// styles, numbering and core properties parts, the pictures of
// word/media/, the charts and diagrams of word/charts/ and word/diagrams/,
// and the settings, notes, comments, headers and footers the
// document names, with their relationships and pictures.
void extractConversionParts(const std::string& documentPath, const std::string& destFolder,
                            const ExtractCallbacks& callbacks = {});

// The work folder of a document under root (ending in "/"), extracted and
// current. The folder records which file it was extracted from (absolute
// path, size, modification time, inode, change time); an extraction of the
// same file is reused, any other is replaced by a fresh one. Extraction
// always goes into a new private temporary sibling that is renamed into
// place, so a concurrent opener never sees a half-extracted folder. Only a
// folder holding that record is ever reused or replaced: a folder, file or
// link of that name without it is left alone and the open fails. Anything
// but a regular file is refused before it is opened ("Not a regular file").
std::string openWorkFolder(const std::string& documentPath, const std::string& root,
                           const ExtractCallbacks& callbacks = {});

// Removes the temporary folders of extractions still under way, for a
// program that is being interrupted.
void removeUnfinishedWorkFolders();

// The name of the record file inside a work folder.
inline constexpr const char* kSourceRecordName = ".tavin-source";

}  // namespace tavin

// What a file handed to the converter is, when it is plainly no .docx
// package: read from its first and last bytes, before any extraction.
#pragma once

#include <string>

namespace tavin {

enum class FileKind {
    Package,        // a ZIP archive, or something the package reader must judge
    Empty,          // no bytes at all
    Encrypted,      // an OLE compound file holding an EncryptedPackage stream
    LegacyWord,     // an OLE compound file of Word 97-2003 (.doc)
    OpenDocument,   // a ZIP archive whose first entry names an OpenDocument type
    NotWord,        // anything else: text, pictures, other OLE files
};

// The kind of the regular file at path. A file that cannot be read is a
// Package: the reader then reports why.
FileKind fileKindOf(const std::string& path);

// The message for a kind other than Package, naming the file as name;
// empty for Package.
std::string fileKindMessage(FileKind kind, const std::string& name);

// fileKindMessage(fileKindOf(path), the file name of path): empty when the
// file may be a .docx package.
std::string notDocxMessage(const std::string& path);

}  // namespace tavin

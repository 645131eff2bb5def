#include "package/fileKind.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "core/fileio.h"

namespace tavin {

namespace {

// Reads up to size bytes at offset; fewer at the end of the file.
std::string readAt(int fd, off_t offset, std::size_t size) {
    std::string bytes(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, bytes.data() + got, size - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}

// A stream name as an OLE directory stores it: UTF-16 little-endian.
std::string utf16(std::string_view name) {
    std::string out;
    for (char c : name) {
        out += c;
        out += '\0';
    }
    return out;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

constexpr std::string_view kOleMagic("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
// A ZIP archive ends with its end-of-directory record within the last
// 64 KiB and 22 bytes.
constexpr std::size_t kZipTail = 65535 + 22;
// The OLE directory of a small file lies within its first megabytes.
constexpr std::size_t kOleScan = 8 << 20;

}  // namespace

FileKind fileKindOf(const std::string& path) {
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file) return FileKind::Package;
    const int fd = file.get();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return FileKind::Package;
    FileKind kind = FileKind::Package;
    const std::string head = readAt(fd, 0, 512);
    if (st.st_size == 0) {
        kind = FileKind::Empty;
    } else if (head.compare(0, kOleMagic.size(), kOleMagic) == 0) {
        // The stream names stand in the directory, whose first sector the
        // header names (sector size 2^shift, sector n at (n + 1) << shift);
        // small files are read whole.
        std::string body = readAt(fd, 0, static_cast<std::size_t>(std::min<off_t>(st.st_size, kOleScan)));
        if (head.size() >= 0x34) {
            auto le = [&](std::size_t at, int bytes) {
                std::uint32_t v = 0;
                for (int i = bytes - 1; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(head[at + i]);
                return v;
            };
            const std::uint32_t shift = le(0x1E, 2);
            const std::uint32_t first = le(0x30, 4);
            if (shift >= 7 && shift <= 16 && first < 0xFFFFFFFA) {
                const off_t at = static_cast<off_t>(first + 1) << shift;
                if (at >= static_cast<off_t>(kOleScan) && at < st.st_size) body += readAt(fd, at, 65536);
            }
        }
        if (contains(body, utf16("EncryptedPackage"))) {
            kind = FileKind::Encrypted;
        } else if (contains(body, utf16("WordDocument"))) {
            kind = FileKind::LegacyWord;
        } else {
            kind = FileKind::NotWord;
        }
    } else if (head.compare(0, 4, "PK\x03\x04") == 0) {
        // OpenDocument files begin with an entry "mimetype", stored, whose
        // text names the type.
        if (head.size() > 38 && head.compare(30, 8, "mimetype") == 0 &&
            contains(head.substr(38, 80), "application/vnd.oasis.opendocument")) {
            kind = FileKind::OpenDocument;
        }
    } else {
        const off_t tail = std::max<off_t>(0, st.st_size - static_cast<off_t>(kZipTail));
        const std::string end = readAt(fd, tail, kZipTail);
        if (!contains(end, "PK\x05\x06")) kind = FileKind::NotWord;
    }
    return kind;
}

std::string fileKindMessage(FileKind kind, const std::string& name) {
    switch (kind) {
    case FileKind::Package:
        return {};
    case FileKind::Empty:
        return name + " is empty";
    case FileKind::Encrypted:
        return name + " is encrypted (password-protected); Tavin cannot open it";
    case FileKind::LegacyWord:
        return name + " is a Word 97-2003 document (.doc), not .docx";
    case FileKind::OpenDocument:
        return name + " is an OpenDocument file, not .docx";
    case FileKind::NotWord:
        return name + " is not a Word document (.docx)";
    }
    return {};
}

std::string notDocxMessage(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return fileKindMessage(fileKindOf(path), name);
}

}  // namespace tavin

// Pictures of a finished page: found by its img tags, read from the package.
#include "docx2html/pictures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <set>

#include "core/fileio.h"
#include "core/uStr.h"
#include "docx2html/metafiles.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// No picture a page shows is larger; a bigger file is left out.
constexpr off_t kMaxPictureBytes = off_t(256) << 20;

bool startsWith(std::string_view bytes, std::string_view prefix) { return bytes.substr(0, prefix.size()) == prefix; }

struct ImgSrc {
    std::size_t valueStart, valueEnd;  // the value's bytes, without quotes
    bool quoted;
};

// The src attributes of the img tags from the body on.
std::vector<ImgSrc> imgSources(std::string_view page) {
    std::vector<ImgSrc> out;
    std::size_t pos = page.find("<body");
    if (pos == std::string_view::npos) return out;
    while ((pos = page.find('<', pos)) != std::string_view::npos) {
        const std::size_t gt = page.find('>', pos);
        if (gt == std::string_view::npos) break;
        const std::string_view tag = page.substr(pos, gt - pos);
        pos = gt;
        if (tag.size() < 5 || lowerCase(tag.substr(1, 3)) != "img" ||
            !(tag[4] == ' ' || tag[4] == '\t' || tag[4] == '\n' || tag[4] == '\r'))
            continue;
        const std::string lower = lowerCase(tag);
        for (std::size_t at = lower.find("src=", 4); at != std::string::npos; at = lower.find("src=", at + 4)) {
            const char before = lower[at - 1];
            if (before != ' ' && before != '\t' && before != '\n' && before != '\r') continue;
            std::size_t start = at + 4, end;
            const bool quoted = start < lower.size() && (lower[start] == '"' || lower[start] == '\'');
            if (quoted) {
                end = lower.find(lower[start], start + 1);
                ++start;
                if (end == std::string::npos) break;
            } else {
                end = start;
                while (end < lower.size() && lower[end] != ' ' && lower[end] != '\t' && lower[end] != '\n' && lower[end] != '\r') ++end;
                // "/>" ends an empty-element tag.
                if (end == lower.size() && end > start && lower[end - 1] == '/') --end;
            }
            const std::size_t base = static_cast<std::size_t>(tag.data() - page.data());
            out.push_back({base + start, base + end, quoted});
            break;
        }
    }
    return out;
}

std::string decodeAmpersands(std::string_view value) {
    std::string out(value);
    for (std::size_t at = out.find("&amp;"); at != std::string::npos; at = out.find("&amp;", at + 1))
        out.erase(at + 1, 4);
    return out;
}

std::string percentDecoded(std::string_view value) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '%' && i + 2 < value.size() && hex(value[i + 1]) >= 0 && hex(value[i + 2]) >= 0) {
            out += static_cast<char>(hex(value[i + 1]) * 16 + hex(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

// An address with a scheme ("http:", "data:") names nothing in the package.
bool hasScheme(std::string_view address) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos) return false;
    const std::size_t slash = address.find('/');
    return slash == std::string_view::npos || colon < slash;
}

// The folder of partName (components joined by "/") under folder, opened one
// component at a time without following a link, and the name of the last
// component in it; no descriptor when there is none.
UniqueFd openPartFolder(const std::string& folder, const std::string& partName, std::string& leaf) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::size_t start = 0;
    while (dir) {
        const std::size_t slash = partName.find('/', start);
        if (slash == std::string::npos) {
            leaf = partName.substr(start);
            return dir;
        }
        const std::string piece = partName.substr(start, slash - start);
        dir = UniqueFd(::openat(dir.get(), piece.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        start = slash + 1;
    }
    return dir;
}

bool writeAllTo(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

std::string base64(std::string_view bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += digits[(v >> 6) & 63];
        out += digits[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += digits[(v >> 18) & 63];
        out += digits[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? digits[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

bool readPackageFile(const std::string& folder, const std::string& partName, std::string* bytes) {
    std::string leaf;
    const UniqueFd dir = openPartFolder(folder, partName, leaf);
    if (!dir || leaf.empty()) return false;
    UniqueFd file(::openat(dir.get(), leaf.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!file || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxPictureBytes) return false;
    if (!bytes) return true;
    bytes->clear();
    bytes->reserve(static_cast<std::size_t>(st.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (bytes->size() + static_cast<std::size_t>(n) > static_cast<std::size_t>(kMaxPictureBytes)) return false;
        bytes->append(buffer, static_cast<std::size_t>(n));
    }
}

bool writeNewPackageFile(const std::string& folder, const std::string& partName, std::string_view bytes) {
    std::string leaf;
    const UniqueFd dir = openPartFolder(folder, partName, leaf);
    if (!dir || leaf.empty()) return false;
    // Written under a name of its own first, then linked at its name, which
    // fails when that is taken: no conversion at the same time sees it half
    // written, and nothing there is replaced or followed.
    static std::atomic<unsigned> serial{0};
    const std::string temporary = "." + leaf + "." + std::to_string(::getpid()) + "." + std::to_string(serial++) + ".tmp";
    UniqueFd file(::openat(dir.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file) return false;
    const bool written = writeAllTo(file.get(), bytes) && file.close() == 0 &&
                         ::linkat(dir.get(), temporary.c_str(), dir.get(), leaf.c_str(), 0) == 0;
    ::unlinkat(dir.get(), temporary.c_str(), 0);
    return written;
}

std::string imageTypeOf(std::string_view b) {
    if (startsWith(b, "\x89PNG\r\n\x1a\n")) return "image/png";
    if (startsWith(b, "\xFF\xD8\xFF")) return "image/jpeg";
    if (startsWith(b, "GIF87a") || startsWith(b, "GIF89a")) return "image/gif";
    if (startsWith(b, "BM") && b.size() > 14) return "image/bmp";
    if (startsWith(b, "RIFF") && b.size() > 12 && b.substr(8, 4) == "WEBP") return "image/webp";
    if (startsWith(b, std::string_view("II*\0", 4)) || startsWith(b, std::string_view("MM\0*", 4))) return "image/tiff";
    if (startsWith(b, std::string_view("\0\0\1\0", 4)) && b.size() > 6) return "image/vnd.microsoft.icon";
    if (b.size() > 44 && startsWith(b, std::string_view("\1\0\0\0", 4)) && b.substr(40, 4) == " EMF") return "image/emf";
    if (startsWith(b, "\xD7\xCD\xC6\x9A") || startsWith(b, std::string_view("\1\0\x09\0", 4)) ||
        startsWith(b, std::string_view("\2\0\x09\0", 4)))
        return "image/wmf";
    return {};
}

std::string pictureFilePart(const std::string& packageFolder, const std::string& documentFolder,
                            const std::string& address, std::string* bytes) {
    if (hasScheme(address)) return {};
    const std::string part = resolvePartName(documentFolder, address);
    if (!part.empty() && readPackageFile(packageFolder, part, bytes)) return part;
    const std::string decoded = resolvePartName(documentFolder, percentDecoded(address));
    if (!decoded.empty() && decoded != part && readPackageFile(packageFolder, decoded, bytes)) return decoded;
    return {};
}

std::vector<std::string> pictureAddresses(std::string_view page) {
    std::vector<std::string> out;
    std::set<std::string> seen;
    for (const ImgSrc& src : imgSources(page)) {
        std::string value = decodeAmpersands(page.substr(src.valueStart, src.valueEnd - src.valueStart));
        if (!value.empty() && seen.insert(value).second) out.push_back(std::move(value));
    }
    return out;
}

std::vector<PictureFile> pagePictures(const std::string& packageFolder, const std::string& documentFolder,
                                      std::string_view page, bool readBytes, const std::vector<std::string>& converted) {
    std::vector<PictureFile> out;
    for (std::string& address : pictureAddresses(page)) {
        if (hasScheme(address)) continue;
        PictureFile picture;
        if (pictureFilePart(packageFolder, documentFolder, address, readBytes ? &picture.bytes : nullptr).empty())
            continue;
        picture.type = imageTypeOf(picture.bytes);
        // SVG only as the conversion wrote it, never the document's own.
        if (picture.type.empty() && std::find(converted.begin(), converted.end(), address) != converted.end() &&
            plausibleSvg(picture.bytes))
            picture.type = "image/svg+xml";
        picture.name = std::move(address);
        out.push_back(std::move(picture));
    }
    return out;
}

std::string embedPictures(std::string_view page, const std::vector<PictureFile>& pictures) {
    std::string out;
    out.reserve(page.size());
    std::size_t copied = 0;
    // A policy that allows only pictures beside the page allows these too.
    const std::size_t body = page.find("<body");
    const std::size_t policy = page.substr(0, body).find("img-src");
    if (policy != std::string_view::npos && body != std::string_view::npos) {
        out.append(page.substr(0, policy + 7));
        out += " data:";
        copied = policy + 7;
    }
    for (const ImgSrc& src : imgSources(page)) {
        const std::string value = decodeAmpersands(page.substr(src.valueStart, src.valueEnd - src.valueStart));
        for (const PictureFile& picture : pictures) {
            if (picture.name != value || picture.type.empty()) continue;
            out.append(page.substr(copied, src.valueStart - copied));
            // An unquoted value could not hold the padding's "=".
            if (!src.quoted) out += '"';
            out += "data:" + picture.type + ";base64," + base64(picture.bytes);
            if (!src.quoted) out += '"';
            copied = src.valueEnd;
            break;
        }
    }
    out.append(page.substr(copied));
    return out;
}

}  // namespace tavin

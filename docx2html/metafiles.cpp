// EMF, WMF and TIFF pictures converted in a child process (metafiles.h).
#include "docx2html/metafiles.h"

#include <emf2svg.h>
#include <fcntl.h>
#include <libwmf/api.h>
#include <libwmf/svg.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/fileio.h"

namespace tavin {

namespace {

// A picture's conversion takes no longer, and its child process no more
// memory beyond what it starts with.
constexpr int kSecondsPerPicture = 5;
constexpr std::uint64_t kChildMemoryBytes = std::uint64_t(2) << 30;
// A TIFF picture of more pixels is not converted (its raster would need
// four bytes a pixel).
constexpr std::uint64_t kMaxTiffPixels = std::uint64_t(64) << 20;
// The largest size in pixels a metafile's SVG is given.
constexpr unsigned kMaxSide = 20000;

std::uint32_t le32(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint32_t le16(std::string_view b, std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8;
}

// ---------------------------------------------------------------------------
// Header checks: what the libraries are given is at least a whole picture
// by its own header.

// An EMF header record (type 1, " EMF" at 40) whose own size and the size
// it declares for the whole picture lie within the bytes, with at least
// one record after it.
bool soundEmf(std::string_view b) {
    if (b.size() < 100 || le32(b, 0) != 1 || b.substr(40, 4) != " EMF") return false;
    const std::uint32_t headerSize = le32(b, 4), total = le32(b, 48);
    return headerSize >= 88 && headerSize % 4 == 0 && headerSize < b.size() && total > headerSize && total <= b.size();
}

// A WMF header (after the optional placeable one) of the standard size,
// whose declared picture size and largest record lie within the bytes.
bool soundWmf(std::string_view b) {
    std::size_t at = 0;
    if (b.size() >= 22 && le32(b, 0) == 0x9AC6CDD7u) at = 22;
    if (b.size() < at + 18) return false;
    const std::uint32_t type = le16(b, at), headerWords = le16(b, at + 2), version = le16(b, at + 4);
    const std::uint64_t totalBytes = std::uint64_t(le32(b, at + 6)) * 2, maxRecord = std::uint64_t(le32(b, at + 12)) * 2;
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x100 || version == 0x300) && totalBytes >= 18 &&
           totalBytes <= b.size() - at && maxRecord <= totalBytes;
}

// ---------------------------------------------------------------------------
// The converters, run in the child.

std::optional<std::string> emfToSvg(std::string_view b) {
    if (!soundEmf(b)) return std::nullopt;
    std::string input(b);
    generatorOptions options{};
    char nameSpace[] = "";
    options.nameSpace = nameSpace;
    options.svgDelimiter = true;
    options.emfplus = true;
    char* out = nullptr;
    std::size_t length = 0;
    const int ok = emf2svg(input.data(), input.size(), &out, &length, &options);
    std::optional<std::string> svg;
    if (ok && out) svg.emplace(out, length);
    std::free(out);
    return svg;
}

// libwmf's output stream: into a string, refused past the size limit.
struct WmfOutput {
    std::string text;
    bool full = false;
};
int wmfPuts(char* s, void* context) {
    auto* out = static_cast<WmfOutput*>(context);
    const std::size_t n = std::strlen(s);
    if (out->text.size() + n > kMaxConvertedBytes) {
        out->full = true;
        return EOF;
    }
    out->text.append(s, n);
    return 0;
}
int wmfReset(void* context) {
    static_cast<WmfOutput*>(context)->text.clear();
    return 0;
}

std::optional<std::string> wmfToSvg(std::string_view b) {
    if (!soundWmf(b)) return std::nullopt;
    std::vector<unsigned char> input(b.begin(), b.end());
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    wmfAPI* api = nullptr;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None) {
        if (api) wmf_api_destroy(api);
        return std::nullopt;
    }
    WmfOutput output;
    wmfStream stream{&output, wmfPuts, wmfReset};
    wmf_svg_t* device = WMF_SVG_GetData(api);
    device->out = &stream;
    device->flags |= WMF_SVG_INLINE_IMAGES;
    wmfD_Rect box{};
    unsigned width = 0, height = 0;
    bool ok = wmf_mem_open(api, input.data(), static_cast<long>(input.size())) == wmf_E_None &&
              wmf_scan(api, 0, &box) == wmf_E_None &&
              wmf_display_size(api, &width, &height, 96, 96) == wmf_E_None && width > 0 && height > 0 &&
              width <= kMaxSide && height <= kMaxSide;
    if (ok) {
        device->bbox = box;
        device->width = width;
        device->height = height;
        ok = wmf_play(api, 0, &box) == wmf_E_None && !output.full;
    }
    wmf_mem_close(api);
    wmf_api_destroy(api);
    if (!ok) return std::nullopt;
    return std::move(output.text);
}

// libtiff's reads from the bytes in memory.
struct TiffInput {
    std::string_view bytes;
    std::uint64_t at = 0;
};
tmsize_t tiffRead(thandle_t h, void* buffer, tmsize_t size) {
    auto* in = static_cast<TiffInput*>(h);
    if (size < 0 || in->at > in->bytes.size()) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(static_cast<std::uint64_t>(size), in->bytes.size() - in->at);
    std::memcpy(buffer, in->bytes.data() + in->at, n);
    in->at += n;
    return static_cast<tmsize_t>(n);
}
tmsize_t tiffWrite(thandle_t, void*, tmsize_t) { return 0; }
toff_t tiffSeek(thandle_t h, toff_t offset, int whence) {
    auto* in = static_cast<TiffInput*>(h);
    const std::uint64_t base = whence == SEEK_CUR ? in->at : whence == SEEK_END ? in->bytes.size() : 0;
    in->at = base + offset;
    return in->at;
}
int tiffClose(thandle_t) { return 0; }
toff_t tiffSize(thandle_t h) { return static_cast<TiffInput*>(h)->bytes.size(); }
int tiffMap(thandle_t, void**, toff_t*) { return 0; }
void tiffUnmap(thandle_t, void*, toff_t) {}

std::optional<std::string> tiffToPng(std::string_view b) {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    TiffInput input{b};
    TIFF* tif = TIFFClientOpen("picture", "rm", &input, tiffRead, tiffWrite, tiffSeek, tiffClose, tiffSize, tiffMap,
                               tiffUnmap);
    if (!tif) return std::nullopt;
    std::uint32_t width = 0, height = 0;
    char message[1024] = "";
    std::vector<std::uint32_t> raster;
    bool ok = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) == 1 && TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) == 1 &&
              width > 0 && height > 0 && std::uint64_t(width) * height <= kMaxTiffPixels && TIFFRGBAImageOK(tif, message);
    if (ok) {
        raster.resize(std::size_t(width) * height);
        ok = TIFFReadRGBAImageOriented(tif, width, height, raster.data(), ORIENTATION_TOPLEFT, 0) == 1;
    }
    TIFFClose(tif);
    if (!ok) return std::nullopt;
    // The raster holds each pixel as R, G, B, A in the bytes of a word from
    // the lowest; as bytes in memory that is RGBA on a little-endian machine.
    std::vector<unsigned char> rgba(raster.size() * 4);
    for (std::size_t i = 0; i < raster.size(); ++i) {
        rgba[i * 4] = static_cast<unsigned char>(TIFFGetR(raster[i]));
        rgba[i * 4 + 1] = static_cast<unsigned char>(TIFFGetG(raster[i]));
        rgba[i * 4 + 2] = static_cast<unsigned char>(TIFFGetB(raster[i]));
        rgba[i * 4 + 3] = static_cast<unsigned char>(TIFFGetA(raster[i]));
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr) || size > kMaxConvertedBytes)
        return std::nullopt;
    std::string png(size, '\0');
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, rgba.data(), 0, nullptr)) return std::nullopt;
    png.resize(size);
    return png;
}

// ---------------------------------------------------------------------------
// The child process

using Converter = std::optional<std::string> (*)(std::string_view);

bool writeAllTo(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Whether a sanitizer's runtime is built in: it reserves address space of
// its own, so the child's is not limited.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The child's address space may grow this much past what it inherits.
void limitChildMemory() {
    if (kSanitized) return;
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    unsigned long long pages = 0;
    if (statm) {
        if (std::fscanf(statm, "%llu", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    const auto limit = static_cast<rlim_t>(pages * static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE)) +
                                           kChildMemoryBytes);
    const rlimit lim{limit, limit};
    ::setrlimit(RLIMIT_AS, &lim);
}

[[noreturn]] void runChild(Converter convert, std::string_view input, int fd) {
    ::alarm(kSecondsPerPicture);
    limitChildMemory();
    // The libraries' complaints about a bad picture are not the program's
    // to print.
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (quiet >= 0) {
        ::dup2(quiet, STDOUT_FILENO);
        ::dup2(quiet, STDERR_FILENO);
    }
    bool ok = false;
    try {
        const std::optional<std::string> out = convert(input);
        if (out && out->size() <= kMaxConvertedBytes) {
            const std::uint64_t size = out->size();
            ok = writeAllTo(fd, reinterpret_cast<const char*>(&size), sizeof size) && writeAllTo(fd, out->data(), out->size());
        }
    } catch (...) {
        ok = false;
    }
    ::_exit(ok ? 0 : 1);
}

// What a child sends: the size of its output (8 bytes), then the output.
struct ChildMessage {
    std::string got;
    std::uint64_t expected = UINT64_MAX;

    bool complete() const { return expected != UINT64_MAX && got.size() == expected; }
    // false when the child sends more than it said, or more than any output.
    bool add(const char* bytes, std::size_t n) {
        got.append(bytes, n);
        if (expected == UINT64_MAX && got.size() >= sizeof expected) {
            std::memcpy(&expected, got.data(), sizeof expected);
            if (expected > kMaxConvertedBytes) return false;
            got.erase(0, sizeof expected);
        }
        return expected == UINT64_MAX || got.size() <= expected;
    }
};

// What the child sent, read until it has sent it all, ended, or run out of
// time; nothing when it sent too much or too little.
std::optional<std::string> readFromChild(int fd, pid_t pid, bool& exited, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(kSecondsPerPicture + 1);
    ChildMessage message;
    char buffer[1 << 16];
    while (!message.complete() && std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, 100);
        if (ready < 0 && errno != EINTR) return std::nullopt;
        if (ready <= 0) {
            // Another child process may hold the pipe open: this one's end
            // is seen by waiting for it, and what it wrote before it ended
            // is read first.
            if (exited) break;
            exited = ::waitpid(pid, &status, WNOHANG) == pid;
            continue;
        }
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || !message.add(buffer, static_cast<std::size_t>(n))) return std::nullopt;
    }
    if (!message.complete()) return std::nullopt;
    return std::move(message.got);
}

std::optional<std::string> inChild(Converter convert, std::string_view input) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
    UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    const pid_t pid = ::fork();
    if (pid < 0) return std::nullopt;
    if (pid == 0) runChild(convert, input, writeEnd.get());
    writeEnd.reset();
    bool exited = false;
    int status = 0;
    std::optional<std::string> out = readFromChild(readEnd.get(), pid, exited, status);
    if (!exited) {
        if (!out) ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return out;
}

std::string_view skipSpace(std::string_view t) {
    while (!t.empty() && (t[0] == ' ' || t[0] == '\t' || t[0] == '\r' || t[0] == '\n')) t.remove_prefix(1);
    return t;
}

// The text after a leading construct from open to close ("<?" to "?>"),
// or the text itself when it does not start with one.
std::string_view skipConstruct(std::string_view t, std::string_view open, std::string_view close, bool& skipped) {
    skipped = false;
    if (t.substr(0, open.size()) != open) return t;
    const std::size_t end = t.find(close, open.size());
    if (end == std::string_view::npos) return {};
    skipped = true;
    return t.substr(end + close.size());
}

// Where the svg root element starts: after the XML declaration, comments
// and a doctype; npos when something else comes first.
std::size_t svgRootAt(std::string_view bytes) {
    std::string_view t = skipSpace(bytes);
    for (bool skipped = true; skipped && !t.empty();) {
        t = skipConstruct(t, "<?", "?>", skipped);
        if (!skipped) t = skipConstruct(t, "<!--", "-->", skipped);
        if (!skipped) t = skipConstruct(t, "<!DOCTYPE", ">", skipped);
        t = skipSpace(t);
    }
    if (t.substr(0, 4) != "<svg" || t.size() < 5 || (t[4] != ' ' && t[4] != '>' && t[4] != '\n' && t[4] != '\r' && t[4] != '\t'))
        return std::string_view::npos;
    return static_cast<std::size_t>(t.data() - bytes.data());
}

// The value of the attribute name (" width=") of a start tag, or "".
std::string_view tagValue(std::string_view tag, std::string_view name) {
    std::size_t at = tag.find(name);
    if (at == std::string_view::npos || at + name.size() >= tag.size()) return {};
    at += name.size();
    const char quote = tag[at];
    if (quote != '"' && quote != '\'') return {};
    const std::size_t end = tag.find(quote, at + 1);
    return end == std::string_view::npos ? std::string_view() : tag.substr(at + 1, end - at - 1);
}

bool plainNumber(std::string_view v) {
    return !v.empty() && v.find_first_not_of("0123456789.") == std::string_view::npos;
}

// The SVG as an img element shows it: in the SVG namespace (libwmf's root
// element names none, and a web engine shows such a document as no
// picture), with the namespaces it uses declared, and scaled to the img element's size, as the document
// stretches the picture to the size it gives it.
std::string fittedSvg(std::string svg) {
    const std::size_t root = svgRootAt(svg);
    const std::size_t gt = svg.find('>', root);
    if (root == std::string::npos || gt == std::string::npos) return svg;
    const std::string_view tag = std::string_view(svg).substr(root, gt - root);
    std::string added;
    if (tag.find(" xmlns=") == std::string_view::npos && tag.find("\txmlns=") == std::string_view::npos &&
        tag.find("\nxmlns=") == std::string_view::npos)
        added += " xmlns=\"http://www.w3.org/2000/svg\"";
    // libwmf's pictures link their raster images with xlink:href, a prefix
    // it declares nowhere: the document would not be well-formed.
    if (tag.find("xmlns:xlink=") == std::string_view::npos && svg.find("xlink:", gt) != std::string::npos)
        added += " xmlns:xlink=\"http://www.w3.org/1999/xlink\"";
    const std::string_view width = tagValue(tag, " width="), height = tagValue(tag, " height=");
    if (tag.find("viewBox=") == std::string_view::npos && plainNumber(width) && plainNumber(height))
        added += " viewBox=\"0 0 " + std::string(width) + " " + std::string(height) + "\"";
    if (tag.find("preserveAspectRatio=") == std::string_view::npos) added += " preserveAspectRatio=\"none\"";
    svg.insert(root + 4, added);
    return svg;
}

}  // namespace

bool plausibleSvg(std::string_view bytes) {
    const std::size_t root = svgRootAt(bytes);
    if (root == std::string_view::npos) return false;
    std::string_view t = bytes.substr(root);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t' || t.back() == '\r' || t.back() == '\n')) t.remove_suffix(1);
    return t.size() >= 6 && t.substr(t.size() - 6) == "</svg>";
}

bool convertibleType(std::string_view type) {
    return type == "image/emf" || type == "image/wmf" || type == "image/tiff";
}

std::optional<ConvertedPicture> convertPicture(std::string_view type, std::string_view bytes) {
    if (bytes.size() > kMaxConvertedBytes || !convertibleType(type)) return std::nullopt;
    const bool tiff = type == "image/tiff";
    std::optional<std::string> out = inChild(tiff ? tiffToPng : type == "image/emf" ? emfToSvg : wmfToSvg, bytes);
    if (!out || out->empty()) return std::nullopt;
    if (tiff) {
        if (out->compare(0, 8, "\x89PNG\r\n\x1a\n") != 0) return std::nullopt;
        return ConvertedPicture{std::move(*out), "image/png"};
    }
    if (!plausibleSvg(*out)) return std::nullopt;
    std::string svg = fittedSvg(std::move(*out));
    if (svg.size() > kMaxConvertedBytes) return std::nullopt;
    return ConvertedPicture{std::move(svg), "image/svg+xml"};
}

}  // namespace tavin

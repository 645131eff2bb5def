#include "package/zip.h"

#include "core/fileio.h"
#include "core/uStr.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

namespace tavin {

namespace {

constexpr std::uint32_t kSigCentral = 0x02014B50;
constexpr std::uint32_t kSigLocal = 0x04034B50;
constexpr std::uint32_t kSigEnd = 0x06054B50;
constexpr std::uint32_t kSigZip64End = 0x06064B50;
constexpr std::uint32_t kSigZip64Locator = 0x07064B50;

constexpr std::int64_t kEndRecordSize = 22;
constexpr std::int64_t kEndSearchSize = kEndRecordSize + 65535;
constexpr std::int64_t kExeScanStart = 14000;
constexpr std::int64_t kScanTick = 10240;

constexpr std::size_t kInputPiece = 64 * 1024;
constexpr std::size_t kOutputPiece = 256 * 1024;

const char* const kMsgIncomplete = "Incomplete Zip File";
const char* const kMsgNotZip = "Not a valid zip file!";
const char* const kMsgPremature = "Premature end of file reached";
const char* const kMsgInflate = "error";
const char* const kMsgCantWrite = "Cant write uncompressed file";

std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t le64(const unsigned char* p) {
    return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}

// Reads up to n bytes at off; fewer only at the end of the file or on error.
std::size_t preadFull(int fd, void* buf, std::size_t n, std::int64_t off) {
    if (off < 0) return 0;
    auto* out = static_cast<unsigned char*>(buf);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd, out + done, n - done, static_cast<off_t>(off + static_cast<std::int64_t>(done)));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<std::size_t>(r);
    }
    return done;
}


// An offset taken from the archive, as a file position; anything past the
// signed range lies beyond every file.
std::int64_t toPos(std::uint64_t v) {
    return v > static_cast<std::uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<std::int64_t>(v);
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool endsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

std::string slashes(std::string s) {
    std::replace(s.begin(), s.end(), '\\', '/');
    return s;
}

std::string lowered(std::string s) {
    for (char& c : s) c = lowerAscii(c);
    return s;
}

// An entry name as it may appear in a message: control bytes shown as "?".
std::string printable(std::string s) {
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 0x20) c = '?';
    return s;
}

// A path relative to the destination that stays inside it.
bool staysInside(std::string_view rel) {
    if (rel.find('\0') != std::string_view::npos) return false;
    std::size_t start = 0;
    while (start <= rel.size()) {
        std::size_t end = rel.find('/', start);
        if (end == std::string_view::npos) end = rel.size();
        if (rel.substr(start, end - start) == "..") return false;
        start = end + 1;
    }
    return true;
}

void splitName(const std::string& stored, TZipHeaderInfo& e) {
    std::string name = slashes(stored);
    std::size_t cut = name.rfind('/');
    if (cut == std::string::npos) {
        e.directory.clear();
        e.fileName = name;
    } else {
        e.directory = name.substr(0, cut + 1);
        e.fileName = name.substr(cut + 1);
    }
}

// Applies the ZIP64 block (tag 0x0001) of an extra field to the header
// fields that were saturated.
void applyZip64(const unsigned char* extra, std::size_t len, TZipHeaderInfo& e) {
    std::size_t i = 0;
    while (i + 4 <= len) {
        std::uint16_t tag = le16(extra + i);
        std::size_t size = le16(extra + i + 2);
        std::size_t data = i + 4;
        std::size_t end = std::min(len, data + size);
        if (tag == 0x0001) {
            TZip64Info z;
            std::size_t p = data;
            auto take64 = [&](std::optional<std::uint64_t>& field) {
                if (p + 8 > end) return false;
                field = le64(extra + p);
                p += 8;
                return true;
            };
            bool ok = true;
            if (e.uncompressedSize == 0xFFFFFFFFu) ok = take64(z.uncompressedSize);
            if (ok && e.compressedSize == 0xFFFFFFFFu) ok = take64(z.compressedSize);
            if (ok && e.localHeaderOffset == 0xFFFFFFFFu) ok = take64(z.localHeaderOffset);
            if (ok && e.diskNumberStart == 0xFFFFu && p + 4 <= end) z.diskNumberStart = le32(extra + p);
            if (z.uncompressedSize) e.uncompressedSize = *z.uncompressedSize;
            if (z.compressedSize) e.compressedSize = *z.compressedSize;
            if (z.localHeaderOffset) e.localHeaderOffset = *z.localHeaderOffset;
            if (z.diskNumberStart) e.diskNumberStart = *z.diskNumberStart;
            e.zip64 = z;
            return;
        }
        i = data + size;
    }
}

// Sequential reading through a buffer, by absolute position.
class Reader {
public:
    Reader(int fd, std::int64_t size) : fd_(fd), size_(size), buf_(64 * 1024) {}
    std::int64_t tell() const { return pos_; }
    void seek(std::int64_t pos) { pos_ = std::max<std::int64_t>(0, pos); }

    // False when fewer than n bytes are left; the position then is unspecified.
    bool read(void* dst, std::size_t n) {
        auto* out = static_cast<unsigned char*>(dst);
        if (pos_ > size_ || static_cast<std::uint64_t>(size_ - pos_) < n) return false;
        while (n > 0) {
            if (pos_ < bufStart_ || pos_ >= bufStart_ + static_cast<std::int64_t>(bufLen_)) {
                if (n >= buf_.size()) {
                    std::size_t got = preadFull(fd_, out, n, pos_);
                    pos_ += static_cast<std::int64_t>(got);
                    return got == n;
                }
                bufStart_ = pos_;
                bufLen_ = preadFull(fd_, buf_.data(), buf_.size(), pos_);
                if (bufLen_ == 0) return false;
            }
            std::size_t at = static_cast<std::size_t>(pos_ - bufStart_);
            std::size_t take = std::min(n, bufLen_ - at);
            std::memcpy(out, buf_.data() + at, take);
            out += take;
            n -= take;
            pos_ += static_cast<std::int64_t>(take);
        }
        return true;
    }

    // Reads up to n bytes into s; returns false when fewer were there.
    bool readString(std::string& s, std::size_t n) {
        std::int64_t left = std::max<std::int64_t>(0, size_ - pos_);
        std::size_t avail = std::min<std::size_t>(n, static_cast<std::size_t>(std::min<std::int64_t>(left, INT32_MAX)));
        s.resize(avail);
        if (avail > 0 && !read(s.data(), avail)) {
            s.clear();
            return false;
        }
        return avail == n;
    }

private:
    int fd_;
    std::int64_t size_;
    std::vector<unsigned char> buf_;
    std::int64_t bufStart_ = 0;
    std::size_t bufLen_ = 0;
    std::int64_t pos_ = 0;
};

// One central header at the reader's position. On failure the position is
// back at the header start.
bool readCentral(Reader& r, TZipHeaderInfo& e) {
    std::int64_t start = r.tell();
    unsigned char h[46];
    if (!r.read(h, sizeof h) || le32(h) != kSigCentral) {
        r.seek(start);
        return false;
    }
    e = TZipHeaderInfo{};
    e.versionMadeBy = le16(h + 4);
    e.versionNeeded = le16(h + 6);
    e.flags = le16(h + 8);
    e.method = le16(h + 10);
    e.dateTime = validateDosDateTime(le32(h + 12));
    e.crc32 = le32(h + 16);
    e.compressedSize = le32(h + 20);
    e.uncompressedSize = le32(h + 24);
    e.nameLength = le16(h + 28);
    e.extraLength = le16(h + 30);
    e.commentLength = le16(h + 32);
    e.diskNumberStart = le16(h + 34);
    e.internalAttributes = le16(h + 36);
    e.externalAttributes = le32(h + 38);
    e.localHeaderOffset = le32(h + 42);
    e.centralOffset = start;

    std::string name;
    if (!r.readString(name, e.nameLength)) {
        r.seek(start);
        return false;
    }
    splitName(name, e);
    // The extra field and comment may run short at the end of the file; the
    // next header then fails to read.
    std::string extra;
    r.readString(extra, e.extraLength);
    applyZip64(reinterpret_cast<const unsigned char*>(extra.data()), extra.size(), e);
    r.readString(e.comment, e.commentLength);
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------
// Dates

namespace {

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

}  // namespace

std::uint32_t validateDosDateTime(std::uint32_t dateTime) {
    unsigned sec2 = dateTime & 31;
    unsigned min = (dateTime >> 5) & 63;
    unsigned hour = (dateTime >> 11) & 31;
    unsigned day = (dateTime >> 16) & 31;
    unsigned month = (dateTime >> 21) & 15;
    unsigned year = (dateTime >> 25) & 127;
    sec2 = std::min(sec2, 29u);
    min = std::min(min, 59u);
    hour = std::min(hour, 23u);
    month = std::clamp(month, 1u, 12u);
    year = std::min(year, 119u);
    day = std::clamp(day, 1u, static_cast<unsigned>(daysInMonth(static_cast<int>(year) + 1980, static_cast<int>(month))));
    return sec2 | (min << 5) | (hour << 11) | (day << 16) | (month << 21) | (year << 25);
}

std::int64_t dosDateTimeToUnix(std::uint32_t dateTime) {
    std::uint32_t v = validateDosDateTime(dateTime);
    std::tm tm{};
    tm.tm_sec = static_cast<int>((v & 31) * 2);
    tm.tm_min = static_cast<int>((v >> 5) & 63);
    tm.tm_hour = static_cast<int>((v >> 11) & 31);
    tm.tm_mday = static_cast<int>((v >> 16) & 31);
    tm.tm_mon = static_cast<int>((v >> 21) & 15) - 1;
    tm.tm_year = static_cast<int>((v >> 25) & 127) + 80;
    tm.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&tm));
}

bool TZipHeaderInfo::isSymlink() const {
    unsigned host = versionMadeBy >> 8;
    bool unixMode = host == 3 || host == 19;  // Unix, OS X
    return unixMode && ((externalAttributes >> 16) & S_IFMT) == S_IFLNK;
}

// ---------------------------------------------------------------------------
// Opening and naming

TVCLUnZip::~TVCLUnZip() = default;

void TVCLUnZip::SetZipName(const std::string& name) {
    if (!equalsIgnoreCase(name, zipName_)) {
        forget();
    } else if (name != zipName_) {
        // Same name but another letter case: on this file system that may be
        // another file. The directory stays until ReadDirectory finds out.
        closeZip();
    }
    zipName_ = name;
}

void TVCLUnZip::SetDestDir(const std::string& dir) {
    destDir_ = dir;
    while (destDir_.size() > 1 && destDir_.back() == '/') destDir_.pop_back();
}

void TVCLUnZip::forget() {
    closeZip();
    directory_.clear();
    endCentral_ = TEndCentral{};
    directoryRead_ = false;
}

void TVCLUnZip::openZip() {
    if (!fd_) {
        // Non-blocking: a FIFO or device must not hold the open; a regular
        // file reads the same either way.
        fd_.reset(::open(zipName_.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        if (!fd_) throw Error("Cannot open file \"" + zipName_ + "\". " + errnoMessage(errno));
    }
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        closeZip();
        throw Error("Cannot open file \"" + zipName_ + "\". Not a regular file");
    }
    fileSize_ = st.st_size;
}

void TVCLUnZip::closeZip() { fd_.reset(); }

void TVCLUnZip::processMessages() const {
    if (DoProcessMessages) DoProcessMessages();
}

void TVCLUnZip::message(const std::string& title, const std::string& text) const {
    if (OnMessage) OnMessage(title, text);
}

namespace {

// Closes the archive after an operation, also when it fails.
struct CloseAfter {
    std::function<void()> close;
    ~CloseAfter() { close(); }
};

}  // namespace

// ---------------------------------------------------------------------------
// The directory

namespace {

// The ZIP64 locator just before the end record and the ZIP64 end record it
// points to; the latter's values replace those the 32-bit record saturated.
void readZip64End(int fd, TEndCentral& end) {
    unsigned char loc[20];
    if (end.recordOffset < 20 || preadFull(fd, loc, sizeof loc, end.recordOffset - 20) != sizeof loc ||
        le32(loc) != kSigZip64Locator)
        return;
    TZip64Locator l;
    l.endDisk = le32(loc + 4);
    l.endOffset = le64(loc + 8);
    l.totalDisks = le32(loc + 16);
    end.zip64Locator = l;
    unsigned char z[56];
    if (preadFull(fd, z, sizeof z, toPos(l.endOffset)) != sizeof z || le32(z) != kSigZip64End) return;
    TZip64EndCentral e;
    e.recordSize = le64(z + 4);
    e.versionMadeBy = le16(z + 12);
    e.versionNeeded = le16(z + 14);
    e.thisDisk = le32(z + 16);
    e.centralDisk = le32(z + 20);
    e.entriesThisDisk = le64(z + 24);
    e.totalEntries = le64(z + 32);
    e.centralSize = le64(z + 40);
    e.centralOffset = le64(z + 48);
    end.zip64End = e;
    if (end.thisDisk == 0xFFFF) end.thisDisk = e.thisDisk;
    if (end.centralDisk == 0xFFFF) end.centralDisk = e.centralDisk;
    if (end.entriesThisDisk == 0xFFFF) end.entriesThisDisk = e.entriesThisDisk;
    if (end.totalEntries == 0xFFFF) end.totalEntries = e.totalEntries;
    if (end.centralSize == 0xFFFFFFFFu) end.centralSize = e.centralSize;
    if (end.centralOffset == 0xFFFFFFFFu) end.centralOffset = e.centralOffset;
}

// Where in buf[0, n) the first local header signature starts, or -1.
std::int64_t findLocalSignature(const unsigned char* buf, std::size_t n) {
    for (std::size_t j = 0; j + 4 <= n;) {
        const void* hit = std::memchr(buf + j, 0x50, n - 3 - j);
        if (!hit) break;
        j = static_cast<std::size_t>(static_cast<const unsigned char*>(hit) - buf);
        if (le32(buf + j) == kSigLocal) return static_cast<std::int64_t>(j);
        ++j;
    }
    return -1;
}

// An entry from the local header at `at`, with its sizes, CRC and date;
// false when the header or its name runs past the end of the file.
bool readLocalHeader(int fd, std::int64_t at, TZipHeaderInfo& e) {
    unsigned char h[30];
    if (preadFull(fd, h, sizeof h, at) != sizeof h) return false;
    e.versionNeeded = le16(h + 4);
    e.flags = le16(h + 6);
    e.method = le16(h + 8);
    e.dateTime = validateDosDateTime(le32(h + 10));
    e.crc32 = le32(h + 14);
    e.compressedSize = le32(h + 18);
    e.uncompressedSize = le32(h + 22);
    e.nameLength = le16(h + 26);
    e.extraLength = le16(h + 28);
    e.localHeaderOffset = static_cast<std::uint64_t>(at);
    std::string name(e.nameLength, '\0');
    if (preadFull(fd, name.data(), name.size(), at + 30) != name.size()) return false;
    splitName(name, e);
    return true;
}

}  // namespace

bool TVCLUnZip::findEndCentral(int fd, std::int64_t size, TEndCentral& end) const {
    if (size < kEndRecordSize) return false;
    std::int64_t len = std::min(kEndSearchSize, size);
    std::int64_t base = size - len;
    std::vector<unsigned char> buf(static_cast<std::size_t>(len));
    if (preadFull(fd, buf.data(), buf.size(), base) != buf.size()) return false;

    std::int64_t at = -1;
    for (std::int64_t i = len - kEndRecordSize; i >= 0; --i) {
        const unsigned char* p = buf.data() + i;
        if (p[0] == 0x50 && le32(p) == kSigEnd) {
            at = i;
            break;
        }
    }
    if (at < 0) return false;

    const unsigned char* p = buf.data() + at;
    end = TEndCentral{};
    end.thisDisk = le16(p + 4);
    end.centralDisk = le16(p + 6);
    end.entriesThisDisk = le16(p + 8);
    end.totalEntries = le16(p + 10);
    end.centralSize = le32(p + 12);
    end.centralOffset = le32(p + 16);
    end.commentLength = le16(p + 20);
    end.recordOffset = base + at;
    end.commentOffset = end.recordOffset + kEndRecordSize;
    readZip64End(fd, end);
    return end.thisDisk >= end.centralDisk;
}

bool TVCLUnZip::walkCentral(int fd, std::int64_t size, std::int64_t start, std::uint64_t count) {
    directory_.clear();
    Reader r(fd, size);
    r.seek(start);
    for (std::uint64_t i = 0; i < count; ++i) {
        processMessages();
        TZipHeaderInfo e;
        std::int64_t headerStart = r.tell();
        bool ok = readCentral(r, e);
        if (!ok && !directory_.empty() && directory_.back().extraLength > 0) {
            // The previous entry may have declared an extra field it does
            // not have: read this header again as if it had none.
            TZipHeaderInfo& prev = directory_.back();
            r.seek(headerStart - prev.extraLength);
            prev.extraLength = 0;
            ok = readCentral(r, e);
        }
        if (!ok) return false;
        directory_.push_back(std::move(e));
    }
    return true;
}

bool TVCLUnZip::recoveryScan() {
    directory_.clear();
    std::int64_t pos = endsWithIgnoreCase(zipName_, ".exe") ? kExeScanStart : 0;
    std::int64_t nextTick = pos + kScanTick;
    std::vector<unsigned char> buf(64 * 1024);
    while (pos + 4 <= fileSize_) {
        std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(buf.size()), fileSize_ - pos));
        std::size_t n = preadFull(fd_.get(), buf.data(), want, pos);
        if (n < 4) break;
        std::int64_t found = findLocalSignature(buf.data(), n);
        std::int64_t scanned = found >= 0 ? pos + found : pos + static_cast<std::int64_t>(n) - 3;
        while (nextTick <= scanned) {
            processMessages();
            nextTick += kScanTick;
        }
        if (found < 0) {
            pos += static_cast<std::int64_t>(n) - 3;
            continue;
        }

        std::int64_t at = pos + found;
        TZipHeaderInfo e;
        if (!readLocalHeader(fd_.get(), at, e)) break;
        directory_.push_back(std::move(e));
        const TZipHeaderInfo& added = directory_.back();
        std::uint64_t skip = 30 + static_cast<std::uint64_t>(added.nameLength) + added.extraLength +
                             added.compressedSize + ((added.flags & 8) ? 16 : 0);
        if (skip > static_cast<std::uint64_t>(fileSize_ - at)) break;
        pos = at + static_cast<std::int64_t>(skip);
    }
    return !directory_.empty();
}

// After a directory that could not be read: the entries the recovery scan
// finds, else "Not a valid zip file!".
void TVCLUnZip::recoverOrRefuse() {
    if (recoveryScan()) return;
    directory_.clear();
    throw Error(kMsgNotZip);
}

// A spanned archive keeps a copy of its directory, followed by its end
// record, in a ".zfc" file beside it. False when there is no such file with
// an end record.
bool TVCLUnZip::readZfcDirectory() {
    const std::string zfc = std::filesystem::path(zipName_).replace_extension(".zfc").string();
    if (zfc == zipName_) return false;
    const UniqueFd zfd(::open(zfc.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat zst {};
    TEndCentral end;
    if (!zfd || ::fstat(zfd.get(), &zst) != 0 || !S_ISREG(zst.st_mode) || !findEndCentral(zfd.get(), zst.st_size, end))
        return false;
    endCentral_ = end;
    const std::int64_t start = end.recordOffset - toPos(end.centralSize);
    if (start < 0 || !walkCentral(zfd.get(), zst.st_size, start, end.totalEntries)) recoverOrRefuse();
    return true;
}

// The directory of a non-empty archive: from its end record, from a ".zfc"
// copy, or as IncompleteZipMode says for an archive without either.
void TVCLUnZip::readDirectoryEntries() {
    TEndCentral end;
    if (findEndCentral(fd_.get(), fileSize_, end)) {
        endCentral_ = end;
        if (!walkCentral(fd_.get(), fileSize_, toPos(end.centralOffset), end.totalEntries)) recoverOrRefuse();
        return;
    }
    if (readZfcDirectory()) return;
    switch (IncompleteZipMode) {
    case TIncompleteZipMode::izAssumeMulti:
        throw Error(kMsgIncomplete);
    case TIncompleteZipMode::izAssumeNotAZip:
        throw Error(kMsgNotZip);
    case TIncompleteZipMode::izAssumeBad:
        recoverOrRefuse();
        break;
    }
}

void TVCLUnZip::readDirectoryOpen() {
    struct stat st {};
    if (::fstat(fd_.get(), &st) != 0) throw Error("Cannot open file \"" + zipName_ + "\". " + errnoMessage(errno));
    FileId id{st.st_dev, st.st_ino, st.st_size, static_cast<std::int64_t>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec};
    if (directoryRead_ && id == readId_) return;

    directory_.clear();
    endCentral_ = TEndCentral{};
    directoryRead_ = false;
    fileSize_ = st.st_size;
    if (fileSize_ > 0) readDirectoryEntries();

    std::stable_sort(directory_.begin(), directory_.end(), [](const TZipHeaderInfo& a, const TZipHeaderInfo& b) {
        if (a.diskNumberStart != b.diskNumberStart) return a.diskNumberStart < b.diskNumberStart;
        return a.localHeaderOffset < b.localHeaderOffset;
    });
    directoryRead_ = true;
    readId_ = id;
}

void TVCLUnZip::ReadDirectory() {
    openZip();
    CloseAfter guard{[this] {
        if (!KeepZipOpen) closeZip();
    }};
    readDirectoryOpen();
}

// ---------------------------------------------------------------------------
// Extraction

struct TVCLUnZip::ExtractState {
    std::unique_ptr<unsigned char[]> in{new unsigned char[kInputPiece]};
    std::unique_ptr<unsigned char[]> out{new unsigned char[kOutputPiece]};
    std::uint64_t totalWritten = 0;
};

// Where a selected entry goes; an empty folder marks an entry skipped for
// its name or its link attribute.
struct TVCLUnZip::Planned {
    TZipHeaderInfo* entry;
    std::string folder;
};

namespace {

// Opens (creating what is missing, mode 0700) the folder rel below the
// folder base; each component is opened relative to its parent and never
// through a link. None when a component is a link, a file or cannot be made.
UniqueFd openFolderBelow(int base, const std::string& rel) {
    UniqueFd fd(::dup(base));
    std::size_t start = 0;
    while (fd && start < rel.size()) {
        std::size_t end = rel.find('/', start);
        if (end == std::string::npos) end = rel.size();
        const std::string part = rel.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
        int next = ::openat(fd.get(), part.c_str(), flags);
        if (next < 0 && errno == ENOENT && ::mkdirat(fd.get(), part.c_str(), 0700) == 0)
            next = ::openat(fd.get(), part.c_str(), flags);
        fd.reset(next);
    }
    return fd;
}

// The folder below the destination an entry goes to, beginning with "/":
// its folder part less the first matching prefix of relative, with a
// leading drive letter dropped; "/" without RecreateDirs or a folder part.
std::string destinationFolder(const TZipHeaderInfo& e, bool recreateDirs, const std::vector<std::string>& relative) {
    if (!recreateDirs || e.directory.empty()) return "/";
    std::string folder = e.directory;
    for (const std::string& r : relative)
        if (!r.empty() && startsWithIgnoreCase(folder, r)) {
            folder.erase(0, r.size());
            break;
        }
    if (folder.empty() || (folder[0] != '/' && !(folder.size() >= 2 && folder[1] == ':'))) return "/" + folder;
    if (folder[0] == '/') return folder;
    std::string rel = folder.substr(2);
    if (rel.empty() || rel[0] != '/') rel.insert(0, "/");
    return rel;
}

std::string refusal(const TZipHeaderInfo& e, const std::string& why) {
    return "Zip archive refused: entry \"" + printable(e.storedName()) + "\" " + why;
}

// Refuses, before anything is written, a file entry whose declared sizes
// pass the bounds of zip.h, alone or added to declaredTotal (which it then
// includes). Entries that will not be decoded do not count.
void checkDeclaredSize(const TZipHeaderInfo& e, std::uint64_t& declaredTotal) {
    if (e.fileName.empty() || e.encrypted() || (e.method != 0 && e.method != 8)) return;
    const std::uint64_t u = e.uncompressedSize;
    const std::uint64_t c = e.compressedSize;
    if (u > kZipMaxEntrySize) throw Error(refusal(e, "would expand to more than 1 GiB"));
    if (u > kZipRatioFloor && c <= UINT64_MAX / kZipMaxRatio && u > c * kZipMaxRatio)
        throw Error(refusal(e, "would expand more than 100 times its compressed size"));
    declaredTotal += u;
    if (declaredTotal > kZipMaxTotalSize) throw Error("Zip archive refused: its entries would expand to more than 2 GiB");
}

// Together the entries may not expand beyond the ratio either: each may be
// within the bounds and all of them still far more than the archive holds.
// (No entry writes beyond its declared size, so the output stays within
// the declared total.)
void checkDeclaredRatio(std::uint64_t declaredTotal, std::int64_t archiveSize) {
    if (declaredTotal > kZipRatioFloor && declaredTotal / kZipMaxRatio > static_cast<std::uint64_t>(archiveSize))
        throw Error("Zip archive refused: its entries would expand more than 100 times its size");
}

// Output beyond the declared size: ends the entry, not the extraction.
struct LargerThanDeclared {};

// Refuses an entry whose output reaches the bounds of zip.h. consumed is the
// compressed input used for it.
void checkExpansion(const TZipHeaderInfo& e, std::uint64_t produced, std::uint64_t consumed) {
    if (produced > kZipMaxEntrySize) throw Error(refusal(e, "expands to more than 1 GiB"));
    if (produced > kZipRatioFloor && (consumed > UINT64_MAX / kZipMaxRatio ? false : produced > consumed * kZipMaxRatio))
        throw Error(refusal(e, "expands more than 100 times its compressed size"));
}

// A raw Deflate stream, ended when its owner goes.
class Inflater {
public:
    Inflater() {
        if (inflateInit2(&zs_, -15) != Z_OK) throw Error(kMsgInflate);
    }
    ~Inflater() { inflateEnd(&zs_); }
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;
    z_stream& stream() { return zs_; }

private:
    z_stream zs_{};
};

// An output file made fresh in its folder: created exclusively and never
// through a link, so nothing is written through a link or hard link and no
// old permission bits survive. Closed when its owner goes, and removed then
// unless kept: a half-written file would pass for a good one later.
class FreshFile {
public:
    FreshFile(int folderFd, const std::string& name)
        : folderFd_(folderFd), name_(name),
          fd_(::openat(folderFd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666)) {}
    ~FreshFile() {
        if (!fd_) return;
        fd_.reset();
        if (!kept_) ::unlinkat(folderFd_, name_.c_str(), 0);
    }
    FreshFile(const FreshFile&) = delete;
    FreshFile& operator=(const FreshFile&) = delete;

    explicit operator bool() const { return static_cast<bool>(fd_); }
    int fd() const { return fd_.get(); }
    void keep() { kept_ = true; }

private:
    int folderFd_;
    const std::string& name_;
    UniqueFd fd_;
    bool kept_ = false;
};

// The entry's modification time, and without write permission when it is
// marked read-only and retainAttributes is set.
void stampFile(const TZipHeaderInfo& entry, int fd, bool retainAttributes) {
    const std::int64_t t = dosDateTimeToUnix(entry.dateTime);
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(t);
    times[0].tv_nsec = 0;
    times[1] = times[0];
    ::futimens(fd, times);
    if (retainAttributes && (entry.externalAttributes & 1) != 0) {
        struct stat st {};
        if (::fstat(fd, &st) == 0) ::fchmod(fd, st.st_mode & 0444);
    }
}

}  // namespace

// One entry's data on its way from the archive to its output file. Input is
// read in pieces, never beyond the compressed size; output is checked
// against the declared size and the expansion bounds before it is written,
// and its CRC is kept.
class TVCLUnZip::EntryCopy {
public:
    EntryCopy(const TVCLUnZip& zip, const TZipHeaderInfo& entry, std::int64_t dataPos, int outFd, ExtractState& state)
        : zip_(zip), entry_(entry), state_(state), outFd_(outFd), readPos_(dataPos), remaining_(entry.compressedSize) {}

    void copyStored() {
        while (remaining_ > 0) {
            const std::size_t n = readPiece();
            consumed_ += n;
            emit(state_.in.get(), n);
        }
    }

    // Inflates until the stream ends; "error" for data zlib rejects and for
    // a stream that does not end within the compressed size.
    void inflate() {
        Inflater inflater;
        z_stream& zs = inflater.stream();
        for (;;) {
            if (zs.avail_in == 0 && remaining_ > 0) {
                zs.avail_in = static_cast<uInt>(readPiece());
                zs.next_in = state_.in.get();
            }
            zs.next_out = state_.out.get();
            zs.avail_out = static_cast<uInt>(kOutputPiece);
            const int ret = ::inflate(&zs, Z_NO_FLUSH);
            // Z_BUF_ERROR here means the input is used up and the stream
            // has not ended within the compressed size.
            if (ret < 0 || ret == Z_NEED_DICT) throw Error(kMsgInflate);
            consumed_ = zs.total_in;
            const std::size_t produced = kOutputPiece - zs.avail_out;
            if (produced > 0) emit(state_.out.get(), produced);
            if (ret == Z_STREAM_END) return;
        }
    }

    std::uint32_t crc() const { return crc_; }

private:
    std::size_t readPiece() {
        zip_.processMessages();
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(remaining_, kInputPiece));
        if (preadFull(zip_.fd_.get(), state_.in.get(), want, readPos_) != want) throw Error(kMsgPremature);
        readPos_ += static_cast<std::int64_t>(want);
        remaining_ -= want;
        return want;
    }

    void emit(const unsigned char* p, std::size_t n) {
        if (written_ + n > entry_.uncompressedSize) throw LargerThanDeclared{};
        if (writeAll(outFd_, std::string_view(reinterpret_cast<const char*>(p), n)) != 0) throw Error(kMsgCantWrite);
        crc_ = static_cast<std::uint32_t>(::crc32(crc_, p, static_cast<uInt>(n)));
        written_ += n;
        state_.totalWritten += n;
        checkExpansion(entry_, written_, consumed_);
        if (state_.totalWritten > kZipMaxTotalSize) throw Error("Zip archive refused: it expands to more than 2 GiB");
    }

    const TVCLUnZip& zip_;
    const TZipHeaderInfo& entry_;
    ExtractState& state_;
    const int outFd_;
    std::int64_t readPos_;
    std::uint64_t remaining_;
    std::uint64_t written_ = 0;
    std::uint64_t consumed_ = 0;
    std::uint32_t crc_ = static_cast<std::uint32_t>(::crc32(0L, Z_NULL, 0));
};

// DestDir, created when missing, as the descriptor everything below it is
// reached from, one folder at a time, never through a link.
UniqueFd TVCLUnZip::openDestination() const {
    const std::string base = destDir_.empty() ? "." : destDir_;
    std::error_code ec;
    std::filesystem::create_directories(base, ec);
    UniqueFd fd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd) throw Error(std::string(kMsgCantWrite) + ": " + base + ": " + errnoMessage(errno));
    return fd;
}

bool TVCLUnZip::selects(const TZipHeaderInfo& e, const std::vector<std::string>& masks) const {
    if (e.fileName.empty() && !RecreateDirs) return false;
    if (DoAll) return true;
    const std::string name = lowered(e.storedName());
    return std::any_of(masks.begin(), masks.end(),
                       [&](const std::string& m) { return ::fnmatch(m.c_str(), name.c_str(), 0) == 0; });
}

// Marks the selected entries and says where each goes, refusing an archive
// whose declared sizes pass the bounds before anything is written.
std::vector<TVCLUnZip::Planned> TVCLUnZip::planExtraction() {
    std::vector<std::string> masks;
    for (const std::string& m : FilesList) masks.push_back(lowered(slashes(m)));
    std::vector<std::string> relative;
    for (const std::string& r : RelativePathList) relative.push_back(slashes(r));

    std::vector<Planned> plan;
    std::uint64_t declaredTotal = 0;
    for (TZipHeaderInfo& e : directory_) {
        e.selected = selects(e, masks);
        if (!e.selected) continue;
        std::string rel = destinationFolder(e, RecreateDirs, relative);
        if (!staysInside(rel + e.fileName) || e.isSymlink()) {
            plan.push_back({&e, std::string()});
            continue;
        }
        plan.push_back({&e, std::move(rel)});
        checkDeclaredSize(e, declaredTotal);
    }
    checkDeclaredRatio(declaredTotal, fileSize_);
    return plan;
}

// Where the entry's data begin, after its local header.
std::int64_t TVCLUnZip::dataPosition(const TZipHeaderInfo& entry) const {
    unsigned char lh[30];
    if (entry.localHeaderOffset > static_cast<std::uint64_t>(fileSize_) ||
        preadFull(fd_.get(), lh, sizeof lh, toPos(entry.localHeaderOffset)) != sizeof lh)
        throw Error(kMsgPremature);
    return toPos(entry.localHeaderOffset + 30 + le16(lh + 26) + le16(lh + 28));
}

bool TVCLUnZip::overwriteAllowed(const TZipHeaderInfo& entry, std::int64_t existingMtime) const {
    const std::int64_t stored = dosDateTimeToUnix(entry.dateTime);
    switch (OverwriteMode) {
    case TUZOverwriteMode::Always:
        return true;
    case TUZOverwriteMode::Prompt:
    case TUZOverwriteMode::Never:
        return false;
    case TUZOverwriteMode::ifNewer:
        return stored > existingMtime;
    case TUZOverwriteMode::ifOlder:
        return stored < existingMtime;
    }
    return false;
}

// Frees the entry's name in its folder: true when nothing is there, or when
// what is there may be replaced and has been removed.
bool TVCLUnZip::makeRoom(const TZipHeaderInfo& entry, int folderFd) const {
    const char* const path = entry.fileName.c_str();
    struct stat st {};
    if (::fstatat(folderFd, path, &st, AT_SYMLINK_NOFOLLOW) != 0) return true;
    if (!overwriteAllowed(entry, static_cast<std::int64_t>(st.st_mtim.tv_sec))) return false;
    if (S_ISDIR(st.st_mode)) return false;
    if (S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0 && !ReplaceReadOnly) return false;
    return ::unlinkat(folderFd, path, 0) == 0;
}

// Decodes the entry's data by its method; false when the output ran past
// the declared size.
bool TVCLUnZip::decode(const TZipHeaderInfo& entry, EntryCopy& copy) const {
    try {
        if (entry.method == 0) {
            copy.copyStored();
        } else if (entry.method == 8) {
            copy.inflate();
        } else {
            message("Zip Error", "Unknown Compression Method");
        }
    } catch (const LargerThanDeclared&) {
        return false;
    }
    return true;
}

// Extracts one file entry into folderFd: true when its file is complete and
// its CRC matched. Failures that end the extraction raise, and no file of
// the entry is left behind then, nor when it does not count.
bool TVCLUnZip::extractFile(TZipHeaderInfo& entry, int folderFd, ExtractState& state) {
    const std::int64_t dataPos = dataPosition(entry);
    // No password is ever set, so encrypted entries cannot be extracted.
    if (entry.encrypted()) return false;
    if (!makeRoom(entry, folderFd)) return false;
    FreshFile out(folderFd, entry.fileName);
    if (!out) return false;

    EntryCopy copy(*this, entry, dataPos, out.fd(), state);
    const bool finished = decode(entry, copy);
    if (finished) stampFile(entry, out.fd(), RetainAttributes);
    if (!finished || copy.crc() != entry.crc32) return false;
    out.keep();
    return true;
}

int TVCLUnZip::ExtractEntries() {
    openZip();
    CloseAfter guard{[this] {
        if (!KeepZipOpen) closeZip();
    }};
    readDirectoryOpen();
    const UniqueFd baseFd = openDestination();
    const std::vector<Planned> plan = planExtraction();

    ExtractState state;
    int count = 0;
    for (const Planned& p : plan) {
        processMessages();
        if (p.folder.empty()) continue;
        const UniqueFd folderFd = openFolderBelow(baseFd.get(), p.folder);
        if (!folderFd) continue;  // a link or a file stands in the way
        if (p.entry->fileName.empty() || extractFile(*p.entry, folderFd.get(), state)) ++count;
    }
    FilesList.clear();
    return count;
}

}  // namespace tavin

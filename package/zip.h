// ZIP archive reader: finds and walks the central directory of a package and
// extracts its entries (stored and Deflate) into a destination folder.
//
// Names inside an archive use "/" as separator; a "\" in a stored name is a
// separator too. Names are kept as their stored bytes.
//
// Hostile archives. Whatever an archive says, extraction never
//   - writes outside DestDir: an entry whose path has a ".." component (or a
//     NUL byte) is skipped; absolute names and drive letters are re-rooted
//     under DestDir;
//   - follows a link: every folder below DestDir is opened from its parent's
//     descriptor with O_NOFOLLOW, so a link planted anywhere on an entry's
//     path ends that entry, not in a write elsewhere;
//   - makes a link, device, executable or set-uid file: an entry marked as a
//     symbolic link (Unix mode in the external attributes) is skipped, output
//     files are created fresh as plain files (an existing file, link or hard
//     link at the destination is removed first, never written through), and
//     only the read-only bit of the stored attributes is honoured;
//   - expands beyond the bounds below, per entry and for the whole archive
//     (the ratio applies to both). Declared sizes are checked for every
//     entry before anything is written, and the inflated output is checked
//     again while it streams, so an archive that lies about its sizes is
//     stopped after a few megabytes. Declared sizes are never used to
//     allocate or pre-size anything.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "core/errors.h"
#include "core/fileio.h"

namespace tavin {

// Expansion bounds. A .docx part of tens of megabytes is already unusual;
// real parts compress at most about 40:1.
inline constexpr std::uint64_t kZipMaxTotalSize = std::uint64_t{2} << 30;  // all entries together
inline constexpr std::uint64_t kZipMaxEntrySize = std::uint64_t{1} << 30;  // one entry
inline constexpr std::uint64_t kZipRatioFloor = std::uint64_t{8} << 20;    // ratio checked past this
inline constexpr std::uint64_t kZipMaxRatio = 100;                         // output per input byte

enum class TUZOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum class TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum class TZipSortMode {
    ByName, ByFileName, ByDirectoryName, ByDate, ByCompressedSize, ByUnCompressedSize, ByRate, ByNone
};

// ZIP64 extended information of one entry (extra block 0x0001). Only the
// fields whose header value was saturated are present.
struct TZip64Info {
    std::optional<std::uint64_t> uncompressedSize;
    std::optional<std::uint64_t> compressedSize;
    std::optional<std::uint64_t> localHeaderOffset;
    std::optional<std::uint32_t> diskNumberStart;
};

// One directory entry, filled from a central header (or, by the recovery
// scan, from a local header).
struct TZipHeaderInfo {
    std::uint16_t versionMadeBy = 0;  // high byte: host system (0 MS-DOS, 3 Unix)
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;          // bit 0 encrypted, bit 3 data descriptor
    std::uint16_t method = 0;
    std::uint32_t dateTime = 0;       // MS-DOS time (low 16 bits) and date, validated
    std::uint32_t crc32 = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;
    std::uint16_t commentLength = 0;
    std::uint32_t diskNumberStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint64_t localHeaderOffset = 0;
    std::int64_t centralOffset = -1;  // position of its own central header, -1 if none
    std::string fileName;             // after the last "/"; empty for a folder entry
    std::string directory;            // up to and including the last "/"; empty at the root
    std::string comment;
    bool selected = false;
    std::optional<TZip64Info> zip64;

    std::string storedName() const { return directory + fileName; }
    bool encrypted() const { return (flags & 1) != 0; }
    bool isSymlink() const;
};

struct TZip64EndCentral {
    std::uint64_t recordSize = 0;
    std::uint16_t versionMadeBy = 0;
    std::uint16_t versionNeeded = 0;
    std::uint32_t thisDisk = 0;
    std::uint32_t centralDisk = 0;
    std::uint64_t entriesThisDisk = 0;
    std::uint64_t totalEntries = 0;
    std::uint64_t centralSize = 0;
    std::uint64_t centralOffset = 0;
};

struct TZip64Locator {
    std::uint32_t endDisk = 0;
    std::uint64_t endOffset = 0;
    std::uint32_t totalDisks = 0;
};

// The end-of-central-directory record. Counts, size and offset hold the
// ZIP64 values where the 32-bit record saturated them and a ZIP64 record was
// found.
struct TEndCentral {
    std::uint32_t thisDisk = 0;
    std::uint32_t centralDisk = 0;
    std::uint64_t entriesThisDisk = 0;
    std::uint64_t totalEntries = 0;
    std::uint64_t centralSize = 0;
    std::uint64_t centralOffset = 0;
    std::uint16_t commentLength = 0;
    std::int64_t recordOffset = 0;   // position of the record in its file
    std::int64_t commentOffset = 0;  // position of the archive comment
    std::optional<TZip64Locator> zip64Locator;
    std::optional<TZip64EndCentral> zip64End;
};

class TVCLUnZip {
public:
    TVCLUnZip() = default;
    ~TVCLUnZip();
    TVCLUnZip(const TVCLUnZip&) = delete;
    TVCLUnZip& operator=(const TVCLUnZip&) = delete;

    // A name that differs from the current one other than in ASCII letter
    // case forgets the directory and closes the file. The directory read
    // before is reused only while the file itself (device, inode, size,
    // modification time) is unchanged.
    const std::string& ZipName() const { return zipName_; }
    void SetZipName(const std::string& name);

    // Stored without a trailing "/". An empty DestDir extracts into the
    // current folder (never into "/").
    const std::string& DestDir() const { return destDir_; }
    void SetDestDir(const std::string& dir);

    bool RecreateDirs = false;
    bool DoAll = false;
    bool RetainAttributes = true;  // the read-only bit of file entries
    // Prompt cannot ask anyone here and keeps existing files, like Never.
    TUZOverwriteMode OverwriteMode = TUZOverwriteMode::Prompt;
    bool ReplaceReadOnly = false;
    bool KeepZipOpen = false;
    // Entries are always kept in physical order (ByNone); other modes are
    // accepted and give the same order.
    TZipSortMode SortMode = TZipSortMode::ByNone;
    TIncompleteZipMode IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
    // Folder prefixes removed from the front of an entry's folder.
    std::vector<std::string> RelativePathList;
    // Wildcard masks selecting entries when DoAll is false; cleared after
    // each extraction.
    std::vector<std::string> FilesList;

    // Called for each directory entry, each input piece, before each entry
    // and every 10240 bytes of a recovery scan, so a GUI can stay painted.
    std::function<void()> DoProcessMessages;
    // Non-fatal reports, such as title "Zip Error", text "Unknown
    // Compression Method".
    std::function<void(const std::string& title, const std::string& text)> OnMessage;

    // Reads the central directory unless it was read before and the file is
    // unchanged. Raises "Incomplete Zip File" or "Not a valid zip file!".
    void ReadDirectory();

    // Reads the directory as above and extracts the selected entries into
    // DestDir. Returns the number of entries extracted: file entries whose
    // CRC matched and folder entries.
    int ExtractEntries();

    // The directory in SortMode order, and the end record it came from.
    const std::vector<TZipHeaderInfo>& Directory() const { return directory_; }
    const TEndCentral& EndCentral() const { return endCentral_; }

private:
    struct FileId {
        dev_t dev = 0;
        ino_t ino = 0;
        off_t size = 0;
        std::int64_t mtimeSec = 0;
        long mtimeNsec = 0;
        bool operator==(const FileId&) const = default;
    };
    struct ExtractState;
    struct Planned;
    class EntryCopy;

    void openZip();
    void closeZip();
    void forget();
    void readDirectoryOpen();
    void readDirectoryEntries();
    bool readZfcDirectory();
    void recoverOrRefuse();
    bool findEndCentral(int fd, std::int64_t size, TEndCentral& end) const;
    bool walkCentral(int fd, std::int64_t size, std::int64_t start, std::uint64_t count);
    bool recoveryScan();
    void message(const std::string& title, const std::string& text) const;
    void processMessages() const;
    UniqueFd openDestination() const;
    std::vector<Planned> planExtraction();
    bool selects(const TZipHeaderInfo& entry, const std::vector<std::string>& masks) const;
    std::int64_t dataPosition(const TZipHeaderInfo& entry) const;
    bool overwriteAllowed(const TZipHeaderInfo& entry, std::int64_t existingMtime) const;
    bool makeRoom(const TZipHeaderInfo& entry, int folderFd) const;
    bool decode(const TZipHeaderInfo& entry, EntryCopy& copy) const;
    bool extractFile(TZipHeaderInfo& entry, int folderFd, ExtractState& state);

    std::string zipName_;
    std::string destDir_;
    UniqueFd fd_;
    std::int64_t fileSize_ = 0;
    bool directoryRead_ = false;
    FileId readId_{};
    std::vector<TZipHeaderInfo> directory_;
    TEndCentral endCentral_{};
};

// MS-DOS date and time (time in the low 16 bits) with each out-of-range part
// clamped: seconds to 58, minutes to 59, hours to 23, day 0 to 1 and a day
// past the month's end to its last day, month into 1..12, year up to 2099.
std::uint32_t validateDosDateTime(std::uint32_t dateTime);

// The local time an MS-DOS date and time stands for.
std::int64_t dosDateTimeToUnix(std::uint32_t dateTime);

}  // namespace tavin

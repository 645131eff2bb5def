// The package reader on an archive held in memory: the directory is read
// and every entry extracted, as a work folder does, into a temporary folder
// that is emptied after each input. An archive without an end record is
// read once more by the recovery scan.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "package/zip.h"

namespace fs = std::filesystem;

namespace {

const fs::path& scratch() {
    static const fs::path dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavin-fuzz-zip.XXXXXX";
        if (!::mkdtemp(templ.data())) std::abort();
        return fs::path(templ);
    }();
    return dir;
}

void extract(const std::string& zipName, const fs::path& dest, tavin::TIncompleteZipMode mode) {
    tavin::TVCLUnZip unzip;
    unzip.OverwriteMode = tavin::TUZOverwriteMode::Always;
    unzip.IncompleteZipMode = mode;
    unzip.SetZipName(zipName);
    unzip.ReadDirectory();
    unzip.DoAll = true;
    unzip.SetDestDir(dest.string());
    unzip.RecreateDirs = true;
    unzip.ExtractEntries();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The archive lives in an anonymous memory file, opened by its /proc name.
    const int fd = ::memfd_create("archive.docx", MFD_CLOEXEC);
    if (fd < 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
        const ssize_t w = ::write(fd, data + done, size - done);
        if (w <= 0) std::abort();
        done += static_cast<std::size_t>(w);
    }
    const std::string zipName = "/proc/self/fd/" + std::to_string(fd);
    const fs::path dest = scratch() / "out";
    for (const auto mode : {tavin::TIncompleteZipMode::izAssumeMulti, tavin::TIncompleteZipMode::izAssumeBad}) {
        try {
            extract(zipName, dest, mode);
            break;
        } catch (const tavin::Error& e) {
            if (std::string(e.what()) != "Incomplete Zip File") break;
        }
    }
    // Nothing may have been written beside the destination.
    for (const auto& entry : fs::directory_iterator(scratch())) {
        if (entry.path().filename() != "out") std::abort();
    }
    std::error_code ec;
    fs::remove_all(dest, ec);
    ::close(fd);
    return 0;
}

#include "package/zip.h"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <set>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "package/zipwriter.h"
#include "support/testutil.h"

namespace fs = std::filesystem;
using namespace tavin;
using ziptest::Archive;
using ziptest::Entry;

namespace {

const std::set<std::string> kArchiveMessages = {"Incomplete Zip File", "Not a valid zip file!",
                                                "Premature end of file reached", "error"};

// The message an action raises, or "" when it succeeds.
std::string errorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

std::time_t localTime(int y, int mo, int d, int h, int mi, int s) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::time_t mtimeOf(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 ? st.st_mtime : 0;
}

mode_t modeOf(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_mode : 0;
}

// Makes writes past `bytes` fail (EFBIG) while it lives.
struct FileSizeLimit {
    struct rlimit old {};
    void (*handler)(int) = SIG_DFL;
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old);
        handler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limited = old;
        limited.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, handler);
    }
};

Entry file(const std::string& name, const std::string& data, std::uint16_t method = 8) {
    Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

std::string bytesOf(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        seed = seed * 1103515245u + 12345u;
        s[i] = static_cast<char>(seed >> 16);
    }
    return s;
}

class ZipTest : public ::testing::Test {
protected:
    testutil::TempDir tmp;
    fs::path out = tmp.path() / "out";

    fs::path save(const Archive& a, const std::string& name = "pkg.docx") {
        return save(ziptest::build(a).bytes, name);
    }
    fs::path save(const std::string& bytes, const std::string& name = "pkg.docx") {
        fs::path p = tmp.path() / name;
        testutil::writeFile(p, bytes);
        return p;
    }
    // The settings the viewer uses.
    void setUp(TVCLUnZip& z, const fs::path& zip) {
        z.SetZipName(zip.string());
        z.SetDestDir(out.string() + "/");
        z.RecreateDirs = true;
        z.DoAll = true;
        z.OverwriteMode = TUZOverwriteMode::Always;
    }
    int extract(const fs::path& zip) {
        TVCLUnZip z;
        setUp(z, zip);
        return z.ExtractEntries();
    }
};

// ---------------------------------------------------------------------------

TEST_F(ZipTest, ZipEndRecordSearch) {
    EXPECT_EQ(extract(save(std::string())), 0);  // an empty archive

    std::string record = ziptest::build(Archive{}).bytes;  // the 22-byte end record alone
    for (std::size_t n = 1; n < 22; ++n)
        EXPECT_EQ(errorOf([&] { extract(save(record.substr(0, n))); }), "Incomplete Zip File") << n;
    EXPECT_EQ(errorOf([&] { extract(save(bytesOf(5000, 7))); }), "Incomplete Zip File");

    TVCLUnZip z;
    setUp(z, save(bytesOf(5000, 7)));
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeNotAZip;
    EXPECT_EQ(errorOf([&] { z.ExtractEntries(); }), "Not a valid zip file!");
    z.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    EXPECT_EQ(errorOf([&] { z.ExtractEntries(); }), "Not a valid zip file!");

    // The longest comment still lets the record be found; one byte more does not.
    Archive a;
    a.entries = {file("a.txt", "hello")};
    a.comment = std::string(65535, 'c');
    std::string longest = ziptest::build(a).bytes;
    EXPECT_EQ(extract(save(longest)), 1);
    EXPECT_EQ(errorOf([&] { extract(save(longest + "x")); }), "Incomplete Zip File");

    // A record naming a later disk for the directory than its own is no record.
    a.comment.clear();
    a.centralDisk = 1;
    EXPECT_EQ(errorOf([&] { extract(save(a)); }), "Incomplete Zip File");
}

TEST_F(ZipTest, ZipEndRecordZip64AndZfc) {
    Archive a;
    a.entries = {file("word/document.xml", std::string(3000, 'd')), file("b.bin", bytesOf(700, 1), 0)};
    for (Entry& e : a.entries) e.zip64 = true;
    a.zip64End = true;
    TVCLUnZip z;
    setUp(z, save(a));
    ASSERT_EQ(z.ExtractEntries(), 2);
    ASSERT_TRUE(z.EndCentral().zip64End.has_value());
    EXPECT_EQ(z.EndCentral().totalEntries, 2u);
    EXPECT_EQ(z.Directory()[0].uncompressedSize, 3000u);
    EXPECT_TRUE(z.Directory()[1].zip64.has_value());
    EXPECT_EQ(testutil::readFile(out / "b.bin"), bytesOf(700, 1));

    // Without an end record the directory is taken from the ".zfc" beside.
    Archive b;
    b.entries = {file("x/one.txt", "one"), file("two.txt", "two")};
    ziptest::Built built = ziptest::build(b);
    fs::path zip = save(built.bytes.substr(0, built.centralStart), "spanned.docx");
    save(built.bytes.substr(built.centralStart), "spanned.zfc");
    EXPECT_EQ(extract(zip), 2);
    EXPECT_EQ(testutil::readFile(out / "x/one.txt"), "one");
}

TEST_F(ZipTest, ZipDirectoryNamesAndOrder) {
    Archive a;
    a.entries = {file("word/media/image1.png", bytesOf(300, 2)), file("a\\b\\c.txt", "abc"), file("empty/", ""),
                 file("top.xml", "<x/>")};
    a.centralOrder = {3, 2, 1, 0};
    TVCLUnZip z;
    setUp(z, save(a));
    EXPECT_EQ(z.ExtractEntries(), 4);
    const auto& d = z.Directory();
    ASSERT_EQ(d.size(), 4u);
    EXPECT_EQ(d[0].directory, "word/media/");  // physical order, not central order
    EXPECT_EQ(d[0].fileName, "image1.png");
    EXPECT_EQ(d[1].directory, "a/b/");
    EXPECT_EQ(d[2].fileName, "");
    EXPECT_EQ(d[3].directory, "");
    EXPECT_EQ(testutil::readFile(out / "word/media/image1.png"), bytesOf(300, 2));
    EXPECT_EQ(testutil::readFile(out / "a/b/c.txt"), "abc");
    EXPECT_TRUE(fs::is_directory(out / "empty"));
}

TEST_F(ZipTest, ZipDirectoryDamage) {
    // A declared extra field that is not there: the next header is read again.
    Archive a;
    a.entries = {file("one.txt", "1"), file("two.txt", "2")};
    a.entries[0].centralExtraLength = 8;
    TVCLUnZip z;
    setUp(z, save(a));
    z.ReadDirectory();
    ASSERT_EQ(z.Directory().size(), 2u);
    EXPECT_EQ(z.Directory()[0].extraLength, 0u);
    EXPECT_EQ(z.Directory()[1].fileName, "two.txt");
    EXPECT_GT(z.Directory()[1].centralOffset, 0);  // read from the directory, not recovered

    // A broken central header: the local headers are scanned instead.
    a.entries[0].centralExtraLength.reset();
    ziptest::Built built = ziptest::build(a);
    built.bytes[built.centralOffsets[1]] = 'X';
    EXPECT_EQ(extract(save(built.bytes)), 2);

    // Nothing to recover.
    std::string junk = bytesOf(400, 3) + ziptest::build(Archive{}).bytes;
    junk[400 + 10] = 5;  // five entries, none there
    EXPECT_EQ(errorOf([&] { extract(save(junk)); }), "Not a valid zip file!");

    // izAssumeBad recovers an archive without end record.
    TVCLUnZip bad;
    setUp(bad, save(built.bytes.substr(0, built.centralStart), "cut.docx"));
    bad.IncompleteZipMode = TIncompleteZipMode::izAssumeBad;
    EXPECT_EQ(bad.ExtractEntries(), 2);

    // A self-extractor's scan starts at offset 14000.
    Archive exe;
    exe.prefix = std::string(100, 's');
    exe.entries = {file("stub.bin", std::string(15000, 'z'), 0), file("late.txt", "late")};
    built = ziptest::build(exe);
    ASSERT_GT(built.localOffsets[1], 14000u);
    built.bytes[built.centralOffsets[0]] = 'X';
    TVCLUnZip sfx;
    setUp(sfx, save(built.bytes, "setup.EXE"));
    sfx.ReadDirectory();
    ASSERT_EQ(sfx.Directory().size(), 1u);
    EXPECT_EQ(sfx.Directory()[0].fileName, "late.txt");
    TVCLUnZip plain;
    setUp(plain, save(built.bytes, "setup.docx"));
    plain.ReadDirectory();
    EXPECT_EQ(plain.Directory().size(), 2u);
}

TEST_F(ZipTest, ZipDirectoryReusedWhileFileUnchanged) {
    Archive a;
    a.entries = {file("one.txt", "1")};
    fs::path zip = save(a);
    struct stat st {};
    ASSERT_EQ(::stat(zip.c_str(), &st), 0);

    TVCLUnZip z;
    setUp(z, zip);
    z.ReadDirectory();
    a.entries[0].name = "two.txt";
    save(a);  // same size, same inode
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, zip.c_str(), times, 0), 0);
    z.ReadDirectory();
    EXPECT_EQ(z.Directory()[0].fileName, "one.txt");

    times[1].tv_sec += 10;
    ASSERT_EQ(::utimensat(AT_FDCWD, zip.c_str(), times, 0), 0);
    z.ReadDirectory();
    EXPECT_EQ(z.Directory()[0].fileName, "two.txt");

    z.SetZipName(tmp.str() + "/PKG.DOCX");  // another case of the same name keeps the directory
    EXPECT_EQ(z.Directory().size(), 1u);
    z.SetZipName(tmp.str() + "/other.docx");
    EXPECT_TRUE(z.Directory().empty());
}

TEST_F(ZipTest, ZipDatesClamped) {
    using ziptest::dosTime;
    EXPECT_EQ(validateDosDateTime(dosTime(2020, 5, 6, 24, 30, 20)), dosTime(2020, 5, 6, 23, 30, 20));
    EXPECT_EQ(validateDosDateTime(dosTime(2020, 5, 0, 10, 0, 0)), dosTime(2020, 5, 1, 10, 0, 0));
    EXPECT_EQ(validateDosDateTime(dosTime(2020, 0, 9, 10, 0, 0)), dosTime(2020, 1, 9, 10, 0, 0));
    EXPECT_EQ(validateDosDateTime(dosTime(2020, 13, 9, 10, 0, 0)), dosTime(2020, 12, 9, 10, 0, 0));
    EXPECT_EQ(validateDosDateTime(dosTime(2020, 5, 9, 10, 63, 62)), dosTime(2020, 5, 9, 10, 59, 58));
    EXPECT_EQ(validateDosDateTime(dosTime(2107, 5, 9, 10, 0, 0)), dosTime(2099, 5, 9, 10, 0, 0));
    EXPECT_EQ(validateDosDateTime(dosTime(2021, 2, 30, 10, 0, 0)), dosTime(2021, 2, 28, 10, 0, 0));
    EXPECT_EQ(validateDosDateTime(dosTime(2024, 2, 29, 10, 0, 0)), dosTime(2024, 2, 29, 10, 0, 0));

    Archive a;
    a.entries = {file("late.txt", "x")};
    a.entries[0].dateTime = dosTime(2020, 5, 6, 24, 30, 20);
    fs::path zip = save(a);
    TVCLUnZip z;
    setUp(z, zip);
    ASSERT_EQ(z.ExtractEntries(), 1);
    EXPECT_EQ(z.Directory()[0].dateTime, dosTime(2020, 5, 6, 23, 30, 20));
    EXPECT_EQ(mtimeOf(out / "late.txt"), localTime(2020, 5, 6, 23, 30, 20));
}

TEST_F(ZipTest, ZipExtractContentAndTimes) {
    std::string data = bytesOf(200000, 4) + std::string(100000, 'r');
    Archive a;
    a.entries = {file("stored.bin", data, 0), file("deflated.bin", data, 8), file("bad.txt", "altered"),
                 file("after.txt", "after")};
    a.entries[2].crc = 1234;
    fs::path zip = save(a);
    EXPECT_EQ(extract(zip), 3);
    EXPECT_EQ(testutil::readFile(out / "stored.bin"), data);
    EXPECT_EQ(testutil::readFile(out / "deflated.bin"), data);
    EXPECT_FALSE(fs::exists(out / "bad.txt"));
    EXPECT_EQ(testutil::readFile(out / "after.txt"), "after");

    // A second extraction replaces every file and restores the stored times.
    testutil::writeFile(out / "after.txt", "changed");
    EXPECT_EQ(extract(zip), 3);
    EXPECT_EQ(testutil::readFile(out / "after.txt"), "after");
    EXPECT_EQ(mtimeOf(out / "after.txt"), localTime(2021, 3, 14, 15, 9, 26));
    EXPECT_EQ(mtimeOf(out / "stored.bin"), localTime(2021, 3, 14, 15, 9, 26));
}

TEST_F(ZipTest, ZipExtractAttributes) {
    Archive a;
    a.entries = {file("ro.txt", "ro"), file("tool.sh", "#!/bin/sh\n"), file("setuid", "s")};
    a.entries[0].externalAttributes = 1;                       // read-only
    a.entries[1].versionMadeBy = 3 << 8;                       // Unix, rwxr-xr-x
    a.entries[1].externalAttributes = 0100755u << 16;
    a.entries[2].versionMadeBy = 3 << 8;
    a.entries[2].externalAttributes = 0104777u << 16;
    fs::path zip = save(a);
    EXPECT_EQ(extract(zip), 3);
    EXPECT_EQ(modeOf(out / "ro.txt") & 0222, 0u);
    EXPECT_EQ(modeOf(out / "tool.sh") & 07111, 0u);
    EXPECT_EQ(modeOf(out / "setuid") & 07111, 0u);

    // A read-only file stays unless ReplaceReadOnly is set.
    TVCLUnZip z;
    setUp(z, zip);
    EXPECT_EQ(z.ExtractEntries(), 2);
    z.ReplaceReadOnly = true;
    EXPECT_EQ(z.ExtractEntries(), 3);
}

TEST_F(ZipTest, ZipExtractSelection) {
    Archive a;
    a.entries = {file("Word/document.xml", "doc"), file("Word/media/p.png", "png"), file("Folder/", "")};
    fs::path zip = save(a);
    TVCLUnZip z;
    setUp(z, zip);
    z.RelativePathList = {"word/"};
    EXPECT_EQ(z.ExtractEntries(), 3);
    EXPECT_EQ(testutil::readFile(out / "document.xml"), "doc");
    EXPECT_EQ(testutil::readFile(out / "media/p.png"), "png");

    // Without RecreateDirs files land flat and folder entries are passed over.
    fs::remove_all(out);
    z.RecreateDirs = false;
    z.OverwriteMode = TUZOverwriteMode::Never;
    testutil::writeFile(out / "p.png", "mine");
    EXPECT_EQ(z.ExtractEntries(), 1);
    EXPECT_EQ(testutil::readFile(out / "document.xml"), "doc");
    EXPECT_EQ(testutil::readFile(out / "p.png"), "mine");
    EXPECT_FALSE(fs::exists(out / "Folder"));
}

TEST_F(ZipTest, ZipExtractMethodsAndFailures) {
    // Unknown method: reported, the empty file fails its CRC, the next entry goes on.
    Archive a;
    a.entries = {file("imploded.bin", "data", 6), file("secret.txt", "s"), file("next.txt", "next")};
    a.entries[1].flags = 1;
    std::vector<std::string> messages;
    TVCLUnZip z;
    setUp(z, save(a));
    z.OnMessage = [&](const std::string& title, const std::string& text) { messages.push_back(title + "|" + text); };
    EXPECT_EQ(z.ExtractEntries(), 1);
    EXPECT_EQ(messages, std::vector<std::string>{"Zip Error|Unknown Compression Method"});
    EXPECT_FALSE(fs::exists(out / "imploded.bin"));
    EXPECT_FALSE(fs::exists(out / "secret.txt"));

    // More output than declared: that entry is dropped, the rest goes on.
    Archive larger;
    larger.entries = {file("big.txt", std::string(100000, 'b')), file("small.txt", "s")};
    larger.entries[0].uncompressedSize = 1000;
    EXPECT_EQ(extract(save(larger)), 1);
    EXPECT_FALSE(fs::exists(out / "big.txt"));

    // Failures that end the extraction; files before stay, the broken one does not.
    auto failing = [&](Entry bad) {
        fs::remove_all(out);
        Archive f;
        f.entries = {file("first.txt", "first"), std::move(bad)};
        std::string message = errorOf([&] { extract(save(f)); });
        EXPECT_TRUE(fs::exists(out / "first.txt"));
        EXPECT_FALSE(fs::exists(out / "broken"));
        return message;
    };
    Entry truncated = file("broken", std::string(5000, 't'), 0);
    truncated.compressedSize = 1 << 20;
    EXPECT_EQ(failing(truncated), "Premature end of file reached");
    Entry garbage = file("broken", "x");
    garbage.payload = std::string(64, '\xFF');
    EXPECT_EQ(failing(garbage), "error");
    Entry unended = file("broken", bytesOf(50000, 5));
    unended.payload = ziptest::deflateRaw(unended.data).substr(0, 20000);
    EXPECT_EQ(failing(unended), "error");
    Entry empty = file("broken", "");
    empty.payload = "";
    EXPECT_EQ(failing(empty), "error");
    Archive big;
    big.entries = {file("first.txt", "first"), file("broken", std::string(3 << 20, 'b'))};
    fs::path zip = save(big);
    FileSizeLimit limit(1 << 20);
    EXPECT_EQ(errorOf([&] { extract(zip); }), "Cant write uncompressed file");
    EXPECT_FALSE(fs::exists(out / "broken"));
}

TEST_F(ZipTest, ZipExtractDeclaredSizesAndStreams) {
    // Data shorter than declared but with a matching CRC are kept as they
    // are: the declared size never pads or pre-sizes the file.
    Archive a;
    a.entries = {file("short-stored.txt", "abc", 0), file("short-deflated.txt", "abcdef"),
                 file("long-stored.bin", bytesOf(100, 9), 0), file("trailing.txt", "tail"),
                 file("after.txt", "after", 0)};
    a.entries[0].uncompressedSize = 10;
    a.entries[1].uncompressedSize = 4000;
    // Stored data longer than declared: that entry alone is dropped.
    a.entries[2].uncompressedSize = 50;
    // Bytes after the end of a Deflate stream, within the compressed size.
    a.entries[3].payload = ziptest::deflateRaw("tail") + "junk";
    EXPECT_EQ(extract(save(a)), 4);
    EXPECT_EQ(testutil::readFile(out / "short-stored.txt"), "abc");
    EXPECT_EQ(testutil::readFile(out / "short-deflated.txt"), "abcdef");
    EXPECT_FALSE(fs::exists(out / "long-stored.bin"));
    EXPECT_EQ(testutil::readFile(out / "trailing.txt"), "tail");
    EXPECT_EQ(testutil::readFile(out / "after.txt"), "after");

    // A local header past the end of the archive ends the extraction; the
    // files extracted before it stay.
    fs::remove_all(out);
    Archive far;
    far.entries = {file("first.txt", "first"), file("broken", "b")};
    ziptest::Built built = ziptest::build(far);
    const std::size_t offsetField = built.centralOffsets[1] + 42;
    for (int i = 0; i < 4; ++i) built.bytes[offsetField + i] = static_cast<char>(i < 3 ? 0xFF : 0x7F);
    EXPECT_EQ(errorOf([&] { extract(save(built.bytes)); }), "Premature end of file reached");
    EXPECT_EQ(testutil::readFile(out / "first.txt"), "first");
    EXPECT_FALSE(fs::exists(out / "broken"));
}

TEST_F(ZipTest, ZipExtractOverwriteModes) {
    // The entries carry 2021-03-14 15:09:26; the existing files are a year
    // older or a year newer.
    Archive a;
    a.entries = {file("old.txt", "new"), file("young.txt", "new")};
    const fs::path zip = save(a);
    auto prepare = [&] {
        fs::remove_all(out);
        const std::pair<const char*, std::time_t> files[] = {{"old.txt", localTime(2020, 3, 14, 12, 0, 0)},
                                                             {"young.txt", localTime(2022, 3, 14, 12, 0, 0)}};
        for (const auto& [name, when] : files) {
            testutil::writeFile(out / name, "mine");
            struct timespec times[2] = {{when, 0}, {when, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, (out / name).c_str(), times, 0), 0);
        }
    };
    TVCLUnZip z;
    setUp(z, zip);
    prepare();
    z.OverwriteMode = TUZOverwriteMode::ifNewer;
    EXPECT_EQ(z.ExtractEntries(), 1);
    EXPECT_EQ(testutil::readFile(out / "old.txt"), "new");
    EXPECT_EQ(testutil::readFile(out / "young.txt"), "mine");
    prepare();
    z.OverwriteMode = TUZOverwriteMode::ifOlder;
    EXPECT_EQ(z.ExtractEntries(), 1);
    EXPECT_EQ(testutil::readFile(out / "old.txt"), "mine");
    EXPECT_EQ(testutil::readFile(out / "young.txt"), "new");
    prepare();
    z.OverwriteMode = TUZOverwriteMode::Prompt;  // nobody to ask: kept
    EXPECT_EQ(z.ExtractEntries(), 0);
    EXPECT_EQ(testutil::readFile(out / "old.txt"), "mine");

    // A folder at an entry's name is never replaced, not even with Always.
    fs::remove_all(out);
    testutil::writeFile(out / "old.txt" / "inside.txt", "kept");
    z.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_EQ(z.ExtractEntries(), 1);
    EXPECT_EQ(testutil::readFile(out / "old.txt" / "inside.txt"), "kept");
    EXPECT_EQ(testutil::readFile(out / "young.txt"), "new");
}

// ---------------------------------------------------------------------------
// Hostile archives

TEST_F(ZipTest, ZipHostileNamesStayInside) {
    Archive a;
    a.entries = {file("../evil1.txt", "e"), file("a/../../evil2.txt", "e"), file("..\\evil3.txt", "e"),
                 file("x/..", "e"), file("../", ""), file(std::string("n\0/../../evil4.txt", 18), "e"),
                 file("/abs/x.txt", "x"), file("C:/drive/y.txt", "y"), file("C:rel/z.txt", "z"),
                 file("\\\\server\\share\\w.txt", "w"), file("good.txt", "good")};
    a.entries.push_back(file("link", "/etc/passwd"));
    a.entries.back().versionMadeBy = 3 << 8;
    a.entries.back().externalAttributes = 0120777u << 16;
    a.entries.push_back(file("linkdir/", ""));
    a.entries.back().versionMadeBy = 3 << 8;
    a.entries.back().externalAttributes = 0120777u << 16;

    fs::path zip = save(a);
    EXPECT_EQ(extract(zip), 5);
    EXPECT_EQ(testutil::readFile(out / "abs/x.txt"), "x");
    EXPECT_EQ(testutil::readFile(out / "drive/y.txt"), "y");
    EXPECT_EQ(testutil::readFile(out / "rel/z.txt"), "z");
    EXPECT_EQ(testutil::readFile(out / "server/share/w.txt"), "w");
    EXPECT_FALSE(fs::exists(out / "link"));
    EXPECT_FALSE(fs::exists(out / "linkdir"));
    for (const auto& e : fs::recursive_directory_iterator(tmp.path()))
        EXPECT_EQ(e.path().filename().string().find("evil"), std::string::npos) << e.path();
    std::set<std::string> top;
    for (const auto& e : fs::directory_iterator(tmp.path())) top.insert(e.path().filename().string());
    EXPECT_EQ(top, (std::set<std::string>{"out", "pkg.docx"}));

    // A link already at the destination is replaced, never written through.
    fs::path outside = tmp.path() / "outside.txt";
    testutil::writeFile(outside, "keep");
    fs::remove(out / "good.txt");
    fs::create_symlink(outside, out / "good.txt");
    EXPECT_EQ(extract(zip), 5);
    EXPECT_EQ(testutil::readFile(outside), "keep");
    EXPECT_TRUE(S_ISREG(modeOf(out / "good.txt")));
}

TEST_F(ZipTest, ZipHostileLinksOnThePathAreNeverFollowed) {
    // Links planted at every depth of the entries' paths: at the first
    // folder, deeper down, and a link to a folder with a file of the name.
    const fs::path outside = tmp.path() / "home";
    testutil::writeFile(outside / ".bashrc", "mine");
    testutil::writeFile(outside / "media" / "keep.png", "mine");
    fs::create_directories(out / "docProps");
    fs::create_directory_symlink(outside, out / "word");
    fs::create_directory_symlink(outside, out / "docProps" / "deep");
    fs::create_directory_symlink(outside, out / "home");
    Archive a;
    a.entries = {file("word/.bashrc", "attack"), file("word/media/keep.png", "attack"),
                 file("docProps/deep/.bashrc", "attack"), file("home/new.txt", "attack"),
                 file("\\\\word\\.bashrc", "attack"), file("fine/ok.txt", "ok")};
    EXPECT_EQ(extract(save(a)), 1);
    EXPECT_EQ(testutil::readFile(outside / ".bashrc"), "mine");
    EXPECT_EQ(testutil::readFile(outside / "media" / "keep.png"), "mine");
    EXPECT_FALSE(fs::exists(outside / "new.txt"));
    EXPECT_EQ(testutil::readFile(out / "fine" / "ok.txt"), "ok");

    // A file where a folder should be ends that entry alone.
    fs::remove_all(out);
    fs::create_directories(out);
    testutil::writeFile(out / "word", "a file");
    a.entries = {file("word/document.xml", "x"), file("other/b.txt", "b")};
    EXPECT_EQ(extract(save(a)), 1);
    EXPECT_EQ(testutil::readFile(out / "word"), "a file");

    // A FIFO given as the archive is refused, not waited on.
    const fs::path fifo = tmp.path() / "pipe.docx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(errorOf([&] { extract(fifo); }), "Cannot open file \"" + fifo.string() + "\". Not a regular file");
}

TEST_F(ZipTest, ZipHostileExpansionRefused) {
    const std::uint64_t fourGiB = std::uint64_t{4} << 30;
    const std::string zeros = ziptest::deflatedZeros(fourGiB);

    // Honest sizes: refused before anything is written, earlier entries included.
    Archive honest;
    honest.entries = {file("first.txt", "first"), file("zeros.bin", "")};
    honest.entries[1].payload = zeros;
    honest.entries[1].uncompressedSize = fourGiB;
    honest.entries[1].crc = 0;
    honest.entries[1].zip64 = true;
    honest.zip64End = true;
    std::string message = errorOf([&] { extract(save(honest)); });
    EXPECT_NE(message.find("refused"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(out / "first.txt"));

    // Too much in total, or too high a ratio, by the declared sizes alone.
    Archive total;
    for (int i = 0; i < 3; ++i) {
        total.entries.push_back(file("part" + std::to_string(i), "p"));
        total.entries.back().uncompressedSize = std::uint64_t{1} << 30;
        total.entries.back().compressedSize = std::uint64_t{11} << 20;
    }
    message = errorOf([&] { extract(save(total)); });
    EXPECT_NE(message.find("2 GiB"), std::string::npos) << message;
    Archive ratio;
    ratio.entries = {file("dense.xml", "d")};
    ratio.entries[0].uncompressedSize = std::uint64_t{500} << 20;
    ratio.entries[0].compressedSize = std::uint64_t{1} << 20;
    message = errorOf([&] { extract(save(ratio)); });
    EXPECT_NE(message.find("100 times"), std::string::npos) << message;

    // Declared sizes that lie: stopped while inflating. A file-size limit
    // makes any write past 32 MiB fail, which would show as another message.
    Archive liar;
    liar.entries = {file("zeros.bin", "")};
    liar.entries[0].payload = zeros;
    liar.entries[0].uncompressedSize = std::uint64_t{300} << 20;
    liar.entries[0].crc = 0;
    fs::path zip = save(liar);
    {
        FileSizeLimit limit(32 << 20);
        message = errorOf([&] { extract(zip); });
    }
    EXPECT_NE(message.find("100 times"), std::string::npos) << message;
    EXPECT_FALSE(fs::exists(out / "zeros.bin"));
}

TEST_F(ZipTest, ZipHostileTruncatedAndFlipped) {
    Archive a;
    a.entries = {file("word/document.xml", std::string(400, 'w') + bytesOf(100, 6)), file("word/", ""),
                 file("s.bin", bytesOf(60, 8), 0)};
    a.entries[0].comment = "c";
    a.comment = "archive comment";
    std::string bytes = ziptest::build(a).bytes;

    auto tryAll = [&](const std::string& variant, TIncompleteZipMode mode) {
        fs::remove_all(out);
        TVCLUnZip z;
        setUp(z, save(variant));
        z.IncompleteZipMode = mode;
        std::string message = errorOf([&] { z.ExtractEntries(); });
        EXPECT_TRUE(message.empty() || kArchiveMessages.count(message) || message.starts_with("Zip archive refused"))
            << message;
    };
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        tryAll(bytes.substr(0, n), TIncompleteZipMode::izAssumeMulti);
        tryAll(bytes.substr(0, n), TIncompleteZipMode::izAssumeBad);
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::string flipped = bytes;
        flipped[i] = static_cast<char>(flipped[i] ^ 0xFF);
        tryAll(flipped, TIncompleteZipMode::izAssumeMulti);
    }
}

TEST_F(ZipTest, ZipCorpusPackages) {
    fs::path corpus = testutil::corpusDir();
    if (corpus.empty()) GTEST_SKIP() << "no corpus";
    int packages = 0;
    for (const auto& e : fs::recursive_directory_iterator(corpus)) {
        if (e.path().extension() != ".docx") continue;
        ++packages;
        testutil::TempDir dest;
        TVCLUnZip z;
        z.SetZipName(e.path().string());
        z.SetDestDir(dest.str());
        z.RecreateDirs = true;
        z.DoAll = true;
        z.OverwriteMode = TUZOverwriteMode::Always;
        std::string message = errorOf([&] { z.ExtractEntries(); });
        EXPECT_TRUE(message.empty() || kArchiveMessages.count(message)) << e.path() << ": " << message;
        if (e.path().filename() == "bug65649.docx") {
            EXPECT_EQ(fs::file_size(dest.path() / "word/document.xml"), 12583832u);
        }
    }
    EXPECT_GT(packages, 0);
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/filehelpers.h"
#include "core/sha256.h"
#include "core/uStr.h"
#include "package/cache.h"
#include "package/docxInfo.h"
#include "package/workfolder.h"
#include "package/zipwriter.h"
#include "support/testutil.h"

using namespace tavin;
namespace fs = std::filesystem;

namespace {

ziptest::Entry entry(const std::string& name, const std::string& data, std::uint16_t method = 8) {
    ziptest::Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

std::string docx(const std::string& body) {
    ziptest::Archive a;
    a.entries.push_back(entry("[Content_Types].xml", "<Types/>"));
    a.entries.push_back(entry("word/document.xml", "<w:document><w:body>" + body + "</w:body></w:document>"));
    a.entries.push_back(entry("word/media/image1.png", std::string(100, 'x'), 0));
    return ziptest::build(a).bytes;
}

mode_t modeOf(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0 ? st.st_mode : 0;
}

std::vector<std::string> entriesOf(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

}  // namespace

TEST(FileHelpers, SizesAndNames) {
    EXPECT_EQ(sizeText(0), "0 KB");
    EXPECT_EQ(sizeText(-5), "0 KB");
    EXPECT_EQ(sizeText(1), "1 KB");
    EXPECT_EQ(sizeText(1023), "1 KB");
    EXPECT_EQ(sizeText(1024), "2 KB");
    EXPECT_EQ(sizeText(1025), "2 KB");
    EXPECT_EQ(sizeText(12800), "13 KB");
    EXPECT_EQ(workFolderName("/home/u/report.docx"), "report.");
    EXPECT_EQ(workFolderName("a.b.docx"), "a.b.");
    EXPECT_EQ(workFolderName("/x.y/README"), "");
    EXPECT_EQ(workFolderDirName("/home/u/report.docx"), "report");
    EXPECT_EQ(workFolderDirName("dir/a.b.docx"), "a.b");
    EXPECT_EQ(workFolderDirName("README"), "_");
    EXPECT_EQ(workFolderDirName("..docx"), "_");
    EXPECT_EQ(workFolderDirName("...docx"), "_");
    testutil::TempDir dir;
    testutil::writeFile(dir.path() / "f", std::string(3000, 'a'));
    EXPECT_EQ(fileSizeOf(dir.str() + "/f"), 3000);
    EXPECT_EQ(fileSizeOf(dir.str() + "/missing"), 0);
}

TEST(WorkFolder, TempRootFollowsTheEnvironment) {
    setenv("TAVIN_CACHE_DIR", "/tmp/somewhere", 1);
    EXPECT_EQ(tempRoot(), "/tmp/somewhere/");
    unsetenv("TAVIN_CACHE_DIR");
    setenv("XDG_CACHE_HOME", "/xdg", 1);
    EXPECT_EQ(tempRoot(), "/xdg/tavin/dxml/");
    unsetenv("XDG_CACHE_HOME");
    setenv("HOME", "/home/me", 1);
    EXPECT_EQ(tempRoot(), "/home/me/.cache/tavin/dxml/");
    // A relative XDG_CACHE_HOME is ignored, as for every XDG folder.
    setenv("XDG_CACHE_HOME", "cache", 1);
    EXPECT_EQ(tempRoot(), "/home/me/.cache/tavin/dxml/");
    unsetenv("XDG_CACHE_HOME");
}

TEST(WorkFolder, NamesAreHashedByPathAndFoldersPrivate) {
    EXPECT_EQ(workFolderKey("/home/u/report.docx"), "report-" + sha256Hex("/home/u/report.docx").substr(0, 8));
    EXPECT_NE(workFolderKey("/a/report.docx"), workFolderKey("/b/report.docx"));
    EXPECT_EQ(workFolderKey("/a/./x/../report.docx"), workFolderKey("/a/report.docx"));
    EXPECT_EQ(workFolderKey("/x/..docx").substr(0, 2), "_-");
    EXPECT_EQ(workFolderKey("/x/" + std::string(300, 'n') + ".docx").size(), 200u + 9u);

    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/a/b/";
    const std::string doc = dir.str() + "/report.docx";
    testutil::writeFile(doc, docx("<w:p>one</w:p>"));
    const std::string folder = openWorkFolder(doc, root);
    EXPECT_EQ(folder, root + workFolderKey(doc) + "/");
    for (const std::string& p : {dir.str() + "/cache", dir.str() + "/cache/a", root, folder}) {
        EXPECT_EQ(modeOf(p) & 07777, 0700u) << p;
    }
    // A root of ours with wider modes is made private.
    ::chmod(root.c_str(), 0755);
    openWorkFolder(doc, root);
    EXPECT_EQ(modeOf(root) & 07777, 0700u);
}

TEST(WorkFolder, ExtractsOnceThenReusesWhileUnchanged) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    const std::string doc = dir.str() + "/report.docx";
    testutil::writeFile(doc, docx("<w:p>one</w:p>"));
    const std::string folder = openWorkFolder(doc, root);
    EXPECT_NE(readTextFile(folder + "word/document.xml").find("one"), std::string::npos);
    EXPECT_EQ(readTextFile(folder + "word/media/image1.png"), std::string(100, 'x'));
    testutil::writeFile(fs::path(folder) / "word" / "doc.html", "converted");
    EXPECT_EQ(openWorkFolder(doc, root), folder);
    EXPECT_EQ(readTextFile(folder + "word/doc.html"), "converted");
    // Nothing but the work folder is left in the root.
    EXPECT_EQ(entriesOf(root), (std::vector<std::string>{workFolderKey(doc)}));
}

TEST(WorkFolder, DocumentsOfOneNameNeverShareAFolder) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache";
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    const std::string docA = dir.str() + "/a/same.docx";
    const std::string docB = dir.str() + "/b/same.docx";
    testutil::writeFile(docA, docx("<w:p>from a</w:p>"));
    testutil::writeFile(docB, docx("<w:p>from b, longer</w:p>"));
    const std::string folderA = openWorkFolder(docA, root);
    const std::string folderB = openWorkFolder(docB, root);
    EXPECT_NE(folderA, folderB);
    EXPECT_NE(readTextFile(folderA + "word/document.xml").find("from a"), std::string::npos);
    EXPECT_NE(readTextFile(folderB + "word/document.xml").find("from b"), std::string::npos);
    EXPECT_EQ(openWorkFolder(docA, root), folderA);
    EXPECT_NE(readTextFile(folderA + "word/document.xml").find("from a"), std::string::npos);

    // Editing the document: the next open shows the new content, and
    // nothing of the old extraction stays.
    testutil::writeFile(fs::path(folderA) / "stale.txt", "old");
    testutil::writeFile(docA, docx("<w:p>edited a</w:p>"));
    EXPECT_EQ(openWorkFolder(docA, root), folderA);
    EXPECT_NE(readTextFile(folderA + "word/document.xml").find("edited a"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::path(folderA) / "stale.txt"));
    EXPECT_EQ(entriesOf(root).size(), 2u);
}

TEST(WorkFolder, AReplacementOfTheSameSizeAndTimeIsExtractedAfresh) {
    // cp -p, rsync -t and unzip keep the modification time; the inode or the
    // change time tell the files apart.
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    const std::string doc = dir.str() + "/kept.docx";
    const std::string first = docx("<w:p>AAAA</w:p>"), second = docx("<w:p>BBBB</w:p>");
    ASSERT_EQ(first.size(), second.size());
    testutil::writeFile(doc, first);
    struct stat before {};
    ASSERT_EQ(::stat(doc.c_str(), &before), 0);
    const std::string folder = openWorkFolder(doc, root);
    auto keepTimes = [&] {
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, doc.c_str(), times, 0), 0);
    };

    // Replaced by another file (a new inode).
    testutil::writeFile(dir.path() / "new.docx", second);
    fs::rename(dir.path() / "new.docx", doc);
    keepTimes();
    EXPECT_EQ(openWorkFolder(doc, root), folder);
    EXPECT_NE(readTextFile(folder + "word/document.xml").find("BBBB"), std::string::npos);

    // Rewritten in place (same inode, a later change time).
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    testutil::writeFile(doc, first);
    keepTimes();
    EXPECT_EQ(openWorkFolder(doc, root), folder);
    EXPECT_NE(readTextFile(folder + "word/document.xml").find("AAAA"), std::string::npos);
}

TEST(WorkFolder, NothingWithoutOurRecordIsUsedOrTouched) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    const std::string doc = dir.str() + "/Documents.docx";
    testutil::writeFile(doc, docx("<w:p>x</w:p>"));
    const std::string key = workFolderKey(doc);
    const fs::path outside = dir.path() / "outside";
    testutil::writeFile(outside / "bashrc", "mine");

    // A folder of that name without a record, whose word/ is a link out.
    fs::create_directories(fs::path(root) / key);
    testutil::writeFile(fs::path(root) / key / "mine.txt", "keep me");
    fs::create_directory_symlink(outside, fs::path(root) / key / "word");
    EXPECT_EQ(testutil::errorOf([&] { openWorkFolder(doc, root); }),
              "Cannot use " + root + key + "/: it is not a work folder of Tavin");
    EXPECT_EQ(readTextFile(root + key + "/mine.txt"), "keep me");
    EXPECT_EQ(entriesOf(outside), (std::vector<std::string>{"bashrc"}));
    EXPECT_EQ(entriesOf(root), (std::vector<std::string>{key}));

    // A link of that name to a folder elsewhere, even one holding a record.
    fs::remove_all(fs::path(root) / key);
    testutil::writeFile(outside / kSourceRecordName, "forged");
    fs::create_directory_symlink(outside, fs::path(root) / key);
    EXPECT_NE(testutil::errorOf([&] { openWorkFolder(doc, root); }), "");
    EXPECT_EQ(entriesOf(outside).size(), 2u);
    EXPECT_EQ(readTextFile((outside / kSourceRecordName).string()), "forged");

    // A forged record in a folder of another user is not ours either.
    fs::remove(fs::path(root) / key);
    if (::geteuid() == 0) {
        const std::string good = openWorkFolder(doc, root);
        testutil::writeFile(fs::path(good) / "word" / "document.xml", "<w:document>forged</w:document>");
        ASSERT_EQ(::chown(good.c_str(), 65534, 65534), 0);
        EXPECT_NE(testutil::errorOf([&] { openWorkFolder(doc, root); }), "");
        EXPECT_EQ(readTextFile(good + "word/document.xml"), "<w:document>forged</w:document>");
    }
}

TEST(WorkFolder, ARootThatIsALinkOrAnotherUsersIsRefused) {
    testutil::TempDir dir;
    const std::string doc = dir.str() + "/r.docx";
    testutil::writeFile(doc, docx("<w:p>x</w:p>"));
    fs::create_directories(dir.path() / "elsewhere");
    fs::create_directory_symlink(dir.path() / "elsewhere", dir.path() / "linked");
    EXPECT_EQ(testutil::errorOf([&] { openWorkFolder(doc, dir.str() + "/linked/"); }),
              "The cache folder " + dir.str() + "/linked is a link; Tavin uses only a folder of its own");
    EXPECT_TRUE(entriesOf(dir.path() / "elsewhere").empty());

    // Another user's folder: made so when the test may, else one of root's.
    std::string foreign = "/";
    if (::geteuid() == 0) {
        foreign = dir.str() + "/shared";
        fs::create_directories(foreign);
        ::chmod(foreign.c_str(), 0777);
        ASSERT_EQ(::chown(foreign.c_str(), 65534, 65534), 0);
    }
    EXPECT_EQ(testutil::errorOf([&] { openWorkFolder(doc, foreign); }),
              "The cache folder " + foreign + " belongs to another user; Tavin uses only a folder of its own");
    if (foreign != "/") {
        EXPECT_TRUE(entriesOf(foreign).empty());
    }
}

TEST(WorkFolder, FailedExtractionLeavesNothing) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    const std::string doc = dir.str() + "/text.docx";
    testutil::writeFile(doc, "this is not a zip file, only text");
    try {
        openWorkFolder(doc, root);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Incomplete Zip File");
    }
    EXPECT_TRUE(entriesOf(root).empty());
    EXPECT_THROW(openWorkFolder(dir.str() + "/missing.docx", root), Error);

    // A FIFO or a folder is refused before anything opens it.
    const std::string fifo = dir.str() + "/x.docx";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(testutil::errorOf([&] { openWorkFolder(fifo, root); }), "Not a regular file");
    EXPECT_EQ(testutil::errorOf([&] { openWorkFolder(dir.str(), root); }), "Not a regular file");
    EXPECT_TRUE(entriesOf(root).empty());
}

TEST(WorkFolder, StaleTemporaryFoldersAreRemovedAfterADay) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    fs::create_directories(root);
    const std::string doc = dir.str() + "/s.docx";
    testutil::writeFile(doc, docx("<w:p>x</w:p>"));
    auto plant = [&](const std::string& name, long age) {
        testutil::writeFile(fs::path(root) / name / "word" / "document.xml", "left over");
        const struct timespec times[2] = {{std::time(nullptr) - age, 0}, {std::time(nullptr) - age, 0}};
        ::utimensat(AT_FDCWD, (root + name).c_str(), times, 0);
    };
    plant(".s-0000abcd.Ab12Cd", 2 * 86400);
    plant(".other.old.x1y2z3", 3 * 86400);
    plant(".s-0000abcd.Qq12Rr", 600);  // another opener's, still at work
    plant("notours", 5 * 86400);
    openWorkFolder(doc, root);
    auto names = entriesOf(root);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".s-0000abcd.Qq12Rr", "notours", workFolderKey(doc)}));
}

TEST(WorkFolder, ConcurrentOpenersBothSeeTheWholeFolder) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    const std::string doc = dir.str() + "/big.docx";
    std::string body;
    for (int i = 0; i < 2000; ++i) body += "<w:p>paragraph " + std::to_string(i) + "</w:p>";
    testutil::writeFile(doc, docx(body));
    for (int round = 0; round < 5; ++round) {
        fs::remove_all(root);
        std::string seen[2];
        std::thread t[2];
        for (int k = 0; k < 2; ++k) {
            t[k] = std::thread([&, k] { seen[k] = readTextFile(openWorkFolder(doc, root) + "word/document.xml"); });
        }
        for (auto& th : t) th.join();
        EXPECT_EQ(seen[0], seen[1]);
        EXPECT_NE(seen[0].find("paragraph 1999"), std::string::npos);
        EXPECT_EQ(entriesOf(root), (std::vector<std::string>{workFolderKey(doc)}));
    }
}

// Every way through opening, refusing and pruning gives back the
// descriptors and folder streams it opened.
TEST(WorkFolder, OpeningRefusingAndPruningLeaveNoDescriptorOpen) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    const std::string doc = dir.str() + "/d.docx";
    const std::string gone = dir.str() + "/gone.docx";
    testutil::writeFile(doc, docx("<w:p>x</w:p>"));
    testutil::writeFile(gone, docx("<w:p>y</w:p>"));
    const int before = testutil::openDescriptors();

    const std::string folder = openWorkFolder(doc, root);
    EXPECT_EQ(openWorkFolder(doc, root), folder);  // reused
    testutil::writeFile(doc, docx("<w:p>changed</w:p>"));
    EXPECT_EQ(openWorkFolder(doc, root), folder);  // extracted afresh, swapped in
    EXPECT_NE(readTextFile(folder + "word/document.xml").find("changed"), std::string::npos);
    const std::string other = openWorkFolder(gone, root);
    fs::remove(gone);

    // A folder of the name without a record, and a root that is a link.
    const std::string stranger = dir.str() + "/s.docx";
    testutil::writeFile(stranger, docx("<w:p>z</w:p>"));
    fs::create_directories(fs::path(root) / workFolderKey(stranger));
    EXPECT_NE(testutil::errorOf([&] { openWorkFolder(stranger, root); }), "");
    fs::create_directory_symlink(root, dir.path() / "linked");
    EXPECT_NE(testutil::errorOf([&] { openWorkFolder(doc, dir.str() + "/linked/"); }), "");
    EXPECT_NE(testutil::errorOf([&] { openWorkFolder(dir.str() + "/none.docx", root); }), "");

    // Pruning: the work folder whose document is gone goes, the rest stay.
    EXPECT_EQ(pruneCache(root, "", 30), 1);
    EXPECT_FALSE(fs::exists(other));
    EXPECT_TRUE(fs::exists(folder));
    EXPECT_EQ(pruneCache(dir.str() + "/none", "", -1), 0);
    EXPECT_EQ(testutil::openDescriptors(), before);
}

TEST(CoreProperties, MarkersFirstOccurrenceNoDecoding) {
    testutil::TempDir dir;
    const std::string folder = dir.str() + "/";
    EXPECT_EQ(readCoreProperties(folder).title, "");
    testutil::writeFile(
        dir.path() / "docProps" / "core.xml",
        "<cp:coreProperties><dc:title>R&amp;D </dc:title><dc:title>second</dc:title>"
        "<dc:creator xml:lang=\"en\">Ann</dc:creator><cp:lastModifiedBy>Bob</cp:lastModifiedBy>"
        "<cp:keywords>k1</cp:keywords>"
        "<dcterms:created xsi:type=\"dcterms:W3CDTF\">2010-04-20T08:15:00Z</dcterms:created>"
        "<dcterms:modified xsi:type='dcterms:W3CDTF'>2011-01-01T00:00:00Z</dcterms:modified></cp:coreProperties>");
    const TdocxInfo info = readCoreProperties(folder);
    EXPECT_EQ(info.title, "R&amp;D ");
    EXPECT_EQ(info.creator, "");  // attributes on the element: not matched
    EXPECT_EQ(info.lastModifiedBy, "Bob");
    EXPECT_EQ(info.keywords, "k1");
    EXPECT_EQ(info.keywords2, "k1");
    EXPECT_EQ(info.created, "2010-04-20T08:15:00Z");
    EXPECT_EQ(info.modified, "");  // other quote marks
    EXPECT_EQ(elementContent("<a></a>", "a"), "");
}

TEST(CoreProperties, MorePropertiesAndTheirTextAsAReaderSeesIt) {
    testutil::TempDir dir;
    const std::string folder = dir.str() + "/";
    testutil::writeFile(dir.path() / "docProps" / "core.xml",
                        "<cp:coreProperties><dc:subject>Plans</dc:subject><dc:description>Long</dc:description>"
                        "<cp:revision>7</cp:revision></cp:coreProperties>");
    testutil::writeFile(dir.path() / "docProps" / "app.xml", "<Properties><Pages>3</Pages><Words>512</Words></Properties>");
    const TdocxMoreInfo more = readMoreProperties(folder);
    EXPECT_EQ(std::vector<std::string>({more.subject, more.description, more.revision, more.pages, more.words}),
              std::vector<std::string>({"Plans", "Long", "7", "3", "512"}));
    EXPECT_EQ(readMoreProperties(folder + "none/").pages, "");

    const std::pair<const char*, const char*> cases[] = {
        {"R&amp;D &lt;b&gt; &quot;x&quot; &apos;y&apos;", "R&D <b> \"x\" 'y'"},
        {"&#233;t&#xE9; &#x1F600;", "\xc3\xa9t\xc3\xa9 \xf0\x9f\x98\x80"},
        {"&nbsp; &#0; &#xD800; &#x110000; &#; &#x; &#12a;", "&nbsp; &#0; &#xD800; &#x110000; &#; &#x; &#12a;"},
        {"a & b &lt;", "a & b <"},
        {"&amp;lt; &", "&lt; &"},
    };
    for (const auto& [stored, shown] : cases) EXPECT_EQ(xmlText(stored), shown) << stored;
}

// The font table is taken out too: it names the generic family of each font.
TEST(ConversionParts, StoriesTheirRelationshipsAndPicturesAreTakenOutAndNothingElse) {
    const std::string type = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    auto rel = [&](const std::string& id, const std::string& t, const std::string& target) {
        return "<Relationship Id=\"" + id + "\" Type=\"" + type + t + "\" Target=\"" + target + "\"/>";
    };
    ziptest::Archive a;
    a.entries.push_back(entry("_rels/.rels", "<Relationships>" + rel("r1", "officeDocument", "word/document.xml") +
                                                 "</Relationships>"));
    a.entries.push_back(entry("word/document.xml", "<w:document/>"));
    a.entries.push_back(entry("word/_rels/document.xml.rels",
                              "<Relationships>" + rel("a", "footnotes", "footnotes.xml") +
                                  rel("b", "endnotes", "endnotes.xml") + rel("c", "comments", "comments.xml") +
                                  rel("d", "header", "header1.xml") + rel("e", "footer", "/parts/footer1.xml") +
                                  rel("f", "settings", "settings.xml") + rel("g", "fontTable", "fontTable.xml") +
                                  rel("h", "header", "../../outside.xml") + "</Relationships>"));
    for (const char* name : {"word/footnotes.xml", "word/_rels/footnotes.xml.rels", "word/endnotes.xml",
                             "word/comments.xml", "word/header1.xml", "word/_rels/header1.xml.rels",
                             "parts/footer1.xml", "parts/_rels/footer1.xml.rels", "parts/media/logo.png",
                             "word/settings.xml", "word/fontTable.xml", "word/webSettings.xml"})
        a.entries.push_back(entry(name, "<x/>"));
    testutil::TempDir dir;
    const std::string doc = dir.str() + "/stories.docx";
    testutil::writeFile(doc, ziptest::build(a).bytes);
    const std::string out = dir.str() + "/out/";
    extractConversionParts(doc, out);
    for (const char* name : {"word/footnotes.xml", "word/_rels/footnotes.xml.rels", "word/endnotes.xml",
                             "word/comments.xml", "word/header1.xml", "word/_rels/header1.xml.rels",
                             "parts/footer1.xml", "parts/_rels/footer1.xml.rels", "parts/media/logo.png",
                             "word/settings.xml", "word/fontTable.xml"})
        EXPECT_TRUE(fs::exists(out + name)) << name;
    EXPECT_FALSE(fs::exists(out + "word/webSettings.xml"));
}

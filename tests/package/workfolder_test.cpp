#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "core/filehelpers.h"
#include "core/uStr.h"
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
}

TEST(WorkFolder, ExtractsOnceThenReusesWhileUnchanged) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache/";
    const std::string doc = dir.str() + "/report.docx";
    testutil::writeFile(doc, docx("<w:p>one</w:p>"));
    const std::string folder = openWorkFolder(doc, root);
    EXPECT_EQ(folder, root + "report/");
    EXPECT_NE(readTextFile(folder + "word/document.xml").find("one"), std::string::npos);
    EXPECT_EQ(readTextFile(folder + "word/media/image1.png"), std::string(100, 'x'));
    testutil::writeFile(fs::path(folder) / "word" / "doc.html", "converted");
    EXPECT_EQ(openWorkFolder(doc, root), folder);
    EXPECT_EQ(readTextFile(folder + "word/doc.html"), "converted");
    // Nothing but the work folder is left in the root.
    EXPECT_EQ(entriesOf(root), (std::vector<std::string>{"report"}));
}

TEST(WorkFolder, ChangedOrOtherFileIsExtractedAfresh) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/cache";
    fs::create_directories(dir.path() / "a");
    fs::create_directories(dir.path() / "b");
    const std::string docA = dir.str() + "/a/same.docx";
    const std::string docB = dir.str() + "/b/same.docx";
    testutil::writeFile(docA, docx("<w:p>from a</w:p>"));
    testutil::writeFile(docB, docx("<w:p>from b, longer</w:p>"));
    const std::string folder = openWorkFolder(docA, root);
    testutil::writeFile(fs::path(folder) / "stale.txt", "old");
    EXPECT_EQ(openWorkFolder(docB, root), folder);
    EXPECT_NE(readTextFile(folder + "word/document.xml").find("from b"), std::string::npos);
    EXPECT_FALSE(fs::exists(fs::path(folder) / "stale.txt"));
    // Editing the document: the next open shows the new content.
    testutil::writeFile(docA, docx("<w:p>edited a</w:p>"));
    openWorkFolder(docA, root);
    EXPECT_NE(readTextFile(folder + "word/document.xml").find("edited a"), std::string::npos);
    EXPECT_EQ(entriesOf(root), (std::vector<std::string>{"same"}));
}

TEST(WorkFolder, ForeignFolderIsNeverRemoved) {
    testutil::TempDir dir;
    const std::string root = dir.str() + "/";
    testutil::writeFile(dir.path() / "Documents" / "mine.txt", "keep me");
    const std::string doc = dir.str() + "/Documents.docx";
    testutil::writeFile(doc, docx("<w:p>x</w:p>"));
    const std::string folder = openWorkFolder(doc, root);
    EXPECT_EQ(readTextFile(folder + "mine.txt"), "keep me");
    EXPECT_TRUE(fs::exists(folder + "word/document.xml"));
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
        EXPECT_EQ(entriesOf(root), (std::vector<std::string>{"big"}));
    }
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

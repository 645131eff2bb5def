// Conversions on several threads at once give the pages a conversion alone
// gives: no step keeps state outside its context. Built with
// ThreadSanitizer by `make check-tsan`, which then also reports any data race.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "docx2html/docx2html.h"
#include "package/workfolder.h"
#include "support/testutil.h"

namespace fs = std::filesystem;

namespace {

// Small documents of every family the steps treat, written as package
// folders: lists, tables with merged cells, fields, links and bookmarks,
// notes and a header (for Full Fidelity), an equation and a symbol.
void writeGeneratedDocuments(const fs::path& root, std::vector<std::string>& folders) {
    const std::string rels =
        "<?xml version=\"1.0\"?><Relationships xmlns=\"r\">"
        "<Relationship Id=\"rId1\" Type=\"http://x/styles\" Target=\"styles.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"http://x/numbering\" Target=\"numbering.xml\"/>"
        "<Relationship Id=\"rId3\" Type=\"http://x/hyperlink\" Target=\"https://example.org/\" TargetMode=\"External\"/>"
        "<Relationship Id=\"rId4\" Type=\"http://x/footnotes\" Target=\"footnotes.xml\"/>"
        "<Relationship Id=\"rId5\" Type=\"http://x/header\" Target=\"header1.xml\"/>"
        "</Relationships>";
    const std::string styles =
        "<w:styles><w:style w:type=\"paragraph\" w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/>"
        "<w:rPr><w:b/><w:sz w:val=\"32\"/></w:rPr></w:style>"
        "<w:style w:type=\"table\" w:styleId=\"Grid\"><w:tblPr><w:tblBorders><w:top w:val=\"single\" w:sz=\"4\"/>"
        "</w:tblBorders></w:tblPr></w:style></w:styles>";
    const std::string numbering =
        "<w:numbering><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>"
        "<w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/></w:lvl><w:lvl w:ilvl=\"1\">"
        "<w:numFmt w:val=\"lowerLetter\"/><w:lvlText w:val=\"%2)\"/></w:lvl></w:abstractNum>"
        "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
    const std::string item = "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\" /><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
                             "<w:r><w:t>Item</w:t></w:r></w:p>";
    const std::string table =
        "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/></w:tblPr><w:tr><w:tc><w:tcPr><w:vMerge w:val=\"restart\"/>"
        "</w:tcPr><w:p><w:r><w:t>a</w:t></w:r></w:p></w:tc><w:tc><w:p><w:r><w:t>b</w:t></w:r></w:p></w:tc></w:tr>"
        "<w:tr><w:tc><w:tcPr><w:vMerge/></w:tcPr><w:p/></w:tc><w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc>"
        "</w:tr></w:tbl>";
    const std::string rich =
        "<w:p><w:pPr><w:pStyle w:val=\"Heading1\"/></w:pPr><w:r><w:t>Title</w:t></w:r></w:p>"
        "<w:p><w:bookmarkStart w:id=\"0\" w:name=\"here\"/><w:hyperlink r:id=\"rId3\"><w:r><w:t>web</w:t></w:r>"
        "</w:hyperlink><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>PAGE</w:instrText></w:r>"
        "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>7</w:t></w:r>"
        "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r><w:bookmarkEnd w:id=\"0\"/>"
        "<w:r><w:footnoteReference w:id=\"1\"/></w:r><w:r><w:sym w:font=\"Symbol\" w:char=\"F061\"/></w:r></w:p>"
        "<w:p><m:oMath><m:r><m:t>x</m:t></m:r></m:oMath></w:p>";
    const std::string section =
        "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rId5\"/><w:pgSz w:w=\"12240\" w:h=\"15840\"/>"
        "<w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr>";
    const std::string bodies[] = {item + item + rich + table + section, table + table + item + section,
                                  rich + item + item + item + section};
    for (std::size_t i = 0; i < std::size(bodies); ++i) {
        const fs::path dir = root / ("generated" + std::to_string(i));
        testutil::writeFile(dir / "word/document.xml", "<w:document><w:body>" + bodies[i] + "</w:body></w:document>");
        testutil::writeFile(dir / "word/_rels/document.xml.rels", rels);
        testutil::writeFile(dir / "word/styles.xml", styles);
        testutil::writeFile(dir / "word/numbering.xml", numbering);
        testutil::writeFile(dir / "word/footnotes.xml",
                            "<w:footnotes><w:footnote w:id=\"1\"><w:p><w:r><w:t>Note</w:t></w:r></w:p>"
                            "</w:footnote></w:footnotes>");
        testutil::writeFile(dir / "word/header1.xml", "<w:hdr><w:p><w:r><w:t>Head</w:t></w:r></w:p></w:hdr>");
        folders.push_back(dir.string() + "/");
    }
}

// The corpus documents extracted under root, or the sample and generated
// documents when the corpus is absent.
std::vector<std::string> documentFolders(const fs::path& root) {
    std::vector<std::string> folders;
    const fs::path corpus = testutil::corpusDir();
    if (!corpus.empty()) {
        std::vector<fs::path> docs;
        for (const auto& e : fs::recursive_directory_iterator(corpus)) {
            if (e.is_regular_file() && e.path().extension() == ".docx") docs.push_back(e.path());
        }
        std::sort(docs.begin(), docs.end());
        for (std::size_t i = 0; i < docs.size(); ++i) {
            const std::string folder = (root / std::to_string(i)).string() + "/";
            try {
                tavin::extractPackage(docs[i].string(), folder);
            } catch (const tavin::Error&) {
                // Converting what is there fails the same way on every thread.
            }
            folders.push_back(folder);
        }
    }
    folders.push_back(std::string(TAVIN_SOURCE_DIR) + "/samples/sample/");
    writeGeneratedDocuments(root, folders);
    return folders;
}

// The page, or the message of the failure, for one document and option.
std::string pageOf(const std::string& folder, bool fidelity) {
    tavin::ConversionContext ctx;
    tavin::ConvertOptions options;
    options.title = tavin::titleFromPath(folder);
    options.fullFidelity = fidelity;
    try {
        tavin::convertPackage(ctx, folder, options);
    } catch (const tavin::Error& e) {
        return std::string("error: ") + e.what();
    }
    return ctx.workingText;
}

}  // namespace

TEST(Threads, FourThreadsGiveThePagesOfOne) {
    testutil::TempDir dir;
    const std::vector<std::string> folders = documentFolders(dir.path());
    // Every document with Full Fidelity on and off.
    const std::size_t jobs = 2 * folders.size();
    std::vector<std::string> alone(jobs), together(jobs);
    for (std::size_t k = 0; k < jobs; ++k) alone[k] = pageOf(folders[k / 2], k % 2 == 0);

    // The four threads take the jobs from the end, so that each document is
    // converted beside other ones than before.
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t k; (k = next++) < jobs;) {
            const std::size_t job = jobs - 1 - k;
            together[job] = pageOf(folders[job / 2], job % 2 == 0);
        }
    };
    std::vector<std::thread> pool;
    for (int t = 0; t < 4; ++t) pool.emplace_back(work);
    for (auto& t : pool) t.join();

    std::size_t pages = 0;
    for (std::size_t k = 0; k < jobs; ++k) {
        EXPECT_EQ(together[k], alone[k]) << folders[k / 2] << (k % 2 == 0 ? " (Full Fidelity)" : " (classic)");
        if (alone[k].rfind("<html>", 0) == 0 || alone[k].rfind("<!DOCTYPE html>\r\n<html>", 0) == 0) ++pages;
    }
    // Most documents make a page; a run where all fail tells nothing.
    EXPECT_GT(pages, jobs / 2);
}

// Hostile documents: each one opens to a page or stops with a clear message,
// in bounded time and memory, and writes nothing outside its work folder.
//
// Archive-level hostility on its own (names with "..", absolute names and
// drive letters, link entries, links already at the destination, lying
// sizes, truncated and damaged archives) is covered by the ZipHostile* tests
// of tests/package/zip_test.cpp; here the same packages go through the work
// folder and the conversion, as the viewer opens them.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <vector>

#include <sys/wait.h>

#include "docx2html/docx2html.h"
#include "hostile/hostile_docs.h"
#include "package/workfolder.h"
#include "package/zipwriter.h"
#include "support/testutil.h"

using namespace tavin;
namespace fs = std::filesystem;

namespace {

using hostiledocs::documentXml;
using hostiledocs::para;
using hostiledocs::kWordNs;
using hostiledocs::repeat;

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + part.size())) ++n;
    return n;
}

// The page a conversion gave, or the message it stopped with.
struct Outcome {
    std::string page;
    std::string error;
    bool isPage() const { return error.empty(); }
};

Outcome convertFolder(const std::string& folder) {
    ConversionContext ctx;
    ctx.workFolder = folder;
    ctx.docTitle = "hostile";
    try {
        loadParts(ctx);
        convert(ctx);
    } catch (const Error& e) {
        return {"", e.what()};
    }
    return {std::move(ctx.workingText), ""};
}

// Converts an extracted package made of the given parts.
Outcome convertParts(const std::string& document, const std::string& styles = "",
                     const std::string& numbering = "") {
    testutil::TempDir dir;
    fs::create_directories(dir.path() / "word");
    testutil::writeFile(dir.path() / "word/document.xml", document);
    if (!styles.empty()) testutil::writeFile(dir.path() / "word/styles.xml", styles);
    if (!numbering.empty()) testutil::writeFile(dir.path() / "word/numbering.xml", numbering);
    return convertFolder(dir.str() + "/");
}

void expectWholePage(const Outcome& o) {
    ASSERT_TRUE(o.isPage()) << o.error;
    EXPECT_EQ(o.page.rfind("<html>\r\n<head>", 0), 0u);
    EXPECT_EQ(o.page.size() - o.page.rfind("</body></html>"), 14u);
}

ziptest::Entry entry(const std::string& name, const std::string& data, std::uint16_t method = 8) {
    ziptest::Entry e;
    e.name = name;
    e.data = data;
    e.method = method;
    return e;
}

// A .docx under a fresh folder that also holds the work folders' root.
class HostilePackage : public ::testing::Test {
protected:
    testutil::TempDir tmp;
    std::string root = tmp.str() + "/cache/";

    std::string save(const ziptest::Archive& a, const std::string& name = "hostile.docx") {
        const fs::path p = tmp.path() / name;
        testutil::writeFile(p, ziptest::build(a).bytes);
        return p.string();
    }
    // Opens the package as the viewer does and converts it.
    Outcome open(const std::string& docx) {
        std::string folder;
        try {
            folder = openWorkFolder(docx, root);
        } catch (const Error& e) {
            return {"", e.what()};
        }
        return convertFolder(folder);
    }
    // Everything under the temp folder, relative to it.
    std::set<std::string> tree() const {
        std::set<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(tmp.path()))
            names.insert(fs::relative(e.path(), tmp.path()).string());
        return names;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
// Packages

TEST_F(HostilePackage, EscapingEntriesStayInTheWorkFolder) {
    ziptest::Archive a;
    a.entries = {entry("word/document.xml", documentXml(para("kept"))), entry("../escaped.txt", "x"),
                 entry("word/../../../escaped2.txt", "x"), entry("/abs/rooted.txt", "x"),
                 entry("C:/drive/rooted.txt", "x")};
    a.entries.push_back(entry("word/link", "/etc/passwd"));
    a.entries.back().versionMadeBy = 3 << 8;
    a.entries.back().externalAttributes = 0120777u << 16;

    const std::string doc = save(a);
    const Outcome o = open(doc);
    expectWholePage(o);
    EXPECT_NE(o.page.find("kept"), std::string::npos);
    const fs::path folder = fs::path(root) / tavin::workFolderKey(doc);
    for (const std::string& name : tree()) {
        EXPECT_EQ(name.find("escaped"), std::string::npos) << name;
        EXPECT_TRUE(name == "hostile.docx" || name == "cache" || name.starts_with("cache/hostile")) << name;
    }
    EXPECT_TRUE(fs::exists(folder / "abs/rooted.txt"));
    EXPECT_FALSE(fs::exists(folder / "word/link"));
}

TEST_F(HostilePackage, GigabytesAreRefusedBeforeTheyAreWritten) {
    const std::string eightMiB = ziptest::deflatedZeros(std::uint64_t{8} << 20);
    const std::uint32_t eightMiBCrc = ziptest::crcOf(std::string(std::size_t{8} << 20, '\0'));

    // One entry of 4 GiB.
    ziptest::Archive one;
    one.entries = {entry("word/document.xml", documentXml(para("x"))), entry("word/media/huge.bin", "")};
    one.entries[1].payload = ziptest::deflatedZeros(std::uint64_t{4} << 30);
    one.entries[1].uncompressedSize = std::uint64_t{4} << 30;
    one.entries[1].crc = 0;
    one.entries[1].zip64 = true;
    one.zip64End = true;

    // 200 entries of 8 MiB each: every one within the per-entry bounds,
    // 1.6 GiB together from a package of under 2 MB.
    ziptest::Archive many;
    many.entries = {entry("word/document.xml", documentXml(para("x")))};
    for (int i = 0; i < 200; ++i) {
        many.entries.push_back(entry("word/media/zeros" + std::to_string(i) + ".bin", ""));
        many.entries.back().payload = eightMiB;
        many.entries.back().uncompressedSize = std::uint64_t{8} << 20;
        many.entries.back().crc = eightMiBCrc;
    }

    for (const auto& [a, why] : {std::pair{&one, "more than 1 GiB"}, std::pair{&many, "100 times its size"}}) {
        const Outcome o = open(save(*a));
        EXPECT_EQ(o.error.rfind("Zip archive refused", 0), 0u) << o.error;
        EXPECT_NE(o.error.find(why), std::string::npos) << o.error;
        // The failed extraction leaves no folder behind.
        for (const std::string& name : tree()) EXPECT_TRUE(name == "hostile.docx" || name == "cache") << name;
    }
}

TEST_F(HostilePackage, AHundredThousandEntries) {
    // Entries whose names are skipped or that only name a folder cost no
    // file of their own, so the test stays quick while the directory, the
    // plan and the walk see every entry.
    ziptest::Archive a;
    a.entries.reserve(100001);
    a.entries.push_back(entry("word/document.xml", documentXml(para("many"))));
    for (int i = 0; i < 100000; ++i) {
        a.entries.push_back(entry(i % 2 ? "../x" + std::to_string(i) : "word/", "", 0));
    }
    const Outcome o = open(save(a));
    expectWholePage(o);
    EXPECT_NE(o.page.find("many"), std::string::npos);
}

TEST_F(HostilePackage, NamesOfTheLongestLength) {
    ziptest::Archive a;
    a.entries = {entry("word/document.xml", documentXml(para("named"))), entry(std::string(65535, 'n'), "flat"),
                 entry(repeat("d/", 32767) + "f", "deep"), entry("word/" + std::string(65530, 'w'), "word")};
    const Outcome o = open(save(a));
    expectWholePage(o);
    EXPECT_NE(o.page.find("named"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Document texts

TEST(HostileDocument, TablesNestedAThousandLevels) {
    const std::string cellOpen = "<w:tbl><w:tblPr><w:tblW w:w=\"5000\" w:type=\"pct\"/></w:tblPr><w:tr><w:tc>"
                                 "<w:tcPr><w:vMerge w:val=\"restart\"/><w:gridSpan w:val=\"2\"/></w:tcPr>";
    const std::string cellClose = para("c") + "</w:tc></w:tr></w:tbl>";
    const Outcome o = convertParts(documentXml(repeat(cellOpen, 1000) + para("core") + repeat(cellClose, 1000)));
    expectWholePage(o);
    // Past the depth a page may nest, the tags show as text; no cell's
    // text is lost.
    EXPECT_GE(count(o.page, "<table"), 40u);
    EXPECT_EQ(count(o.page, "<table") + count(o.page, "&lt;table"), 1000u);
    EXPECT_EQ(count(o.page, ">c</p>") + count(o.page, ">c&lt;/p>"), 1000u);
    EXPECT_NE(o.page.find("core"), std::string::npos);
}

TEST(HostileDocument, TablePropertiesRepeatedAndTableStylesOfTheirOwn) {
    // Unterminated borders, each searched for their end and worked out anew.
    const Outcome borders = convertParts(documentXml("<w:tbl><w:tblPr>" + repeat("<w:tblBorders>", 20000) +
                                                     "</w:tblPr><w:tr><w:tc>" + para("c") + "</w:tc></w:tr></w:tbl>"));
    expectWholePage(borders);
    // 5,000 tables, each of a style of its own, each searched for in the
    // whole styles part.
    std::string styles = "<w:styles " + kWordNs + ">";
    std::string body;
    for (int i = 0; i < 5000; ++i) {
        const std::string id = "T" + std::to_string(i);
        styles += "<w:style w:type=\"table\" w:styleId=\"" + id + "\"><w:tblPr><w:tblBorders><w:insideH w:sz=\"" +
                  std::to_string(15 * (i % 3 + 1)) + "\"/></w:tblBorders></w:tblPr></w:style>";
        body += "<w:tbl><w:tblPr><w:tblStyle w:val=\"" + id + "\"/></w:tblPr><w:tr><w:tc>" + para("c") +
                "</w:tc></w:tr></w:tbl>";
    }
    const Outcome tables = convertParts(documentXml(body), styles + "</w:styles>");
    expectWholePage(tables);
    EXPECT_EQ(count(tables.page, "<table border=3"), 1666u);
    // The same styles without their end tags but the last: each style's text
    // runs on to the end of the part, and each was worked out on its own.
    const Outcome unended = convertParts(documentXml(body), replaceAll(styles, "</w:style>", "") + "</w:style></w:styles>");
    expectWholePage(unended);
    EXPECT_EQ(count(unended.page, "<table border=1"), 1667u);
}

TEST(HostileDocument, AHundredThousandNestedFields) {
    const std::string begin = "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>PAGE</w:instrText></w:r>";
    const std::string end = "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
    const Outcome o = convertParts(
        documentXml("<w:p>" + repeat(begin, 100000) + "<w:r><w:t>inner</w:t></w:r>" + repeat(end, 100000) + "</w:p>" +
                    para("after")));
    expectWholePage(o);
    EXPECT_NE(o.page.find("after"), std::string::npos);
}

TEST(HostileDocument, CellPropertiesWithElementsWithoutEndTags) {
    // Every start tag without an end tag was searched for one to the end of
    // the cell's properties.
    const std::string body = "<w:tbl><w:tr><w:tc>" + repeat("<w:tcPr><w:shd w:fill=\"auto\"/>", 20000) +
                             "</w:tcPr>" + para("cell") + "</w:tc></w:tr></w:tbl>";
    const Outcome o = convertParts(documentXml(body));
    expectWholePage(o);
    EXPECT_NE(o.page.find("cell"), std::string::npos);
    // As many elements, each of a name of its own.
    std::string distinct = "<w:tbl><w:tr><w:tc><w:tcPr>";
    for (int i = 0; i < 20000; ++i) distinct += "<x" + std::to_string(i) + ">";
    const Outcome named = convertParts(documentXml(distinct + "</w:tcPr>" + para("cell") + "</w:tc></w:tr></w:tbl>"));
    expectWholePage(named);
    EXPECT_NE(named.page.find("cell"), std::string::npos);
}

TEST(HostileDocument, RunPropertiesWithoutTheirEnd) {
    // Every bold or italic mark searched for its run's property end to the
    // end of the paragraph.
    const Outcome o = convertParts(documentXml("<w:p>" + repeat("<w:r><w:rPr><w:b/><w:i/></w:r>x", 20000) +
                                               "</w:rPr></w:p>" + para("after")));
    expectWholePage(o);
    EXPECT_NE(o.page.find("after"), std::string::npos);
}

TEST(HostileDocument, ParagraphsWithoutEndTags) {
    expectWholePage(convertParts(documentXml(para("first") + "<w:p><w:r><w:t>open")));
    expectWholePage(convertParts(documentXml("<w:p><w:pPr><w:jc w:val=\"center\"/>" + para("inner"))));
    // Many of them, each searched for the end it does not have.
    const Outcome many = convertParts(documentXml(repeat("<w:p><w:r><w:t>open</w:t></w:r>", 100000) + para("last")));
    expectWholePage(many);
    EXPECT_NE(many.page.find("last"), std::string::npos);
}

TEST(HostileDocument, UnterminatedAttributes) {
    for (const std::string& body : std::vector<std::string>{
             "<w:p w:rsidR=\"00AB><w:r><w:t>a</w:t></w:r></w:p>" + para("b"),
             "<w:p><w:pPr><w:pStyle w:val=\"Heading1/></w:pPr><w:r><w:t>a</w:t></w:r></w:p>",
             "<w:p><w:r><w:rPr><w:sz w:val=\"24/><w:color w:val=\"FF0000/></w:rPr><w:t>a</w:t></w:r></w:p>",
             "<w:tbl><w:tblPr><w:tblW w:w=\"50 w:type=\"pct/></w:tblPr><w:tr><w:tc><w:tcPr><w:gridSpan w:val=\"2/>"
             "</w:tcPr>" + para("c") + "</w:tc></w:tr></w:tbl>",
             "<w:p><w:hyperlink r:id=\"rId1><w:r><w:t>link</w:t></w:r></w:hyperlink></w:p>",
             "<w:p><w:r><w:t>end</w:t></w:r></w:p><w:p w:rsidR=\"",
             "<w:p><w:r><w:t xml:space=\"preserve",
         }) {
        SCOPED_TRACE(body);
        expectWholePage(convertParts(documentXml(body)));
    }
    // An unterminated value runs into the next attribute's quote: the
    // indentation reads as absent, not as a number to fail on.
    expectWholePage(convertParts(documentXml("<w:p><w:pPr><w:ind w:left=\"12/></w:pPr><w:r><w:t>a</w:t></w:r></w:p>")));
}

TEST(HostileDocument, StylesBasedOnThemselves) {
    const std::string styles =
        "<w:styles " + kWordNs +
        "><w:style w:type=\"paragraph\" w:styleId=\"Self\"><w:basedOn w:val=\"Self\"/><w:rPr><w:sz w:val=\"30\"/>"
        "</w:rPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"A\"><w:basedOn w:val=\"B\"/></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"B\"><w:basedOn w:val=\"A\"/><w:rPr><w:color w:val=\"00FF00\"/>"
        "</w:rPr></w:style></w:styles>";
    const std::string body = "<w:p><w:pPr><w:pStyle w:val=\"Self\"/></w:pPr><w:r><w:t>self</w:t></w:r></w:p>"
                             "<w:p><w:pPr><w:pStyle w:val=\"A\"/></w:pPr><w:r><w:t>cycle</w:t></w:r></w:p>";
    const Outcome o = convertParts(documentXml(body), styles);
    expectWholePage(o);
    EXPECT_NE(o.page.find("font-size:20"), std::string::npos);
    EXPECT_NE(o.page.find("cycle"), std::string::npos);
}

TEST(HostileDocument, TwentyThousandStyles) {
    // Base styles and paragraph styles were found by walking the whole
    // style table for each.
    std::string styles = "<w:styles " + kWordNs + ">";
    std::string body;
    for (int i = 0; i < 20000; ++i) {
        styles += "<w:style w:type=\"paragraph\" w:styleId=\"S" + std::to_string(i) + "\"><w:basedOn w:val=\"S" +
                  std::to_string(i - 1) + "\"/><w:rPr><w:sz w:val=\"30\"/></w:rPr></w:style>";
        if (i % 5 == 0) {
            body += "<w:p><w:pPr><w:pStyle w:val=\"S" + std::to_string(19999 - i) +
                    "\"/></w:pPr><w:r><w:t>p</w:t></w:r></w:p>";
        }
    }
    const Outcome o = convertParts(documentXml(body), styles + "</w:styles>");
    expectWholePage(o);
    EXPECT_NE(o.page.find("font-size:20"), std::string::npos);
}

TEST(HostileDocument, NumberingWithAHundredThousandLevels) {
    std::string levels;
    for (int i = 0; i < 100000; ++i) {
        levels += "<w:lvl w:ilvl=\"" + std::to_string(i) + "\"><w:start w:val=\"1\"/><w:numFmt w:val=\"decimal\"/>"
                  "<w:lvlText w:val=\"%1.\"/></w:lvl>";
    }
    const std::string numbering = "<w:numbering " + kWordNs + "><w:abstractNum w:abstractNumId=\"0\">" + levels +
                                  "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
                                  "</w:numbering>";
    std::string body;
    for (int lvl : {0, 1, 99999, 2, 0}) {
        body += "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"" + std::to_string(lvl) +
                "\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p>";
    }
    const Outcome o = convertParts(documentXml(body), "", numbering);
    expectWholePage(o);
    EXPECT_EQ(count(o.page, "<li>"), 5u);
    EXPECT_GE(count(o.page, "<ol>"), 1u);
}

TEST(HostileDocument, FiveThousandListsOfTheirOwnNumbering) {
    // Each list's kind was looked up by searching the numbering part from its
    // start: 10,000 lists with a numbering each took 20 s.
    std::string abstracts, nums, body;
    for (int i = 0; i < 5000; ++i) {
        const std::string id = std::to_string(i);
        abstracts += "<w:abstractNum w:abstractNumId=\"" + id + "\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"" +
                     (i % 2 ? "decimal" : "bullet") + "\"/></w:lvl></w:abstractNum>";
        nums += "<w:num w:numId=\"" + id + "\"><w:abstractNumId w:val=\"" + id + "\"/></w:num>";
        body += "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + id +
                "\"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p>" + para("between");
    }
    const Outcome o = convertParts(documentXml(body), "", "<w:numbering " + kWordNs + ">" + abstracts + nums + "</w:numbering>");
    expectWholePage(o);
    EXPECT_EQ(count(o.page, "<ol>"), 2500u);
    EXPECT_EQ(count(o.page, "<ul>"), 2500u);
}

TEST(HostileDocument, ListMarkersWithoutParagraphStarts) {
    // Every marker looked back over all the markers before it for a
    // paragraph start, and checked the whole stretch for text.
    const std::string numbering = "<w:numbering " + kWordNs +
                                  "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"decimal\"/>"
                                  "</w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
                                  "</w:numbering>";
    const std::string marker = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:p>";
    const Outcome o = convertParts(documentXml("<w:p>" + repeat(marker, 20000) + para("after")), "", numbering);
    expectWholePage(o);
    EXPECT_NE(o.page.find("after"), std::string::npos);
}

TEST(HostileDocument, ListTagsWithoutEndTags) {
    // Item and list start tags written into the document itself, with no end
    // tag after them: each was searched to the end of the text for one.
    const std::string item = "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
                             "<w:r><w:t>item</w:t></w:r></w:p>";
    for (const char* tag : {"<w:li>", "<w:ul>", "<w:OL>"}) {
        SCOPED_TRACE(tag);
        const Outcome o = convertParts(documentXml(item + repeat(std::string(tag) + "x", 100000) + "</w:ul>" + para("after")));
        if (std::string(tag) == "<w:ul>") {
            // A list block closed by the "</ul>" but without item levels
            // stops the conversion with the message of the missing level.
            EXPECT_EQ(o.error, "'' is not a valid integer value");
        } else {
            expectWholePage(o);
            EXPECT_NE(o.page.find("after"), std::string::npos);
        }
    }
}

TEST(HostileDocument, TenThousandIdenticalOneItemLists) {
    const std::string numbering = "<w:numbering " + kWordNs +
                                  "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/>"
                                  "</w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
                                  "</w:numbering>";
    const std::string item = "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
                             "<w:r><w:t>item</w:t></w:r></w:p>";
    const Outcome o = convertParts(documentXml(repeat(item + para("between"), 10000)), "", numbering);
    expectWholePage(o);
    EXPECT_EQ(count(o.page, "<ul>"), 10000u);
    EXPECT_EQ(count(o.page, "</ul>"), 10000u);
    EXPECT_EQ(count(o.page, "<li>"), 10000u);
}

// ---------------------------------------------------------------------------
// Packages without a usable document part

namespace {

// What docx2html printed on standard error and its exit status.
std::pair<std::string, int> runDocx2html(const std::string& docx) {
    const std::string command = std::string("'") + TAVIN_BINARY_DIR + "/docx2html' '" + docx + "' 2>&1 >/dev/null";
    FILE* p = ::popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
    const int status = ::pclose(p);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

}  // namespace

TEST_F(HostilePackage, NoDocumentPartOrADamagedOneIsAnErrorNotAnEmptyPage) {
    ziptest::Archive none;
    none.entries = {entry("word/styles.xml", "<w:styles/>"), entry("docProps/core.xml", "<x/>")};
    ziptest::Archive damaged;
    damaged.entries = {entry("word/document.xml", documentXml(para("text")))};
    damaged.entries[0].crc = 0x12345678;
    // The package relationships name the document part.
    ziptest::Archive elsewhere;
    elsewhere.entries = {entry("_rels/.rels",
                               "<Relationships><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/"
                               "officeDocument/2006/relationships/officeDocument\" Target=\"main/doc.xml\"/>"
                               "</Relationships>"),
                         entry("word/document.xml", documentXml(para("decoy"))),
                         entry("main/doc.xml", documentXml(para("the real text")))};

    for (const auto& [archive, name] : {std::pair{none, "none.docx"}, std::pair{damaged, "damaged.docx"}}) {
        const std::string docx = save(archive, name);
        EXPECT_EQ(open(docx).error, "This package holds no document part") << name;
        const auto [err, status] = runDocx2html(docx);
        EXPECT_EQ(status, 1) << name;
        EXPECT_EQ(err, "docx2html: " + docx + ": This package holds no document part\n") << name;
    }
    const std::string docx = save(elsewhere, "elsewhere.docx");
    const Outcome o = open(docx);
    ASSERT_TRUE(o.isPage()) << o.error;
    EXPECT_NE(o.page.find("the real text"), std::string::npos);
    EXPECT_EQ(o.page.find("decoy"), std::string::npos);
    const auto [err, status] = runDocx2html(docx);
    EXPECT_EQ(status, 0) << err;
}

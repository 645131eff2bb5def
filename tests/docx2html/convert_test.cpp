// The conversion driver: loading parts, preprocessing and whole conversions.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>

#include "docx2html/docx2html.h"
#include "package/docxParts.h"
#include "support/testutil.h"

using namespace tavin;
namespace fs = std::filesystem;

namespace {

std::string sampleFolder() { return std::string(TAVIN_SOURCE_DIR) + "/samples/sample/"; }

std::string convertFolder(const std::string& folder, bool margin = true, bool optimizeHtml = true,
                          std::vector<std::string>* steps = nullptr) {
    ConversionContext ctx;
    ctx.workFolder = folder;
    ctx.docTitle = "t";
    ctx.showPageMargin = margin;
    ctx.optimizeHtml = optimizeHtml;
    if (steps) ctx.showStep = [steps](const std::string& s) { steps->push_back(s); };
    loadParts(ctx);
    convert(ctx);
    return ctx.workingText;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

TEST(Preprocess, RemovesPrefixesWrappersAndMarks) {
    ConversionContext ctx;
    ctx.workingText =
        "<w:p w:rsidR=\"1\"><w:r><w:t xml:space=\"preserve\">Now: a</w:t></w:r><w:proofErr w:type=\"x\"/>"
        "<w:smartTag w:uri=\"u\"><w:r><w:t>b</w:t></w:r></w:smartTag><v:shape id=\"s\"><v:f/>vml</v:shape>"
        "<w:p w:rsidR=\"2\"/><w:tr w:rsidR=\"3\"></w:p>";
    preprocess(ctx);
    // Character data keeps its "w:".
    EXPECT_EQ(ctx.workingText, "<p><r>Now: a</r><r>b</r>vml<p rsidR=\"2\"/><tr></p>");
}

TEST(Preprocess, TablesCellsEmptyRunPropertiesAndAlternateContent) {
    ConversionContext ctx;
    ctx.workingText =
        "<w:tbl xmlns:x=\"u\"><w:tr><w:tc w:id=\"1\"><w:p><w:r><w:rPr></w:rPr><w:t>A</w:t></w:r>"
        "<w:r><w:rPr/><w:t>B</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
        "<mc:AlternateContent><mc:Choice Requires=\"wps\"><w:t>box</w:t></mc:Choice>"
        "<mc:Fallback><w:t>box</w:t></mc:Fallback></mc:AlternateContent>";
    preprocess(ctx);
    EXPECT_EQ(ctx.workingText,
              "<tbl><tr><tc><p><r>A</r><r>B</r></p></tc></tr></tbl>"
              "<mc:AlternateContent><mc:Fallback>box</mc:Fallback></mc:AlternateContent>");
}

TEST(Preprocess, PrefixIsRemovedOnlyInsideTags) {
    EXPECT_EQ(removePrefixInTags("<w:r w:a=\"w:b\">Now: w:x</w:r>ww:"), "<r a=\"b\">Now: w:x</r>ww:");
    EXPECT_EQ(removePrefixInTags("<ww:x>"), "<wx>");
    EXPECT_EQ(removePrefixInTags("text w:<w:unterminated"), "text w:<unterminated");
}

// The scans of normalizeEmptyTags and removePrefixInTags agree with the
// pattern and with a byte-at-a-time walk on texts made of the bytes that
// matter to them, in every arrangement a small random walk produces.
TEST(Preprocess, TagScansAgreeWithTheirDefinitions) {
    const std::string alphabet = "<>/ \t\v\nwa:x";
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    const auto prefixWalk = [](std::string_view t) {
        std::string out;
        bool inTag = false;
        for (std::size_t i = 0; i < t.size(); ++i) {
            if (t[i] == '<') inTag = true;
            if (t[i] == '>') inTag = false;
            if (inTag && t[i] == 'w' && i + 1 < t.size() && t[i + 1] == ':') {
                ++i;
                continue;
            }
            out.push_back(t[i]);
        }
        return out;
    };
    ConversionContext ctx;
    TWSRegEx rx;
    rx.setOptions(preCaseLess | preSingleLine);
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const std::size_t size = next() % 24;
        for (std::size_t i = 0; i < size; ++i) text.push_back(alphabet[next() % alphabet.size()]);
        std::string expected = text;
        regexReplace(rx, expected, R"((<[^<>]*[^\s<>])\s+/>)", "$1/>");
        std::string got = text;
        normalizeEmptyTags(ctx, got);
        ASSERT_EQ(got, expected) << "text: " << text;
        ASSERT_EQ(removePrefixInTags(text), prefixWalk(text)) << "text: " << text;
    }
}

TEST(LoadParts, MissingPartsAndTagNormalisation) {
    testutil::TempDir dir;
    const std::string folder = dir.str() + "/";
    testutil::writeFile(folder + "word/document.xml", "<w:body><w:p><w:ilvl w:val=\"0\" /><w:br\t/></w:p></w:body>");
    testutil::writeFile(folder + "word/styles.xml", "<w:style w:styleId=\"A\" ><w:b /></w:style>");
    ConversionContext ctx;
    ctx.workFolder = folder;
    loadParts(ctx);
    EXPECT_EQ(ctx.workingText, "<w:body><w:p><w:ilvl w:val=\"0\"/><w:br/></w:p></w:body>");
    EXPECT_EQ(ctx.stylesText, "<style styleId=\"A\" ><b/></style>");
    ASSERT_EQ(ctx.styleTable.size(), 1u);
    EXPECT_EQ(ctx.styleTable[0].props[6], "font-weight:bold;");
    EXPECT_EQ(ctx.relsText, "");
    EXPECT_EQ(ctx.numberingText, "");
    convert(ctx);
    EXPECT_TRUE(contains(ctx.workingText, "</html>"));
}

TEST(LoadParts, APackageWithoutItsDocumentPartIsAnError) {
    testutil::TempDir dir;
    EXPECT_EQ(testutil::errorOf([&] { convertFolder(dir.str() + "/"); }), "This package holds no document part");
    // The package relationships name the document part; a part that is not
    // there is no document, even when word/document.xml exists.
    testutil::writeFile(dir.path() / "word" / "document.xml", "<w:body><w:p/></w:body>");
    testutil::writeFile(dir.path() / "_rels" / ".rels",
                        "<Relationships><Relationship Id=\"rId1\" Type=\"http://x/officeDocument\" "
                        "Target=\"word/other.xml\"/></Relationships>");
    EXPECT_EQ(testutil::errorOf([&] { convertFolder(dir.str() + "/"); }), "This package holds no document part");
}

TEST(LoadParts, TheDocumentPartAndItsPartsComeFromTheRelationships) {
    testutil::TempDir dir;
    const std::string folder = dir.str() + "/";
    testutil::writeFile(folder + "_rels/.rels",
                        "<Relationships><Relationship Type=\"http://x/relationships/officeDocument\" "
                        "Target=\"/doc/main.xml\" Id=\"rId1\"/></Relationships>");
    testutil::writeFile(folder + "doc/main.xml", "<w:body><w:p><w:r><w:t>Moved</w:t></w:r></w:p></w:body>");
    testutil::writeFile(folder + "doc/_rels/main.xml.rels",
                        "<Relationships><Relationship Id=\"rId2\" Type=\"http://x/styles\" Target=\"../st/s.xml\"/>"
                        "<Relationship Id=\"rId3\" Type=\"http://x/numbering\" Target=\"n.xml\"/></Relationships>");
    testutil::writeFile(folder + "st/s.xml", "<w:style w:styleId=\"A\"><w:b/></w:style>");
    testutil::writeFile(folder + "doc/n.xml", "<w:numbering>N</w:numbering>");
    ConversionContext ctx;
    ctx.workFolder = folder;
    loadParts(ctx);
    EXPECT_EQ(ctx.documentPath, folder + "doc/main.xml");
    EXPECT_EQ(ctx.documentFolder, "doc/");
    EXPECT_TRUE(contains(ctx.relsText, "Target=\"n.xml\""));
    ASSERT_EQ(ctx.styleTable.size(), 1u);
    EXPECT_EQ(ctx.numberingText, "<numbering>N</numbering>");
    convert(ctx);
    EXPECT_TRUE(contains(ctx.workingText, "<p>Moved</p>"));
}

TEST(LoadParts, Utf16PartsAreReadAsUtf8) {
    auto utf16 = [](const std::string& ascii, bool little) {
        std::string out = little ? std::string("\xFF\xFE") : std::string("\xFE\xFF");
        for (char c : ascii) {
            out += little ? std::string{c, '\0'} : std::string{'\0', c};
        }
        return out;
    };
    testutil::TempDir dir;
    const std::string folder = dir.str() + "/";
    const std::string doc = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><w:body><w:p><w:r><w:t>Hi</w:t></w:r></w:p></w:body>";
    std::string le = utf16(doc, true);
    // "é" (U+00E9) and an emoji (a surrogate pair) before the end of the text.
    le.insert(le.find(std::string("H\0", 2)), std::string("\xE9\x00\x3D\xD8\x00\xDE", 6));
    testutil::writeFile(folder + "word/document.xml", le);
    testutil::writeFile(folder + "word/styles.xml", utf16("<w:style w:styleId=\"A\"><w:b/></w:style>", false));
    ConversionContext ctx;
    ctx.workFolder = folder;
    loadParts(ctx);
    EXPECT_EQ(ctx.workingText,
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:body><w:p><w:r><w:t>\xC3\xA9\xF0\x9F\x98\x80Hi</w:t></w:r>"
              "</w:p></w:body>");
    EXPECT_EQ(ctx.stylesText, "<style styleId=\"A\"><b/></style>");
    convert(ctx);
    EXPECT_TRUE(contains(ctx.workingText, "charset=UTF-8\""));
    // An unpaired surrogate and an odd last byte become U+FFFD.
    EXPECT_EQ(tavin::partTextAsUtf8(std::string("\xFF\xFE\x00\xD8\x41\x00\x42", 7)), "\xEF\xBF\xBD" "A" "\xEF\xBF\xBD");
}

TEST(LoadParts, UnreadablePartIsAnError) {
    testutil::TempDir dir;
    fs::create_directories(dir.path() / "word" / "styles.xml");  // a folder where a file belongs
    testutil::writeFile(dir.path() / "word" / "document.xml", "<body/>");
    ConversionContext ctx;
    ctx.workFolder = dir.str() + "/";
    EXPECT_THROW(loadParts(ctx), Error);
}

TEST(Convert, SampleDocumentEndToEnd) {
    std::vector<std::string> steps;
    const std::string page = convertFolder(sampleFolder(), true, true, &steps);
    EXPECT_EQ(steps, (std::vector<std::string>{"Preparing conversion", "Parsing table", "ParsingList", "Parsing text",
                                               "Optimizing", "Done"}));
    EXPECT_EQ(page.rfind("<html>\r\n<head>", 0), 0u);
    EXPECT_TRUE(contains(page, "\r\n<div class=page>"));
    EXPECT_TRUE(contains(page, "/* Generated by Gleswick */"));
    EXPECT_TRUE(contains(page, "td{vertical-align:top}\r\n-->\r\n</style>"));
    EXPECT_TRUE(contains(page, "<i>italic</i>"));
    EXPECT_TRUE(contains(page, "H<sub>2</sub>O"));
    EXPECT_TRUE(contains(page, "<a href=\"https://www.example.org/tavin\">"));
    EXPECT_TRUE(contains(page, "<a href=\"#_Formatting\">formatted text</a>"));
    EXPECT_TRUE(contains(page, "<a name=\"_Formatting\"/>"));
    EXPECT_TRUE(contains(page, "<img src=\"media/image1.png\" width=200 height=100/>"));
    EXPECT_TRUE(contains(page, "</p>\n<ul><li>\r\n<p>A bulleted item</p></li>"));
    EXPECT_TRUE(contains(page, "<p>First step</p><ol>\n<li>\r\n<p>A detail of the first step</p></ol>"));
    EXPECT_FALSE(contains(page, "<w:"));
    EXPECT_FALSE(contains(page, "<rPr>"));
    EXPECT_FALSE(contains(page, " style=\""));  // every inline style became a class
}

TEST(Convert, OptionsChangeOnlyTheirPart) {
    const std::string plain = convertFolder(sampleFolder(), false, false);
    EXPECT_TRUE(contains(plain, ".tab{margin-left:3em}</style></head>"));
    EXPECT_FALSE(contains(plain, "div class=page"));
    EXPECT_FALSE(contains(plain, "Gleswick"));
    EXPECT_TRUE(contains(plain, "\r\n<p style=\"text-align:justify;\">"));
    const std::string margin = convertFolder(sampleFolder(), true, false);
    EXPECT_TRUE(contains(margin, " div.page{width:816;padding:96 120 96 120; background-color:white;"));
    // The same context converts the same way twice.
    EXPECT_EQ(convertFolder(sampleFolder()), convertFolder(sampleFolder()));
}

TEST(Convert, BadNumberInStylesStopsWithItsMessage) {
    testutil::TempDir dir;
    testutil::writeFile(dir.path() / "word" / "document.xml", "<w:body><w:p/></w:body>");
    testutil::writeFile(dir.path() / "word" / "styles.xml",
                        "<w:styles><w:style w:styleId=\"S\"><w:sz w:val=\"8px\"/></w:style></w:styles>");
    try {
        convertFolder(dir.str() + "/");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'8px' is not a valid integer value");
    }
}

TEST(Convert, TitleFromPath) {
    EXPECT_EQ(titleFromPath("/home/u/Report.docx"), "Report");
    EXPECT_EQ(titleFromPath("a.docx.docx"), "a");
    EXPECT_EQ(titleFromPath("/x/Report.DOCX"), "Report.DOCX");
}

TEST(Convert, TitleOfAFolderWithATrailingSlash) {
    EXPECT_EQ(titleFromPath("/x/report.docx/"), "report");
    EXPECT_EQ(titleFromPath("/x/report//"), "report");
    EXPECT_EQ(titleFromPath("/x/report/."), "report");
    EXPECT_EQ(titleFromPath("report"), "report");
}

// The parts given as texts make the page the same parts make from a
// folder, with every preparation loadParts does: UTF-16, blanks before
// "/>", "w:" inside tags, and with Full Fidelity the theme fonts and the
// font table.
TEST(Convert, PartsFromTextsGiveThePageOfTheFolder) {
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document><w:body><w:p><w:pPr><w:pStyle w:val=\"H\" />"
        "<w:numPr><w:ilvl w:val=\"0\" /><w:numId w:val=\"1\" /></w:numPr></w:pPr><w:r><w:rPr>"
        "<w:rFonts w:asciiTheme=\"minorHAnsi\"/></w:rPr><w:t>Now: item</w:t></w:r></w:p>"
        "<w:p><w:hyperlink r:id=\"rId9\"><w:r><w:t>web</w:t></w:r></w:hyperlink></w:p></w:body></w:document>";
    const std::string styles =
        "<w:styles><w:style w:type=\"paragraph\" w:styleId=\"H\"><w:rPr><w:b /><w:sz w:val=\"30\" />"
        "<w:rFonts w:asciiTheme=\"majorHAnsi\"/></w:rPr></w:style></w:styles>";
    const std::string numbering =
        "<w:numbering><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"decimal\" />"
        "<w:lvlText w:val=\"%1.\"/></w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\" />"
        "</w:num></w:numbering>";
    const std::string rels =
        "<Relationships><Relationship Id=\"rId9\" Type=\"http://x/hyperlink\" Target=\"https://example.org/\" "
        "TargetMode=\"External\" /></Relationships>";
    const std::string theme =
        "<a:theme><a:themeElements><a:fontScheme><a:majorFont><a:latin typeface=\"Major Face\"/></a:majorFont>"
        "<a:minorFont><a:latin typeface=\"Minor Face\"/></a:minorFont></a:fontScheme></a:themeElements></a:theme>";
    const std::string fontTable =
        "<w:fonts><w:font w:name=\"Major Face\"><w:family w:val=\"roman\" /></w:font></w:fonts>";
    // The styles part stored as UTF-16 with its byte-order mark.
    std::string styles16 = "\xff\xfe";
    for (const char c : styles) styles16 += std::string{c, '\0'};

    testutil::TempDir dir;
    testutil::writeFile(dir.path() / "word/document.xml", document);
    testutil::writeFile(dir.path() / "word/styles.xml", styles16);
    testutil::writeFile(dir.path() / "word/numbering.xml", numbering);
    testutil::writeFile(dir.path() / "word/_rels/document.xml.rels", rels);
    testutil::writeFile(dir.path() / "word/theme/theme1.xml", theme);
    testutil::writeFile(dir.path() / "word/fontTable.xml", fontTable);
    for (const bool fidelity : {false, true}) {
        SCOPED_TRACE(fidelity ? "Full Fidelity" : "classic");
        ConversionContext fromFolder;
        ConvertOptions options;
        options.title = "t";
        options.fullFidelity = fidelity;
        convertPackage(fromFolder, dir.str(), options);

        ConversionContext fromTexts;
        fromTexts.docTitle = "t";
        fromTexts.fullFidelity = fidelity;
        loadPartsFromText(fromTexts, {document, rels, styles16, numbering, theme, fontTable});
        convert(fromTexts);
        EXPECT_EQ(fromTexts.workingText, fromFolder.workingText);
        EXPECT_TRUE(contains(fromFolder.workingText, "Now: item"));
        EXPECT_TRUE(contains(fromFolder.workingText, "https://example.org/"));
        EXPECT_EQ(contains(fromFolder.workingText, "Major Face"), fidelity);
        EXPECT_EQ(contains(fromFolder.workingText, "'Major Face',serif"), fidelity);
    }
}

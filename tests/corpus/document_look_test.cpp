// Public documents with Full Fidelity: their text in the document's own
// fonts, sizes and spacing, and their tables as the table style sets them.
#include <gtest/gtest.h>

#include <regex>

#include "corpus/corpus_page.h"
#include "support/testutil.h"

namespace {

using corpuspage::pageOf;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The page's base rule for paragraphs and headings.
std::string baseRule(const std::string& page) {
    std::smatch m;
    return std::regex_search(page, m, std::regex("p,h1,h2,h3,h4,h5,h6\\{([^}]*)\\}")) ? m[1].str() : std::string();
}

// The style attribute of the element that holds text (pages converted
// without the clean-up pass keep their inline styles).
std::string styleBefore(const std::string& page, const std::string& text, const std::string& element) {
    const std::size_t at = page.find(text);
    if (at == std::string::npos) return "(no " + text + ")";
    const std::size_t open = page.rfind("<" + element, at);
    const std::size_t close = page.find('>', open);
    const std::string tag = page.substr(open, close - open);
    const std::size_t style = tag.find("style=\"");
    return style == std::string::npos ? std::string() : tag.substr(style + 7, tag.find('"', style + 7) - style - 7);
}

class DocumentLook : public ::testing::Test {
protected:
    void SetUp() override {
        if (testutil::corpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent";
    }
};

}  // namespace

TEST_F(DocumentLook, BodyTextInTheDocumentsFontSizeAndSpacing) {
    // Defaults of the styles part through the theme: Calibri 11 pt, 10 pt
    // after and 1.15 lines; Cambria 12 pt in the lists document.
    const std::string headings = pageOf("poi/bug65738.docx", true, false);
    EXPECT_EQ(baseRule(headings), "font-family:'Calibri',sans-serif;font-size:11pt;margin-bottom:13px;line-height:1.15;");
    // Its automatic colour ("auto") is the text colour.
    EXPECT_EQ(baseRule(pageOf("pandoc/lists.docx", true)),
              "font-family:'Cambria',serif;font-size:12pt;color:#000000;margin-top:0px;margin-bottom:13px;");
    // The headings take Arial and the size of their base style, which the
    // part writes after them; Heading 2 adds italics.
    const std::string second = styleBefore(headings, "Heading Level 2", "h2");
    for (const char* declaration : {"font-family:'Arial','DejaVu Sans',sans-serif;", "font-size:14pt;", "font-weight:bold;",
                                    "font-style:italic;"})
        EXPECT_TRUE(contains(second, declaration)) << second;
    EXPECT_TRUE(contains(styleBefore(headings, "Heading Level 1", "h1"), "font-size:16pt;"));
    // A run whose ascii font is not its first attribute keeps its font.
    EXPECT_TRUE(contains(styleBefore(pageOf("poi/56392.docx", true, false), "Address###", "span"), "Arial"));
    // With the option off the page has the classic base only.
    EXPECT_EQ(baseRule(pageOf("poi/bug65738.docx", false)), "");
}

TEST_F(DocumentLook, TheSampleInItsOwnFonts) {
    const std::string sample = pageOf(std::string(TAVIN_SOURCE_DIR) + "/samples/sample", true, false);
    EXPECT_TRUE(contains(baseRule(sample), "font-family:'Calibri'")) << baseRule(sample);
    EXPECT_TRUE(contains(sample, "src:local(\"Calibri\"),local(\"Carlito\")"));
}

TEST_F(DocumentLook, HeaderRowsAsTheTableStyleSetsThem) {
    const std::string page = pageOf("pandoc/table_header_rowspan.docx", true, false);
    // Every header cell is centred both ways; the cells whose runs are bold
    // stay bold (A, E and F are written without bold, as the document has them).
    for (const char* cell : {">A<", "><b>B</b><", "><b>C</b><", "><b>D</b><", ">E<", ">F<", "><b>G</b><", "><b>I</b><"}) {
        SCOPED_TRACE(cell);
        EXPECT_TRUE(contains(styleBefore(page, cell, "td"), "vertical-align:middle;")) << styleBefore(page, cell, "td");
        EXPECT_TRUE(contains(styleBefore(page, cell, "p"), "text-align:center;")) << styleBefore(page, cell, "p");
    }
    // The header row's last cell has the first row's shading.
    EXPECT_TRUE(contains(styleBefore(page, ">F<", "td"), "background-color:#999999;")) << styleBefore(page, ">F<", "td");
}

// Tables: table properties, row and column spans, cell styles, row heights
// and column widths, on preprocessed ("w:"-free) markup.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "docx2html/docx2html.h"
#include "support/testutil.h"

namespace tavin {
namespace {

// A cell with the given properties and one paragraph of text.
std::string cell(const std::string& props, const std::string& text) {
    return "<tc><tcPr>" + props + "</tcPr><p>" + text + "</p></tc>";
}
std::string row(const std::string& cells) { return "<tr>" + cells + "</tr>"; }
std::string td(const std::string& attrs, const std::string& text) {
    return "<td" + attrs + "><p>" + text + "</p></td>";
}

const std::string kRestart = "<vMerge val=\"restart\"/>";
const std::string kContinue = "<vMerge/>";
std::string span(int n) { return "<gridSpan val=\"" + std::to_string(n) + "\"/>"; }

class TablesTest : public ::testing::Test {
protected:
    ConversionContext ctx;

    std::string convert(const std::string& text) {
        ctx.workingText = text;
        convertTables(ctx);
        return ctx.workingText;
    }
    // The start tag that a table with these properties gets.
    std::string tableTag(const std::string& props) {
        const std::string out = convert("<tbl><tblPr>" + props + "</tblPr></tbl>");
        return out.substr(0, out.find('>') + 1);
    }
};

TEST_F(TablesTest, TableWidths) {
    EXPECT_EQ(tableTag("<tblW w=\"2500\" type=\"pct\"/>"), "<table width=50%>");
    EXPECT_EQ(tableTag("<tblW w=\"5000\" type=\"pct\"/>"), "<table width=100%>");
    EXPECT_EQ(tableTag("<tblW w=\"25\" type=\"pct\"/>"), "<table width=0%>");
    EXPECT_EQ(tableTag("<tblW w=\"1440\" type=\"dxa\"/>"), "<table width=96>");
    EXPECT_EQ(tableTag("<tblW w=\"300\" type=\"auto\"/>"), "<table width=300>");
    EXPECT_EQ(tableTag("<tblW w=\"0\" type=\"auto\"/>"), "<table>");
    // The width comes before the other attributes.
    EXPECT_EQ(tableTag("<jc val=\"center\"/><tblW w=\"1440\" type=\"dxa\"/>"), "<table width=96 align=center>");
    // A table without a width after one with it.
    EXPECT_EQ(convert("<tbl><tblPr><tblW w=\"1440\" type=\"dxa\"/></tblPr></tbl>"
                      "<tbl><tblPr><jc val=\"left\"/></tblPr></tbl>"),
              "<table width=96></table><table align=left></table>");
}

TEST_F(TablesTest, TableAttributes) {
    EXPECT_EQ(tableTag("<tblCellSpacing type=\"dxa\"/>"), "<table cellspacing=0>");
    EXPECT_EQ(tableTag("<tblCellSpacing w=\"30\" type=\"dxa\"/>"), "<table cellspacing=2>");
    EXPECT_EQ(tableTag("<shd val=\"clear\" color=\"auto\" fill=\"FF0000\"/>"), "<table>");
    EXPECT_EQ(tableTag("<shd val=\"solid\" fill=\"auto\"/>"), "<table bgcolor=#eeeeee>");
    // Borders followed by shading: both end up in the start tag.
    const std::string side = " val=\"single\" sz=\"4\" space=\"0\" color=\"000000\"/>";
    EXPECT_EQ(tableTag("<tblBorders><top" + side + "<left" + side + "<bottom" + side + "<right" + side +
                       "<insideH" + side + "</tblBorders><shd val=\"solid\" color=\"auto\" fill=\"FF0000\"/>"),
              "<table  border=1 style=\"border:1px solid #000000;\" bgcolor=FF0000>");
}

TEST_F(TablesTest, TableStyles) {
    ctx.stylesText =
        "<style type=\"table\" styleId=\"Plain\"><name val=\"Plain\"/><tblPr><tblCellMar>"
        "<top w=\"0\" type=\"dxa\"/><left w=\"108\" type=\"dxa\"/><bottom w=\"0\" type=\"dxa\"/>"
        "<right w=\"108\" type=\"dxa\"/></tblCellMar></tblPr></style>"
        "<style type=\"table\" styleId=\"Grid\"><tblPr><tblBorders><top val=\"single\" sz=\"12\" color=\"00FF00\"/>"
        "<insideH val=\"single\" sz=\"30\" color=\"00FF00\"/></tblBorders></tblPr></style>";
    // Side elements without val, sz or color: border:none and no border attribute.
    EXPECT_EQ(tableTag("<tblStyle val=\"Plain\"/>"), "<table  style=\"border:none\">");
    EXPECT_EQ(tableTag("<tblStyle val=\"Grid\"/>"), "<table  border=2 style=\"border-top:1px solid #00FF00;\">");
    // An unknown style still adds its blank.
    EXPECT_EQ(tableTag("<tblStyle val=\"Missing\"/>"), "<table >");
    // Every table of a style gets the same attributes.
    EXPECT_EQ(convert("<tbl><tblPr><tblStyle val=\"Plain\"/></tblPr></tbl><tbl><tblPr><tblStyle val=\"Plain\"/>"
                      "</tblPr></tbl>"),
              "<table  style=\"border:none\"></table><table  style=\"border:none\"></table>");
}

TEST_F(TablesTest, TablePropertiesWithoutTheirTable) {
    // No table start at or before the properties: they are dropped.
    EXPECT_EQ(convert("<p>x</p><tblPr><jc val=\"left\"/></tblPr><p>y</p>"), "<p>x</p><p>y</p>");
    // A second tblPr in one table has no table start of its own either; the
    // first one's start tag is not written twice.
    EXPECT_EQ(convert("<tbl><tblPr><jc val=\"left\"/></tblPr><tblPr><jc val=\"right\"/></tblPr>" + row("") +
                      "</tbl>"),
              "<table align=left><tr></tr></table>");
    // Properties without an end: the walk ends and the text stays.
    EXPECT_EQ(convert("<tbl><tblPr><jc val=\"left\"/></tblPr></tbl><tbl><tblPr><jc val=\"right\"/>"),
              "<table align=left></table><table><tblPr><jc val=\"right\"/>");
    // An unfinished tag inside the properties ends their walk.
    EXPECT_EQ(tableTag("<jc val=\"left\"/><shd fill=\"FF0000\""), "<table align=left>");
}

TEST_F(TablesTest, VerticalMerges) {
    // Over three rows.
    EXPECT_EQ(convert("<tbl>" + row(cell(kRestart, "a") + cell("", "b")) + row(cell(kContinue, "x") + cell("", "c")) +
                      row(cell(kContinue, "y") + cell("", "d")) + "</tbl>"),
              "<table><tr>" + td(" rowspan=3", "a") + td("", "b") + "</tr><tr>" + td("", "c") + "</tr><tr>" +
                  td("", "d") + "</tr></table>");
    // Two merges in one column.
    EXPECT_EQ(convert("<tbl>" + row(cell(kRestart, "a")) + row(cell(kContinue, "x")) + row(cell(kRestart, "b")) +
                      row(cell(kContinue, "y")) + "</tbl>"),
              "<table><tr>" + td(" rowspan=2", "a") + "</tr><tr></tr><tr>" + td(" rowspan=2", "b") +
                  "</tr><tr></tr></table>");
    // A restart without continuation.
    EXPECT_EQ(convert("<tbl>" + row(cell(kRestart, "a")) + row(cell("", "b")) + "</tbl>"),
              "<table><tr>" + td(" rowspan=1", "a") + "</tr><tr>" + td("", "b") + "</tr></table>");
    // A vMerge without attributes written with an end tag continues.
    EXPECT_EQ(convert("<tbl>" + row(cell(kRestart, "a")) + row(cell("<vMerge></vMerge>", "x")) + "</tbl>"),
              "<table><tr>" + td(" rowspan=2", "a") + "</tr><tr></tr></table>");
}

TEST_F(TablesTest, MergesFollowGridColumns) {
    // The continuations are second cells, but lie in grid column 3 because the
    // first cell spans two columns: they belong to "c", not to "b".
    EXPECT_EQ(convert("<tbl>" + row(cell("", "a") + cell(kRestart, "b") + cell(kRestart, "c")) +
                      row(cell(span(2), "d") + cell(kContinue, "x")) + row(cell(span(2), "e") + cell(kContinue, "y")) +
                      "</tbl>"),
              "<table><tr>" + td("", "a") + td(" rowspan=1", "b") + td(" rowspan=3", "c") + "</tr><tr>" +
                  td(" colspan=2", "d") + "</tr><tr>" + td(" colspan=2", "e") + "</tr></table>");
    // Column and row span on one cell.
    EXPECT_EQ(convert("<tbl>" + row(cell(span(3) + kRestart, "a")) + row(cell(span(3) + kContinue, "x")) + "</tbl>"),
              "<table><tr>" + td(" colspan=3 rowspan=2", "a") + "</tr><tr></tr></table>");
    // Column spans are written also when nothing merges vertically.
    EXPECT_EQ(convert("<tbl>" + row(cell(span(2), "a")) + "</tbl>"), "<table><tr>" + td(" colspan=2", "a") + "</tr></table>");
}

TEST_F(TablesTest, GridSpanMustBeAnInteger) {
    ctx.workingText = "<tbl>" + row(cell("<gridSpan val=\"two\"/>", "a") + cell(kRestart, "b")) + "</tbl>";
    try {
        convertTables(ctx);
        FAIL() << "no error raised";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'two' is not a valid integer value");
    }
}

TEST_F(TablesTest, MergesAtTheEdges) {
    // A restart the counting did not see (its row's match ends inside the
    // nested table) gets rowspan=1; the merge of the first table is counted.
    const std::string nested = "<tbl>" + row(cell("", "n")) + "</tbl>";
    EXPECT_EQ(convert("<tbl>" + row(cell(kRestart, "a")) + "</tbl><tbl>" +
                      row("<tc><tcPr></tcPr>" + nested + "</tc>" + cell(kRestart, "b")) +
                      row(cell("", "c") + cell(kContinue, "x")) + "</tbl>"),
              "<table><tr>" + td(" rowspan=1", "a") + "</tr></table><table><tr><td><table><tr>" + td("", "n") +
                  "</tr></table></td>" + td(" rowspan=1", "b") + "</tr><tr>" + td("", "c") + "</tr></table>");
    // The cell end of a continuation is searched from the vMerge on.
    EXPECT_EQ(convert("<tbl>" + row(cell(kRestart, "a")) + row("<tc>x</tc><vMerge/>y</tc>") + "</tbl>"),
              "<table><tr>" + td(" rowspan=2", "a") + "</tr><tr></tr></table>");
    // A continuation without a later cell end stays.
    EXPECT_EQ(convert("<tbl>" + row(cell(kRestart, "a")) + "<tr><tc><tcPr><vMerge/></tcPr>b"),
              "<table><tr>" + td(" rowspan=1", "a") + "</tr><tr><td>b");
    // A second vMerge in the same cell (inside a property change) writes no
    // second start tag and repeats no text.
    EXPECT_EQ(convert("<tbl>" +
                      row("<tc><tcPr>" + kRestart + "<tcPrChange id=\"1\"><tcPr>" + kRestart +
                          "</tcPr></tcPrChange></tcPr><p>a</p></tc>") +
                      "</tbl>"),
              "<table><tr><td rowspan=1></tcPrChange></tcPr><p>a</p></td></tr></table>");
    // A vMerge outside any cell.
    EXPECT_EQ(convert("<vMerge val=\"restart\"/><tbl>" + row(cell(kRestart, "a")) + "</tbl>"),
              "<vMerge val=\"restart\"/><table><tr>" + td(" rowspan=1", "a") + "</tr></table>");
}

TEST_F(TablesTest, NestedTable) {
    const std::string inner = "<tbl><tblPr><jc val=\"center\"/></tblPr>" + row(cell(kRestart, "n1")) +
                              row(cell(kContinue, "n2")) + "</tbl>";
    const std::string out = convert(
        "<tbl><tblPr><tblW w=\"5000\" type=\"pct\"/></tblPr><tblGrid><gridCol w=\"1500\"/><gridCol w=\"1500\"/>"
        "</tblGrid><tr><tc><tcPr><tcW w=\"1500\" type=\"dxa\"/></tcPr>" +
        inner + "<p/></tc>" + cell(kRestart, "o1") + "</tr>" + row(cell("<shd fill=\"auto\"/>", "o2") + cell(kContinue, "o3")) +
        "</tbl>");
    // The nested table gets its attributes; its restart was counted in the
    // outer row's match, the outer restart was not.
    EXPECT_EQ(out, "<table width=100%><col style=\"width:100\"><col style=\"width:100\"><tr><td><table align=center><tr>" +
                       td(" rowspan=2", "n1") + "</tr><tr></tr></table><p/></td>" + td(" rowspan=1", "o1") + "</tr><tr>" +
                       td(" style=\"background-color:#eeeeee;\"", "o2") + "</tr></table>");
}

TEST_F(TablesTest, CellStyles) {
    auto cellTag = [&](const std::string& props) {
        const std::string out = convert("<tbl>" + row(cell(props, "a")) + "</tbl>");
        const std::size_t s = out.find("<td");
        return out.substr(s, out.find('>', s) + 1 - s);
    };
    EXPECT_EQ(cellTag("<shd val=\"clear\" color=\"auto\" fill=\"FFFFFF\"/>"), "<td>");
    EXPECT_EQ(cellTag("<shd val=\"clear\" color=\"auto\" fill=\"auto\"/>"), "<td style=\"background-color:#eeeeee;\">");
    EXPECT_EQ(cellTag("<vAlign val=\"center\"/>"), "<td style=\" vertical-align:center;\">");
    EXPECT_EQ(cellTag("<tcBorders><top val=\"single\" sz=\"8\" color=\"FF0000\"/><bottom val=\"nil\"/></tcBorders>"),
              "<td style=\"border-top:1px solid #FF0000;border-bottom:none;;\">");
    const std::string m = "<tcMar><top w=\"108\" type=\"dxa\"/><left w=\"108\" type=\"dxa\"/>"
                          "<bottom w=\"108\" type=\"dxa\"/><right w=\"108\" type=\"dxa\"/></tcMar>";
    EXPECT_EQ(cellTag(m), "<td style=\"padding:7px 7px 7px 7px;;\">");
    EXPECT_EQ(cellTag("<tcMar><left w=\"108\" type=\"dxa\"/><right w=\"108\" type=\"dxa\"/></tcMar>"),
              "<td style=\"border-left:7px;border-right:7px;;\">");
    // Declarations follow the order of the properties.
    EXPECT_EQ(cellTag("<tcW w=\"100\" type=\"dxa\"/><vAlign val=\"top\"/><shd fill=\"00FF00\"/>"),
              "<td style=\" vertical-align:top;background-color:00FF00;\">");
    // A property with attributes and an end tag counts by its start tag; the
    // walk goes on after it.
    EXPECT_EQ(cellTag("<vAlign val=\"top\"></vAlign><shd fill=\"00FF00\"/>"),
              "<td style=\" vertical-align:top;background-color:00FF00;\">");
    // Style, colspan and rowspan, in that order.
    EXPECT_EQ(cellTag(span(2) + kRestart + "<shd fill=\"00FF00\"/>"),
              "<td style=\"background-color:00FF00;\" colspan=2 rowspan=1>");
}

TEST_F(TablesTest, CellPropertiesAtTheEdges) {
    // A second tcPr in one cell is dropped; the cell tag is written once.
    EXPECT_EQ(convert("<tbl><tr><tc><tcPr><shd fill=\"00FF00\"/></tcPr><tcPr><vAlign val=\"top\"/></tcPr>a</tc></tr></tbl>"),
              "<table><tr><td style=\"background-color:00FF00;\">a</td></tr></table>");
    // tcPr outside any cell.
    EXPECT_EQ(convert("<tcPr><shd fill=\"00FF00\"/></tcPr>x"), "x");
    // A tcPr without an end ends the walk.
    EXPECT_EQ(convert("<tbl><tr>" + cell("<shd fill=\"00FF00\"/>", "a") + "<tc><tcPr><shd fill=\"0000FF\"/>"),
              "<table><tr>" + td(" style=\"background-color:00FF00;\"", "a") + "<td><tcPr><shd fill=\"0000FF\"/>");
}

TEST_F(TablesTest, RowHeightsAndColumns) {
    EXPECT_EQ(convert("<tbl><tblGrid><gridCol w=\"1440\"/><gridCol w=\"2880\"/></tblGrid>"
                      "<tr><trPr><trHeight val=\"400\"/></trPr>" + cell("", "a") + "</tr>"
                      "<tr><trPr><cantSplit/><trHeight val=\"400\"/></trPr>" + cell("", "b") + "</tr></tbl>"),
              "<table><col style=\"width:96\"><col style=\"width:192\"><tr height=\"27\">" + td("", "a") +
                  "</tr><tr>" + td("", "b") + "</tr></table>");
}

TEST_F(TablesTest, Elements) {
    EXPECT_EQ(tagName("<tblStyle val=\"x\"/>"), "tblStyle");
    EXPECT_EQ(tagName("<tblBorders>"), "");
    EXPECT_EQ(tagName("<vMerge/>"), "");
    EXPECT_EQ(tagName("<tcBorders><top val=\"nil\"/></tcBorders>"), "tcBorders");

    const std::string t = "<a x=\"1\"/><b><c y=\"2\"/></b><d z=\"3\">q</d><e>";
    Pos pos = 1;
    EXPECT_EQ(nextElement(t, pos), "<a x=\"1\"/>");
    EXPECT_EQ(nextElement(t, pos), "<b><c y=\"2\"/></b>");
    // Attributes and no matching end tag: the start tag alone.
    EXPECT_EQ(nextElement(t, pos), "<d z=\"3\">");
    EXPECT_EQ(nextElement(t, pos), "</d>");
    EXPECT_EQ(nextElement(t, pos), "<e>");
    EXPECT_EQ(nextElement(t, pos), "");
    Pos at = 3;
    EXPECT_EQ(nextElement("x<y", at), "");
    EXPECT_EQ(at, 3);
}

TEST_F(TablesTest, DocumentWithoutTables) {
    const std::string text = "<body><p><pPr><jc val=\"left\"/></pPr><r>Plain text</r></p></body>";
    EXPECT_EQ(convert(text), text);
}

// The python-docx table documents, through the whole engine.
TEST(TablesCorpus, TablesConvertWithMergedCells) {
    const std::filesystem::path dir = testutil::corpusDir() / "python-docx";
    if (testutil::corpusDir().empty() || !std::filesystem::is_directory(dir)) GTEST_SKIP() << "no corpus";
    int documents = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with("tbl-") || entry.path().extension() != ".docx") continue;
        SCOPED_TRACE(name);
        testutil::TempDir tmp;
        const std::string cmd = "unzip -q -o '" + entry.path().string() + "' -d '" + tmp.str() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        ConversionContext ctx;
        ctx.workFolder = tmp.str() + "/";
        loadParts(ctx);
        convert(ctx);
        const std::string& html = ctx.workingText;
        EXPECT_NE(html.find("<table"), std::string::npos);
        EXPECT_NE(html.find("</table>"), std::string::npos);
        EXPECT_EQ(html.find("<rowspan"), std::string::npos);
        EXPECT_EQ(html.find("<tc"), std::string::npos);
        // Every cell lies inside a table.
        int depth = 0;
        for (std::size_t i = 0; i < html.size(); ++i) {
            if (html.compare(i, 6, "<table") == 0) ++depth;
            if (html.compare(i, 8, "</table>") == 0) --depth;
            if (html.compare(i, 3, "<td") == 0) {
                ASSERT_GT(depth, 0) << "cell outside a table at " << i;
            }
        }
        EXPECT_EQ(depth, 0);
        if (name == "tbl-cell-access.docx") {
            EXPECT_NE(html.find("<td rowspan=2>"), std::string::npos);
            EXPECT_NE(html.find("<td colspan=2 rowspan=2>"), std::string::npos);
        }
        ++documents;
    }
    EXPECT_GT(documents, 0);
}

}  // namespace
}  // namespace tavin

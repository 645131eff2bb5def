// Runs and paragraphs.
#include <gtest/gtest.h>

#include "docx2html/docxstyle.h"
#include "docx2html/paragraphs.h"
#include "docx2html/runs.h"

using namespace tavin;

namespace {

std::string formatted(const std::string& content, const std::string& paragraphStyle = "") {
    ConversionContext ctx;
    std::string c = content;
    formatRuns(ctx, c, paragraphStyle);
    return c;
}

std::string paragraphs(ConversionContext& ctx, const std::string& text) {
    ctx.workingText = text;
    convertParagraphs(ctx);
    return ctx.workingText;
}

}  // namespace

TEST(Runs, WrappingOrderAndMarkers) {
    EXPECT_EQ(formatted("<r><rPr><b/><i/></rPr>x</r>"), "<i><b>x</b></i>");
    EXPECT_EQ(formatted("<r><rPr><b/><i/><u val=\"single\"/><vertAlign val=\"superscript\"/></rPr>x</r>"),
              "<sup><u><i><b>x</b></i></u></sup>");
    EXPECT_EQ(formatted("<r><rPr><u val=\"none\"/></rPr>x</r>"), "<u>x</u>");
    EXPECT_EQ(formatted("<r><rPr><vertAlign val=\"subscript\"/></rPr>2</r>"), "<sub>2</sub>");
    EXPECT_EQ(formatted("<r><rPr><b val=\"0\"/></rPr>x</r>"), "x");
    // Each bold run is wrapped once; plain runs stay.
    EXPECT_EQ(formatted("<r><rPr><b/></rPr>a</r><r>b</r><r><rPr><b/></rPr>c</r>"), "<b>a</b><r>b</r><b>c</b>");
    // A marker with no run end after it ends the walk inside the text.
    EXPECT_EQ(formatted("<r><rPr><b/></rPr>a"), "<r><rPr><b/></rPr>a");
}

TEST(Runs, SpansFontsSizesColours) {
    EXPECT_EQ(formatted("<r><rPr><rFonts ascii=\"Arial\" hAnsi=\"Arial\"/><sz val=\"24\"/></rPr>x</r>"),
              "<span style=\"font:normal 16px Arial;\">x</span>");
    EXPECT_EQ(formatted("<r><rPr><sz val=\"20\"/></rPr>x</r>"), "<span style=\"font-size:13;\">x</span>");
    EXPECT_EQ(formatted("<r><rPr><szCs val=\"27\"/></rPr>x</r>"), "<span style=\"font-size:18;\">x</span>");
    EXPECT_EQ(formatted("<r><rPr><color val=\"FF0000\"/><highlight val=\"yellow\"/></rPr>x</r>"),
              "<span style=\"color:#FF0000;background-color:yellow;\">x</span>");
    // Declarations the paragraph already carries are left out.
    EXPECT_EQ(formatted("<r><rPr><rFonts ascii=\"Arial\"/><color val=\"00FF00\"/></rPr>x</r>",
                        "font-family:Arial;color:#00FF00;"),
              "x");
    EXPECT_EQ(formatted("<r><rPr><rFonts ascii=\"Arial\"/><color val=\"00FF00\"/></rPr>x</r>", "font-family:Arial;"),
              "<span style=\"color:#00FF00;\">x</span>");
    // The value runs on past a further attribute, up to the quote before "/>".
    EXPECT_EQ(propVal("<color val=\"FF0000\" themeColor=\"accent1\"/>", "color"),
              "FF0000\" themeColor=\"accent1");
    EXPECT_EQ(propVal("<color val=\"FF0000\">", "color"), "");
    // Font names are part of the replacement template.
    EXPECT_EQ(formatted("<r><rPr><rFonts ascii=\"A$1\\\\B\"/></rPr>x</r>"),
              "<span style=\"font-family:Ax\\B;\">x</span>");
}

TEST(Runs, RunWithoutContentSwallowsTheNext) {
    EXPECT_EQ(formatted("<r><rPr><color val=\"111111\"/></rPr></r><r><rPr><b/></rPr>x</r>"),
              "<span style=\"color:#111111;\"></r><r><rPr><b/></rPr><b>x</b></span>");
}

TEST(Runs, FinishMergeAndTabs) {
    ConversionContext ctx;
    ctx.workingText =
        "<r><rPr><b/></rPr>a</r><R w=\"1\">b</R><span style=\"x\">1</span>\r\n\t<span style=\"x\">2</span>"
        " <span style=\"x\">3</span><span style=\"y\">4</span><tab/><tabs><tab val=\"left\"/></tabs>";
    finishRuns(ctx);
    convertTabs(ctx);
    EXPECT_EQ(ctx.workingText,
              "ab<span style=\"x\">12</span> <span style=\"x\">3</span><span style=\"y\">4</span>"
              " <b class=tab></b><tabs><tab val=\"left\"/></tabs>");
    // Joining stops where no further end tag follows; the rest is copied.
    EXPECT_EQ(mergeAdjacent("<span a>1</span><span a>2</span><span a>3", "span"), "<span a>123");
    EXPECT_EQ(mergeAdjacent("<span a>1</span></p><span a>2</span>", "span"), "<span a>1</span></p><span a>2</span>");
    EXPECT_EQ(mergeAdjacent("<span a>no end", "span"), "<span a>no end");
    EXPECT_EQ(mergeAdjacent("<span", "span"), "<span");
}

TEST(Paragraphs, EmptyBlankAndMarkupOnly) {
    ConversionContext ctx;
    EXPECT_EQ(convertParagraph(ctx, "<p></p>", false), "<p>&nbsp;</p>");
    EXPECT_EQ(convertParagraph(ctx, "<p><r> \t</r></p>", false), "<p><r> \t</r></p>");
    EXPECT_EQ(convertParagraph(ctx, "<p> \r\n</p>", false), "<p>&nbsp;</p>");
    EXPECT_EQ(convertParagraph(ctx, "<p><r><drawing>x</drawing></r></p>", false), "<p><r><drawing>x</drawing></r></p>");
    EXPECT_EQ(convertParagraph(ctx, "<p><r><drawing/></r></p>", false), "<p><r><drawing/></r>&nbsp;</p>");
    // Only a paragraph-mark rPr: no style attribute.
    EXPECT_EQ(convertParagraph(ctx, "<p><pPr><rPr><b/></rPr></pPr><r>x</r></p>", false), "<p><r>x</r></p>");
    EXPECT_EQ(convertParagraph(ctx, "<p><pPr><jc val=\"both\"/></pPr><r>x</r></p>", false),
              "<p style=\"text-align:justify;\"><r>x</r></p>");
}

TEST(Paragraphs, StylesInsideAndOutsideTables) {
    ConversionContext ctx;
    ctx.stylesText =
        "<style styleId=\"First\"><color val=\"000001\"/></style>"
        "<style styleId=\"H\"><rFonts ascii=\"Georgia\"/><sz val=\"32\"/><color val=\"2F5496\"/>"
        "<shd color=\"auto\"/><jc val=\"center\"/><b/></style>";
    loadStyles(ctx);
    const std::string p =
        "<p><pPr><pStyle val=\"H\"/><pBdr><bottom val=\"single\" sz=\"4\" color=\"000000\"/></pBdr>"
        "<ind left=\"720\"/></pPr><r>x</r></p>";
    EXPECT_EQ(convertParagraph(ctx, p, false),
              "<p style=\"background-color:#eeeeee;font-family:Georgia;font-size:21;color:#2F5496;"
              "margin-left:48px;text-align:center;font-weight:bold;border-bottom:1px solid #000000;\"><r>x</r></p>");
    EXPECT_EQ(convertParagraph(ctx, p, true),
              "<p style=\"font-family:Georgia;font-size:21;margin-left:48px;"
              "border-bottom:1px solid #000000;\"><r>x</r></p>");
    // An unknown style is ignored; a paragraph without properties takes no style.
    EXPECT_EQ(convertParagraph(ctx, "<p><pPr><pStyle val=\"Nope\"/></pPr><r>x</r></p>", false), "<p><r>x</r></p>");
}

TEST(Paragraphs, WalkCopiesBetweenMarkersOnceAndTracksTables) {
    ConversionContext ctx;
    ctx.stylesText = "<style styleId=\"S\"><color val=\"123456\"/><sz val=\"24\"/></style>";
    loadStyles(ctx);
    const std::string sp = "<p><pPr><pStyle val=\"S\"/></pPr><r>t</r></p>";
    EXPECT_EQ(paragraphs(ctx, "A" + sp + "B<table><tr><td>" + sp + "</td></tr></table>C" + sp + "<sectPr/>"),
              "A<p style=\"font-size:16;color:#123456;\"><r>t</r></p>B<table><tr><td>"
              "<p style=\"font-size:16;\"><r>t</r></p></td></tr></table>C"
              "<p style=\"font-size:16;color:#123456;\"><r>t</r></p><sectPr/>");
    // After a nested table ends, the rest of the outer table counts as outside.
    EXPECT_EQ(paragraphs(ctx, "<table><table></table>" + sp + "</table>"),
              "<table><table></table><p style=\"font-size:16;color:#123456;\"><r>t</r></p></table>");
    EXPECT_EQ(paragraphs(ctx, "x<p pid=\"1\"/>y"), "x<p>&nbsp;</p>y");
    EXPECT_EQ(paragraphs(ctx, "no markers"), "no markers");
}

TEST(Paragraphs, NestedAndUnterminatedParagraphs) {
    ConversionContext ctx;
    // The outer paragraph up to the inner one is a paragraph of its own, the
    // inner one is converted on its own, and so is the rest of the outer one.
    EXPECT_EQ(paragraphs(ctx, "<p>A<p>B</p>C</p>"), "<p>A</p><p>B</p><p>C</p>");
    // A "<p>" without "</p>" stays text and the walk ends.
    EXPECT_EQ(paragraphs(ctx, "<p>x</p><p>open<table>t"), "<p>x</p><p>open<table>t");
}

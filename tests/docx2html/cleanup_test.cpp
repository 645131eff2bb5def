// The HTML clean-up engine and the final line layout.
#include <gtest/gtest.h>

#include <string>

#include "docx2html/MSWordHTM.h"
#include "docx2html/context.h"

namespace tavin {
namespace {

class CleanupTest : public ::testing::Test {
protected:
    ConversionContext ctx;
    TWordHTM html{ctx.sharedRegex};

    template <typename Op>
    std::string run(Op op, std::string text) {
        (html.*op)(text);
        return text;
    }
};

TEST_F(CleanupTest, FlattenTagWhitespaceOnlyInsideTags) {
    auto flat = [&](std::string t) { return run(&TWordHTM::flattenTagWhitespace, std::move(t)); };
    EXPECT_EQ(flat("<p\nclass=a\tb>x\ny\t</p>"), "<p class=a b>x\ny\t</p>");
    // A carriage return stays; only its line feed becomes a space.
    EXPECT_EQ(flat("<td\r\nwidth=1>"), "<td\r width=1>");
    // "<!" opens no tag, so comments keep their line breaks.
    EXPECT_EQ(flat("<!-- a\nb -->c\n<b\n>"), "<!-- a\nb -->c\n<b >");
    EXPECT_EQ(flat("a\n<"), "a\n<");
}

TEST_F(CleanupTest, CollapseSpaces) {
    auto collapse = [&](std::string t) { return run(&TWordHTM::collapseSpaces, std::move(t)); };
    EXPECT_EQ(collapse("x  y"), "x y");
    EXPECT_EQ(collapse("a:   b"), "a:b");
    EXPECT_EQ(collapse("a:  b"), "a: b");
    EXPECT_EQ(collapse("a;     b"), "a;b");
    EXPECT_EQ(collapse("a: b"), "a: b");
    EXPECT_EQ(collapse("a   :b  ;"), "a :b ;");
    EXPECT_EQ(collapse("   x   "), " x ");
    EXPECT_EQ(collapse("<p  style='a:   b;  c'>x:   y</p>"), "<p style='a:b; c'>x:y</p>");
}

// The run-by-run pass agrees with a byte-at-a-time walk of the same rule on
// texts made of the bytes that matter to it.
TEST_F(CleanupTest, CollapseSpacesAgreesWithAByteWalk) {
    const auto walk = [](const std::string& text) {
        std::string out;
        const std::size_t body = text.find("<body");
        bool inTag = false;
        std::size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c != ' ') {
                if (c == '<') inTag = true;
                else if (c == '>') inTag = false;
                out.push_back(c);
                ++i;
                continue;
            }
            std::size_t end = i;
            while (end < text.size() && text[end] == ' ') ++end;
            const bool afterSeparator = i > 0 && (text[i - 1] == ':' || text[i - 1] == ';');
            const bool inText = body != std::string::npos && i >= body && !inTag;
            if (end - i == 1 || !(afterSeparator && end - i >= 3) || inText) out.push_back(' ');
            i = end;
        }
        return out;
    };
    const std::string pieces[] = {" ", "  ", "   ", ":", ";", "<", ">", "x", "<body>"};
    unsigned seed = 7;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int k = 0; k < 12; ++k) {
            seed = seed * 1103515245u + 12345u;
            text += pieces[(seed >> 16) % 9];
        }
        ASSERT_EQ(run(&TWordHTM::collapseSpaces, text), walk(text)) << "text: " << text;
    }
}

TEST_F(CleanupTest, StripWidths) {
    auto strip = [&](std::string t) { return run(&TWordHTM::stripWidths, std::move(t)); };
    EXPECT_EQ(strip("<td width=100 style='width:75.0pt;border:solid'>x</td>"),
              "<td width=100 style='border:solid'>x</td>");
    // Without a ";" in the tag the property runs up to the closing quote.
    EXPECT_EQ(strip("<td width=1 style='border:solid;width:75pt'>a;b</td>"),
              "<td width=1 style='border:solid;'>a;b</td>");
    // The first "width:" may end a longer property name.
    EXPECT_EQ(strip("<table width=5 style='border-width:1px;color:red'>"),
              "<table width=5 style='border-color:red'>");
    // One property per tag, and every tag.
    EXPECT_EQ(strip("<td width=1 style='width:1;mso-width:2;'><td width=2 style='width:3'>"),
              "<td width=1 style='mso-width:2;'><td width=2 style=''>");
    // A property before the attribute, or after the tag, is not touched.
    EXPECT_EQ(strip("<td style='width:5;' width=1>width:2;</td>"), "<td style='width:5;' width=1>width:2;</td>");
    // No terminator before the tag end: the tag stays as it is.
    EXPECT_EQ(strip("<td width=100 style=\"width:75.0pt\">a;b'</td><td width=2 style='width:3;'>"),
              "<td width=100 style=\"width:75.0pt\">a;b'</td><td width=2 style=''>");
    // No tag end at all.
    EXPECT_EQ(strip("x width=1 style='width:2;'"), "x width=1 style='width:2;'");
}

TEST_F(CleanupTest, StripCellHeights) {
    auto strip = [&](std::string t) { return run(&TWordHTM::stripCellHeights, std::move(t)); };
    EXPECT_EQ(strip("<td style='height:10pt;border:x'>a</td>"), "<td style=''>a</td>");
    EXPECT_EQ(strip("<td style='border:x;line-height:12pt'>"), "<td style='border:x;line-'>");
    EXPECT_EQ(strip("<td style=\"height:10pt\">a'</td><td style='height:1'>"),
              "<td style=\"height:10pt\">a'</td><td style=''>");
    EXPECT_EQ(strip("<tr style='height:10pt'><td>x</td>"), "<tr style='height:10pt'><td>x</td>");
    EXPECT_EQ(strip("<td style='height:1'"), "<td style='height:1'");
}

TEST_F(CleanupTest, CleanMarkupSteps) {
    auto clean = [&](std::string t) { return run(&TWordHTM::cleanMarkup, std::move(t)); };
    EXPECT_EQ(clean("<p class=x><span lang=y>&nbsp;</span></p>"), "<br>");
    EXPECT_EQ(clean("<P CLASS=x><SPAN lang=y>&nbsp;</SPAN></P>"), "<br>");
    EXPECT_EQ(clean("<p><span>&nbsp;</span></p>"), "<p><span>&nbsp;</span></p>");
    // Line feeds in a tag become spaces first, which are then collapsed.
    EXPECT_EQ(clean("<p\n\nclass=MsoNormal>a</p>"), "<p class=ms>a</p>");
    EXPECT_EQ(clean("<table CLASS=msonormaltable><tr>"), "<table><tr>");
    EXPECT_EQ(clean("<table class=\"MsoNormalTable\">"), "<table class=\"msTable\">");
    EXPECT_EQ(clean("<p style='page-break-after:avoid'>x</p>"), "<p >x</p>");
    EXPECT_EQ(clean("<td width=9 style='width:9pt;height:3pt;color:red'>"), "<td width=9 style=''>");
}

const char* const kPage =
    "<html><head><style><!--\r\np.a{x}\r\n--></style></head><body>"
    "<p style=\"color:red\">a</p><p style=\"color:red\">b</p>"
    "<p class=x style=\"color:green\">c</p><p style=\"color:blue\">d</p>"
    "<td style='width:1pt'>e</td></body></html>";

TEST_F(CleanupTest, StylesBecomeNumberedClasses) {
    std::string text = kPage;
    html.stylesToClasses(text);
    EXPECT_EQ(text,
              "<html><head><style><!--\r\np.a{x}\r\n"
              "/* =====================*/\r\n/* Generated by Gleswick */"
              "\r\n.s1{color:red}\r\n.s2{color:blue}\r\ntd{vertical-align:top}\r\n-->\r\n"
              "</style></head><body>"
              "<p class=s1>a</p><p class=s1>b</p>"
              "<p class=x style=\"color:green\">c</p><p class=s2>d</p>"
              "<td style='width:1pt'>e</td></body></html>");
    ASSERT_EQ(html.styleList.size(), 2u);
    EXPECT_EQ(html.styleList[1], "style=\"color:blue\"");

    // Numbering starts again on every page; a page without styles gets
    // only the cell rule.
    text = "<style></style><p>x</p>";
    html.stylesToClasses(text);
    EXPECT_TRUE(html.styleList.empty());
    EXPECT_EQ(text,
              "<style>/* =====================*/\r\n/* Generated by Gleswick */"
              "\r\ntd{vertical-align:top}\r\n-->\r\n</style><p>x</p>");
}

TEST_F(CleanupTest, ManyDistinctStyles) {
    std::string text = "<style></style>";
    for (int i = 0; i < 3000; ++i) text += "<p style=\"a:" + std::to_string(i % 2500) + "\">";
    html.stylesToClasses(text);
    ASSERT_EQ(html.styleList.size(), 2500u);
    EXPECT_NE(text.find("\r\n.s2500{a:2499}\r\ntd{"), std::string::npos);
    EXPECT_NE(text.find("<p class=s2500><p class=s1><p class=s2>"), std::string::npos);
    EXPECT_EQ(text.find("style=\""), std::string::npos);
}

TEST_F(CleanupTest, ApplyStyleClasses) {
    html.styleList = {"style=\"a\"", "style=\"b:c\""};
    auto apply = [&](std::string t) { return run(&TWordHTM::applyStyleClasses, std::move(t)); };
    EXPECT_EQ(apply("<p style=\"b:c\">x<p style='a'>y<p style=z>w<p style=\"q\"><p STYLE=\"a\"><i style=\"a\">"),
                    "<p class=s2>x<p style='a'>y<p style=z>w<p style=\"q\"><p STYLE=\"a\"><i class=s1>");
    // The first character of a value is never taken as its closing quote.
    EXPECT_EQ(apply("<p style=\"\">x<p style=\"a\">"), "<p style=\"\">x<p style=\"a\">");
    // An unterminated value ends the pass: the rest is copied as it is.
    EXPECT_EQ(apply("<p style=\"a\">x<p style='oops>y<p style=\"a\">"),
              "<p class=s1>x<p style='oops>y<p style=\"a\">");
    EXPECT_EQ(apply("x style="), "x style=");
    EXPECT_EQ(apply("x style=\"a"), "x style=\"a");
}

TEST_F(CleanupTest, RebuildStyleBlock) {
    std::string text =
        "<head><style>\r\n<!--\r\n /* Font Definitions */\r\n@font-face\r\n\t{font-family:Calibri;}\r\n"
        "/* Style Definitions */\r\n p.MsoNormal\r\n\t{margin-top:0in;\r\n\tmargin-right:1in;\r\n"
        "\tmargin-bottom:2in;\r\n\tmargin-left:3in;}\r\n@page WordSection1\r\n\t{size:8.5in 11.0in;}\r\n"
        "a<--b\r\n-->\r\n</style><style>@x{y}</style></head>";
    html.rebuildStyleBlock(text, "\r\n.s1{x}");
    EXPECT_EQ(text,
              "<head><style>\r\n<!--\r\n /* Style Definitions */\r\n p.MsoNormal\r\n"
              "\t{margin:0in 1in 2in 3in;}\r\n\r\nab\r\n\r\n"
              "/* =====================*/\r\n/* Generated by Gleswick */\r\n.s1{x}\r\n-->\r\n"
              "</style><style>@x{y}</style></head>");

    // No complete style element: nothing to rebuild, the page stays as it is.
    for (const std::string page : {"<p>x</p>", "<style>x", "x</style>", "</style><style>-->"}) {
        text = page;
        html.rebuildStyleBlock(text, "\r\n.s1{x}");
        EXPECT_EQ(text, page);
    }
}

TEST_F(CleanupTest, OptimizeCleansThenNumbersStyles) {
    ctx.workingText =
        "<html><head><style>\r\n--></style></head><body>"
        "<p class=MsoNormal style=\"color:red\">a</p>"
        "<p  style=\"color:red\"\nalign=left>b:   c</p></body></html>";
    optimize(ctx);
    EXPECT_EQ(ctx.workingText,
              "<html><head><style>\r\n/* =====================*/\r\n/* Generated by Gleswick */"
              "\r\n.s1{color:red}\r\ntd{vertical-align:top}\r\n-->\r\n</style></head><body>"
              "<p class=ms style=\"color:red\">a</p><p class=s1 align=left>b: c</p></body></html>");
}

TEST_F(CleanupTest, ReformatBreaksBeforeStartTags) {
    ctx.optimizeFlag = false;
    ctx.workingText = "<html><TABLE><tr><td><p>x $1</p></td></tr></TABLE><div>y</div><b>z</b></html>";
    reformat(ctx);
    EXPECT_EQ(ctx.workingText,
              "<html>\r\n<TABLE>\r\n<tr>\r\n<td>\r\n<p>x $1</p></td></tr></TABLE>\r\n<div>y</div><b>z</b></html>");
}

}  // namespace
}  // namespace tavin

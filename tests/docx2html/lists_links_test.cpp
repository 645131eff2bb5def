// Lists, hyperlinks, bookmarks, pictures and drop caps.
#include <gtest/gtest.h>

#include "docx2html/links.h"
#include "docx2html/lists.h"

using namespace tavin;

namespace {

const char* kNumbering =
    "<numbering><abstractNum abstractNumId=\"0\"><lvl ilvl=\"0\"><numFmt val=\"bullet\"/></lvl></abstractNum>"
    "<abstractNum abstractNumId=\"1\"><lvl ilvl=\"0\"><numFmt val=\"decimal\"/></lvl>"
    "<lvl ilvl=\"1\"><numFmt val=\"lowerLetter\"/></lvl></abstractNum>"
    "<abstractNum abstractNumId=\"2\"><lvl ilvl=\"0\"><numFmt val=\"upperRoman\"/></lvl></abstractNum>"
    "<num numId=\"1\"><abstractNumId val=\"0\"/></num><num numId=\"2\"><abstractNumId val=\"1\"/></num>"
    "<num numId=\"3\"><abstractNumId val=\"2\"/></num></numbering>";

std::string item(int level, int numId, const std::string& text) {
    return "<p><pPr><numPr><ilvl val=\"" + std::to_string(level) + "\"/><numId val=\"" + std::to_string(numId) +
           "\"/></numPr></pPr>" + text + "</p>";
}

std::string lists(const std::string& text) {
    ConversionContext ctx;
    ctx.numberingText = kNumbering;
    ctx.workingText = text;
    wrapListItems(ctx);
    buildLists(ctx);
    return ctx.workingText;
}

}  // namespace

TEST(Lists, ItemsGroupIntoOneListByFormat) {
    const std::string a = item(0, 2, "a"), b = item(0, 2, "b"), c = item(0, 2, "c");
    EXPECT_EQ(lists(a + "\n" + b + "\n" + c),
              "<ol><li>" + a + "</li>\n<li>" + b + "</li>\n<li>" + c + "</li></ol>");
    const std::string u = item(0, 1, "u");
    EXPECT_EQ(lists(u), "<ul><li>" + u + "</li></ul>");
    EXPECT_EQ(lists(item(0, 3, "r")), "<ul><li>" + item(0, 3, "r") + "</li></ul>");
    // An unknown numId takes the first abstract numbering; no numbering at all gives ul.
    EXPECT_EQ(lists(item(0, 0, "z")), "<ul><li>" + item(0, 0, "z") + "</li></ul>");
}

TEST(Lists, SeparatedRunsAndEmptyItems) {
    const std::string a = item(0, 2, "a"), b = item(0, 2, "b");
    const std::string plain = "<p>between</p>";
    EXPECT_EQ(lists(a + plain + b), "<ol><li>" + a + "</li></ol>" + plain + "<ol><li>" + b + "</li></ol>");
    // A numbered paragraph holding only markup is no item and splits the run.
    const std::string empty = item(0, 2, "<r></r>");
    EXPECT_EQ(lists(a + empty + b), "<ol><li>" + a + "</li></ol>" + empty + "<ol><li>" + b + "</li></ol>");
    EXPECT_EQ(lists("<p>plain</p>"), "<p>plain</p>");
}

TEST(Lists, NestingOpensAndClosesByLevel) {
    const std::string a = item(0, 2, "a"), b = item(1, 2, "b"), c = item(0, 2, "c");
    EXPECT_EQ(lists(a + b + c), "<ol><li>" + a + "<ol><li>" + b + "</ol><li>" + c + "</ol>");
    // Falling below the first level closes a list with the current tag.
    const std::string d = item(1, 1, "d"), e = item(0, 1, "e");
    EXPECT_EQ(lists(d + e), "<ul><li>" + d + "</li><li>" + e + "</li></ul>");
    // Once a block has changed, every later block is rejoined without "</li>".
    const std::string f = item(0, 1, "f"), g = item(0, 1, "g");
    EXPECT_EQ(lists(a + b + c + "<p>x</p>" + f + g),
              "<ol><li>" + a + "<ol><li>" + b + "</ol><li>" + c + "</ol><p>x</p><ul><li>" + f + "<li>" + g + "</ul>");
}

TEST(Lists, IdenticalListsAreWrappedOnceEach) {
    const std::string a = item(0, 1, "same");
    const std::string one = "<ul><li>" + a + "</li></ul>";
    EXPECT_EQ(lists(a + "<p>x</p>" + a + "<p>y</p>" + a), one + "<p>x</p>" + one + "<p>y</p>" + one);
}

TEST(Lists, MissingLevelIsAnIntegerError) {
    ConversionContext ctx;
    ctx.workingText = "<p><pPr><numPr><numId val=\"1\"/></numPr></pPr>x</p>";
    wrapListItems(ctx);
    try {
        buildLists(ctx);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'' is not a valid integer value");
    }
}

namespace {

const char* kRels =
    "<Relationships><Relationship Id=\"rId1\" Type=\"t\" Target=\"media/image1.png\"/>"
    "<Relationship Id=\"rId10\" Type=\"t\" Target=\"https://example.org/x\" TargetMode=\"External\"/>"
    "<Relationship Type=\"t\" Id=\"rId9\" Target=\"late-id.png\"/>"
    "<Relationship Id=\"rId2\" Type=\"t\" Target=\"a$1\\b\"/></Relationships>";

std::string linked(const std::string& text) {
    ConversionContext ctx;
    ctx.relsText = kRels;
    ctx.workingText = text;
    convertLinks(ctx);
    return ctx.workingText;
}

std::string pictured(const std::string& text) {
    ConversionContext ctx;
    ctx.relsText = kRels;
    ctx.workingText = text;
    convertImages(ctx);
    return ctx.workingText;
}

}  // namespace

TEST(Links, RelationshipLookup) {
    ConversionContext ctx;
    ctx.relsText = kRels;
    EXPECT_EQ(relTarget(ctx, "rId1"), "media/image1.png");
    EXPECT_EQ(relTarget(ctx, "rId10"), "https://example.org/x");
    EXPECT_EQ(relTarget(ctx, "rId9"), "late-id.png");  // Id after Type
    EXPECT_EQ(relTarget(ctx, "rId3"), "");
    EXPECT_EQ(relTarget(ctx, "rId"), "");  // ids match whole
    // Links and pictures find it in the same way.
    EXPECT_EQ(linked("<hyperlink r:id=\"rId9\">x</hyperlink>"), "<a href=\"late-id.png\">x</a>");
    EXPECT_EQ(pictured("<drawing><a:blip r:embed=\"rId9\"/></drawing>"), "<img src=\"late-id.png\"/>");
    EXPECT_EQ(relId("<hyperlink r:id=\"rId7\" history=\"1\">"), "rId7");
}

TEST(Links, AnchorsTargetsAndBothForms) {
    EXPECT_EQ(linked("<hyperlink anchor=\"_Toc1\" history=\"1\"><span>Go</span></hyperlink>"),
              "<a href=\"#_Toc1\"><span>Go</span></a>");
    EXPECT_EQ(linked("<hyperlink r:id=\"rId10\">\r\n  text\r\n</hyperlink>|<hyperlink r:id=\"rId1\"/>"),
              "<a href=\"https://example.org/x\">text\r\n</a>|<a href=\"media/image1.png\"></a>");
    EXPECT_EQ(linked("<hyperlink r:id=\"nope\">x</hyperlink>"), "<a href=\"\">x</a>");
    // A target is written as it stands, never read as a replacement template.
    EXPECT_EQ(linked("<hyperlink r:id=\"rId2\">x</hyperlink>"), "<a href=\"a$1\\b\">x</a>");
}

TEST(Links, Bookmarks) {
    EXPECT_EQ(linked("<bookmarkStart id=\"0\" name=\"_Toc1\"/>H<bookmarkEnd id=\"0\"/>"), "<a name=\"_Toc1\"/>H");
    // Any name, any attribute order; the text between two bookmarks stays.
    EXPECT_EQ(linked("<bookmarkStart id=\"1\" name=\"Figure1-6\"/>mid<bookmarkStart name=\"ok\" id=\"2\"/>end"),
              "<a name=\"Figure1-6\"/>mid<a name=\"ok\"/>end");
    EXPECT_EQ(linked("<bookmarkStart id=\"3\" name=\"\"/>x<bookmarkStart id=\"4\" colFirst=\"0\" name=\"a b\"/>"),
              "<a name=\"\"/>x<a name=\"a b\"/>");
}

TEST(Pictures, SizesAlignmentAndSource) {
    const std::string d = "<drawing><wp:anchor><wp:positionH><wp:align>left</wp:align></wp:positionH>"
                          "<wp:extent cx=\"1905000\" cy=\"1428750\"/><a:blip r:embed=\"rId1\"/></wp:anchor></drawing>";
    EXPECT_EQ(pictured("<p>" + d + "</p>"), "<p><img src=\"media/image1.png\" align=left width=200 height=150/></p>");
    EXPECT_EQ(pictured("<drawing><wp:extent cx=\"4762\" cy=\"4763\"/></drawing>"), "<img src=\"\" width=0 height=1/>");
    EXPECT_EQ(pictured("<drawing><wp:inline/></drawing><drawing>x</drawing>"), "<img src=\"\"/><img src=\"\"/>");
    EXPECT_EQ(emuToPx("9525"), "1");
    EXPECT_THROW(pictured("<drawing><wp:extent cx=\"wide\" cy=\"1\"/></drawing>"), Error);
    // Measures with a unit, and decimals in EMU.
    EXPECT_EQ(pictured("<drawing><wp:extent cx=\"1in\" cy=\"95250.4\"/></drawing>"), "<img src=\"\" width=96 height=10/>");
}

TEST(DropCaps, EachDropCapParagraphGetsItsDivision) {
    ConversionContext ctx;
    const std::string p1 = "<p><pPr><framePr dropCap=\"drop\" lines=\"3\"/></pPr>T</p>";
    const std::string p2 = "<p><pPr><framePr dropCap=\"margin\"/></pPr>W</p>";
    ctx.workingText = "<p>a</p>" + p1 + "<p>he</p>" + p2;
    wrapDropCaps(ctx);
    EXPECT_EQ(ctx.workingText, "<p>a</p><div style=\"float:left\">" + p1 + "</div><p>he</p><div style=\"float:left\">" +
                                   p2 + "</div>");
    ctx.workingText = "<framePr dropCap=\"drop\"/>no paragraph";
    wrapDropCaps(ctx);
    EXPECT_EQ(ctx.workingText, "<framePr dropCap=\"drop\"/>no paragraph");
}

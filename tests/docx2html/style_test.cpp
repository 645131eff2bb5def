#include <gtest/gtest.h>

#include "docx2html/docxstyle.h"
#include "docx2html/page.h"

#include "support/testutil.h"

using namespace tavin;
using testutil::errorOf;

TEST(StyleMeasures, TwipsHalfPointsAndTheZeroRule) {
    ConversionContext ctx;
    EXPECT_EQ(twipsToPx(ctx, "0"), "0");
    EXPECT_EQ(twipsToPx(ctx, "7"), "1");
    EXPECT_EQ(twipsToPx(ctx, "-7"), "1");
    EXPECT_EQ(twipsToPx(ctx, "8"), "1");
    EXPECT_EQ(twipsToPx(ctx, "113"), "8");
    EXPECT_EQ(twipsToPx(ctx, "720"), "48");
    EXPECT_EQ(twipsToPx(ctx, "-720"), "-48");
    EXPECT_EQ(twipsToPx(ctx, "1440"), "96");
    EXPECT_EQ(twipsToPx(ctx, "   "), "");
    EXPECT_EQ(twipsToPx(ctx, ""), "");
    EXPECT_EQ(errorOf([&] { twipsToPx(ctx, "1,5"); }), "'1,5' is not a valid integer value");
    EXPECT_EQ(halfPtToPx("24"), "16");
    EXPECT_EQ(halfPtToPx("21"), "14");
    EXPECT_EQ(halfPtToPx("20"), "13");
    EXPECT_EQ(halfPtToPx("1"), "1");
    EXPECT_EQ(halfPtToPx("0"), "0");
    EXPECT_EQ(errorOf([] { halfPtToPx("8px"); }), "'8px' is not a valid integer value");
}

TEST(StyleMeasures, UniversalMeasuresAndDecimalsInEachFieldsUnit) {
    ConversionContext ctx;
    // Twips: 6pt = 120, 0.5in = 720, 1.27cm = 12.7mm = 720, 1pc = 1pi = 240.
    EXPECT_EQ(twipsToPx(ctx, "6pt"), "8");
    EXPECT_EQ(twipsToPx(ctx, "0.5in"), "48");
    EXPECT_EQ(twipsToPx(ctx, "1.27cm"), "48");
    EXPECT_EQ(twipsToPx(ctx, "12.7mm"), "48");
    EXPECT_EQ(twipsToPx(ctx, "1pc"), "16");
    EXPECT_EQ(twipsToPx(ctx, "1pi"), "16");
    EXPECT_EQ(twipsToPx(ctx, "-0.5in"), "-48");
    EXPECT_EQ(twipsToPx(ctx, "9360.0"), "624");
    EXPECT_EQ(twipsToPx(ctx, "0.0"), "0");
    EXPECT_EQ(twipsToPx(ctx, "0.1pt"), "1");  // 2 twips: not zero, so at least one pixel
    // Half-points: 11pt = 22 half-points = 15 px; 10.5 half-points rounds to 10.
    EXPECT_EQ(halfPtToPx("11pt"), "15");
    EXPECT_EQ(halfPtToPx("10.5"), "7");
    // Rounding of the measure is halves to even: 0.025pt = 0.5 twips -> 0; 0.075pt = 1.5 -> 2.
    EXPECT_EQ(measureToInt("0.025pt", kTwipsPerPoint), 0);
    EXPECT_EQ(measureToInt("0.075pt", kTwipsPerPoint), 2);
    EXPECT_EQ(measureToInt("-2.5", kTwipsPerPoint), -2);
    // Border sizes are eighths of a point: 1.5pt = 12 eighths -> 1 px.
    EXPECT_EQ(borderSide(ctx, "<top val=\"single\" sz=\"1.5pt\" color=\"000000\"/>", "top"), "1px solid #000000;");
    EXPECT_EQ(measureToInt("1in", kEmuPerPoint), 914400);
    // Counts and anything else still fail, as does a measure beyond 32 bits.
    for (const char* bad : {"pt", "6 pt", "6PT", "6px", "1.2.3", ".", "1e3", "--1", "99999999in"})
        EXPECT_EQ(errorOf([&] { measureToInt(bad, kTwipsPerPoint); }), std::string("'") + bad + "' is not a valid integer value")
            << bad;
}

TEST(StyleMarkers, AttributesAndElements) {
    EXPECT_EQ(attrValue("<sz val=\"24\"/><szCs val=\"20\"/>", "<sz val"), "24");
    EXPECT_EQ(attrValue("<szCs val=\"20\"/>", "<sz val"), "");
    EXPECT_EQ(attrValue("<x a=\"\"/>", "a"), "");
    EXPECT_EQ(elementText("<a/><top val=\"x\"/>", "top"), "<top val=\"x\"/>");
    EXPECT_EQ(elementText("<top val=\"x\">", "top"), "");
}

TEST(StyleIndentSpacing, HangingWinsAndOrder) {
    ConversionContext ctx;
    EXPECT_EQ(indToCss(ctx, " left=\"720\" hanging=\"360\""), "margin-left:48px;text-indent:-24px;");
    EXPECT_EQ(indToCss(ctx, " firstLine=\"720\" hanging=\"360\""), "text-indent:-24px;");
    EXPECT_EQ(indToCss(ctx, " left=\"0\" right=\"15\""), "margin-left:0px;margin-right:1px;");
    EXPECT_EQ(spacingToCss(ctx, " after=\"120\" line=\"240\" before=\"0\""),
              "margin-top:0px;margin-bottom:8px;line-height:16px;");
}

TEST(StyleBorders, SidesDoublesAndTheFourSidesRule) {
    ConversionContext ctx;
    const std::string side = "val=\"single\" sz=\"4\" color=\"000000\"/>";
    const std::string four = "<top " + side + "<left " + side + "<bottom " + side + "<right " + side;
    EXPECT_EQ(bordersToCss(ctx, four), "border:1px solid #000000;");
    const std::string nils = "<top val=\"nil\"/><left val=\"nil\"/><bottom val=\"nil\"/><right val=\"nil\"/>";
    EXPECT_EQ(bordersToCss(ctx, nils), "border:none;");
    EXPECT_EQ(bordersToCss(ctx, "<insideH/>"), "border:none");
    EXPECT_EQ(bordersToCss(ctx, ""), "");
    EXPECT_EQ(bordersToCss(ctx, "<top val=\"nil\"/><bottom " + side),
              "border-top:none;border-bottom:1px solid #000000;");
    EXPECT_EQ(borderSide(ctx, "<top val=\"double\" sz=\"4\" color=\"FF0000\"/>", "top"), "3px double #FF0000;");
    EXPECT_EQ(borderSide(ctx, "<top val=\"thick\" sz=\"24\" color=\"auto\"/>", "top"), "2px thick #auto;");
    EXPECT_EQ(borderSide(ctx, "<top val=\"single\" sz=\"4\"/>", "top"), "");
    // A double border without a size has no number to compare.
    EXPECT_EQ(errorOf([&] { borderSide(ctx, "<top val=\"double\" color=\"0\"/>", "top"); }),
              "'' is not a valid integer value");
}

TEST(StyleReadProps, SlotsFromPropertyText) {
    ConversionContext ctx;
    const propSlots s = readProps(ctx,
                                  "<jc val=\"both\"/><shd val=\"clear\" color=\"auto\" fill=\"FFFF00\"/>"
                                  "<rFonts ascii=\"Arial\"/><sz val=\"24\"/><color val=\"FF0000\"/><b/>",
                                  false);
    EXPECT_EQ(s[slot::Alignment], "text-align:justify;");
    EXPECT_EQ(s[slot::Background], "background-color:#eeeeee;");
    EXPECT_EQ(s[slot::FontFamily], "font-family:Arial;");
    EXPECT_EQ(s[slot::FontSize], "font-size:16;");
    EXPECT_EQ(s[slot::Colour], "color:#FF0000;");
    EXPECT_EQ(s[slot::Weight], "");  // bold not allowed
    EXPECT_EQ(readProps(ctx, "<b/>", true)[slot::Weight], "font-weight:bold;");
    EXPECT_EQ(readProps(ctx, "<b val=\"1\"/>", true)[slot::Weight], "");
    EXPECT_EQ(readProps(ctx, "<shd color=\"FF0000\"/>", true)[slot::Background], "background-color:FF0000;");
    EXPECT_EQ(readProps(ctx, "<rFonts hAnsi=\"X\" ascii=\"Arial\"/>", true)[slot::FontFamily], "");
    EXPECT_EQ(readProps(ctx, "<tblBorders><top val=\"nil\"/></tblBorders>", true)[slot::Borders], "border-top:none;");
}

TEST(StyleTable, InheritanceOrderAndLimits) {
    ConversionContext ctx;
    ctx.stylesText =
        "<styles>"
        "<style type=\"paragraph\" styleId=\"Early\"><basedOn val=\"Late\"/><color val=\"111111\"/></style>"
        "<style type=\"paragraph\" styleId=\"A\"><rFonts ascii=\"Arial\"/><sz val=\"30\"/><color val=\"222222\"/>"
        "<jc val=\"center\"/><b/></style>"
        "<style type=\"paragraph\" styleId=\"B\"><basedOn val=\"A\"/><sz val=\"24\"/></style>"
        "<style type=\"paragraph\" styleId=\"C\"><basedOn val=\"B\"/></style>"
        "<style type=\"paragraph\" styleId=\"Late\"><rFonts ascii=\"Late\"/></style>"
        "<style type=\"paragraph\" styleId=\"A\"><rFonts ascii=\"Second\"/></style>"
        "</styles>";
    loadStyles(ctx);
    ASSERT_EQ(ctx.styleTable.size(), 6u);
    const int n = static_cast<int>(ctx.styleTable.size());
    // A base defined later in the file is ignored.
    EXPECT_EQ(ctx.styleTable[0].props[slot::FontFamily], "");
    // Family through two levels; size of its own base; nothing else inherited.
    const propSlots& c = ctx.styleTable[static_cast<std::size_t>(findStyle(ctx, "C", n))].props;
    EXPECT_EQ(c[slot::FontFamily], "font-family:Arial;");
    EXPECT_EQ(c[slot::FontSize], "font-size:16;");
    EXPECT_EQ(c[slot::Colour], "");
    EXPECT_EQ(c[slot::Alignment], "");
    EXPECT_EQ(c[slot::Weight], "");
    // Duplicate ids: the first wins; ids are case-sensitive; the last entry is found.
    EXPECT_EQ(findStyle(ctx, "A", n), 1);
    EXPECT_EQ(findStyle(ctx, "a", n), -1);
    EXPECT_EQ(findStyle(ctx, "Late", n), 4);
    EXPECT_EQ(findStyle(ctx, "A", 0), -1);
    propSlots own;
    own[slot::FontFamily] = "font-family:Own;";
    inheritProps(ctx, own, 1, true);
    EXPECT_EQ(own[slot::FontFamily], "font-family:Own;");
    EXPECT_EQ(own[slot::Colour], "color:#222222;");
    EXPECT_EQ(styleXml(ctx, "B"), "<basedOn val=\"A\"/><sz val=\"24\"/>");
    EXPECT_EQ(styleXml(ctx, "Missing"), "");
}

TEST(StyleTable, BadNumberStopsTheLoad) {
    ConversionContext ctx;
    ctx.stylesText = "<style styleId=\"X\"><sz val=\"8px\"/></style>";
    EXPECT_EQ(errorOf([&] { loadStyles(ctx); }), "'8px' is not a valid integer value");
}

namespace {

const char* kLetterPage =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document><body><p>x</p>"
    "<sectPr><pgSz w=\"12240\" h=\"15840\"/><pgMar top=\"1440\" right=\"1800\" bottom=\"1440\" left=\"1800\" "
    "header=\"720\"/></sectPr></body></document>";

}  // namespace

TEST(Page, LetterPageBoxAndHead) {
    ConversionContext ctx;
    ctx.docTitle = "R&D <draft>";
    ctx.workingText = kLetterPage;
    readPageSetup(ctx);
    EXPECT_EQ(ctx.charset, "UTF-8");
    ctx.pageMarginFlag = true;
    assembleHtml(ctx);
    const std::string& t = ctx.workingText;
    EXPECT_EQ(t.rfind("<html>\r\n<head><title>R&D &lt;draft></title>\r\n", 0), 0u);
    EXPECT_NE(t.find("<meta http-equiv=Content-Type content=\"text/html; charset=UTF-8\">\r\n<style>\r\n"),
              std::string::npos);
    EXPECT_NE(t.find(".tab{margin-left:3em}body{background-color:gray;text-align:center;}\r\n div.page{width:816;"
                     "padding:96 120 96 120; background-color:white;border:1px solid black;text-align:left;"
                     "min-height:1056; _height:1056;margin:20px 0;} td div.page{width:0;height:0}</style></head>"
                     "<body><div class=page><p>x</p></body></html>"),
              std::string::npos);
    EXPECT_NE(t.find("blockquote{margin-top:0px;margin-bottom:0px;disply:inline;}"), std::string::npos);
}

TEST(Page, WithoutMarginAndValuesPersistAcrossRuns) {
    ConversionContext ctx;
    ctx.workingText = kLetterPage;
    readPageSetup(ctx);
    // A second document without page elements keeps the first one's values.
    ctx.workingText = "<document><body><p>y</p><sectPr/></body></document>";
    readPageSetup(ctx);
    EXPECT_EQ(ctx.pageWidth, "816");
    EXPECT_EQ(ctx.marginLeft, "120");
    EXPECT_EQ(ctx.charset, "");
    ctx.pageMarginFlag = false;
    assembleHtml(ctx);
    EXPECT_NE(ctx.workingText.find(".tab{margin-left:3em}</style></head><body><p>y</p></body></html>"),
              std::string::npos);
}

TEST(Page, SizeAndMarginsByNameInAnyOrder) {
    struct Case {
        const char* text;
        const char* width;
        const char* left;
    } const cases[] = {
        {"<pgSz h=\"15840\" orient=\"portrait\" w=\"12240\"/><pgMar left=\"1800\" gutter=\"0\" bottom=\"1\" "
         "right=\"2\" top=\"3\"/>",
         "816", "120"},
        // Each element counts only when all its values are there, as digits.
        {"<pgSz w=\"12240\"/><pgMar top=\"1\" right=\"x\" bottom=\"1\" left=\"1800\"/>", "", ""},
        // The first element counts, not a later whole one.
        {"<pgSz w=\"12240\" h=\"\"/><pgSz w=\"1\" h=\"1\"/>", "", ""},
        // Longer names are other elements, and "w" is not the end of "xw".
        {"<pgSzx w=\"15\" h=\"15\"/><pgSz xw=\"15\" w=\"12240\" h=\"15840\"/>", "816", ""},
    };
    for (const Case& c : cases) {
        ConversionContext ctx;
        ctx.workingText = c.text;
        readPageSetup(ctx);
        EXPECT_EQ(ctx.pageWidth, c.width) << c.text;
        EXPECT_EQ(ctx.marginLeft, c.left) << c.text;
    }
}

TEST(Page, FieldsLineBreaksAndCuts) {
    ConversionContext ctx;
    ctx.pageMarginFlag = false;
    const std::string b = "<fldChar fldCharType=\"begin\"/>";
    const std::string e = "<fldChar fldCharType=\"end\"/>";
    ctx.workingText = "junk<body>A" + b + "outer" + b + "inner" + e + "rest" + e + "Z\r\n\r\nQ<sectPr>tail";
    assembleHtml(ctx);
    const std::string& t = ctx.workingText;
    // Fields without a separate mark lose their instruction, nested ones too.
    EXPECT_NE(t.find("</style></head><body>AZ\r\nQ</body></html>"), std::string::npos);
    // No body, no sectPr, no ">": the whole text, with the page box in front.
    ConversionContext bare;
    bare.workingText = "plain";
    assembleHtml(bare);
    EXPECT_NE(bare.workingText.find("</style></head><div class=page>plain</body></html>"), std::string::npos);
}

// Full Fidelity: list labels as Word numbers them, headings, right-to-left
// text, VML pictures, symbols, page breaks and equations.
#include <gtest/gtest.h>

#include <array>

#include <random>
#include <vector>

#include "docx2html/docx2html.h"
#include "docx2html/fidelity/defaults.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/fidelity/equations.h"
#include "docx2html/model/model.h"
#include "docx2html/fidelity/lists.h"

using namespace tavin;

namespace {

struct Parts {
    std::string body;
    std::string styles;
    std::string numbering;
    std::string fontTable;
    bool fidelity = true;
    bool margin = true;
    std::string beforeBody;  // document elements before the body
    std::string lastSection = "<w:pgSz w:w=\"12240\" w:h=\"15840\"/>";  // the body's own sectPr
};

// The converted page of a document body (without the clean-up pass, so the
// markup reads as the steps wrote it).
std::string page(const Parts& parts) {
    ConversionContext ctx;
    ctx.fullFidelity = parts.fidelity;
    ctx.showPageMargin = parts.margin;
    ctx.optimizeHtml = false;
    ctx.docTitle = "t";
    PartTexts texts;
    texts.document = "<w:document>" + parts.beforeBody + "<w:body>" + parts.body +
                     "<w:sectPr>" + parts.lastSection + "</w:sectPr></w:body></w:document>";
    texts.styles = parts.styles;
    texts.numbering = parts.numbering;
    texts.fontTable = parts.fontTable;
    loadPartsFromText(ctx, std::move(texts));
    convert(ctx);
    return ctx.workingText;
}

// The body of a page, without line breaks.
std::string body(const Parts& parts) {
    const std::string p = page(parts);
    std::string b = p.substr(p.find("<body>") + 6);
    b = b.substr(0, b.rfind("</body>"));
    return replaceAll(b, "\r\n", "");
}

std::string para(const std::string& text, const std::string& pPr = "") {
    return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + "<w:r><w:t>" + text + "</w:t></w:r></w:p>";
}

std::string numbered(const std::string& text, int numId, int ilvl) {
    return para(text, "<w:numPr><w:ilvl w:val=\"" + std::to_string(ilvl) + "\"/><w:numId w:val=\"" +
                          std::to_string(numId) + "\"/></w:numPr>");
}

std::string level(int ilvl, const std::string& fmt, const std::string& text, const std::string& extra = "") {
    return "<w:lvl w:ilvl=\"" + std::to_string(ilvl) + "\">" + extra + "<w:numFmt w:val=\"" + fmt +
           "\"/><w:lvlText w:val=\"" + text + "\"/></w:lvl>";
}

// The model of parts as stored.
std::unique_ptr<model::DocumentModel> modelOf(const PartTexts& parts) {
    auto m = std::make_unique<model::DocumentModel>();
    model::readParts(*m, parts);
    return m;
}

}  // namespace

TEST(ListLabels, NumberFormats) {
    struct Case {
        int n;
        const char* format;
        const char* text;
        const char* language = "";
    } cases[] = {
        {1, "decimal", "1"}, {4, "lowerRoman", "iv"}, {1994, "upperRoman", "MCMXCIV"}, {4000, "upperRoman", "4000"},
        {1, "lowerLetter", "a"}, {27, "upperLetter", "AA"}, {28, "lowerLetter", "bb"}, {3, "decimalZero", "03"},
        {12, "decimalZero", "12"}, {2, "ordinal", "2nd"}, {13, "ordinal", "13th"}, {21, "ordinal", "21st"},
        {1, "ordinal", "1er", "fr-FR"}, {2, "ordinal", "2e", "fr"}, {3, "ordinal", "3.", "de-DE"},
        {3, "cardinalText", "Three"}, {2, "ordinalText", "Second"}, {5, "none", ""}, {5, "bullet", ""},
        {32767, "cardinalText", "Thirty-two thousand seven hundred sixty-seven"}, {21, "ordinalText", "Twenty-first"},
        {80, "cardinalText", "Quatre-vingts", "fr-FR"}, {71, "cardinalText", "Soixante et onze", "fr-CA"},
        {21, "ordinalText", "Vingt et unième", "fr-FR"}, {1, "ordinalText", "Premier", "fr-FR"},
        {21, "cardinalText", "Einundzwanzig", "de-DE"}, {7, "ordinalText", "Siebte", "de-AT"},
        {21000, "cardinalText", "Veintiún mil", "es-ES"}, {23, "ordinalText", "Vigésimo tercero", "es-MX"},
        {23, "cardinalText", "Ventitré", "it-IT"}, {23, "ordinalText", "Ventitreesimo", "it-IT"},
        {16, "cardinalText", "Dezesseis", "pt-BR"}, {16, "cardinalText", "Dezasseis", "pt-PT"},
        {22, "cardinalText", "Tweeëntwintig", "nl-NL"}, {101, "ordinalText", "Honderdeerste", "nl-BE"},
        {21000, "cardinalText", "Двадцать одна тысяча", "ru-RU"}, {40, "ordinalText", "Сороковой", "ru"},
        {21000, "cardinalText", "Dwadzieścia jeden tysięcy", "pl-PL"}, {8, "ordinalText", "Ósmy", "pl-PL"},
        {101, "ordinalText", "Sto pierwszy", "pl-PL"}, {255, "hex", "FF"}, {6, "chicago", "††"},
        {3, "numberInDash", "- 3 -"}, {12, "decimalFullWidth", "１２"}, {12, "decimalHalfWidth", "12"},
        {7, "chineseCounting", "七"}, {10, "chineseCounting", "十"}, {101, "chineseCountingThousand", "一百零一"},
        {110, "japaneseCounting", "百十"}, {10010, "japaneseCounting", "一万十"}, {205, "ideographDigital", "二〇五"},
        {12345, "japaneseDigitalTenThousand", "一万二三四五"}, {11, "japaneseLegal", "壱拾壱"},
        {1001, "chineseLegalSimplified", "壹仟零壹"}, {25, "koreanDigital", "이오"}, {111, "koreanCounting", "백십일"},
        {21, "koreanLegal", "스물하나"}, {15, "ganada", "가가"}, {3, "chosung", "ㄷ"}, {15, "hebrew1", "טו"},
        {23, "hebrew2", "אא"}, {3, "arabicAlpha", "ت"}, {3, "arabicAbjad", "ج"}, {3, "aiueo", "ｳ"},
        {3, "aiueoFullWidth", "ウ"}, {3, "iroha", "ﾊ"}, {3, "irohaFullWidth", "ハ"}, {12, "hindiNumbers", "१२"},
        {2, "hindiConsonants", "ख"}, {12, "thaiNumbers", "๑๒"}, {21, "thaiCounting", "ยี่สิบเอ็ด"},
        {2, "thaiLetters", "ข"}, {25, "vietnameseCounting", "hai mươi lăm"},
        {105, "vietnameseCounting", "một trăm lẻ năm"}, {10, "russianLower", "к"}, {29, "russianUpper", "АА"},
        {20, "decimalEnclosedCircle", "⑳"}, {36, "decimalEnclosedCircle", "㊱"}, {51, "decimalEnclosedCircle", "51"},
        {2, "decimalEnclosedFullstop", "⒉"}, {2, "decimalEnclosedParen", "⑵"}, {2, "ideographEnclosedCircle", "㊁"},
        {3, "ideographTraditional", "丙"}, {13, "ideographTraditional", "13"}, {12, "ideographZodiac", "亥"},
        {11, "ideographZodiacTraditional", "甲戌"}, {9, "unknownFormat", "9"}};
    for (const Case& c : cases)
        EXPECT_EQ(formatListNumber(c.n, c.format, c.language), c.text) << c.n << " " << c.format << " " << c.language;
}

TEST(ListLabels, WordsInTheLanguageOfParagraphStyleOrDefaults) {
    Parts p;
    p.numbering = "<w:numbering><w:abstractNum w:abstractNumId=\"0\">" +
                  level(0, "cardinalText", "%1.", "<w:start w:val=\"1\"/>") +
                  "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
    p.styles = "<w:styles><w:docDefaults><w:rPrDefault><w:rPr><w:lang w:val=\"fr-FR\"/></w:rPr></w:rPrDefault>"
               "</w:docDefaults><w:style w:type=\"paragraph\" w:styleId=\"D\"><w:rPr><w:lang w:val=\"de-DE\"/>"
               "</w:rPr></w:style></w:styles>";
    const std::string num = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>";
    p.body = para("a", num) + para("b", "<w:pStyle w:val=\"D\"/>" + num) +
             para("c", num + "<w:rPr><w:lang w:val=\"es-ES\"/></w:rPr>");
    const std::string b = body(p);
    EXPECT_NE(b.find("Un.&#160;&#160;a"), std::string::npos) << b;
    EXPECT_NE(b.find("Zwei.&#160;&#160;b"), std::string::npos) << b;
    EXPECT_NE(b.find("Tres.&#160;&#160;c"), std::string::npos) << b;
}

TEST(ListLabels, LevelsRestartsOverridesAndBullets) {
    PartTexts parts;
    parts.numbering = std::string(
        "<w:numbering><w:abstractNum w:abstractNumId=\"0\">" + level(0, "decimal", "%1.", "<w:start w:val=\"1\"/>") +
        level(1, "lowerLetter", "%1.%2.", "<w:start w:val=\"1\"/>") +
        level(2, "upperRoman", "(%3)", "<w:start w:val=\"5\"/><w:lvlRestart w:val=\"0\"/>") +
        "</w:abstractNum><w:abstractNum w:abstractNumId=\"1\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/>"
        "<w:lvlText w:val=\"\xEF\x82\xB7\"/><w:rPr><w:rFonts w:ascii=\"Symbol\" w:hAnsi=\"Symbol\"/></w:rPr></w:lvl>"
        "<w:lvl w:ilvl=\"1\"><w:numFmt w:val=\"bullet\"/><w:lvlText w:val=\"\xEF\x83\xBC\"/><w:rPr>"
        "<w:rFonts w:ascii=\"Wingdings\"/></w:rPr></w:lvl>" +
        level(2, "none", "") +
        "</w:abstractNum><w:abstractNum w:abstractNumId=\"2\">" + level(0, "decimal", "%1", "<w:start w:val=\"1\"/>") +
        level(1, "upperRoman", "%1.%2", "<w:start w:val=\"1\"/><w:isLgl/>") +
        "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
        "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"0\"/></w:num>"
        "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"0\"><w:startOverride w:val=\"10\"/>"
        "</w:lvlOverride></w:num><w:num w:numId=\"4\"><w:abstractNumId w:val=\"1\"/></w:num>"
        "<w:num w:numId=\"5\"><w:abstractNumId w:val=\"2\"/></w:num></w:numbering>");
    const auto m = modelOf(parts);
    ListDefinitions lists(*m);
    EXPECT_EQ(lists.nextLabel(1, 0), "1.");
    EXPECT_EQ(lists.nextLabel(1, 1), "1.a.");
    EXPECT_EQ(lists.nextLabel(1, 1), "1.b.");
    EXPECT_EQ(lists.nextLabel(1, 2), "(V)");
    EXPECT_EQ(lists.nextLabel(1, 0), "2.");
    EXPECT_EQ(lists.nextLabel(1, 1), "2.a.");  // restarted after the higher level
    EXPECT_EQ(lists.nextLabel(1, 2), "(VI)");  // lvlRestart 0: never restarts
    // Another number of the same definition continues it; a start override
    // restarts it once.
    EXPECT_EQ(lists.nextLabel(2, 0), "3.");
    EXPECT_EQ(lists.nextLabel(3, 0), "10.");
    EXPECT_EQ(lists.nextLabel(3, 0), "11.");
    // Bullets of the symbol fonts in Unicode; "none" shows nothing.
    EXPECT_EQ(lists.nextLabel(4, 0), "\xE2\x80\xA2");
    EXPECT_EQ(lists.nextLabel(4, 1), "\xE2\x9C\x93");
    EXPECT_EQ(lists.nextLabel(4, 2), "");
    // Legal numbering writes every level in decimal.
    EXPECT_EQ(lists.nextLabel(5, 0), "1");
    EXPECT_EQ(lists.nextLabel(5, 1), "1.1");
    // Unknown lists and number 0 show nothing.
    EXPECT_EQ(lists.nextLabel(9, 0), "");
    EXPECT_EQ(lists.nextLabel(0, 0), "");
}

TEST(ListLabels, OnThePageNumberingContinuesAcrossOtherParagraphs) {
    Parts p;
    p.numbering = "<w:numbering><w:abstractNum w:abstractNumId=\"0\">" + level(0, "decimal", "%1.") +
                  level(1, "decimal", "%1.%2.") + "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
    // A list without a start counts from 0, as Word does.
    p.body = numbered("a", 1, 0) + para("between") + numbered("b", 1, 0) + numbered("off", 0, 0);
    const std::string b = body(p);
    EXPECT_NE(b.find("<p>0.&#160;&#160;a</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p>between</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p>1.&#160;&#160;b</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p>off</p>"), std::string::npos) << b;
    // The browser's own numbers give way to the labels.
    EXPECT_NE(page(p).find("ol,ul{list-style-type:none;"), std::string::npos);
}

TEST(FidelityParagraphs, HeadingsKeepTheirStyleAndDirectionFollowsBidi) {
    Parts p;
    p.styles = "<w:styles><w:style w:type=\"paragraph\" w:styleId=\"H\"><w:name w:val=\"Heading 3\"/>"
               "<w:pPr><w:jc w:val=\"center\"/></w:pPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"Q\">"
               "<w:basedOn w:val=\"O\"/></w:style><w:style w:type=\"paragraph\" w:styleId=\"O\"><w:pPr>"
               "<w:outlineLvl w:val=\"0\"/><w:bidi/></w:pPr></w:style></w:styles>";
    p.body = para("Three", "<w:pStyle w:val=\"H\"/>") + para("Inherited", "<w:pStyle w:val=\"Q\"/>") +
             para("Body", "<w:outlineLvl w:val=\"9\"/>") + para("Direct", "<w:outlineLvl w:val=\"5\"/>") +
             para("ltr", "<w:pStyle w:val=\"Q\"/><w:bidi w:val=\"0\"/>") +
             "<w:tbl><w:tblPr><w:bidiVisual/></w:tblPr><w:tr><w:tc>" + para("c1") + "</w:tc><w:tc>" + para("c2") +
             "</w:tc></w:tr></w:tbl>";
    const std::string b = body(p);
    EXPECT_NE(b.find("<h3 style=\"text-align:center;\">Three</h3>"), std::string::npos) << b;
    EXPECT_NE(b.find("<h1 dir=\"rtl\">Inherited</h1>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p>Body</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<h6>Direct</h6>"), std::string::npos) << b;
    EXPECT_NE(b.find("<h1>ltr</h1>"), std::string::npos) << b;
    EXPECT_NE(b.find("<table border=0 style=\"border:none\" dir=\"rtl\">"), std::string::npos) << b;
    EXPECT_EQ(b.find(kMarkerStart), std::string::npos) << b;  // no marker is left
}

TEST(FidelityParagraphs, AutomaticLineSpacingIsAMultiple) {
    Parts p;
    p.styles = "<w:styles><w:style w:type=\"paragraph\" w:styleId=\"S\"><w:pPr><w:spacing w:line=\"360\" "
               "w:lineRule=\"auto\"/></w:pPr></w:style></w:styles>";
    p.body = para("a", "<w:spacing w:after=\"0\" w:line=\"276\" w:lineRule=\"auto\"/>") +
             para("b", "<w:pStyle w:val=\"S\"/>") + para("c", "<w:spacing w:line=\"300\" w:lineRule=\"exact\"/>");
    const std::string b = body(p);
    EXPECT_NE(b.find("<p style=\"margin-bottom:0px;line-height:18px;line-height:1.15;\">a</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p style=\"line-height:24px;line-height:1.50;\">b</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p style=\"line-height:20px;\">c</p>"), std::string::npos) << b;
    // Automatic spacing before and after is a web page's 14 pt.
    p.body = para("d", "<w:spacing w:before=\"100\" w:beforeAutospacing=\"1\" w:afterAutospacing=\"1\"/>");
    EXPECT_NE(body(p).find("<p style=\"margin-top:7px;margin-top:19px;margin-bottom:19px;\">d</p>"), std::string::npos)
        << body(p);
}

TEST(FidelityParagraphs, ContextualSpacingBetweenParagraphsOfOneStyle) {
    Parts p;
    p.styles = "<w:styles><w:style w:type=\"paragraph\" w:styleId=\"L\"><w:pPr><w:spacing w:after=\"160\"/>"
               "<w:contextualSpacing/></w:pPr></w:style></w:styles>";
    const std::string item = para("i", "<w:pStyle w:val=\"L\"/>");
    p.body = para("x") + item + item + item + para("y");
    const std::string b = body(p);
    // The first item keeps its space before (another style precedes it), the
    // last its space after; between the items there is none.
    EXPECT_NE(b.find("<p>x</p><p style=\"margin-bottom:11px;margin-bottom:0px;\">i</p>"
                     "<p style=\"margin-bottom:11px;margin-top:0px;margin-bottom:0px;\">i</p>"
                     "<p style=\"margin-bottom:11px;margin-top:0px;\">i</p><p>y</p>"),
              std::string::npos)
        << b;
}

TEST(FidelityParagraphs, PageBreaksMakeSheets) {
    Parts p;
    p.body = para("one") + "<w:p><w:r><w:br w:type=\"page\"/><w:t>two</w:t></w:r></w:p>" +
             "<w:p><w:r><w:t>three</w:t><w:br w:type=\"page\"/></w:r></w:p>" + para("four", "<w:pageBreakBefore/>") +
             para("end of a section", "<w:sectPr><w:type w:val=\"nextPage\"/></w:sectPr>") + para("five") +
             "<w:tbl><w:tr><w:tc><w:p><w:r><w:br w:type=\"page\"/><w:t>cell</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
    const std::string b = body(p);
    const std::string sheet = "</div><div class=page>";
    // Breaks in a row ("three" ends with one, "four" starts with one) make one.
    EXPECT_NE(b.find("<p>one</p>" + sheet + "<p>two</p><p>three</p>" + sheet + "<p>four</p><p>end of a section</p>" +
                     "</div><div class=\"page section1\"><p>five</p>"),
              std::string::npos)
        << b;
    EXPECT_NE(b.find("cell"), std::string::npos);
    EXPECT_EQ(b.find("type=\"page\""), std::string::npos) << b;  // the break itself is no line break
    // A section that continues on the same page, and a break with nothing
    // before it, make no sheet.
    p.body = "<w:p><w:r><w:br w:type=\"page\"/></w:r></w:p>" + para("a") + para("b", "<w:sectPr/>") + para("c") +
             "<w:p><w:pPr><w:sectPr><w:type w:val=\"continuous\"/></w:sectPr></w:pPr><w:r><w:t>d</w:t></w:r></w:p>";
    EXPECT_EQ(body(p).find(sheet), std::string::npos) << body(p);
    // A break between the items of a list ends the list before the sheet
    // and goes on with it after.
    p.numbering = "<w:numbering><w:abstractNum w:abstractNumId=\"0\">" + level(0, "decimal", "%1.") +
                  level(1, "decimal", "%1.%2.") + "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
    p.body = numbered("first", 1, 0) + numbered("inner", 1, 1) + "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"1\"/><w:numId w:val=\"1\"/></w:numPr>"
             "</w:pPr><w:r><w:br w:type=\"page\"/><w:t>second</w:t></w:r></w:p>";
    const std::string list = body(p);
    const std::size_t cut = list.find("</ol>" + sheet + "<ol>");
    EXPECT_NE(cut, std::string::npos) << list;
    EXPECT_LT(list.find("first"), cut) << list;
    EXPECT_GT(list.find("second"), cut) << list;
    // Without the page box, a break is a division that printing breaks after.
    p.margin = false;
    p.body = para("x") + para("y", "<w:pageBreakBefore/>");
    EXPECT_NE(body(p).find("<p>x</p><div class=pagebreak></div><p>y</p>"), std::string::npos) << body(p);
}

TEST(FidelityText, VmlPicturesAndSymbols) {
    Parts p;
    p.body = "<w:p><w:r><w:pict><v:shape id=\"s\" style=\"position:absolute;width:75pt;height:0.5in\">"
             "<v:imagedata r:id=\"rId9\" o:title=\"\"/></v:shape></w:pict></w:r></w:p>"
             "<w:p><w:r><w:sym w:font=\"Symbol\" w:char=\"F0B7\"/><w:sym w:font=\"Wingdings\" w:char=\"F0FC\"/>"
             "<w:sym w:font=\"Symbol\" w:char=\"0061\"/><w:sym w:font=\"Other\" w:char=\"F041\"/></w:r></w:p>";
    const std::string b = body(p);
    // The shape's size; its picture is named by no relationship, so the box
    // says it is missing.
    EXPECT_NE(b.find("width:100px;height:48px;line-height:48px;\">Missing picture</span>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p>\xE2\x80\xA2\xE2\x9C\x93\xCE\xB1\xEF\x81\x81</p>"), std::string::npos) << b;
}

TEST(FidelityText, PicturesTheViewCannotShowBecomeLabelledBoxes) {
    ConversionContext ctx;
    ctx.workingText = "<body><img src=\"media/image1.WMF\" width=181 height=194/><img src=\"media/a.png\" width=2/>"
                      "<img src=\"media/b.emf\"/></body>";
    pictureStandIns(ctx);
    const std::string box = "display:inline-block;box-sizing:border-box;border:1px dashed gray;color:gray;"
                            "font-size:small;text-align:center;vertical-align:bottom;overflow:hidden;";
    EXPECT_EQ(ctx.workingText, "<body><span class=picture style=\"" + box +
                                   "width:181px;height:194px;line-height:194px;\">WMF picture</span>"
                                   "<img src=\"media/a.png\" width=2/><span class=picture style=\"" + box +
                                   "\">EMF picture</span></body>");
}

TEST(FidelityText, EquationsBecomeMathml) {
    const std::string ns = "<math xmlns=\"http://www.w3.org/1998/Math/MathML\">";
    auto r = [](const std::string& t) { return "<m:r><m:t>" + t + "</m:t></m:r>"; };
    EXPECT_EQ(ommlToMathml("<m:oMath><m:f><m:num>" + r("a+1") + "</m:num><m:den>" + r("2") + "</m:den></m:f></m:oMath>", false),
              ns + "<mrow><mfrac><mrow><mi>a</mi><mo>+</mo><mn>1</mn></mrow><mrow><mn>2</mn></mrow></mfrac></mrow></math>");
    EXPECT_EQ(ommlToMathml("<m:oMath><m:sSup><m:e>" + r("x") + "</m:e><m:sup>" + r("2") + "</m:sup></m:sSup>" +
                               "<m:rad><m:radPr><m:degHide m:val=\"1\"/></m:radPr><m:deg/><m:e>" + r("y") + "</m:e></m:rad></m:oMath>",
                           false),
              ns + "<mrow><msup><mrow><mi>x</mi></mrow><mrow><mn>2</mn></mrow></msup><msqrt><mrow><mi>y</mi></mrow></msqrt></mrow></math>");
    EXPECT_EQ(ommlToMathml("<m:oMath><m:nary><m:naryPr><m:chr m:val=\"\xE2\x88\x91\"/></m:naryPr><m:sub>" + r("i") +
                               "</m:sub><m:sup>" + r("n") + "</m:sup><m:e>" + r("i") + "</m:e></m:nary></m:oMath>",
                           false),
              ns + "<mrow><mrow><munderover><mo>\xE2\x88\x91</mo><mrow><mi>i</mi></mrow><mrow><mi>n</mi></mrow></munderover>"
                   "<mrow><mi>i</mi></mrow></mrow></mrow></math>");
    EXPECT_EQ(ommlToMathml("<m:oMath><m:d><m:dPr><m:begChr m:val=\"[\"/><m:endChr m:val=\"]\"/></m:dPr><m:e>" + r("a") +
                               "</m:e><m:e>" + r("b") + "</m:e></m:d><m:m><m:mr><m:e>" + r("1") + "</m:e><m:e>" + r("0") +
                               "</m:e></m:mr></m:m></m:oMath>",
                           false),
              ns + "<mrow><mrow><mo>[</mo><mrow><mi>a</mi></mrow><mo>|</mo><mrow><mi>b</mi></mrow><mo>]</mo></mrow>"
                   "<mtable><mtr><mtd><mrow><mn>1</mn></mrow></mtd><mtd><mrow><mn>0</mn></mrow></mtd></mtr></mtable></mrow></math>");
    EXPECT_EQ(ommlToMathml("<m:oMath><m:func><m:fName><m:r><m:rPr><m:sty m:val=\"p\"/></m:rPr><m:t>sin</m:t></m:r>"
                           "</m:fName><m:e>" + r("\xCE\xB8\xE2\x88\x92x") + "</m:e></m:func></m:oMath>",
                           false),
              ns + "<mrow><mrow><mrow><mi mathvariant=\"normal\">sin</mi></mrow><mo>&#x2061;</mo><mrow><mi>\xCE\xB8</mi>"
                   "<mo>\xE2\x88\x92</mo><mi>x</mi></mrow></mrow></mrow></math>");

    // On the page: a display equation in its paragraph, and the layout rules.
    Parts p;
    p.body = "<w:p><m:oMathPara><m:oMath>" + r("E=m") + "</m:oMath></m:oMathPara></w:p>";
    const std::string full = page(p);
    EXPECT_NE(full.find("<math xmlns=\"http://www.w3.org/1998/Math/MathML\" display=\"block\"><mrow><mi>E</mi><mo>=</mo>"
                        "<mi>m</mi></mrow></math>"),
              std::string::npos)
        << full;
    EXPECT_NE(full.find("@supports not (display:math)"), std::string::npos);
}

TEST(FidelityOff, TheClassicPageStaysAsItIs) {
    Parts p;
    p.numbering = "<w:numbering><w:abstractNum w:abstractNumId=\"0\">" + level(0, "decimal", "%1.") +
                  level(1, "decimal", "%1.%2.") + "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
    p.body = numbered("a", 1, 0) + para("b", "<w:outlineLvl w:val=\"0\"/><w:bidi/><w:pageBreakBefore/>") +
             "<w:p><w:r><w:sym w:font=\"Symbol\" w:char=\"F0B7\"/></w:r></w:p>";
    p.fidelity = false;
    const std::string classic = page(p);
    EXPECT_EQ(classic.find("<h1"), std::string::npos);
    EXPECT_EQ(classic.find("dir="), std::string::npos);
    EXPECT_EQ(classic.find("1.&#160;"), std::string::npos);
    EXPECT_EQ(classic.find("</style><style>"), std::string::npos);
    p.fidelity = true;
    EXPECT_NE(page(p), classic);
    // A document with nothing for the option to add has the same body with
    // it; its head has the policy that forbids the page to run or load
    // anything, first, and the doctype is before it.
    Parts plain;
    plain.body = para("just text") + para("and more");
    const std::string withOption = page(plain);
    ASSERT_EQ(withOption.rfind("<!DOCTYPE html>\r\n<html>\r\n<head><meta http-equiv=\"Content-Security-Policy\" "
                               "content=\"default-src 'none';", 0), 0u);
    EXPECT_EQ(body(plain), (plain.fidelity = false, body(plain)));
}

// Tabs to centre and right stops fill the line up to what follows them,
// drawn with the stop's leader; the k-th tab goes to the k-th stop of the
// paragraph's own and its style chain's stops.
TEST(FidelityParagraphs, TabsToCentreAndRightStopsFillTheLine) {
    const auto tabs = [](const std::string& stops) { return "<w:tabs>" + stops + "</w:tabs>"; };
    const std::string right = "<w:tab w:val=\"right\" w:leader=\"dot\" w:pos=\"9000\"/>";
    const std::string run = "<w:r><w:t>Title</w:t></w:r><w:r><w:tab/></w:r><w:r><w:t>2</w:t></w:r>";
    const std::string fill = "<b class=\"tab tvfill tvdot\"></b>";
    Parts p;
    p.styles = "<w:styles><w:style w:type=\"paragraph\" w:styleId=\"T\"><w:pPr>" +
               tabs("<w:tab w:val=\"center\" w:pos=\"4500\"/>" + right) + "</w:pPr></w:style></w:styles>";
    struct Case {
        std::string paragraph, expected;
    } cases[] = {
        {"<w:p><w:pPr>" + tabs(right) + "</w:pPr>" + run + "</w:p>",
         "<p style=\"display:flex;align-items:baseline;\">Title" + fill + "2</p>"},
        // A left stop keeps the plain tab; a cleared one leaves the style's.
        {"<w:p><w:pPr>" + tabs("<w:tab w:val=\"left\" w:pos=\"720\"/>") + "</w:pPr>" + run + "</w:p>",
         "<p>Title <b class=tab></b>2</p>"},
        {"<w:p><w:pPr><w:pStyle w:val=\"T\"/>" + tabs("<w:tab w:val=\"clear\" w:pos=\"4500\"/>") + "</w:pPr>" + run +
             "</w:p>",
         "Title" + fill + "2</p>"},
        // Centre then right from the style, the tab inside a run of its own
        // look: the run and the paragraph are rows.
        {"<w:p><w:pPr><w:pStyle w:val=\"T\"/></w:pPr><w:r><w:t>a</w:t><w:tab/><w:t>b</w:t></w:r>"
         "<w:r><w:rPr><w:b/></w:rPr><w:tab/><w:t>c</w:t></w:r></w:p>",
         "a<b class=\"tab tvfill\"></b>b<b style=\"display:flex;flex:1 1 auto;min-width:0;align-items:baseline;\">" + fill +
             "c</b></p>"},
        // A positioned tab, as headers have.
        {"<w:p><w:r><w:t>left</w:t><w:ptab w:relativeTo=\"margin\" w:alignment=\"right\" w:leader=\"none\"/>"
         "<w:t>right</w:t></w:r></w:p>",
         "<p style=\"display:flex;align-items:baseline;\">left<b class=\"tab tvfill\"></b>right</p>"},
    };
    for (const Case& c : cases) {
        p.body = c.paragraph;
        const std::string b = body(p);
        EXPECT_NE(b.find(c.expected), std::string::npos) << c.paragraph << "\n" << b;
    }
}

// Each sheet takes its section's page: its size inside the margins on the
// screen, its own paper where that differs from the first, its left and
// right margins as padding on paper (so that wide content runs into them
// and is cut at the paper's edge, never shrinking the print).
TEST(FidelityParagraphs, SheetsTakeTheirSectionsPage) {
    const std::string portrait = "<w:pgSz w:w=\"12240\" w:h=\"15840\"/>";
    const std::string landscape = "<w:pgSz w:w=\"15840\" w:h=\"12240\" w:orient=\"landscape\"/>";
    const std::string margins = "<w:pgMar w:top=\"1440\" w:right=\"1800\" w:bottom=\"720\" w:left=\"1800\"/>";
    Parts p;
    p.beforeBody = "<w:background w:color=\"FFFFCC\"><v:background/></w:background>";
    p.body = para("one", "<w:sectPr>" + portrait + margins + "</w:sectPr>") + para("wide") +
             para("two", "<w:sectPr>" + landscape + "</w:sectPr>") + para("same size as the first") +
             "<w:p><w:pPr><w:sectPr>" + portrait + "<w:sectPrChange><w:sectPr>" + landscape +
             "</w:sectPr></w:sectPrChange></w:sectPr></w:pPr><w:r><w:t>three</w:t></w:r></w:p>" + para("last");
    const std::string b = body(p), out = page(p);
    EXPECT_NE(b.find("<p>one</p></div><div class=\"page section1\"><p>wide</p><p>two</p></div><div class=\"page section2\">"
                     "<p>same size as the first</p><p>three</p></div><div class=\"page section3\"><p>last</p>"),
              std::string::npos)
        << b;
    for (const char* expected : {
             // Screen: 8.5 in less 2 x 1.25 in; 11 in less 1.5 in.
             "@media screen{body>div.page{width:576px;min-height:912px;padding:96px 120px 48px 120px;"
             "background-color:#FFFFCC}",
             "body>div.page.section1{width:864px;min-height:624px;padding:96px 96px 96px 96px}",
             "@page section1{size:1056px 816px}\r\nbody>div.page.section1{page:section1}",
             // Headers and footers at their distances from the paper's
             // edges (half an inch where unsaid): on paper those are the
             // paper's margins, the sheet's padding the rest.
             "body>div.page>div.header{display:flow-root;margin-top:-48px;min-height:48px}",
             "body>div.page.section1>div.footer{clear:both;display:flex;flex-direction:column;justify-content:flex-end;"
             "margin-bottom:-48px;min-height:48px}",
             "@media print{html,body,div.page{overflow-x:clip}html>body>div.page{width:auto;min-height:0;margin:0;"
             "border:0;padding:48px 120px 0 120px!important}html>body>div.page.section1{padding:48px 96px 0 96px!important;"
             // Laid out at its own width and scaled to the first sheet's
             // (816 / 1056), which the engine lays every sheet out at.
             "width:864px!important;zoom:0.772}",
         }) {
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
    }
    // A section of the first one's paper needs none of its own; a former
    // section inside a tracked change is no section.
    EXPECT_EQ(out.find("@page section2"), std::string::npos) << out;
    EXPECT_EQ(out.find("section4"), std::string::npos) << out;
}

TEST(FidelityDefaults, ThemeFontsDefaultsHiddenAndCapitalText) {
    PartTexts parts;
    parts.theme =
        "<a:theme><a:fontScheme><a:majorFont><a:latin typeface=\"Calibri Light\"/><a:ea typeface=\"\"/>"
        "<a:cs typeface=\"Times New Roman\"/></a:majorFont><a:minorFont><a:latin typeface=\"Calibri\"/>"
        "<a:ea typeface=\"MS Mincho\"/><a:cs typeface=\"Arial\"/></a:minorFont></a:fontScheme></a:theme>";
    const ThemeFonts fonts = modelOf(parts)->themeScheme.fonts;
    EXPECT_EQ(fonts.font("majorHAnsi"), "Calibri Light");
    EXPECT_EQ(fonts.font("minorEastAsia"), "MS Mincho");
    EXPECT_EQ(fonts.font("minorBidi"), "Arial");
    EXPECT_EQ(fonts.font("other"), "");
    // Where the scheme leaves a font empty, the settings' languages choose
    // one of its fonts by script.
    parts.theme =
        "<a:theme><a:fontScheme><a:majorFont><a:latin typeface=\"Cambria\"/><a:ea typeface=\"\"/>"
        "<a:cs typeface=\"\"/><a:font script=\"Arab\" typeface=\"Times New Roman\"/><a:font script=\"Hant\" "
        "typeface=\"PMingLiU\"/></a:majorFont><a:minorFont><a:latin typeface=\"Calibri\"/><a:ea typeface=\"\"/>"
        "<a:cs typeface=\"Arial\"/><a:font script=\"Hans\" typeface=\"SimSun\"/></a:minorFont></a:fontScheme></a:theme>";
    for (const auto& [complex, eastAsian, majorBidi, majorEastAsia, minorEastAsia] :
         std::vector<std::array<std::string, 5>>{{"ar-SA", "zh-TW", "Times New Roman", "PMingLiU", ""},
                                                 {"", "zh-CN", "", "", "SimSun"},
                                                 {"fr-FR", "ja-JP", "", "", ""}}) {
        ThemeFonts scripts = modelOf(parts)->themeScheme.fonts;
        scripts.useLanguages(complex, eastAsian);
        EXPECT_EQ(scripts.font("majorBidi"), majorBidi) << complex;
        EXPECT_EQ(scripts.font("majorEastAsia"), majorEastAsia) << eastAsian;
        EXPECT_EQ(scripts.font("minorEastAsia"), minorEastAsia) << eastAsian;
        EXPECT_EQ(scripts.font("minorBidi"), "Arial");  // named by the scheme itself
    }
    // The theme's font becomes the first attribute, where the runs and the
    // style table read it, and so does an ascii font written later; other
    // rFonts stay.
    std::string runs = "<w:rFonts w:ascii=\"Cambria\" w:asciiTheme=\"majorHAnsi\" w:cs=\"x\"/>"
                       "<w:rFonts w:hAnsiTheme=\"minorHAnsi\"/><w:rFonts w:ascii=\"Arial\"/>"
                       "<w:rFonts w:cs=\"Arial\" w:ascii=\"Arial\" w:hAnsi=\"Arial\"/><w:rFonts w:hAnsi=\"Arial\"/>";
    resolveThemeFonts(runs, fonts, "w:");
    EXPECT_EQ(runs,
              "<w:rFonts w:ascii=\"Calibri Light\" w:cs=\"x\"/><w:rFonts w:ascii=\"Calibri\" w:hAnsiTheme=\"minorHAnsi\"/>"
              "<w:rFonts w:ascii=\"Arial\"/><w:rFonts w:ascii=\"Arial\" w:cs=\"Arial\" w:hAnsi=\"Arial\"/>"
              "<w:rFonts w:hAnsi=\"Arial\"/>");

    // Defaults, then the default paragraph style over them.
    parts.styles =
        "<w:styles><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\"/><w:sz w:val=\"22\"/>"
        "</w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing w:after=\"160\" w:line=\"259\" w:lineRule=\"auto\"/>"
        "</w:pPr></w:pPrDefault></w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
        "<w:pPr><w:spacing w:before=\"120\"/></w:pPr><w:rPr><w:color w:val=\"1F3864\"/><w:sz w:val=\"21\"/></w:rPr>"
        "</w:style></w:styles>";
    EXPECT_EQ(documentDefaultRules(*modelOf(parts)),
              "p,h1,h2,h3,h4,h5,h6{font-family:'Calibri',sans-serif;font-size:10.5pt;color:#1F3864;margin-top:8px;"
              "margin-bottom:11px;line-height:1.08;}\r\n");
    // Word's own size where neither sets one.
    parts.styles = "<w:styles/>";
    EXPECT_EQ(documentDefaultRules(*modelOf(parts)), "p,h1,h2,h3,h4,h5,h6{font-size:10pt;}\r\n");
    // The default table style's cell margins pad every cell.
    parts.styles = "<w:styles><w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\">"
                   "<w:tblPr><w:tblCellMar><w:top w:w=\"0\" w:type=\"dxa\"/><w:left w:w=\"108\" "
                   "w:type=\"dxa\"/><w:right w:w=\"108\" w:type=\"dxa\"/></w:tblCellMar>"
                   "</w:tblPr></w:style></w:styles>";
    EXPECT_EQ(documentDefaultRules(*modelOf(parts)), "p,h1,h2,h3,h4,h5,h6{font-size:10pt;}\r\ntd{padding:0px 7px 0px 7px}\r\n");
    // Stand-in faces for each style of each font.
    EXPECT_NE(standInFaces("<p style=\"font-family:calibri\">", "")
                  .find("@font-face{font-family:\"Calibri\";font-weight:bold;font-style:italic;src:local(\"Calibri Bold "
                        "Italic\"),local(\"Carlito Bold Italic\"),local(\"Carlito-BoldItalic\")}"),
              std::string::npos);

    // Hidden runs are left out; capitals are written as such.
    Parts p;
    p.body = "<w:p><w:r><w:t>seen </w:t></w:r><w:r><w:rPr><w:vanish/></w:rPr><w:t>hidden</w:t></w:r>"
             "<w:r><w:rPr><w:vanish w:val=\"0\"/></w:rPr><w:t>shown </w:t></w:r><w:r><w:rPr><w:caps/></w:rPr>"
             "<w:t>objective &amp; caf\xC3\xA9</w:t></w:r></w:p>";
    EXPECT_NE(body(p).find("<p>seen shown OBJECTIVE &amp; CAF\xC3\x89</p>"), std::string::npos) << body(p);
    // Properties the run steps do not read become a span of their own.
    p.body = "<w:p><w:r><w:rPr><w:strike/><w:spacing w:val=\"30\"/><w:shd w:val=\"clear\" w:fill=\"FFFF00\"/></w:rPr>"
             "<w:t>s</w:t></w:r><w:r><w:rPr><w:dstrike/><w:smallCaps/></w:rPr><w:t>d</w:t></w:r>"
             "<w:r><w:rPr><w:strike w:val=\"0\"/></w:rPr><w:t>n</w:t></w:r></w:p>";
    EXPECT_NE(body(p).find("<p><span style=\"text-decoration:line-through;letter-spacing:2px;background-color:#FFFF00;\">s"
                           "</span><span style=\"text-decoration:line-through;text-decoration-style:double;"
                           "font-variant:small-caps;\">d</span>n</p>"),
              std::string::npos)
        << body(p);
}

// Run properties come through the whole chain of base styles, wherever the
// base stands in the part: nearest first, the run's own over its
// character style's, the default paragraph style left to the base rule.
TEST(FidelityDefaults, RunPropertiesThroughStyleChains) {
    Parts p;
    p.styles =
        "<w:styles><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:rPr><w:sz w:val=\"22\"/>"
        "</w:rPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"Heading2\"><w:basedOn w:val=\"Heading\"/>"
        "<w:rPr><w:b w:val=\"0\"/><w:i/></w:rPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"Heading\">"
        "<w:basedOn w:val=\"Normal\"/><w:rPr><w:rFonts w:ascii=\"Arial\" w:eastAsia=\"SimSun\" w:hAnsi=\"Arial\"/>"
        "<w:b/><w:sz w:val=\"28\"/><w:caps/></w:rPr></w:style><w:style w:type=\"paragraph\" w:styleId=\"Loop\">"
        "<w:basedOn w:val=\"Loop\"/><w:rPr><w:color w:val=\"FF0000\"/></w:rPr></w:style>"
        "<w:style w:type=\"character\" w:styleId=\"Strong\"><w:basedOn w:val=\"Mark\"/><w:rPr><w:b/></w:rPr></w:style>"
        "<w:style w:type=\"character\" w:styleId=\"Mark\"><w:rPr><w:color w:val=\"00AA00\"/><w:u w:val=\"single\"/>"
        "</w:rPr></w:style><w:style w:type=\"character\" w:styleId=\"Secret\"><w:rPr><w:vanish/></w:rPr></w:style>"
        "<w:style w:type=\"character\" w:styleId=\"Shout\"><w:rPr><w:caps/></w:rPr></w:style></w:styles>";
    p.fontTable = "<w:fonts><w:font w:name=\"Arial\"><w:panose1 w:val=\"020B0604020202020204\"/></w:font></w:fonts>";
    const auto styled = [](const std::string& style, const std::string& text) {
        return para(text, "<w:pStyle w:val=\"" + style + "\"/>");
    };
    p.body = styled("Heading2", "h") + styled("Normal", "n") + styled("Loop", "l");
    std::string b = body(p);
    EXPECT_NE(b.find("<p style=\"font-family:'Arial','SimSun',sans-serif;font-size:14pt;font-weight:normal;"
                     "font-style:italic;text-transform:uppercase;\">h</p>"),
              std::string::npos)
        << b;
    // The classic step's own declarations come first, and are not written
    // twice; a loop of base styles ends.
    EXPECT_NE(b.find("<p style=\"font-size:15px;\">n</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p style=\"color:#FF0000;\">l</p>"), std::string::npos) << b;

    const auto run = [](const std::string& rPr, const std::string& text) {
        return "<w:r><w:rPr>" + rPr + "</w:rPr><w:t>" + text + "</w:t></w:r>";
    };
    p.body = "<w:p>" + run("<w:rStyle w:val=\"Strong\"/>", "s") + run("<w:rStyle w:val=\"Strong\"/><w:b w:val=\"0\"/>", "o") +
             run("<w:rStyle w:val=\"Secret\"/>", "hidden") + run("<w:rStyle w:val=\"Secret\"/><w:vanish w:val=\"0\"/>", "v") +
             run("<w:rStyle w:val=\"Shout\"/>", "up") + run("<w:rStyle w:val=\"Missing\"/>", "m") + "</w:p>";
    b = body(p);
    EXPECT_NE(b.find("<span style=\"color:#00AA00;font-weight:bold;text-decoration:underline;\">s</span>"
                     "<span style=\"color:#00AA00;text-decoration:underline;font-weight:normal;\">o</span>vUPm</p>"),
              std::string::npos)
        << b;
    p.fidelity = false;
    b = body(p);
    EXPECT_NE(b.find("<p>sohiddenvupm</p>"), std::string::npos) << b;

    // A run's East Asian font joins its stack for text in that script; text
    // in a complex script has the complex-script font alone, and its weight
    // and slant (bCs, iCs: none here).
    p.fidelity = true;
    const std::string fonts = "<w:rFonts w:ascii=\"Calibri\" w:eastAsia=\"MS Mincho\" w:cs=\"Arial\"/>";
    p.body = "<w:p>" + run(fonts, "\xE6\x97\xA5\xE6\x9C\xAC") + run(fonts, "latin") + run(fonts, "\xD7\xA9") + "</w:p>";
    b = body(p);
    EXPECT_NE(b.find("<span style=\"font-family:'Calibri','MS Mincho',sans-serif;\">"), std::string::npos) << b;
    EXPECT_NE(b.find("<span style=\"font-family:'Arial',sans-serif;font-weight:normal;font-style:normal;\">"), std::string::npos) << b;
    EXPECT_EQ(b.find("<span style=\"font-family:'Calibri';"), std::string::npos) << b;

    // A run's own font and size leave the weight its paragraph style gives.
    p.body = "<w:p><w:pPr><w:pStyle w:val=\"Heading\"/></w:pPr>" +
             run("<w:rFonts w:ascii=\"Times New Roman\"/><w:sz w:val=\"24\"/>", "Title") + "</w:p>";
    b = body(p);
    EXPECT_NE(b.find("font-weight:bold;"), std::string::npos) << b;
    EXPECT_NE(b.find("<span style=\"font-family:Times New Roman,serif;font-size:16px;\">Title</span>"), std::string::npos) << b;
    p.fidelity = false;
    EXPECT_NE(body(p).find("<span style=\"font:normal 16px Times New Roman;\">Title</span>"), std::string::npos) << body(p);

    // A theme colour's attributes stay out of the span, and the highlight
    // after the colour stays in its style.
    p.fidelity = true;
    p.body = "<w:p>" + run("<w:color w:val=\"943634\" w:themeColor=\"accent2\"/><w:highlight w:val=\"darkCyan\"/>", "x") + "</w:p>";
    b = body(p);
    EXPECT_NE(b.find("<span style=\"color:#943634;background-color:darkCyan;\">x</span>"), std::string::npos) << b;
}

TEST(FidelityDefaults, GenericFamiliesFromPanoseAndFontTable) {
    PartTexts parts;
    parts.fontTable =
        "<w:fonts><w:font w:name=\"Courier New\"><w:panose1 w:val=\"02070309020205020404\"/></w:font><w:font w:name=\"Brush\">"
        "<w:family w:val=\"script\"/></w:font><w:font w:name=\"Cambria\"><w:panose1 w:val=\"00000000000000000000\"/>"
        "<w:family w:val=\"swiss\"/></w:font><w:font w:name=\"Odd\"><w:panose1 w:val=\"zz\"/></w:font></w:fonts>";
    parts.theme =
        "<a:theme><a:majorFont><a:latin typeface=\"Cambria\" panose=\"02040503050406030204\"/></a:majorFont>"
        "<a:minorFont><a:latin typeface=\"Calibri\" panose=\"020F0502020204030204\"/></a:minorFont></a:theme>";
    const auto m = modelOf(parts);
    const FontFamilies& families = m->fontFamilies;
    EXPECT_EQ(families.generic("calibri"), "sans-serif");
    EXPECT_EQ(families.generic("Courier New"), "monospace");
    EXPECT_EQ(families.generic("Brush"), "cursive");
    // A panose number (the theme's here) says more than a family, which
    // some producers write "roman" for every font; a common face's kind
    // more than a family too.
    EXPECT_EQ(families.generic("Cambria"), "serif");
    EXPECT_EQ(families.generic("Odd"), "");
    EXPECT_EQ(families.generic("Unknown"), "");

    RunLook look;
    look.latin = "Calibri";
    look.eastAsian = "Calibri";
    look.complex = "Ar\"ial;}<";
    look.halfPoints = 21;
    look.dstrike = true;
    look.underline = true;
    EXPECT_EQ(runLookCss(look, families),
              "font-family:'Calibri',sans-serif;font-size:10.5pt;text-decoration:underline line-through;"
              "text-decoration-style:double;");
    look.complexHalfPoints = 28;
    look.complexBold = true;
    EXPECT_EQ(complexLookCss(look, families), "font-family:'Arial',serif;font-size:14pt;font-weight:bold;font-style:normal;");
}

TEST(FidelityTables, ConditionalFormatsOfTheTableStyle) {
    Parts p;
    p.styles = "<w:styles><w:style w:type=\"table\" w:styleId=\"Base\"><w:tblStylePr w:type=\"band1Horz\"><w:rPr><w:i/>"
               "</w:rPr></w:tblStylePr></w:style><w:style w:type=\"table\" w:styleId=\"T\"><w:basedOn w:val=\"Base\"/>"
               "<w:tblStylePr w:type=\"firstRow\"><w:rPr><w:b/><w:color w:val=\"FFFFFF\" w:themeColor=\"background1\"/>"
               "</w:rPr><w:tcPr><w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"4472C4\"/></w:tcPr></w:tblStylePr>"
               "</w:style></w:styles>";
    auto cell = [](const std::string& runs, const std::string& tcPr = "") {
        return "<w:tc>" + tcPr + "<w:p>" + runs + "</w:p></w:tc>";
    };
    const std::string run = "<w:r><w:t>x</w:t></w:r>";
    p.body = "<w:tbl><w:tblPr><w:tblStyle w:val=\"T\"/><w:tblLook w:val=\"0000\" w:firstRow=\"1\" w:noHBand=\"0\"/>"
             "</w:tblPr><w:tr>" +
             cell(run) + cell("<w:r><w:rPr><w:color w:val=\"00FF00\"/></w:rPr><w:t>own</w:t></w:r>",
                              "<w:tcPr><w:shd w:val=\"clear\" w:fill=\"FF0000\"/></w:tcPr>") +
             "</w:tr><w:tr>" + cell(run) + "</w:tr><w:tr>" + cell(run) + "</w:tr></w:tbl>";
    const std::string b = body(p);
    // The header row: bold, white on the style's fill; a cell's own shading
    // and a run's own colour stay.
    EXPECT_NE(b.find("<td style=\"background-color:#4472C4;\"><p><span style=\"color:#FFFFFF;\"><b>x</b></span></p></td>"),
              std::string::npos)
        << b;
    EXPECT_NE(b.find("<td style=\"background-color:#FF0000;\">"), std::string::npos) << b;
    EXPECT_NE(b.find("<span style=\"color:#00FF00;\"><b>own</b></span>"), std::string::npos) << b;
    // Banded rows: the first data row has the base style's band, the second not.
    EXPECT_NE(b.find("<tr><td><p><i>x</i></p></td></tr><tr><td><p>x</p></td></tr>"), std::string::npos) << b;
    p.fidelity = false;
    EXPECT_EQ(body(p).find("4472C4"), std::string::npos);
}

// The style's own cell and paragraph properties hold for every cell, after
// its formats; what a cell, a paragraph or its style sets stays.
TEST(FidelityTables, AlignmentOfTheWholeTable) {
    Parts p;
    p.styles = "<w:styles><w:style w:type=\"paragraph\" w:styleId=\"Right\"><w:pPr><w:jc w:val=\"right\"/></w:pPr>"
               "</w:style><w:style w:type=\"paragraph\" w:styleId=\"Under\"><w:basedOn w:val=\"Right\"/></w:style>"
               "<w:style w:type=\"table\" w:styleId=\"T\"><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:tcPr>"
               "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"auto\"/><w:vAlign w:val=\"center\"/></w:tcPr>"
               "<w:tblStylePr w:type=\"firstRow\"><w:pPr><w:jc w:val=\"left\"/></w:pPr><w:tcPr><w:vAlign w:val=\"bottom\"/>"
               "</w:tcPr></w:tblStylePr></w:style></w:styles>";
    const auto cell = [](const std::string& pPr, const std::string& text, const std::string& tcPr = "") {
        return "<w:tc>" + tcPr + "<w:p>" + pPr + "<w:r><w:t>" + text + "</w:t></w:r></w:p></w:tc>";
    };
    p.body = "<w:tbl><w:tblPr><w:tblStyle w:val=\"T\"/></w:tblPr><w:tr>" + cell("", "head") + "</w:tr><w:tr>" +
             cell("", "a") + cell("<w:pPr><w:jc w:val=\"both\"/></w:pPr>", "own") +
             cell("<w:pPr><w:pStyle w:val=\"Under\"/></w:pPr>", "styled") +
             cell("", "top", "<w:tcPr><w:vAlign w:val=\"top\"/></w:tcPr>") + "</w:tr></w:tbl>";
    const std::string b = body(p);
    EXPECT_NE(b.find("<td style=\" vertical-align:bottom;\"><p style=\"text-align:left;\">head</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<td style=\" vertical-align:middle;\"><p style=\"text-align:center;\">a</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p style=\"text-align:justify;\">own</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<p style=\"text-align:right;\">styled</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<td style=\" vertical-align:top;\"><p style=\"text-align:center;\">top</p>"), std::string::npos) << b;
    EXPECT_EQ(b.find("auto"), std::string::npos) << b;
}

// Shading shows its fill (or a solid pattern's colour); one of no colour
// shows none, where the classic page shows grey.
TEST(FidelityDefaults, ShadingShowsItsFill) {
    std::string shading = "<shd val=\"clear\" color=\"auto\" fill=\"FFFF00\"/><shd val=\"solid\" color=\"00FF00\" "
                          "fill=\"auto\"/><shd val=\"clear\" color=\"auto\" fill=\"auto\"/><shd val=\"nil\" fill=\"FF0000\"/>"
                          "<shd val=\"pct10\" fill=\"0000FF\" themeFill=\"x\"/>";
    normalizeShading(shading, "");
    EXPECT_EQ(shading, "<shd val=\"clear\" color=\"FFFF00\" fill=\"FFFF00\"/><shd val=\"solid\" color=\"00FF00\" fill=\"00FF00\"/>"
                       "<shd val=\"pct10\" color=\"0000FF\" fill=\"0000FF\"/>");
    Parts p;
    p.body = para("marked", "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"FFFF00\"/>") +
             "<w:tbl><w:tr><w:tc><w:tcPr><w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"auto\"/></w:tcPr>" + para("cell") +
             "</w:tc></w:tr></w:tbl>";
    const std::string b = body(p);
    EXPECT_NE(b.find("<p style=\"background-color:#FFFF00;\">marked</p>"), std::string::npos) << b;
    EXPECT_NE(b.find("<td><p>cell</p>"), std::string::npos) << b;
    p.fidelity = false;
    EXPECT_NE(body(p).find("background-color:#eeeeee;\">marked"), std::string::npos) << body(p);
}

TEST(FidelityText, EquationsOfAnyShapeGiveBalancedMathml) {
    // Seeded random equations over the elements the conversion knows, cut
    // anywhere, and one nested far deeper than any document: every element
    // written is closed, in order.
    const std::vector<std::string> pieces = {
        "<m:f>", "</m:f>", "<m:num>", "</m:num>", "<m:den>", "</m:den>", "<m:e>", "</m:e>", "<m:rad>", "</m:rad>",
        "<m:deg>", "</m:deg>", "<m:nary>", "</m:nary>", "<m:naryPr><m:chr m:val=\"&lt;\"/></m:naryPr>", "<m:d>",
        "</m:d>", "<m:m><m:mr>", "</m:mr></m:m>", "<m:sSup>", "</m:sSup>", "<m:sup>", "</m:sup>",
        "<m:r><m:t>x+1 &amp; 2.5</m:t></m:r>", "<m:r><m:rPr><m:sty m:val=\"p\"/></m:rPr><m:t>sin</m:t></m:r>", "<m:box>"};
    std::mt19937 rng(7);
    auto balanced = [](const std::string& html) {
        std::vector<std::string> open;
        for (std::size_t lt = html.find('<'); lt != std::string::npos; lt = html.find('<', lt + 1)) {
            const std::size_t gt = html.find('>', lt);
            const bool close = html[lt + 1] == '/';
            std::string name = html.substr(lt + (close ? 2 : 1), gt - lt - (close ? 2 : 1));
            name = name.substr(0, name.find(' '));
            if (html[gt - 1] == '/') continue;
            if (!close) open.push_back(name);
            else if (open.empty() || open.back() != name) return false;
            else open.pop_back();
        }
        return open.empty();
    };
    for (int k = 0; k < 1000; ++k) {
        std::string omml = "<m:oMath>";
        for (int n = static_cast<int>(rng() % 30); n > 0; --n) omml += pieces[rng() % pieces.size()];
        const std::string html = ommlToMathml(omml + "</m:oMath>", k % 2 == 0);
        EXPECT_TRUE(balanced(html)) << omml << "\n" << html;
    }
    std::string deep = "<m:oMath>";
    for (int n = 0; n < 100000; ++n) deep += "<m:e>";
    EXPECT_TRUE(balanced(ommlToMathml(deep, false)));
}

// Sections of columns, floating tables and tables without borders, each a
// body (with its last section and styles) and what its page holds and lacks.
TEST(FidelitySheets, ColumnsFloatingAndBorderlessTables) {
    const std::string page = "<w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:left=\"1440\" w:right=\"1440\"/>";
    const std::string continuous = "<w:type w:val=\"continuous\"/>" + page;
    const std::string twoColumns = "<w:cols w:num=\"2\" w:space=\"360\" w:sep=\"1\"/>";
    const std::string columnBreak = "<w:p><w:r><w:t>x</w:t><w:br w:type=\"column\"/><w:t>y</w:t></w:r></w:p>";
    const std::string grid = "<w:styles><w:style w:type=\"table\" w:styleId=\"Grid\"><w:tblPr><w:tblBorders>"
                             "<w:top w:val=\"single\" w:sz=\"4\"/><w:insideH w:val=\"single\" w:sz=\"4\"/><w:insideV w:val=\"single\" w:sz=\"4\"/>"
                             "</w:tblBorders></w:tblPr></w:style></w:styles>";
    const auto table = [](const std::string& tblPr) {
        return "<w:tbl><w:tblPr>" + tblPr + "</w:tblPr><w:tr><w:tc><w:p><w:r><w:t>cell</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
    };
    const std::string row = "<w:tr><w:tc>" + para("1") + "</w:tc><w:tc>" + para("2") + "</w:tc></w:tr>";
    const auto floating = [&](const std::string& position, const std::string& width = "2000") {
        return table("<w:tblpPr w:leftFromText=\"180\" w:rightFromText=\"360\" w:bottomFromText=\"90\" " + position +
                     "/><w:tblW w:w=\"" + width + "\" w:type=\"dxa\"/>");
    };
    const std::string all = "<w:top w:val=\"nil\"/><w:left w:val=\"nil\"/><w:bottom w:val=\"nil\"/><w:right w:val=\"nil\"/>"
                            "<w:insideH w:val=\"none\"/><w:insideV w:val=\"nil\"/>";
    struct Case {
        std::string name, body, lastSection, styles;
        std::vector<std::string> holds, lacks;
    };
    const std::vector<Case> cases = {
        // A one-column title, then two columns to the end: filled one by one
        // on paper; the column break starts the next column.
        {"title then columns", para("title", "<w:sectPr>" + page + "</w:sectPr>") + para("a") + columnBreak,
         continuous + twoColumns, "",
         {"<p>title</p><div class=tvcolumns style=\"column-count:2;column-gap:24px;column-rule:1px solid #000\"><p>a</p>"
          "<p>x<span style=\"display:block;break-before:column\"></span>y</p></div>",
          "@media print{div.tvcolumns{column-fill:auto}}"},
         {"<br"}},
        // Columns the next section continues are balanced; columns of their
        // own widths are counted, the gap the first one's.
        {"balanced before a continuous section",
         para("a", "<w:sectPr>" + page + "<w:cols w:equalWidth=\"0\"><w:col w:w=\"2000\" w:space=\"600\"/>"
                   "<w:col w:w=\"2000\" w:space=\"300\"/><w:col w:w=\"2000\"/></w:cols></w:sectPr>") + para("b"),
         continuous, "",
         {"<div style=\"column-count:3;column-gap:40px\"><p>a</p></div><p>b</p>"},
         {"tvcolumns", "column-fill"}},
        // A page break inside columns: the sheet starts outside them and they go on inside it.
        {"a sheet inside columns", para("a") + para("b", "<w:pageBreakBefore/>"), page + twoColumns, "",
         {"<p>a</p></div></div><div class=page><div class=tvcolumns style=\"column-count:2;"},
         {}},
        // One column: no division, a column break stays a line break.
        {"one column", para("a") + columnBreak, page, "", {"<body><div class=page><p>a</p><p>x<br"}, {"column-"}},
        {"floats right", para("a") + floating("w:vertAnchor=\"text\" w:tblpXSpec=\"right\" w:tblpY=\"150\""), page, "",
         {"float:right;clear:right;margin:10px 0px 6px 12px;"}, {}},
        // At an offset from the page, to the side with less room: its distance to that edge stays.
        {"floats at an offset", para("a") + floating("w:horzAnchor=\"page\" w:tblpX=\"8140\" w:tblpY=\"9000\""), page,
         "", {"float:right;clear:right;margin:0px 44px 6px 12px;"}, {}},
        {"floats left", para("a") + floating("w:tblpX=\"-108\""), page, "", {"float:left;clear:left;margin:0px 24px 6px -7px;"}, {}},
        {"too wide to float", para("a") + floating("w:tblpXSpec=\"right\"", "8500"), page, "", {"<table"}, {"float"}},
        {"centred", para("a") + floating("w:tblpXSpec=\"center\""), page, "", {"float:none;margin-left:auto;margin-right:auto;"}, {}},
        // A bordered style, every side of the table's own set to nil or none: no border at all.
        {"style's borders all taken back", table("<w:tblStyle w:val=\"Grid\"/><w:tblBorders>" + all + "</w:tblBorders>"),
         page, grid, {"<table border=\"0\" style=\"border:none;border:none;border:none\">"}, {}},
        // Sides the table leaves to its style still show, and only those:
        // between the rows, not between the columns nor around.
        {"style's borders partly taken back",
         "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/><w:tblBorders><w:top w:val=\"nil\"/><w:insideV w:val=\"nil\"/>"
         "</w:tblBorders></w:tblPr>" + row + row + "</w:tbl>",
         page, grid,
         {"<table border=\"0\" style=\"border:none;border-top:none;border-top:none;border-left:none;border-bottom:none;"
          "border-right:none;\"><tr><td><p>1</p>"
          "</td><td style=\"border-left:none;\"><p>2</p></td></tr><tr><td style=\"border-top:1px solid;\"><p>1</p></td>"
          "<td style=\"border-top:1px solid;border-left:none;\"><p>2</p></td></tr></table>"},
         {}},
        {"no borders anywhere", table("<w:tblW w:w=\"0\" w:type=\"auto\"/>"), page, "", {"<table border=0 style=\"border:none\">"}, {}},
    };
    for (const Case& c : cases) {
        Parts p;
        p.body = c.body;
        p.lastSection = c.lastSection;
        p.styles = c.styles;
        const std::string b = body(p), whole = replaceAll(::page(p), "\r\n", "");
        for (const std::string& s : c.holds) EXPECT_NE(whole.find(s), std::string::npos) << c.name << ": " << s << "\n" << b;
        for (const std::string& s : c.lacks) EXPECT_EQ(b.find(s), std::string::npos) << c.name << ": " << s << "\n" << b;
    }
}

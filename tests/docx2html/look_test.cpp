// Full Fidelity, the look of a page as Word prints it: bookmarks as empty
// anchors, "auto" colours and borders, valid CSS in standards mode, sizes
// and fonts (complex scripts, kinds of fonts), paragraph indents and tables
// without borders. Crafted parts in, the page's markup and CSS out.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "docx2html/docx2html.h"
#include "docx2html/fidelity/validpage.h"

using namespace tavin;

namespace {

struct Parts {
    Parts(std::string b, std::string s = {}, std::string n = {}, bool o = false)
        : body(std::move(b)), styles(std::move(s)), numbering(std::move(n)), optimize(o) {}
    std::string body, styles, numbering;
    bool optimize;
};

// The page of a document body; without the clean-up pass but when asked,
// so that the markup reads as the steps wrote it.
std::string page(const Parts& parts) {
    ConversionContext ctx;
    ctx.fullFidelity = true;
    ctx.showPageMargin = true;
    ctx.optimizeHtml = parts.optimize;
    ctx.docTitle = "t";
    PartTexts texts;
    texts.document = "<w:document><w:body>" + parts.body + "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/></w:sectPr></w:body></w:document>";
    texts.styles = parts.styles;
    texts.numbering = parts.numbering;
    loadPartsFromText(ctx, std::move(texts));
    convert(ctx);
    return ctx.workingText;
}

std::string run(const std::string& rPr, const std::string& text) {
    return "<w:r>" + (rPr.empty() ? "" : "<w:rPr>" + rPr + "</w:rPr>") + "<w:t>" + text + "</w:t></w:r>";
}

std::string para(const std::string& pPr, const std::string& runs) {
    return "<w:p>" + (pPr.empty() ? "" : "<w:pPr>" + pPr + "</w:pPr>") + runs + "</w:p>";
}

std::string styles(const std::string& inner) { return "<w:styles>" + inner + "</w:styles>"; }

const std::string kArabic = "\xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A";  // "عربي"

struct Case {
    const char* what;
    Parts parts;
    std::vector<std::string> shown;   // on the page
    std::vector<std::string> absent;  // nowhere on it
};

std::vector<Case> cases() {
    const std::string table = "<w:tbl><w:tblPr>%</w:tblPr><w:tr><w:tc><w:tcPr>$</w:tcPr>" + para("", run("", "cell")) +
                              "</w:tc></w:tr></w:tbl>";
    auto tableWith = [&](const std::string& tblPr, const std::string& tcPr) {
        std::string t = table;
        t.replace(t.find('%'), 1, tblPr);
        t.replace(t.find('$'), 1, tcPr);
        return t;
    };
    const std::string numbering =
        "<w:numbering><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"decimal\"/>"
        "<w:lvlText w:val=\"%1.\"/><w:start w:val=\"1\"/><w:pPr><w:ind w:left=\"720\" w:hanging=\"360\"/></w:pPr></w:lvl></w:abstractNum>"
        "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";
    const std::string numPr = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>";
    return {
        {"a bookmark is an empty anchor that links find",
         {para("", "<w:bookmarkStart w:id=\"0\" w:name=\"here\"/>" + run("", "mark") + "<w:bookmarkEnd w:id=\"0\"/>") +
          para("", "<w:hyperlink w:anchor=\"here\">" + run("", "go") + "</w:hyperlink>")},
         {"<a id=\"here\"></a>mark", "href=\"#here\""},
         {"name=\"here\""}},
        {"the page is read in standards mode, its lengths with units",
         {para("", run("<w:sz w:val=\"24\"/>", "sized"))},
         {"<!DOCTYPE html>\r\n<html>", "font-size:16px;", "td{padding:1px 2px;", "div.page{width:816px;"},
         {"disply", "_height", "font-size:16;"}},
        {"automatic text colour is black over a style's colour",
         {para("", run("<w:rStyle w:val=\"Link\"/><w:color w:val=\"auto\"/>", "auto")),
          styles("<w:style w:type=\"character\" w:styleId=\"Link\"><w:rPr><w:color w:val=\"0563C1\"/></w:rPr></w:style>")},
         {"color:#000000;"},
         {"#auto", "0563C1"}},
        {"an automatic border is drawn in the text colour; none draws nothing",
         {para("<w:pBdr><w:top w:val=\"single\" w:sz=\"8\" w:color=\"auto\"/></w:pBdr>", run("", "ruled")) +
          tableWith("", "<w:tcBorders><w:top w:val=\"none\" w:sz=\"4\" w:color=\"auto\"/></w:tcBorders>")},
         {"border-top:1px solid;", "<td style=\"border-top:none;\">"},
         {"#auto", "none #"}},
        {"Word's own size without one in the defaults or Normal", {para("", run("", "plain"))},
         {"p,h1,h2,h3,h4,h5,h6{font-size:10pt;}"}, {}},
        {"complex-script text takes its own size, font, weight; Latin text never the complex font",
         {para("<w:pStyle w:val=\"H\"/>", run("<w:rtl/>", kArabic) + run("", "latin")),
          styles("<w:style w:type=\"paragraph\" w:styleId=\"H\"><w:rPr><w:rFonts w:cs=\"Traditional Arabic\"/><w:b/>"
                 "<w:sz w:val=\"20\"/><w:szCs w:val=\"30\"/></w:rPr></w:style>")},
         {"<span style=\"font-family:'Traditional Arabic',serif;font-size:15pt;font-weight:normal;font-style:normal;\">" +
              kArabic,
          "font-weight:bold;font-size:10pt;\"><span", "</span>latin</p>"},
         {"Traditional Arabic',serif;font-size:10pt"}},
        {"a run's own bold and italic off beat its paragraph's; Arabic faces stand in with one that has Arabic",
         {para("<w:pStyle w:val=\"H\"/>", run("<w:b w:val=\"0\"/><w:i w:val=\"false\"/>", "off") + run("<w:rtl/>", kArabic)),
          styles("<w:style w:type=\"paragraph\" w:styleId=\"H\"><w:rPr><w:rFonts w:cs=\"Traditional Arabic\"/><w:b/><w:i/>"
                 "</w:rPr></w:style>")},
         {"font-weight:normal;font-style:normal;\">off</span>",
          "src:local(\"Traditional Arabic\"),local(\"DejaVu Sans\"),local(\"DejaVuSans\")}"},
         {}},
        {"fonts fall back by kind, to stand-ins of that kind, the generic family last",
         {para("", run("<w:rFonts w:ascii=\"Verdana\"/>", "v") + run("<w:rFonts w:ascii=\"Consolas\"/>", "c") +
                       run("<w:rFonts w:ascii=\"Bookman Old Style\"/>", "b"))},
         {"font-family:Verdana,sans-serif;", "font-family:Consolas,monospace;", "font-family:Bookman Old Style,serif;",
          "src:local(\"Verdana\"),local(\"DejaVu Sans\"),local(\"DejaVuSans\")",
          "src:local(\"Bookman Old Style Bold\"),local(\"URW Bookman Demi\"),local(\"URWBookman-Demi\")"},
         {"Carlito"}},
        {"a numbered paragraph's indent: its level's, its style's over it, its own over both",
         {para(numPr, run("", "level")) + para(numPr + "<w:pStyle w:val=\"I\"/>", run("", "styled")) +
              para(numPr + "<w:pStyle w:val=\"I\"/><w:ind w:left=\"2880\"/>", run("", "own")),
          styles("<w:style w:type=\"paragraph\" w:styleId=\"I\"><w:pPr><w:ind w:left=\"1440\"/></w:pPr></w:style>"),
          numbering},
         {"margin-left:48px;text-indent:-24px;\">1.", "margin-left:96px;text-indent:-24px;\">2.",
          "margin-left:192px;text-indent:-24px;\">3.", "ol,ul{list-style-type:none;padding-left:0px;margin-left:0px}"},
         {}},
        {"character units are em, over twips", {para("<w:ind w:leftChars=\"200\" w:left=\"420\" w:hangingChars=\"150\" w:hanging=\"315\"/>", run("", "chars"))},
         {"margin-left:2em;text-indent:-1.5em;\">chars"}, {}},
        {"a table without borders anywhere is drawn without; one with cell borders keeps them",
         {tableWith("", "") + tableWith("", "<w:tcBorders><w:left w:val=\"single\" w:sz=\"4\" w:color=\"FF0000\"/></w:tcBorders>")},
         {"<table border=0 style=\"border:none\">", "<td style=\"border-left:1px solid #FF0000;\">"},
         {}},
        {"an element has one class: the table style's borders and its own merge, its own winning",
         {tableWith("<w:tblStyle w:val=\"Grid\"/><w:tblBorders><w:top w:val=\"double\" w:sz=\"12\" w:color=\"00FF00\"/>"
                    "</w:tblBorders>", ""),
          styles("<w:style w:type=\"table\" w:styleId=\"Grid\"><w:tblPr><w:tblBorders><w:top w:val=\"single\" w:sz=\"4\" "
                 "w:color=\"auto\"/><w:insideH w:val=\"single\" w:sz=\"4\" w:color=\"auto\"/></w:tblBorders></w:tblPr></w:style>"),
          {}, true},
         {"border-top:3px double #00FF00;border-left:none;border-bottom:none;border-right:none;}"},
         {"class=s1 class=", "class=s2 class="}},
    };
}

}  // namespace

TEST(FidelityLook, RulesOfWordsLook) {
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.what);
        const std::string p = page(c.parts);
        for (const std::string& s : c.shown) EXPECT_NE(p.find(s), std::string::npos) << s << "\n" << p;
        for (const std::string& s : c.absent) EXPECT_EQ(p.find(s), std::string::npos) << s << "\n" << p;
    }
    // The declarations themselves: valid ones stay as written.
    const std::pair<const char*, const char*> css[] = {
        {"font-size:15;margin:0 2;width:50%", "font-size:15px;margin:0 2px;width:50%"},
        {"color:#auto;background-color:FFFF00;border-color:auto", "color:#000000;background-color:#FFFF00;border-color:currentcolor;"},
        {"border:0px none #auto;border-top:2px thinThickSmallGap #C0C0C0;border-left:8px", "border:none;border-top:2px double #C0C0C0;border-left:8px"},
        {"text-align:lowKashida;vertical-align:center;disply:inline;_height:3", "text-align:justify;vertical-align:middle;"},
        {"background-color:darkYellow;font-family:2nd Font,Arial", "background-color:#808000;font-family:'2nd Font',Arial;"},
        {" vertical-align:top;", " vertical-align:top;"}};
    for (const auto& [in, out] : css) EXPECT_EQ(validDeclarations(in), out) << in;
}

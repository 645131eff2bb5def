// The document model: part texts in, resolved values out. The same document
// is written with the usual prefixes, with others ("ns0:") and with the
// strict schema's namespaces, and reads the same; hostile parts (a prefix
// bound elsewhere, a part cut short, values that are no numbers) read what
// can be read and say what could not.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/uStr.h"
#include "docx2html/docx2html.h"
#include "docx2html/fidelity/lists.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/model/model.h"

using namespace tavin;

namespace {

const std::string kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const std::string kA = "http://schemas.openxmlformats.org/drawingml/2006/main";
const std::string kStrictW = "http://purl.oclc.org/ooxml/wordprocessingml/main";
const std::string kStrictA = "http://purl.oclc.org/ooxml/drawingml/main";

// The parts of one document, under the prefixes and namespaces given.
PartTexts document(const std::string& w, const std::string& wUri, const std::string& a, const std::string& aUri) {
    const std::string ns = " xmlns:" + w + "=\"" + wUri + "\"";
    auto x = [&](std::string text) { return replaceAll(replaceAll(text, "<w:", "<" + w + ":"), "</w:", "</" + w + ":"); };
    auto attrs = [&](std::string text) { return replaceAll(text, " w:", " " + w + ":"); };
    PartTexts p;
    p.styles = attrs(x("<w:styles" + ns + "><w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"22\"/></w:rPr></w:rPrDefault>"
                      "</w:docDefaults>"
                      "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\"/>"
                      "</w:rPr></w:style>"
                      "<w:style w:type=\"paragraph\" w:styleId=\"H2\"><w:basedOn w:val=\"H\"/><w:rPr><w:b w:val=\"0\"/><w:i/></w:rPr></w:style>"
                      "<w:style w:styleId=\"H\"><w:name w:val=\"heading 1\"/><w:basedOn w:val=\"Normal\"/><w:rPr><w:b/><w:sz w:val=\"28\"/>"
                      "<w:color w:val=\"1F3864\"/></w:rPr></w:style>"
                      "<w:style w:type=\"paragraph\" w:styleId=\"Loop\"><w:basedOn w:val=\"Loop\"/><w:rPr><w:caps/></w:rPr></w:style>"
                      "<w:style w:type=\"numbering\" w:styleId=\"Outline\"><w:pPr><w:numPr><w:numId w:val=\"12\"/></w:numPr></w:pPr>"
                      "</w:style><w:style w:type=\"table\" w:default=\"1\" w:styleId=\"Grid\"/></w:styles>"));
    const std::string level = "<w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><w:numFmt w:val=\"FMT\"/><w:lvlText w:val=\"%1.\"/></w:lvl>";
    p.numbering = attrs(x("<w:numbering" + ns + "><w:abstractNum w:abstractNumId=\"1\">" + replaceAll(level, "FMT", "decimal") +
                         "</w:abstractNum><w:abstractNum w:abstractNumId=\"12\">" + replaceAll(level, "FMT", "upperRoman") +
                         "</w:abstractNum><w:abstractNum w:abstractNumId=\"3\"><w:numStyleLink w:val=\"Outline\"/></w:abstractNum>"
                         "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"1\"/></w:num><w:num w:numId=\"12\"><w:abstractNumId w:val=\"12\"/>"
                         "</w:num><w:num w:numId=\"4\"><w:abstractNumId w:val=\"3\"/><w:lvlOverride w:ilvl=\"0\">"
                         "<w:startOverride w:val=\"7\"/></w:lvlOverride></w:num></w:numbering>"));
    const std::string nsA = " xmlns:" + a + "=\"" + aUri + "\"";
    p.theme = replaceAll(replaceAll("<a:theme" + nsA + "><a:themeElements><a:clrScheme name=\"Office\"><a:accent1><a:srgbClr val=\"4472C4\"/>"
                                    "</a:accent1><a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1></a:clrScheme>"
                                    "<a:fontScheme><a:majorFont><a:latin typeface=\"Calibri Light\" panose=\"020F0302020204030204\"/>"
                                    "</a:majorFont><a:minorFont><a:latin typeface=\"Calibri\" panose=\"020F0502020204030204\"/>"
                                    "<a:ea typeface=\"\"/><a:cs typeface=\"Arial\"/></a:minorFont></a:fontScheme></a:themeElements>"
                                    "</a:theme>",
                                    "<a:", "<" + a + ":"),
                         "</a:", "</" + a + ":");
    p.fontTable = attrs(x("<w:fonts" + ns + "><w:font w:name=\"Courier New\"><w:panose1 w:val=\"02070309020205020404\"/></w:font>"
                         "<w:font w:name=\"Calibri\"><w:family w:val=\"roman\"/></w:font></w:fonts>"));
    return p;
}

// A run look in short: the properties it sets.
std::string described(const RunLook& l) {
    std::string out;
    auto add = [&](const char* name, const std::string& v) { out += std::string(out.empty() ? "" : " ") + name + "=" + v; };
    if (l.latin) add("font", *l.latin);
    if (l.halfPoints) add("sz", std::to_string(*l.halfPoints));
    if (l.colour) add("color", *l.colour);
    if (l.bold) add("b", *l.bold ? "1" : "0");
    if (l.italic) add("i", *l.italic ? "1" : "0");
    if (l.caps) add("caps", *l.caps ? "1" : "0");
    return out;
}

// What the model resolves for a question: "look:ID", "chain:ID",
// "labels:numId.ilvl ...", "font:reference", "colour:name", "generic:font",
// "defaults", "report", "style:ID" (its type and name).
std::string answer(const model::DocumentModel& m, const std::string& question) {
    const std::size_t colon = question.find(':');
    const std::string kind = question.substr(0, colon), arg = colon == std::string::npos ? "" : question.substr(colon + 1);
    if (kind == "look") return described(StyleRunLooks(m).look(arg, true));
    if (kind == "font") return m.themeScheme.fonts.font(arg);
    if (kind == "colour") return std::string(m.themeScheme.colour(arg));
    if (kind == "generic") return std::string(m.fontFamilies.generic(arg));
    if (kind == "defaults") return m.styleSheet.defaultParagraphStyle + " " + m.styleSheet.defaultTableStyle;
    if (kind == "report") return std::to_string(m.report.skipped.size());
    if (kind == "style") {
        const model::Style* s = m.styleSheet.find(arg);
        return s ? std::to_string(static_cast<int>(s->type)) + " " + s->name : "";
    }
    std::string out;
    if (kind == "chain")
        for (const model::Style* s : m.styleSheet.chain(arg)) out += (out.empty() ? "" : ">") + s->id;
    ListDefinitions lists(m);
    std::istringstream calls(kind == "labels" ? arg : "");
    for (std::string call; calls >> call;) {
        const std::size_t dot = call.find('.');
        out += lists.nextLabel(std::stoi(call.substr(0, dot)), std::stoi(call.substr(dot + 1))) + "|";
    }
    return out;
}

struct Case {
    const char* name;
    PartTexts parts;
    std::vector<std::pair<std::string, std::string>> answers;
};

const std::vector<std::pair<std::string, std::string>> kDocumentAnswers = {
    {"look:H2", "font=Calibri sz=28 color=1F3864 b=0 i=1"},
    {"look:Normal", "font=Calibri"},
    {"look:Loop", "caps=1"},
    {"look:Missing", ""},
    {"chain:H2", "H2>H>Normal"},
    {"chain:Loop", "Loop"},
    {"style:H", "0 heading 1"},  // no type names a paragraph style
    {"style:Outline", "3 "},
    {"defaults", "Normal Grid"},
    // Whole ids: list 1 is decimal, list 12 roman; list 4 links to list 12's
    // definition through the numbering style and starts over at 7.
    {"labels:1.0 12.0 1.0 4.0 12.0", "1.|I.|2.|VII.|VIII.|"},
    {"font:minorHAnsi", "Calibri"},
    {"font:minorBidi", "Arial"},
    {"font:majorEastAsia", ""},
    {"colour:accent1", "4472C4"},
    {"colour:dk1", "000000"},
    {"generic:calibri", "sans-serif"},  // the theme's panose over the font table's family
    {"generic:Calibri Light", "sans-serif"},
    {"generic:Courier New", "monospace"},
    {"report", "0"},
};

}  // namespace

TEST(DocumentModel, PartTextsToResolvedValues) {
    PartTexts foreign = document("w", "urn:other", "a", kA);
    PartTexts cut = document("w", kW, "a", kA);
    cut.styles.resize(cut.styles.find("<w:caps/>"));
    PartTexts bad = document("w", kW, "a", kA);
    bad.styles = replaceAll(bad.styles, "w:val=\"28\"", "w:val=\"big\"");
    bad.numbering = replaceAll(bad.numbering, "w:startOverride w:val=\"7\"", "w:startOverride w:val=\"seven\"");
    bad.theme = replaceAll(bad.theme, "4472C4", "blue");
    const std::vector<Case> cases = {
        {"usual prefixes", document("w", kW, "a", kA), kDocumentAnswers},
        {"other prefixes", document("ns0", kW, "ns1", kA), kDocumentAnswers},
        {"strict namespaces", document("w", kStrictW, "a", kStrictA), kDocumentAnswers},
        // "w:" bound to another namespace names none of the format's elements.
        {"w: elsewhere", foreign, {{"look:H2", ""}, {"defaults", " "}, {"labels:1.0", "|"}, {"generic:Courier New", "monospace"},
                                   {"font:minorHAnsi", "Calibri"}}},
        // A part cut short keeps what came before the fault.
        {"cut short", cut, {{"look:H2", "font=Calibri sz=28 color=1F3864 b=0 i=1"}, {"chain:Loop", "Loop"}, {"report", "1"}}},
        // Values that are no numbers are skipped, and the report says so.
        {"bad values", bad, {{"look:H", "font=Calibri color=1F3864 b=1"}, {"labels:4.0", "0.|"}, {"colour:accent1", ""},
                             {"report", "3"}}},
    };
    for (const Case& c : cases) {
        model::DocumentModel m;
        model::readParts(m, c.parts);
        for (const auto& [question, expected] : c.answers) EXPECT_EQ(answer(m, question), expected) << c.name << ": " << question;
    }
}

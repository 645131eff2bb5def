// Drawings and form fields in the text: what is around them stays, what
// they hold shows once, their property values never.
#include <gtest/gtest.h>

#include "docx2html/docx2html.h"
#include "support/testutil.h"

using namespace tavin;

namespace {

// The body of the page of a document body, classic or Full Fidelity, after
// the clean-up passes, without line breaks.
std::string body(const std::string& xml, bool fidelity) {
    ConversionContext ctx;
    ctx.fullFidelity = fidelity;
    ctx.docTitle = "t";
    PartTexts texts;
    texts.document = "<w:document><w:body>" + xml + "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/></w:sectPr>"
                     "</w:body></w:document>";
    loadPartsFromText(ctx, std::move(texts));
    convert(ctx);
    const std::string& p = ctx.workingText;
    const std::size_t b = p.find("<body");
    return replaceAll(replaceAll(p.substr(b, p.rfind("</body>") - b), "\r\n", ""), "\n", "");
}

// The visible text of a body: tags dropped.
std::string text(const std::string& html) {
    std::string out;
    bool inTag = false;
    for (const char c : html) {
        if (c == '<' || c == '>') inTag = c == '<';
        else if (!inTag) out += c;
    }
    return out;
}

std::string run(const std::string& inner) { return "<w:r>" + inner + "</w:r>"; }
std::string t(const std::string& s) { return run("<w:t xml:space=\"preserve\">" + s + "</w:t>"); }

// A floating text box as Word writes it: the drawing in the Choice, with
// its horizontal position in an AlternateContent of its own, and the VML
// text box in the Fallback.
std::string textBox(const std::string& boxText) {
    return run("<mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:anchor><wp:positionH "
               "relativeFrom=\"column\"><mc:AlternateContent><mc:Choice Requires=\"wp14\"><wp14:pctPosHOffset>35000"
               "</wp14:pctPosHOffset></mc:Choice><mc:Fallback><wp:posOffset>3536315</wp:posOffset></mc:Fallback>"
               "</mc:AlternateContent></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>6939915"
               "</wp:posOffset></wp:positionV><wp:extent cx=\"100\" cy=\"100\"/><a:graphic><a:graphicData><wps:wsp>"
               "<wps:txbx><w:txbxContent><w:p>" + t(boxText) + "</w:p></w:txbxContent></wps:txbx></wps:wsp>"
               "</a:graphicData></a:graphic><wp14:sizeRelH relativeFrom=\"margin\"><wp14:pctWidth>40000"
               "</wp14:pctWidth></wp14:sizeRelH></wp:anchor></w:drawing></mc:Choice><mc:Fallback><w:pict><v:shape>"
               "<v:textbox><w:txbxContent><w:p>" + t(boxText) + "</w:p></w:txbxContent></v:textbox></v:shape></w:pict>"
               "</mc:Fallback></mc:AlternateContent>");
}

}  // namespace

TEST(DrawingText, TextAroundTextBoxesAndHyphensOnBothPages) {
    struct Case {
        const char* what;
        std::string xml;
        std::string shown;  // the visible text
    } cases[] = {
        {"text before and after a text box",
         "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr>" + run("<w:rPr><w:b/></w:rPr><w:t>Do not approach </w:t>") +
             textBox("In the box") + t("wild animals.") + "</w:p>",
         "Do not approach In the boxwild animals."},
        {"a text box first in its paragraph", "<w:p>" + textBox("Alone") + t("after") + "</w:p>", "Aloneafter"},
        {"a table in a text box",
         "<w:p>" + t("Head ") + run("<w:pict><v:shape><v:textbox><w:txbxContent><w:tbl><w:tr><w:tc><w:p>" + t("cell") +
                                    "</w:p></w:tc></w:tr></w:tbl></w:txbxContent></v:textbox></v:shape></w:pict>") +
             "</w:p>",
         "Head cell"},
        {"hyphens",
         "<w:p>" + t("e") + run("<w:noBreakHyphen/><w:t>commerce 164</w:t>") + run("<w:noBreakHyphen/>") + t("960 hy") +
             run("<w:softHyphen/>") + t("phen") + "</w:p>",
         "e&#8209;commerce 164&#8209;960 hy&#173;phen"},
        {"an empty Choice takes nothing after it",
         std::string("<w:p><w:r><w:rPr><mc:AlternateContent><mc:Choice Requires=\"w16se\"/><mc:Fallback><w:b/></mc:Fallback>"
         "</mc:AlternateContent></w:rPr><w:t>bold</w:t></w:r>") +
             run("<mc:AlternateContent><mc:Choice Requires=\"w16se\"><w16se:symEx w16se:char=\"21\"/></mc:Choice>"
                 "<mc:Fallback><w:t>!</w:t></mc:Fallback></mc:AlternateContent>") +
             "</w:p>",
         "bold!"},
    };
    for (const Case& c : cases) {
        for (const bool fidelity : {false, true}) {
            const std::string b = body(c.xml, fidelity);
            EXPECT_EQ(text(b), c.shown) << c.what << (fidelity ? " (Full Fidelity)" : " (classic)") << "\n" << b;
        }
    }
    // The text before a box keeps its paragraph and run looks.
    const std::string classic = body(cases[0].xml, false);
    EXPECT_NE(classic.find("<p class=s1><b>Do not approach </b>"), std::string::npos) << classic;
    EXPECT_GT(classic.rfind("<p class=s1>"), classic.find("In the box")) << classic;  // and so does the text after
    const std::string table = body(cases[2].xml, false);
    EXPECT_NE(table.find("<td>"), std::string::npos) << table;
    EXPECT_NE(body(cases[4].xml, false).find("<b>bold</b>"), std::string::npos) << body(cases[4].xml, false);
    // A paragraph holding nothing but a text box gives its look to no other
    // paragraph.
    const std::string rtl =
        body("<w:p>" + t("before") + "</w:p><w:p><w:pPr><w:bidi/></w:pPr>" + textBox("inside") + "</w:p>", true);
    EXPECT_EQ(rtl.find("rtl"), std::string::npos) << rtl;
}

namespace {

// A legacy form field: its begin mark with these field properties, its
// instruction, and its result when it has one.
std::string formField(const std::string& ffData, const std::string& instruction, const std::string& result = "") {
    std::string f = run("<w:fldChar w:fldCharType=\"begin\"><w:ffData>" + ffData + "</w:ffData></w:fldChar>") +
                    run("<w:instrText> " + instruction + " </w:instrText>");
    if (!result.empty()) f += run("<w:fldChar w:fldCharType=\"separate\"/>") + t(result);
    return f + run("<w:fldChar w:fldCharType=\"end\"/>");
}

std::string contentControl(const std::string& sdtPr, const std::string& content) {
    return "<w:sdt><w:sdtPr>" + sdtPr + "</w:sdtPr><w:sdtContent>" + content + "</w:sdtContent></w:sdt>";
}

}  // namespace

TEST(FormFields, ShowTheirStateWithFullFidelity) {
    struct Case {
        const char* what;
        std::string xml;
        std::string shown;
    } cases[] = {
        {"a checked check box", formField("<w:checkBox><w:default w:val=\"0\"/><w:checked/></w:checkBox>", "FORMCHECKBOX"),
         "\u2612"},
        {"an unchecked one with a checked default",
         formField("<w:checkBox><w:default w:val=\"1\"/><w:checked w:val=\"0\"/></w:checkBox>", "FORMCHECKBOX"), "\u2610"},
        {"the default alone", formField("<w:checkBox><w:default w:val=\"1\"/></w:checkBox>", "FORMCHECKBOX"), "\u2612"},
        {"a drop-down's result",
         formField("<w:ddList><w:result w:val=\"2\"/><w:listEntry w:val=\"Red\"/><w:listEntry w:val=\"Green\"/>"
                   "<w:listEntry w:val=\"Blue &amp; grey\"/></w:ddList>",
                   "FORMDROPDOWN"),
         "Blue &amp; grey"},
        {"a drop-down without one", formField("<w:ddList><w:listEntry w:val=\"One\"/></w:ddList>", "FORMDROPDOWN"), "One"},
        {"a text field's result", formField("<w:textInput><w:default w:val=\"d\"/></w:textInput>", "FORMTEXT", "Jane"),
         "Jane"},
        {"a text field without one", formField("<w:textInput><w:default w:val=\"typed\"/></w:textInput>", "FORMTEXT"),
         "typed"},
        {"a checked content control",
         contentControl("<w14:checkbox><w14:checked w14:val=\"1\"/></w14:checkbox>", t("\u2610")), "\u2612"},
        {"an unchecked one showing a symbol",
         contentControl("<w14:checkbox><w14:checked w14:val=\"0\"/></w14:checkbox>",
                        run("<w:sym w:font=\"Wingdings\" w:char=\"F0A8\"/>") + t("x")),
         "\u2610"},
        {"a drop-down list", contentControl("<w:dropDownList><w:listItem w:displayText=\"B\"/></w:dropDownList>", t("B")),
         "B"},
        {"a date", contentControl("<w:date w:fullDate=\"2024-05-01T00:00:00Z\"/>", t("1 May 2024")), "1 May 2024"},
    };
    for (const Case& c : cases) {
        const std::string xml = "<w:p>" + t("[") + c.xml + t("]") + "</w:p>";
        EXPECT_EQ(text(body(xml, true)), "[" + c.shown + "]") << c.what << "\n" << body(xml, true);
    }
    // The classic page shows no state of its own.
    EXPECT_EQ(text(body("<w:p>" + t("[") + cases[0].xml + t("]") + "</w:p>", false)), "[]");
}

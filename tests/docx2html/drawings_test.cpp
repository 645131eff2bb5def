// Drawings, form fields and tracked changes in the text: what is around
// them stays, what they hold shows once, their property values never.
#include <gtest/gtest.h>

#include <vector>

#include "docx2html/docx2html.h"
#include "support/testutil.h"

using namespace tavin;

namespace {

// The page of a document body, classic or Full Fidelity, after the
// clean-up passes, without line breaks.
std::string page(const std::string& xml, bool fidelity, bool showChanges = true) {
    ConversionContext ctx;
    ctx.fullFidelity = fidelity;
    ctx.showChanges = showChanges;
    ctx.docTitle = "t";
    PartTexts texts;
    texts.document = "<w:document><w:body>" + xml + "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/></w:sectPr>"
                     "</w:body></w:document>";
    loadPartsFromText(ctx, std::move(texts));
    convert(ctx);
    return replaceAll(replaceAll(ctx.workingText, "\r\n", ""), "\n", "");
}

// The body of that page.
std::string body(const std::string& xml, bool fidelity) {
    const std::string p = page(xml, fidelity);
    const std::size_t b = p.find("<body");
    return p.substr(b, p.rfind("</body>") - b);
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
        // With Full Fidelity, when it differs: a text box stands before its
        // paragraph, which is where it floats.
        std::string fidelityShown = {};
    } cases[] = {
        {"text before and after a text box",
         "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr>" + run("<w:rPr><w:b/></w:rPr><w:t>Do not approach </w:t>") +
             textBox("In the box") + t("wild animals.") + "</w:p>",
         "Do not approach In the boxwild animals.", "In the boxDo not approach wild animals."},
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
            const std::string& shown = fidelity && !c.fidelityShown.empty() ? c.fidelityShown : c.shown;
            EXPECT_EQ(text(b), shown) << c.what << (fidelity ? " (Full Fidelity)" : " (classic)") << "\n" << b;
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
    // paragraph (with Full Fidelity it stays, empty, after the box).
    const std::string rtl =
        body("<w:p>" + t("before") + "</w:p><w:p><w:pPr><w:bidi/></w:pPr>" + textBox("inside") + "</w:p>", true);
    EXPECT_GT(rtl.find("rtl"), rtl.find("inside</p>")) << rtl;
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

namespace {

const std::string kImageRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";

// The Full Fidelity page of a body whose relationships name one picture
// (rP, media/p.png) and whose theme's accent1 is 4472C4, before the clean-up.
std::string drawnPage(const std::string& xml) {
    ConversionContext ctx;
    ctx.fullFidelity = true;
    ctx.optimizeHtml = false;
    ctx.docTitle = "t";
    PartTexts texts;
    texts.document = "<w:document><w:body>" + xml + "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/>"
                     "<w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr></w:body></w:document>";
    texts.relationships = "<Relationships><Relationship Id=\"rP\" Type=\"" + kImageRel + "\" Target=\"media/p.png\"/></Relationships>";
    texts.theme = "<a:theme><a:themeElements><a:clrScheme><a:accent1><a:srgbClr val=\"4472C4\"/></a:accent1></a:clrScheme>"
                  "</a:themeElements></a:theme>";
    loadPartsFromText(ctx, std::move(texts));
    convert(ctx);
    return ctx.workingText;
}

// An anchored drawing (positions and wrap as given, 100 by 50 pixels)
// holding graphic data, in a paragraph of its own with some text.
std::string anchored(const std::string& attributes, const std::string& position, const std::string& data,
                     const std::string& extent = "<wp:extent cx=\"952500\" cy=\"476250\"/>") {
    return "<w:p>" + run("<w:drawing><wp:anchor " + attributes + ">" + position + extent + "<a:graphic><a:graphicData>" + data +
                         "</a:graphicData></a:graphic></wp:anchor></w:drawing>") +
           t("Text beside") + "</w:p>";
}

std::string shape(const std::string& spPr, const std::string& rest = "") {
    return "<wps:wsp><wps:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"952500\" cy=\"476250\"/></a:xfrm>" + spPr +
           "</wps:spPr>" + rest + "</wps:wsp>";
}

const std::string kOnPage =
    "<wp:positionH relativeFrom=\"page\"><wp:posOffset>952500</wp:posOffset></wp:positionH>"
    "<wp:positionV relativeFrom=\"page\"><wp:posOffset>1905000</wp:posOffset></wp:positionV><wp:wrapNone/>";
const std::string kRight =
    "<wp:positionH relativeFrom=\"column\"><wp:align>right</wp:align></wp:positionH>"
    "<wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:wrapSquare wrapText=\"bothSides\"/>";

std::string solid(const std::string& colour) { return "<a:solidFill><a:srgbClr val=\"" + colour + "\"/></a:solidFill>"; }

std::string nestedBoxes(int depth) {
    std::string xml = "<w:p>" + t("deepest") + "</w:p>";
    for (int i = 0; i < depth; ++i)
        xml = "<w:p>" + run("<w:pict><v:shape style=\"width:10pt;height:10pt\"><v:textbox><w:txbxContent>" + xml +
                            "</w:txbxContent></v:textbox></v:shape></w:pict>") + "</w:p>";
    return xml;
}

}  // namespace

TEST(Drawings, PlacedSizedAndPaintedAsTheirPropertiesSay) {
    struct Case {
        const char* what;
        std::string xml;
        std::vector<std::string> shown, absent;
    } cases[] = {
        {"a picture floating right, text wrapped around it",
         anchored("distL=\"95250\"", kRight, "<pic:pic><pic:blipFill><a:blip r:embed=\"rP\"/></pic:blipFill></pic:pic>"),
         {"float:right;margin:0px 0px 0px 10px;width:100px;height:50px;", "<img src=\"media/p.png\" width=100 height=50",
          "Text beside"},
         {"position:absolute"}},
        {"an ellipse behind the text, placed on the page",
         anchored("behindDoc=\"1\"", kOnPage, shape("<a:prstGeom prst=\"ellipse\"/>" + solid("FF0000") +
                                                    "<a:ln w=\"19050\">" + solid("0000FF") + "</a:ln>")),
         {"position:absolute;z-index:-1;left:100px;top:200px;width:100px;height:50px;", "<path d=\"M0,25A50,25",
          "fill=\"#ff0000\" stroke=\"#0000ff\" stroke-width=\"2\""},
         {}},
        {"an arrow: a line without fill, with its head",
         anchored("", kOnPage, shape("<a:prstGeom prst=\"straightConnector1\"/><a:ln>" + solid("000000") +
                                     "<a:tailEnd type=\"triangle\"/></a:ln>")),
         {"<path d=\"M0,0L100,50\" fill=\"none\" stroke=\"#000000\"", "marker-end=\"url(#", "<marker id="},
         {"marker-start"}},
        {"a text box with its fill, insets and text in the middle, in the theme's colour",
         anchored("", kRight, shape("<a:prstGeom prst=\"roundRect\"/><a:solidFill><a:schemeClr val=\"accent1\">"
                                    "<a:lumMod val=\"75000\"/></a:schemeClr></a:solidFill>",
                                    "<wps:txbx><w:txbxContent><w:p>" + t("Boxed") + "</w:p></w:txbxContent></wps:txbx>"
                                    "<wps:bodyPr lIns=\"0\" tIns=\"0\" rIns=\"0\" bIns=\"0\" anchor=\"ctr\"/>")),
         {"padding:0px 0px 0px 0px;justify-content:center;", "fill=\"#2f5597\"", "<p>Boxed</p></div></div>"},
         {}},
        {"a group's shapes in the group's own coordinates",
         anchored("", kOnPage,
                  "<wpg:wgp><wpg:grpSpPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"952500\" cy=\"476250\"/>"
                  "<a:chOff x=\"0\" y=\"0\"/><a:chExt cx=\"1905000\" cy=\"952500\"/></a:xfrm></wpg:grpSpPr>" +
                      shape("<a:prstGeom prst=\"rect\"/>" + solid("00FF00")) +
                      "<wps:wsp><wps:spPr><a:xfrm><a:off x=\"952500\" y=\"476250\"/><a:ext cx=\"952500\" cy=\"476250\"/>"
                      "</a:xfrm><a:prstGeom prst=\"triangle\"/>" + solid("0000FF") + "</wps:spPr></wps:wsp></wpg:wgp>"),
         {"position:absolute;left:0px;top:0px;width:50px;height:25px;", "position:absolute;left:50px;top:25px;",
          "fill=\"#00ff00\"", "<path d=\"M25,0L50,25L0,25Z\" fill=\"#0000ff\""},
         {}},
        {"a VML rectangle from its style",
         "<w:p>" + run("<w:pict><v:rect style=\"position:absolute;margin-left:15pt;margin-top:0;width:72pt;height:36pt;"
                       "z-index:5;mso-position-horizontal-relative:margin\" fillcolor=\"red\" stroked=\"f\"/></w:pict>") +
             t("After") + "</w:p>",
         {"position:absolute;z-index:2;left:116px;margin-top:0px;width:96px;height:48px;", "fill=\"#ff0000\" stroke=\"none\""},
         {}},
        {"a VML shape of its shape type's path, values left empty read as zeros",
         "<w:p>" + run("<w:pict><v:shapetype id=\"t1\" coordsize=\"21600,21600\" path=\"m,l,21600r21600,l21600,xe\"/>"
                       "<v:shape type=\"#t1\" style=\"position:absolute;width:72pt;height:36pt\" strokecolor=\"#00f\""
                       " strokeweight=\"1.5pt\" filled=\"f\"><v:stroke dashstyle=\"dash\"/></v:shape></w:pict>") + "</w:p>",
         {"<path d=\"M0,0L0,48L96,48L96,0Z\" fill=\"none\" stroke=\"#0000ff\" stroke-width=\"2\" stroke-linejoin=\"round\""
          " stroke-dasharray=\"6 2\""},
         {}},
        {"hostile sizes and offsets stay numbers",
         anchored("distL=\"1e308\"", "<wp:positionH relativeFrom=\"page\"><wp:posOffset>99999999999999999999999</wp:posOffset>"
                  "</wp:positionH><wp:wrapNone/>", shape("<a:custGeom><a:pathLst><a:path w=\"0\" h=\"-1\"><a:moveTo>"
                  "<a:pt x=\"nan\" y=\"1e999\"/></a:moveTo><a:arcTo wR=\"1e300\" hR=\"5\" stAng=\"0\" swAng=\"1e20\"/>"
                  "</a:path></a:pathLst></a:custGeom>" + solid("123456")),
                  "<wp:extent cx=\"-5\" cy=\"1e400\"/>"),
         {"Text beside"},
         {"nan", "inf", "e+"}},
        {"text boxes nested past any sense: the text still shows", nestedBoxes(60), {"deepest"}, {}},
        {"a framed paragraph floats at its frame's width; a drop cap is no frame",
         "<w:p><w:pPr><w:framePr w:w=\"2880\" w:xAlign=\"right\" w:wrap=\"around\"/></w:pPr>" + t("Framed") + "</w:p>" +
             "<w:p><w:pPr><w:framePr w:dropCap=\"drop\" w:lines=\"3\"/></w:pPr>" + t("D") + "</w:p>",
         {"float:right;clear:right;margin-left:9.6px;width:192px;", "Framed"},
         {"float:left;clear:left"}},
        {"a picture the package does not hold is a labelled box",
         "<w:p>" + run("<w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"476250\"/><a:graphic><a:graphicData><pic:pic>"
                       "<pic:blipFill><a:blip r:link=\"rLinked\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
                       "</wp:inline></w:drawing>") + "</w:p>",
         {"Missing picture</span>"},
         {"<img src=\"\""}},
    };
    for (const Case& c : cases) {
        const std::string page = drawnPage(c.xml);
        for (const std::string& s : c.shown) EXPECT_NE(page.find(s), std::string::npos) << c.what << ": " << s << "\n" << page;
        for (const std::string& s : c.absent) EXPECT_EQ(page.find(s), std::string::npos) << c.what << ": " << s << "\n" << page;
    }
    // The classic page runs the picture inline and draws no shape.
    const std::string classic = body(cases[1].xml + cases[0].xml, false);
    EXPECT_EQ(classic.find("<svg"), std::string::npos) << classic;
}

TEST(TrackedChanges, MarkedByAuthorOrAcceptedAsTheFinalText) {
    const std::string ins = "<w:ins w:id=\"1\" w:author=\"Ann &amp; &lt;Bo&gt;\" w:date=\"2020-01-02T03:04:05Z\">";
    const std::string del = "<w:del w:id=\"2\" w:author=\"Cy\">";
    const auto p = [](const std::string& inner, const std::string& pPr = "") {
        return "<w:p><w:pPr>" + pPr + "</w:pPr>" + inner + "</w:p>";
    };
    const std::string markDeleted = "<w:rPr><w:del w:id=\"3\" w:author=\"Cy\"/></w:rPr>";
    const std::string row = "<w:tr><w:tc><w:p>" + t("kept row") + "</w:p></w:tc></w:tr>";
    const std::string deletedRow = "<w:tr><w:trPr><w:del w:id=\"4\" w:author=\"Cy\"/></w:trPr><w:tc><w:p>" +
                                   t("gone row") + "</w:p></w:tc></w:tr>";
    struct Case {
        const char* what;
        std::string xml;
        bool shown;
        std::vector<std::string> present, absent;
    };
    const std::vector<Case> cases = {
        {"insertion and deletion marked, each author in a colour of their own, the paragraph barred in the margin",
         p(t("old ") + ins + t("new") + "</w:ins>" + del + run("<w:delText>cut</w:delText>") + "</w:del>",
           "<w:ind w:left=\"720\"/>"), true,
         {"<ins class=\"tvchange tvauthor0\" title=\"Inserted: Ann &amp; &lt;Bo&gt;, 2020-01-02 03:04\">new</ins>",
          "<del class=\"tvchange tvauthor1\" title=\"Deleted: Cy\">cut</del>", "solid #000;left:calc(-12px - 48px)",
          "ins.tvauthor1,del.tvauthor1"},
         {"tvauthor2", "w:author"}},
        {"accepted: the insertion's text stays, the deletion's goes, no marks",
         p(t("old ") + ins + t("new") + "</w:ins>" + del + run("<w:delText>cut</w:delText>") + "</w:del>"), false,
         {"old new"}, {"cut", "<ins", "<del", "solid #000"}},
        {"the properties a formatting change replaced are not the run's",
         p(run("<w:rPr><w:b/><w:rPrChange w:id=\"5\"><w:rPr><w:i/></w:rPr></w:rPrChange></w:rPr><w:t>bold</w:t>")),
         true, {"<b>bold</b>"}, {"<i>", "rPrChange"}},
        {"a deleted field instruction does not show",
         p(del + run("<w:delInstrText> PAGE </w:delInstrText>") + "</w:del>" + t("after")), true, {"after"}, {"PAGE"}},
        {"accepted: paragraphs whose marks were deleted join the next, under its properties",
         p(t("one "), "<w:jc w:val=\"center\"/>" + markDeleted) + p(t("two "), markDeleted) +
             p(t("three"), "<w:jc w:val=\"right\"/>"),
         false, {"text-align:right", "one two three"}, {"</p><p"}},
        {"shown: a deleted paragraph mark keeps the paragraphs apart and bars them",
         p(t("one"), markDeleted) + p(t("two")), true,
         {"<del class=\"tvchange tvauthor0\" title=\"Deleted: Cy\"></del>", "solid #000;left:-12px"}, {"onetwo"}},
        {"accepted: a deleted row goes", "<w:tbl>" + row + deletedRow + "</w:tbl>", false, {"kept row"}, {"gone row"}},
        {"moves in green, away struck and here underlined twice; accepted, only the text moved here",
         p("<w:moveFrom w:id=\"6\" w:author=\"Cy\">" + t("moving") + "</w:moveFrom>") +
             p("<w:moveTo w:id=\"7\" w:author=\"Cy\">" + t("moved") + "</w:moveTo>"),
         true, {"<del class=\"tvmoved\" title=\"Moved away: Cy\">moving</del>", "<ins class=\"tvmoved\"", "#00a000"},
         {"moveTo", "moveFrom"}},
        {"accepted moves", p("<w:moveFrom w:id=\"6\">" + t("moving") + "</w:moveFrom>") +
             p("<w:moveTo w:id=\"7\">" + t("moved") + "</w:moveTo>"), false, {"moved"}, {"moving", "<ins", "<del"}},
        {"accepted: joined to a paragraph whose properties never end", p(t("one "), markDeleted) +
             "<w:p><w:pPr><w:pPrChange w:id=\"8\"><w:pPr></w:pPr></w:pPrChange>" + t("two") + "</w:p>",
         false, {"one", "two"}, {"pPrChange"}},
        {"a change that never ends, and end tags of none, keep the text", p(t("a") + ins + t("b")) + "</w:del></w:ins>" +
             p(t("c")), true, {"a", "b", "c"}, {}},
    };
    for (const Case& c : cases) {
        const std::string html = page(c.xml, true, c.shown);
        for (const std::string& s : c.present) EXPECT_NE(html.find(s), std::string::npos) << c.what << ": " << s << "\n" << html;
        for (const std::string& s : c.absent) EXPECT_EQ(html.find(s), std::string::npos) << c.what << ": " << s << "\n" << html;
    }
    // A thousand changes nested.
    std::string nested;
    for (int i = 0; i < 1000; ++i) nested += ins;
    nested += t("deep");
    for (int i = 0; i < 1000; ++i) nested += "</w:ins>";
    EXPECT_NE(text(body(p(nested), true)).find("deep"), std::string::npos);
}

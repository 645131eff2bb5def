// Notes, comments, headers and footers shown beside the body, and their
// absence from the classic page.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "docx2html/docx2html.h"
#include "support/testutil.h"

using namespace tavin;

namespace {

const std::string kNs =
    " xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\""
    " xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";
const std::string kRelType = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string rel(const std::string& id, const std::string& type, const std::string& target) {
    return "<Relationship Id=\"" + id + "\" Type=\"" + kRelType + type + "\" Target=\"" + target + "\"/>";
}

std::string rels(const std::string& list) {
    return "<?xml version=\"1.0\"?><Relationships xmlns=\"x\">" + list + "</Relationships>";
}

std::string run(const std::string& text) { return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>"; }

// A package folder: the document with body and section, its relationships,
// and further parts by name.
class Package {
public:
    Package(const std::string& body, const std::string& section, const std::string& documentRels,
            const std::map<std::string, std::string>& parts = {}) {
        write("_rels/.rels", rels(rel("r1", "officeDocument", "word/document.xml")));
        write("word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><w:document" + kNs + "><w:body>" +
                                       body + "<w:sectPr>" + section + "</w:sectPr></w:body></w:document>");
        write("word/_rels/document.xml.rels", rels(documentRels));
        for (const auto& [name, text] : parts) write(name, text);
    }

    // The converted page; the context keeps the story HTML for a look.
    std::string convert(bool fidelity, bool margin = true) {
        ctx_ = std::make_unique<ConversionContext>();
        ConversionContext& ctx = *ctx_;
        ctx.workFolder = dir_.str() + "/";
        ctx.docTitle = "t";
        ctx.showPageMargin = margin;
        ctx.optimizeHtml = false;
        ctx.fullFidelity = fidelity;
        loadParts(ctx);
        tavin::convert(ctx);
        return ctx.workingText;
    }

    const ConversionContext& ctx() const { return *ctx_; }

private:
    std::unique_ptr<ConversionContext> ctx_ = std::make_unique<ConversionContext>();
    void write(const std::string& name, const std::string& text) { testutil::writeFile(dir_.path() / name, text); }
    testutil::TempDir dir_;
};

std::string notesPart(const std::string& root, const std::string& notes) {
    return "<?xml version=\"1.0\"?><w:" + root + kNs + ">" + notes + "</w:" + root + ">";
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const std::string kFootnotes = notesPart(
    "footnotes",
    "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>"
    "<w:footnote w:type=\"continuationSeparator\" w:id=\"0\"><w:p><w:r><w:t>cont</w:t></w:r></w:p></w:footnote>"
    // A note with a table and a picture, whose own relationships name the picture.
    "<w:footnote w:id=\"1\"><w:p><w:pPr><w:pStyle w:val=\"FootnoteText\"/></w:pPr>"
    "<w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr><w:footnoteRef/></w:r>" +
        run(" First note") +
        "</w:p><w:tbl><w:tr><w:tc><w:p>" + run("cell") +
        "</w:p></w:tc></w:tr></w:tbl>"
        "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"952500\" cy=\"476250\"/><a:graphic><a:graphicData>"
        "<pic:pic><pic:blipFill><a:blip r:embed=\"rPic\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic>"
        "</wp:inline></w:drawing></w:r></w:p></w:footnote>"
        // A note whose custom mark is typed into its text.
        "<w:footnote w:id=\"2\"><w:p>" +
        run("* Starred") +
        "</w:p></w:footnote>"
        "<w:footnote w:id=\"3\"><w:p><w:r><w:footnoteRef/></w:r>" +
        run(" Third") + "</w:p></w:footnote>");

const std::string kEndnotes = notesPart(
    "endnotes", "<w:endnote w:type=\"separator\" w:id=\"0\"><w:p><w:r><w:separator/></w:r></w:p></w:endnote>"
                "<w:endnote w:id=\"1\"><w:p><w:r><w:endnoteRef/></w:r>" +
                    run(" Last word") + "</w:p></w:endnote>");

std::string noteBody() {
    return "<w:p>" + run("Text") +
           "<w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr><w:footnoteReference w:id=\"1\"/></w:r>" +
           run(" starred") +
           "<w:r><w:footnoteReference w:customMarkFollows=\"1\" w:id=\"2\"/><w:t>*</w:t></w:r>" + run(" end") +
           "<w:r><w:endnoteReference w:id=\"1\"/></w:r>" +
           "<w:r><w:rPr><w:vertAlign w:val=\"superscript\"/></w:rPr><w:footnoteReference w:id=\"3\"/></w:r></w:p>";
}

Package notePackage() {
    return Package(noteBody(), "<w:pgSz w:w=\"12240\" w:h=\"15840\"/>",
                   rel("rF", "footnotes", "footnotes.xml") + rel("rE", "endnotes", "endnotes.xml"),
                   {{"word/footnotes.xml", kFootnotes},
                    {"word/_rels/footnotes.xml.rels", rels(rel("rPic", "image", "media/note.png"))},
                    {"word/endnotes.xml", kEndnotes}});
}

}  // namespace

TEST(Notes, ReferencesAreNumberedLinksAndNotesLinkBack) {
    Package pkg = notePackage();
    const std::string page = pkg.convert(true);
    // Running numbers skip the custom mark; a raised run is raised once.
    EXPECT_TRUE(contains(page, "Text<a href=\"#fn1\" name=\"fnref1\"><sup>1</sup></a> starred"
                               "<a href=\"#fn2\" name=\"fnref2\"><sup>*</sup></a> end"
                               "<a href=\"#en1\" name=\"enref1\"><sup>i</sup></a>"
                               "<a href=\"#fn3\" name=\"fnref3\"><sup>2</sup></a></p>"))
        << page;
    // Each footnote after a marker of its id, which the page's finish
    // step reads to take it to its sheet.
    EXPECT_EQ(pkg.ctx().notesHtml,
              "<div class=footnotes><hr>"
              "<\x1FtvNote val=\"1\"/><p><a href=\"#fnref1\" name=\"fn1\"><sup>1</sup></a> First note</p>"
              "<table><tr><td><\x1FtvPlainTable/><p>cell</p></td></tr></table>"
              "<p><img src=\"media/note.png\" width=100 height=50/>&nbsp;</p>"
              "<\x1FtvNote val=\"2\"/><p><a href=\"#fnref2\" name=\"fn2\">&#8617;</a> * Starred</p>"
              "<\x1FtvNote val=\"3\"/><p><a href=\"#fnref3\" name=\"fn3\"><sup>2</sup></a> Third</p><\x1FtvNote val=\"\"/></div>"
              "<div class=endnotes><hr><p><a href=\"#enref1\" name=\"en1\"><sup>i</sup></a> Last word</p></div>");
    EXPECT_EQ(page.find('\x1F'), std::string::npos);
    // The separators never show; the notes follow the body inside the page box.
    EXPECT_FALSE(contains(page, ">cont<"));
    const std::size_t notes = page.find("<div class=footnotes>");
    ASSERT_NE(notes, std::string::npos);
    EXPECT_LT(page.find("<a href=\"#fn1\""), notes);
    EXPECT_EQ(page.compare(page.size() - 20, 20, "</div></body></html>"), 0) << page.substr(page.size() - 80);
}

// A footnote stands at the foot of the sheet of its reference, before
// the next sheet; those of the last sheet stay at the end.
TEST(Notes, FootnotesStandOnTheSheetOfTheirReference) {
    const std::string ref = "<w:r><w:footnoteReference w:id=\"1\"/></w:r>";
    Package pkg("<w:p>" + run("Before") + ref + "</w:p><w:p><w:r><w:br w:type=\"page\"/></w:r></w:p><w:p>" + run("After") +
                    "<w:r><w:footnoteReference w:id=\"3\"/></w:r></w:p>",
                "<w:pgSz w:w=\"12240\" w:h=\"15840\"/>", rel("rF", "footnotes", "footnotes.xml"),
                {{"word/footnotes.xml", kFootnotes}, {"word/_rels/footnotes.xml.rels", rels(rel("rPic", "image", "media/note.png"))}});
    const std::string page = replaceAll(pkg.convert(true), "\r\n", "");
    const std::size_t first = page.find("First note"), second = page.find("<div class=page>", page.find("Before"));
    const std::size_t third = page.find("Third");
    ASSERT_NE(second, std::string::npos) << page;
    EXPECT_LT(page.find("Before"), first);
    EXPECT_LT(first, second);
    EXPECT_LT(page.find("After"), third);
    EXPECT_LT(second, third);
    EXPECT_EQ(page.find('\x1F'), std::string::npos);
    // Without page boxes they all stay at the end.
    const std::string bare = pkg.convert(true, false);
    EXPECT_LT(bare.find("After"), bare.find("First note"));
}

TEST(Notes, NumberFormatsComeFromTheSectionOrTheSettings) {
    Package pkg(noteBody(), "<w:footnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"3\"/></w:footnotePr>",
                rel("rF", "footnotes", "footnotes.xml") + rel("rE", "endnotes", "endnotes.xml") +
                    rel("rS", "settings", "settings.xml"),
                {{"word/footnotes.xml", kFootnotes},
                 {"word/endnotes.xml", kEndnotes},
                 {"word/settings.xml", "<w:settings" + kNs +
                                           "><w:footnotePr><w:numFmt w:val=\"lowerRoman\"/></w:footnotePr>"
                                           "<w:endnotePr><w:numFmt w:val=\"decimal\"/></w:endnotePr></w:settings>"}});
    const std::string page = pkg.convert(true);
    EXPECT_TRUE(contains(page, "name=\"fnref1\"><sup>C</sup>"));
    EXPECT_TRUE(contains(page, "name=\"fnref3\"><sup>D</sup>"));
    EXPECT_TRUE(contains(page, "name=\"enref1\"><sup>1</sup>"));
    EXPECT_EQ(noteNumber(4, "lowerRoman"), "iv");
    EXPECT_EQ(noteNumber(1994, "upperRoman"), "MCMXCIV");
    EXPECT_EQ(noteNumber(28, "lowerLetter"), "bb");
    EXPECT_EQ(noteNumber(6, "chicago"), "\u2020\u2020");
    EXPECT_EQ(noteNumber(0, "lowerRoman"), "0");
    EXPECT_EQ(noteNumber(7, "ordinalText"), "Seventh");
    EXPECT_EQ(noteNumber(7, "ordinalText", "fr-FR"), "Septième");
    // Numbers in words are in the language of the theme when nothing else
    // names one.
    Package words(noteBody(), "", rel("rE", "endnotes", "endnotes.xml") + rel("rS", "settings", "settings.xml"),
                  {{"word/endnotes.xml", kEndnotes},
                   {"word/settings.xml", "<w:settings" + kNs + "><w:endnotePr><w:numFmt w:val=\"cardinalText\"/>"
                                         "</w:endnotePr><w:themeFontLang w:val=\"de-DE\"/></w:settings>"}});
    EXPECT_TRUE(contains(words.convert(true), "name=\"enref1\"><sup>Eins</sup>"));
}

TEST(Notes, TheClassicPageHasNoneOfThem) {
    Package pkg = notePackage();
    const std::string page = pkg.convert(false);
    for (const char* part : {"First note", "Last word", "href=\"#fn", "class=footnotes", "<sup>1"})
        EXPECT_FALSE(contains(page, part)) << part;
    EXPECT_EQ(pkg.ctx().model, nullptr);
}

namespace {

std::string header(const std::string& root, const std::string& content) {
    return "<?xml version=\"1.0\"?><w:" + root + kNs + ">" + content + "</w:" + root + ">";
}

const std::string kPageField = "<w:p>" + run("Page ") +
                               "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText>"
                               "</w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                               run("1") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r></w:p>";

Package headerPackage(const std::string& section) {
    return Package("<w:p>" + run("Body") + "</w:p>", section,
                   rel("rH", "header", "header1.xml") + rel("rH1", "header", "header2.xml") +
                       rel("rF", "footer", "footer1.xml"),
                   {{"word/header1.xml", header("hdr", kPageField)},
                    {"word/header2.xml", header("hdr", "<w:p>" + run("Title page") + "</w:p>")},
                    {"word/footer1.xml", header("ftr", "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"9525\" cy=\"9525\"/>"
                                                       "<a:blip r:embed=\"rLogo\"/></wp:inline></w:drawing></w:r>" +
                                                           run("Footer") + "</w:p>")},
                    {"word/_rels/footer1.xml.rels", rels(rel("rLogo", "image", "media/logo.png"))}});
}

}  // namespace

TEST(HeadersAndFooters, TheDefaultOnesFrameThePageBox) {
    Package pkg = headerPackage(
        "<w:headerReference w:type=\"first\" r:id=\"rH1\"/><w:headerReference w:type=\"default\" r:id=\"rH\"/>"
        "<w:footerReference w:type=\"default\" r:id=\"rF\"/>");
    const std::string page = pkg.convert(true);
    // The PAGE field shows the sheet's number; the last sheet's footer ends
    // the page box.
    EXPECT_TRUE(contains(page, "<body>\r\n<div class=page>\r\n<div class=header>\r\n<p>Page <span class=\"tvfield tvpage\">1</span></p></div>\r\n<p>Body</p>"
                               "\r\n<div class=footer>"))
        << page;
    EXPECT_TRUE(contains(page, "<img src=\"media/logo.png\" width=1 height=1/>Footer</p></div>")) << page;
    EXPECT_EQ(page.compare(page.size() - 20, 20, "</div></body></html>"), 0);
    EXPECT_FALSE(contains(page, "Title page"));
    EXPECT_FALSE(contains(pkg.convert(false), "Page 1"));
}

// A header's paragraphs take their styles and its runs their own toggles,
// as the body's do.
TEST(HeadersAndFooters, TheirParagraphsAndRunsLookAsTheBodys) {
    const std::string styles = header("styles", "<w:style w:type=\"paragraph\" w:styleId=\"Header\"><w:pPr><w:jc w:val=\"center\"/>"
                                                "</w:pPr><w:rPr><w:b/></w:rPr></w:style>");
    Package pkg("<w:p>" + run("Body") + "</w:p>", "<w:headerReference w:type=\"default\" r:id=\"rH\"/>",
                rel("rH", "header", "header1.xml") + rel("rS", "styles", "styles.xml"),
                {{"word/styles.xml", styles},
                 {"word/header1.xml", header("hdr", "<w:p><w:pPr><w:pStyle w:val=\"Header\"/></w:pPr>" + run("Title") +
                                                        "<w:r><w:rPr><w:b w:val=\"0\"/></w:rPr><w:t>plain</w:t></w:r></w:p>")}});
    const std::string page = pkg.convert(true);
    EXPECT_TRUE(contains(page, "<div class=header>\r\n<p style=\"text-align:center;font-weight:bold;\">"
                               "Title<span style=\"font-weight:normal;\">plain</span></p>"))
        << page;
}

TEST(HeadersAndFooters, ATitlePageShowsTheFirstPageOnes) {
    Package pkg = headerPackage(
        "<w:headerReference w:type=\"first\" r:id=\"rH1\"/><w:headerReference w:type=\"default\" r:id=\"rH\"/>"
        "<w:footerReference w:type=\"default\" r:id=\"rF\"/><w:titlePg/>");
    pkg.convert(true);
    EXPECT_EQ(pkg.ctx().headerHtml, "<div class=header><p>Title page</p></div>");
    // No first-page footer: the title page has none.
    EXPECT_EQ(pkg.ctx().footerHtml, "");
    Package off = headerPackage("<w:headerReference w:type=\"first\" r:id=\"rH1\"/><w:titlePg w:val=\"0\"/>");
    off.convert(true);
    EXPECT_EQ(off.ctx().headerHtml, "");
}

// Every sheet shows its section's header and footer with its own page
// number: the first-page ones on a title page, the section's own else the
// one before it.
TEST(HeadersAndFooters, EachSheetShowsItsOwnWithItsNumber) {
    const std::string numPages = "<w:p>" + run("of ") +
                                 "<w:fldSimple w:instr=\" NUMPAGES \\* MERGEFORMAT \">" + run("9") + "</w:fldSimple></w:p>";
    const std::string pageBreak = "<w:p><w:r><w:br w:type=\"page\"/></w:r></w:p>";
    Package pkg("<w:p>" + run("One") + "</w:p>" + pageBreak + "<w:p>" + run("Two") + "</w:p>" +
                    "<w:p><w:pPr><w:sectPr><w:headerReference w:type=\"first\" r:id=\"rH1\"/>"
                    "<w:headerReference w:type=\"default\" r:id=\"rH\"/><w:footerReference w:type=\"default\" "
                    "r:id=\"rF\"/><w:titlePg/></w:sectPr></w:pPr></w:p><w:p>" +
                    run("Three") + "</w:p>",
                "", rel("rH", "header", "header1.xml") + rel("rH1", "header", "header2.xml") + rel("rF", "footer", "footer1.xml"),
                {{"word/header1.xml", header("hdr", kPageField)},
                 {"word/header2.xml", header("hdr", "<w:p>" + run("Title page") + "</w:p>")},
                 {"word/footer1.xml", header("ftr", numPages)}});
    std::string page = replaceAll(pkg.convert(true), "\r\n", "");
    // The title page has no footer of its own: none.
    EXPECT_TRUE(contains(page, "<div class=page><div class=header><p>Title page</p></div><p>One</p>"
                               "</div><div class=page><div class=header><p>Page <span class=\"tvfield tvpage\">2</span></p>"
                               "</div><p>&nbsp;</p><p>Two</p>"))
        << page;
    // The last section has no header or footer of its own: the first
    // section's default ones, as its first sheet is no title page of its own.
    const std::string of3 = "<p>of <span class=\"tvfield tvnumpages\">3</span></p>";
    EXPECT_TRUE(contains(page, "<div class=footer>" + of3 + "</div></div><div class=\"page section1\"><div class=header>"
                               "<p>Page <span class=\"tvfield tvpage\">3</span></p></div><p>Three</p><div class=footer>" +
                               of3 + "</div><div class=\"tvlater\">"))
        << page;
    // A print layout that breaks a sheet over several papers gives the later
    // ones their section's default header and footer, with fields to count.
    EXPECT_TRUE(contains(page, "<div class=\"tvlater\"><div class=\"tvs0 tvodd\"><div class=header><p>Page <span class=\"tvfield "
                               "tvpage\">1</span></p></div><div class=footer>" + of3 + "</div></div><div class=\"tvs1 tvodd\">"))
        << page;
}

// Page numbers start again, in their format, where a section says.
TEST(HeadersAndFooters, PageNumbersFollowTheirSectionsNumbering) {
    Package pkg("<w:p>" + run("One") + "</w:p><w:p><w:pPr><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rH\"/>"
                "<w:pgNumType w:start=\"4\" w:fmt=\"lowerRoman\"/></w:sectPr></w:pPr></w:p><w:p>" + run("Two") + "</w:p>",
                "<w:pgNumType w:start=\"1\"/>", rel("rH", "header", "header1.xml"), {{"word/header1.xml", header("hdr", kPageField)}});
    const std::string page = replaceAll(pkg.convert(true), "\r\n", "");
    EXPECT_TRUE(contains(page, "<p>Page <span class=\"tvfield tvpage tvformat-lowerRoman\">iv</span></p></div><p>One</p>")) << page;
    EXPECT_TRUE(contains(page, "<p>Page <span class=\"tvfield tvpage\">1</span></p></div><p>Two</p>")) << page;
    // For the print layout, which numbers papers.
    EXPECT_TRUE(contains(page, "<div class=\"tvs0 tvstart4\"></div>")) << page;
    EXPECT_TRUE(contains(page, "<div class=\"tvs1 tvstart1\"></div>")) << page;
}

TEST(HeadersAndFooters, WithoutPageMarginTheHeaderFollowsTheBodyTag) {
    Package pkg = headerPackage("<w:headerReference w:type=\"default\" r:id=\"rH\"/>");
    const std::string page = pkg.convert(true, false);
    EXPECT_TRUE(contains(page, "<body>\r\n<div class=header>\r\n<p>Page <span class=\"tvfield tvpage\">1</span></p></div>\r\n<p>Body</p></body>")) << page;
}

TEST(Comments, AMarkerInTheTextAndTheCommentWithAuthorAndDate) {
    const std::string comments = header(
        "comments",
        "<w:comment w:id=\"7\" w:author=\"Ann Lee\" w:date=\"2020-01-02T03:04:00Z\" w:initials=\"AL\">"
        "<w:p><w:r><w:annotationRef/></w:r>" +
            run("Check this") +
            "</w:p></w:comment>"
            "<w:comment w:id=\"8\" w:author=\"Bo\"><w:p>" +
            run("Unreferenced") + "</w:p></w:comment>");
    Package pkg("<w:p><w:commentRangeStart w:id=\"7\"/>" + run("Word") +
                    "<w:commentRangeEnd w:id=\"7\"/><w:r><w:commentReference w:id=\"7\"/></w:r></w:p>",
                "", rel("rC", "comments", "comments.xml"), {{"word/comments.xml", comments}});
    const std::string page = pkg.convert(true);
    EXPECT_TRUE(contains(page, "Word<a href=\"#cm7\" name=\"cmref7\"><sup>[AL1]</sup></a>"))
        << page;
    EXPECT_EQ(pkg.ctx().notesHtml,
              "<div class=comments><hr><p><a href=\"#cmref7\" name=\"cm7\">[AL1]</a> <b>Ann Lee</b> 2020-01-02 03:04</p>"
              "<p>Check this</p></div>");
    EXPECT_FALSE(contains(pkg.convert(false), "Check this"));
}

// A page shows pictures from its own folder only.
TEST(HeadersAndFooters, PicturesOfAPartInAnotherFolderAreLeftOut) {
    Package pkg("<w:p>" + run("Body") + "</w:p>", "<w:footerReference w:type=\"default\" r:id=\"rF\"/>",
                rel("rF", "footer", "../parts/footer1.xml"),
                {{"parts/footer1.xml", header("ftr", "<w:p><w:r><w:drawing><a:blip r:embed=\"rLogo\"/></w:drawing></w:r>"
                                                     "<w:hyperlink r:id=\"rWeb\">" +
                                                         run("site") + "</w:hyperlink></w:p>")},
                 {"parts/_rels/footer1.xml.rels",
                  rels(rel("rLogo", "image", "media/logo.png") + "<Relationship Id=\"rWeb\" Type=\"" + kRelType +
                       "hyperlink\" Target=\"http://example.com/a\" TargetMode=\"External\"/>")}});
    const std::string page = pkg.convert(true);
    EXPECT_TRUE(contains(page, "<div class=footer>\r\n<p><a href=\"http://example.com/a\">site</a></p></div>")) << page;
    EXPECT_FALSE(contains(page, "<img")) << page;
}

TEST(Comments, IdsAndAuthorsNeverBreakOutOfTheMarkup) {
    const std::string comments =
        header("comments", "<w:comment w:id='1\" onclick=\"x' w:author=\"&lt;b&gt;Eve&lt;/b&gt;\">"
                           "<w:p>" + run("Hostile") + "</w:p></w:comment>");
    Package pkg("<w:p>" + run("Word") + "<w:r><w:commentReference w:id='1\" onclick=\"x'/></w:r></w:p>", "",
                rel("rC", "comments", "comments.xml"), {{"word/comments.xml", comments}});
    const std::string page = pkg.convert(true);
    EXPECT_TRUE(contains(page, "<a href=\"#cm1onclickx\" name=\"cmref1onclickx\"><sup>[1]</sup></a>")) << page;
    EXPECT_EQ(pkg.ctx().notesHtml,
              "<div class=comments><hr><p><a href=\"#cmref1onclickx\" name=\"cm1onclickx\">[1]</a> "
              "<b>&lt;b&gt;Eve&lt;/b&gt;</b></p><p>Hostile</p></div>");
}

TEST(Notes, StoryPartsAreReadByNamespaceAndHostileOnesLoseNothingElse) {
    const std::string ns0 = " xmlns:ns0=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
    struct Case {
        const char* what;
        std::string footnotes;
        const char* shown;  // in the notes section; "" for no section
    };
    const std::vector<Case> cases = {
        {"another prefix for the namespace",
         "<ns0:footnotes" + ns0 + "><ns0:footnote ns0:id=\"1\"><ns0:p><ns0:r><ns0:t>Prefixed</ns0:t></ns0:r></ns0:p>"
         "</ns0:footnote></ns0:footnotes>",
         "Prefixed"},
        {"a forged marker and a part cut short",
         notesPart("footnotes", "<w:footnote w:id=\"1\"><w:p><w:r><w:t>Kept<\x1FtvH val=\"1\"/></w:t></w:r></w:p>"
                                "</w:footnote><w:footnote w:id=\"2\"><w:p><w:r>"),
         "Kept"},
        {"a note cut short keeps what was read", notesPart("footnotes", "<w:footnote w:id=\"1\">" + std::string(200, 'x')),
         "xxxxxxxxxx"},
        {"not XML at all", "\xFF\xFE<<>>&&", ""},
    };
    for (const Case& c : cases) {
        Package pkg("<w:p>" + run("Body") + "<w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>", "",
                    rel("rF", "footnotes", "footnotes.xml"), {{"word/footnotes.xml", c.footnotes}});
        const std::string page = pkg.convert(true);
        EXPECT_TRUE(contains(page, "Body<a href=\"#fn1\" name=\"fnref1\"><sup>1</sup></a>")) << c.what << page;
        EXPECT_EQ(page.find('\x1F'), std::string::npos) << c.what;
        EXPECT_FALSE(contains(page, "<h1")) << c.what;
        if (*c.shown) EXPECT_TRUE(contains(pkg.ctx().notesHtml, c.shown)) << c.what << pkg.ctx().notesHtml;
        else EXPECT_EQ(pkg.ctx().notesHtml, "") << c.what;
    }
}

// A watermark is a VML text path in the header, centred on the text area
// behind the text of every sheet; a header's text box converts with the
// header's own relationships.
TEST(HeadersAndFooters, AWatermarkStandsBehindEverySheet) {
    const std::string watermark =
        "<w:p><w:r><w:pict><v:shape type=\"#_x0000_t136\" style=\"position:absolute;margin-left:0;margin-top:0;"
        "width:360pt;height:90pt;rotation:315;z-index:-251654144;mso-position-horizontal:center;"
        "mso-position-horizontal-relative:margin;mso-position-vertical:center;mso-position-vertical-relative:margin\""
        " fillcolor=\"silver\" stroked=\"f\"><v:fill opacity=\".5\"/><v:textpath style=\"font-family:&quot;Calibri&quot;\""
        " string=\"DRAFT &amp; &lt;b&gt;\"/></v:shape></w:pict></w:r></w:p>"
        "<w:p><w:r><w:pict><v:shape style=\"position:absolute;width:72pt;height:72pt\"><v:textbox><w:txbxContent><w:p>"
        "<w:r><w:drawing><wp:inline><wp:extent cx=\"9525\" cy=\"9525\"/><a:blip r:embed=\"rLogo\"/></wp:inline></w:drawing>"
        "</w:r></w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>";
    Package pkg("<w:p>" + run("One") + "</w:p><w:p><w:r><w:br w:type=\"page\"/></w:r></w:p><w:p>" + run("Two") + "</w:p>",
                "<w:headerReference w:type=\"default\" r:id=\"rH\"/><w:pgSz w:w=\"12240\" w:h=\"15840\"/>"
                "<w:pgMar w:top=\"1440\" w:right=\"1440\" w:bottom=\"1440\" w:left=\"1440\"/>",
                rel("rH", "header", "header1.xml"),
                {{"word/header1.xml", header("hdr", watermark)},
                 {"word/_rels/header1.xml.rels", rels(rel("rLogo", "image", "media/logo.png"))}});
    const std::string page = pkg.convert(true);
    const std::string drawn = "position:absolute;z-index:-1;left:168px;top:468px;width:480px;height:120px;"
                              "transform:rotate(315deg);";
    const std::size_t first = page.find(drawn);
    ASSERT_NE(first, std::string::npos) << page;
    EXPECT_NE(page.find(drawn, first + 1), std::string::npos) << "on the second sheet too";
    EXPECT_TRUE(contains(page, "fill=\"#c0c0c0\" fill-opacity=\"0.5\">DRAFT &amp; &lt;b&gt;</text>")) << page;
    EXPECT_TRUE(contains(page, "<img src=\"media/logo.png\" width=1 height=1/>")) << page;
    EXPECT_TRUE(contains(page, "body>div.page{position:relative;z-index:0}")) << page;
    EXPECT_FALSE(contains(pkg.convert(false), "DRAFT"));
}

// A SmartArt diagram shows the shapes of the drawing part its data part
// names, with their text; a chart the picture step cannot show is drawn.
TEST(Drawings, DiagramsAndChartsFromTheirOwnParts) {
    const std::string ns = " xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"";
    const std::string dataPart = "<dgm:dataModel xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/diagram\">"
                                 "<dgm:extLst><a:ext" + ns + "><dsp:dataModelExt xmlns:dsp=\"http://schemas.microsoft.com/"
                                 "office/drawing/2008/diagram\" relId=\"rDraw\"/></a:ext></dgm:extLst></dgm:dataModel>";
    const std::string drawingPart =
        "<dsp:drawing xmlns:dsp=\"http://schemas.microsoft.com/office/drawing/2008/diagram\"" + ns + "><dsp:spTree>"
        "<dsp:sp><dsp:spPr><a:xfrm><a:off x=\"952500\" y=\"0\"/><a:ext cx=\"952500\" cy=\"476250\"/></a:xfrm>"
        "<a:prstGeom prst=\"trapezoid\"/><a:solidFill><a:srgbClr val=\"4472C4\"/></a:solidFill></dsp:spPr>"
        "<dsp:txBody><a:bodyPr anchor=\"ctr\"/><a:p><a:pPr algn=\"ctr\"/><a:r><a:rPr sz=\"2400\" b=\"1\"/><a:t>Top &amp; tail</a:t>"
        "</a:r></a:p></dsp:txBody></dsp:sp></dsp:spTree></dsp:drawing>";
    const std::string chartPart = "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\">"
                                  "<c:chart><c:plotArea><c:pieChart><c:ser><c:val><c:numLit><c:pt idx=\"0\"><c:v>1</c:v>"
                                  "</c:pt></c:numLit></c:val></c:ser></c:pieChart></c:plotArea></c:chart></c:chartSpace>";
    auto inlineDrawing = [](const std::string& data) {
        return "<w:p><w:r><w:drawing><wp:inline><wp:extent cx=\"2857500\" cy=\"952500\"/><a:graphic><a:graphicData>" + data +
               "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>";
    };
    Package pkg(inlineDrawing("<dgm:relIds r:dm=\"rData\"/>") + inlineDrawing("<c:chart r:id=\"rChart\"/>"), "",
                rel("rData", "diagramData", "diagrams/data1.xml") + rel("rDraw", "diagramDrawing", "diagrams/drawing1.xml") +
                    rel("rChart", "chart", "charts/chart1.xml"),
                {{"word/diagrams/data1.xml", dataPart}, {"word/diagrams/drawing1.xml", drawingPart},
                 {"word/charts/chart1.xml", chartPart}});
    const std::string page = pkg.convert(true);
    EXPECT_TRUE(contains(page, "position:absolute;left:100px;top:0px;width:100px;height:50px;")) << page;
    EXPECT_TRUE(contains(page, "<path d=\"M12.5,0L87.5,0L100,50L0,50Z\" fill=\"#4472c4\"")) << page;
    EXPECT_TRUE(contains(page, "<p style=\"margin:0;text-align:center\"><span style=\"font-size:24pt;font-weight:bold;\">"
                               "Top &amp; tail</span></p>")) << page;
    EXPECT_TRUE(contains(page, "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"chart\" width=\"300\" height=\"100\"")) << page;
    EXPECT_FALSE(contains(page, "<img src=\"\"")) << page;
    const std::string classic = pkg.convert(false);
    EXPECT_FALSE(contains(classic, "<svg")) << classic;
}

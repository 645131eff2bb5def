// The document model of the settings, the sections and the story parts:
// part texts in, the values Full Fidelity reads out. Story parts are also
// read against the plain scan of their text the story steps used before
// (the elements of a name, through the first end tag of that name), on
// seeded random well-formed parts and hostile ones.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "docx2html/docx2html.h"
#include "docx2html/fidelity/references.h"
#include "docx2html/model/model.h"
#include "package/docxParts.h"

using namespace tavin;

namespace {

const std::string kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const std::string kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

// The values read, as one comparable line.
std::string sectionLine(const model::Section& s) {
    auto n = [](const std::optional<long>& v) { return v ? std::to_string(*v) : std::string("-"); };
    std::string line = n(s.pageWidth) + "x" + n(s.pageHeight) + (s.landscape ? " landscape" : "") + " margins " +
                       n(s.margins.top) + "," + n(s.margins.left) + " cols " + n(s.columns) + " start " + s.start +
                       (s.titlePage ? " title" : "") + " header " +
                       model::Section::firstPageStory(s.headers, s.titlePage) + " footer " +
                       model::Section::firstPageStory(s.footers, s.titlePage) + " fn " +
                       s.footnotes.format.value_or("-") + "/" + s.footnotes.start.value_or("-");
    return line;
}

}  // namespace

TEST(Model, SectionsSettingsAndStoriesFromTheirParts) {
    struct Case {
        const char* what;
        std::string document;
        std::string expected;  // each section's line, then the report's first line
    };
    const std::vector<Case> sections = {
        {"page, margins, columns, references",
         "<w:body><w:p/><w:sectPr><w:headerReference w:type=\"first\" r:id=\"h1\"/><w:headerReference r:id=\"h2\"/>"
         "<w:footerReference w:type=\"default\" r:id=\"f2\"/><w:pgSz w:w=\"11906\" w:h=\"16838\"/>"
         "<w:pgMar w:top=\"1440\" w:left=\"1800\"/><w:cols w:num=\"2\"/><w:titlePg/></w:sectPr></w:body>",
         "11906x16838 margins 1440,1800 cols 2 start  title header h1 footer  fn -/-|"},
        {"two sections, the first in a paragraph, a continuous one, note numbering",
         "<w:p><w:pPr><w:sectPr><w:pgSz w:w=\"100\" w:h=\"50\" w:orient=\"landscape\"/>"
         "<w:footnotePr><w:numFmt w:val=\"lowerRoman\"/><w:numStart w:val=\"3\"/></w:footnotePr></w:sectPr></w:pPr></w:p>"
         "<w:sectPr><w:type w:val=\"continuous\"/><w:titlePg w:val=\"0\"/><w:headerReference r:id=\"d\"/></w:sectPr>",
         "100x50 landscape margins -,- cols - start  header  footer  fn lowerRoman/3|"
         "-x- margins -,- cols - start continuous header d footer  fn -/-|"},
        {"a measure that is no number is unset and reported",
         "<w:sectPr><w:pgSz w:w=\"12pt\" w:h=\"99999999999999999999\"/></w:sectPr><w:sectPrX/>",
         "-x- margins -,- cols - start  header  footer  fn -/-|"
         "word/document.xml: w:pgSz w:w (not a whole number: \"12pt\")"},
        {"empty and unclosed", "<w:sectPr/><w:sectPr><w:pgSz w:w=\"7\"",
         "-x- margins -,- cols - start  header  footer  fn -/-|7x- margins -,- cols - start  header  footer  fn -/-|"},
    };
    for (const Case& c : sections) {
        model::Report report;
        std::uint64_t work = 0;
        std::string got;
        for (const model::Section& s : model::readSections(c.document, report, work)) got += sectionLine(s) + "|";
        if (!report.skipped.empty()) got += report.skipped.front();
        EXPECT_EQ(got, c.expected) << c.what;
        EXPECT_EQ(work, c.document.size()) << c.what;
    }

    const std::vector<Case> settings = {
        {"note numbering and even and odd headers",
         "<w:settings xmlns:w=\"" + kW + "\"><w:evenAndOddHeaders/><w:footnotePr><w:numFmt w:val=\"chicago\"/>"
         "</w:footnotePr><w:endnotePr><w:numStart w:val=\"\"/></w:endnotePr></w:settings>",
         "chicago - - - even"},
        {"another prefix for the same namespace",
         "<s:settings xmlns:s=\"" + kW + "\"><s:endnotePr><s:numFmt s:val=\"upperLetter\"/><s:numStart s:val=\"2\"/>"
         "</s:endnotePr><s:evenAndOddHeaders s:val=\"false\"/></s:settings>",
         "- - upperLetter 2 odd"},
        {"w: bound to another namespace matches nothing",
         "<w:settings xmlns:w=\"urn:other\"><w:footnotePr><w:numFmt w:val=\"chicago\"/></w:footnotePr></w:settings>",
         "- - - - odd"},
    };
    for (const Case& c : settings) {
        model::Report report;
        model::XmlPart part;
        part.parse("word/settings.xml", c.document, report);
        const model::Settings s = model::readSettings(part);
        const std::string got = s.footnotes.format.value_or("-") + " " + s.footnotes.start.value_or("-") + " " +
                                s.endnotes.format.value_or("-") + " " + s.endnotes.start.value_or("-") +
                                (s.evenAndOddHeaders ? " even" : " odd");
        EXPECT_EQ(got, c.expected) << c.what;
    }

    struct StoryCase {
        const char* what;
        const char* type;
        std::string part;
        std::string expected;  // id|type|author|content per item
    };
    const std::vector<StoryCase> stories = {
        {"notes keep their content as stored", "footnotes",
         "<w:footnotes xmlns:w=\"" + kW + "\"><w:footnote w:type=\"separator\" w:id=\"-1\"><w:p/></w:footnote>"
         "<w:footnote w:id='2'><w:p><w:r><w:t xml:space=\"preserve\">a &amp; b &#x41;</w:t></w:r></w:p></w:footnote>"
         "</w:footnotes>",
         "-1|separator||<w:p/>;2|||<w:p><w:r><w:t xml:space=\"preserve\">a &amp; b &#x41;</w:t></w:r></w:p>;"},
        {"another prefix reads as w:, an unknown namespace keeps its own", "comments",
         "<ns0:comments xmlns:ns0=\"" + kW + "\" xmlns:x=\"urn:x\"><ns0:comment ns0:id=\"5\" ns0:author=\"A &lt;B&gt;\">"
         "<ns0:p><x:mark x:v=\"1\"/></ns0:p></ns0:comment></ns0:comments>",
         "5||A &lt;B&gt;|<w:p><x:mark x:v=\"1\"/></w:p>;"},
        {"a header is one item, what its root holds", "header",
         "<w:hdr xmlns:w=\"" + kW + "\"><w:p><w:r><w:t>H</w:t></w:r></w:p></w:hdr>", "|||<w:p><w:r><w:t>H</w:t></w:r></w:p>;"},
        {"a footer part whose root is a header holds nothing", "footer", "<w:hdr xmlns:w=\"" + kW + "\"/>", ""},
        {"a part cut short keeps the notes before the cut", "endnotes",
         "<w:endnotes xmlns:w=\"" + kW + "\"><w:endnote w:id=\"1\"><w:p/></w:endnote><w:endnote w:id=\"2\"><w:p>",
         "1|||<w:p/>;2|||<w:p></w:p>;"},
    };
    for (const StoryCase& c : stories) {
        model::Report report;
        std::string got;
        for (const model::StoryItem& item : model::readStoryItems(c.part, c.type, "part", report))
            got += item.id + "|" + item.type + "|" + item.author + "|" + item.content + ";";
        EXPECT_EQ(got, c.expected) << c.what;
    }
}

// ---------------------------------------------------------------------------

namespace {

// The plain scan the story steps used: each element of that name through the
// first end tag of its name, in the text with "w:" removed inside tags.
std::vector<std::pair<std::string, std::string>> scannedNotes(const std::string& part) {
    ConversionContext ctx;
    std::string t = part;
    normalizeEmptyTags(ctx, t);
    t = removePrefixInTags(t);
    std::vector<std::pair<std::string, std::string>> out;
    const std::string open = "<footnote", close = "</footnote>";
    for (std::size_t p = t.find(open); p != std::string::npos; p = t.find(open, p + 1)) {
        if (t[p + open.size()] != ' ' && t[p + open.size()] != '>') continue;
        const std::size_t gt = t.find('>', p);
        const std::size_t end = t.find(close, gt);
        out.emplace_back(anchorId(tagAttribute(t.substr(p, gt + 1 - p), "id")), t.substr(gt + 1, end - gt - 1));
        p = end;
    }
    return out;
}

// A random well-formed note body over a small alphabet of tags, attributes,
// references and blanks.
std::string randomContent(std::mt19937& rng, int depth) {
    static const std::vector<std::string> kLeaves = {
        "<w:b/>", "<w:b />", "text", " ", "\r\n", "a &amp; b", "&#x41;", "<w:footnoteRef/>",
        "<w:vertAlign w:val=\"superscript\"/>", "<w:t xml:space=\"preserve\"> x </w:t>", "<w:tab/>", "&quot;"};
    static const std::vector<std::string> kElements = {"w:p", "w:r", "w:rPr", "w:pPr", "w:hyperlink"};
    std::string out;
    for (int n = static_cast<int>(rng() % 4); n > 0; --n) {
        if (depth > 3 || rng() % 2 == 0) {
            out += kLeaves[rng() % kLeaves.size()];
        } else {
            const std::string& e = kElements[rng() % kElements.size()];
            out += "<" + e + (rng() % 3 == 0 ? " w:rsidR=\"00A1\"" : "") + ">" + randomContent(rng, depth + 1) + "</" + e + ">";
        }
    }
    return out;
}

}  // namespace

TEST(Model, StoryPartsAgreeWithThePlainScan) {
    std::mt19937 rng(20261209);
    for (int k = 0; k < 2000; ++k) {
        std::string part = "<w:footnotes xmlns:w=\"" + kW + "\" xmlns:r=\"" + kR + "\">";
        for (int n = static_cast<int>(rng() % 4); n > 0; --n) {
            const std::string id = std::to_string(static_cast<int>(rng() % 5) - 1);
            part += "<w:footnote w:id=\"" + id + "\">" + randomContent(rng, 0) + "</w:footnote>";
        }
        part += "</w:footnotes>";
        model::Report report;
        std::vector<std::pair<std::string, std::string>> read;
        ConversionContext ctx;
        for (model::StoryItem& item : model::readStoryItems(part, "footnotes", "part", report)) {
            normalizeEmptyTags(ctx, item.content);
            read.emplace_back(anchorId(item.id), removePrefixInTags(item.content));
        }
        ASSERT_EQ(read, scannedNotes(part)) << part;
        EXPECT_TRUE(report.skipped.empty()) << part;
    }
}

// The work of converting hostile documents grows with their size, not with
// its square: each document is built at n and at 4n items, and the bytes the
// conversion reads (the context's work count, which depends on the text
// alone) may grow at most 4.5 times. A walk that searches from its start for
// every item, or to the end of the text for every unclosed element, reads
// about 16 times as much at 4n and fails here, whatever the machine's speed.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "docx2html/docx2html.h"
#include "hostile/hostile_docs.h"

using namespace tavin;

namespace {

using hostiledocs::documentXml;
using hostiledocs::para;
using hostiledocs::repeat;

const std::string kOneNumbering = "<w:numbering " + hostiledocs::kWordNs +
                                  "><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"decimal\"/>"
                                  "</w:lvl></w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
                                  "</w:numbering>";
const std::string kItem = "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>"
                          "<w:r><w:t>item</w:t></w:r></w:p>";

// A hostile document of n items.
using Builder = std::function<PartTexts(std::size_t n)>;

struct Hostile {
    const char* name;
    std::size_t n;
    Builder build;
    bool fidelity = false;
};

PartTexts body(const std::string& b) { return {documentXml(b), "", "", "", "", ""}; }

const Hostile kDocuments[] = {
    {"tables nested", 250,
     [](std::size_t n) {
         const std::string open = "<w:tbl><w:tblPr><w:tblW w:w=\"5000\" w:type=\"pct\"/></w:tblPr><w:tr><w:tc>"
                                  "<w:tcPr><w:vMerge w:val=\"restart\"/><w:gridSpan w:val=\"2\"/></w:tcPr>";
         return body(repeat(open, n) + para("core") + repeat(para("c") + "</w:tc></w:tr></w:tbl>", n));
     }},
    {"table borders without their end", 5000,
     [](std::size_t n) {
         return body("<w:tbl><w:tblPr>" + repeat("<w:tblBorders>", n) + "</w:tblPr><w:tr><w:tc>" + para("c") +
                     "</w:tc></w:tr></w:tbl>");
     }},
    {"tables of styles of their own", 1000,
     [](std::size_t n) {
         std::string styles = "<w:styles " + hostiledocs::kWordNs + ">", b;
         for (std::size_t i = 0; i < n; ++i) {
             const std::string id = "T" + std::to_string(i);
             styles += "<w:style w:type=\"table\" w:styleId=\"" + id + "\"><w:tblPr><w:tblBorders><w:insideH w:sz=\"" +
                       std::to_string(15 * (i % 3 + 1)) + "\"/></w:tblBorders></w:tblPr></w:style>";
             b += "<w:tbl><w:tblPr><w:tblStyle w:val=\"" + id + "\"/></w:tblPr><w:tr><w:tc>" + para("c") +
                  "</w:tc></w:tr></w:tbl>";
         }
         return PartTexts{documentXml(b), "", styles + "</w:styles>", "", "", ""};
     }},
    {"table styles without their ends", 1000,
     [](std::size_t n) {
         std::string styles = "<w:styles " + hostiledocs::kWordNs + ">", b;
         for (std::size_t i = 0; i < n; ++i) {
             const std::string id = "T" + std::to_string(i);
             styles += "<w:style w:type=\"table\" w:styleId=\"" + id + "\"><w:tblPr><w:tblBorders><w:insideH w:sz=\"" +
                       std::to_string(15 * (i % 3 + 1)) + "\"/></w:tblBorders></w:tblPr>";
             b += "<w:tbl><w:tblPr><w:tblStyle w:val=\"" + id + "\"/></w:tblPr><w:tr><w:tc>" + para("c") +
                  "</w:tc></w:tr></w:tbl>";
         }
         return PartTexts{documentXml(b), "", styles + "</w:style></w:styles>", "", "", ""};
     }},
    {"nested fields", 5000,
     [](std::size_t n) {
         const std::string begin =
             "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText>PAGE</w:instrText></w:r>";
         const std::string end = "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
         return body("<w:p>" + repeat(begin, n) + "<w:r><w:t>inner</w:t></w:r>" + repeat(end, n) + "</w:p>" +
                     para("after"));
     }},
    {"cell properties repeated without end tags", 5000,
     [](std::size_t n) {
         return body("<w:tbl><w:tr><w:tc>" + repeat("<w:tcPr><w:shd w:fill=\"auto\"/>", n) + "</w:tcPr>" +
                     para("cell") + "</w:tc></w:tr></w:tbl>");
     }},
    {"cell properties of distinct names without end tags", 5000,
     [](std::size_t n) {
         // Names of one length, so the text grows as the count does.
         std::string d = "<w:tbl><w:tr><w:tc><w:tcPr>";
         for (std::size_t i = 0; i < n; ++i) d += "<x" + std::to_string(1000000 + i) + ">";
         return body(d + "</w:tcPr>" + para("cell") + "</w:tc></w:tr></w:tbl>");
     }},
    {"run properties without their end", 5000,
     [](std::size_t n) {
         return body("<w:p>" + repeat("<w:r><w:rPr><w:b/><w:i/></w:r>x", n) + "</w:rPr></w:p>" + para("after"));
     }},
    {"paragraphs without end tags", 5000,
     [](std::size_t n) { return body(repeat("<w:p><w:r><w:t>open</w:t></w:r>", n) + para("last")); }},
    {"styles based on each other", 2000,
     [](std::size_t n) {
         std::string styles = "<w:styles " + hostiledocs::kWordNs + ">", b;
         for (std::size_t i = 0; i < n; ++i) {
             styles += "<w:style w:type=\"paragraph\" w:styleId=\"S" + std::to_string(i) + "\"><w:basedOn w:val=\"S" +
                       std::to_string(i == 0 ? 0 : i - 1) + "\"/><w:rPr><w:sz w:val=\"30\"/></w:rPr></w:style>";
             if (i % 5 == 0) {
                 b += "<w:p><w:pPr><w:pStyle w:val=\"S" + std::to_string(n - 1 - i) +
                      "\"/></w:pPr><w:r><w:t>p</w:t></w:r></w:p>";
             }
         }
         return PartTexts{documentXml(b), "", styles + "</w:styles>", "", "", ""};
     }},
    {"numbering of many levels", 5000,
     [](std::size_t n) {
         std::string levels;
         for (std::size_t i = 0; i < n; ++i) {
             levels += "<w:lvl w:ilvl=\"" + std::to_string(i) +
                       "\"><w:start w:val=\"1\"/><w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/></w:lvl>";
         }
         std::string b;
         for (std::size_t lvl : {std::size_t{0}, std::size_t{1}, n - 1, std::size_t{2}, std::size_t{0}}) {
             b += "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"" + std::to_string(lvl) +
                  "\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p>";
         }
         return PartTexts{documentXml(b), "", "",
                          "<w:numbering " + hostiledocs::kWordNs + "><w:abstractNum w:abstractNumId=\"0\">" + levels +
                              "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>",
                          "", ""};
     }},
    {"lists of their own numbering", 1000,
     [](std::size_t n) {
         std::string abstracts, nums, b;
         for (std::size_t i = 0; i < n; ++i) {
             const std::string id = std::to_string(i);
             abstracts += "<w:abstractNum w:abstractNumId=\"" + id + "\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"" +
                          (i % 2 ? "decimal" : "bullet") + "\"/></w:lvl></w:abstractNum>";
             nums += "<w:num w:numId=\"" + id + "\"><w:abstractNumId w:val=\"" + id + "\"/></w:num>";
             b += "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + id +
                  "\"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p>" + para("between");
         }
         return PartTexts{documentXml(b), "", "", "<w:numbering " + hostiledocs::kWordNs + ">" + abstracts + nums + "</w:numbering>", "", ""};
     }},
    {"list markers without paragraph starts", 5000,
     [](std::size_t n) {
         const std::string marker = "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:p>";
         return PartTexts{documentXml("<w:p>" + repeat(marker, n) + para("after")), "", "", kOneNumbering, "", ""};
     }},
    {"item start tags without end tags", 5000,
     [](std::size_t n) { return body(kItem + repeat("<w:li>x", n) + "</w:ul>" + para("after")); }},
    {"list start tags without end tags", 5000,
     [](std::size_t n) { return body(kItem + repeat("<w:OL>x", n) + "</w:ul>" + para("after")); }},
    {"identical one-item lists", 2000,
     [](std::size_t n) {
         return PartTexts{documentXml(repeat(kItem + para("between"), n)), "", "", kOneNumbering, "", ""};
     }},
    {"links and pictures of many relationships", 2000,
     [](std::size_t n) {
         std::string rels = "<Relationships>", b;
         for (std::size_t i = 0; i < n; ++i) {
             const std::string id = "rId" + std::to_string(i);
             rels += "<Relationship Id=\"" + id + "\" Target=\"t" + std::to_string(i) + "\"/>";
             b += "<w:p><w:hyperlink r:id=\"" + id + "\"><w:r><w:t>l</w:t></w:r></w:hyperlink><w:r><w:drawing>"
                  "<a:blip r:embed=\"" + id + "\"/></w:drawing></w:r></w:p>";
         }
         return PartTexts{documentXml(b), rels + "</Relationships>", "", "", "", ""};
     }},
    {"note references outside runs", 5000,
     [](std::size_t n) { return body("<w:p>" + repeat("<w:footnoteReference w:id=\"1\"/>x", n) + "</w:p>"); }, true},
    {"paragraphs of a style with contextual spacing", 2000,
     [](std::size_t n) {
         const std::string styles = "<w:styles " + hostiledocs::kWordNs +
                                    "><w:style w:type=\"paragraph\" w:styleId=\"C\"><w:pPr><w:contextualSpacing/>"
                                    "<w:jc w:val=\"center\"/></w:pPr><w:rPr><w:b/></w:rPr></w:style></w:styles>";
         return PartTexts{documentXml(repeat("<w:p><w:pPr><w:pStyle w:val=\"C\"/></w:pPr><w:r><w:t>p</w:t></w:r></w:p>", n)),
                          "", styles, "", "", ""};
     },
     true},
};

// The bytes read converting parts, and whether the conversion gave a page.
std::uint64_t workOf(PartTexts parts, bool fidelity, std::string& error) {
    ConversionContext ctx;
    ctx.docTitle = "work";
    ctx.fullFidelity = fidelity;
    try {
        loadPartsFromText(ctx, std::move(parts));
        convert(ctx);
    } catch (const Error& e) {
        error = e.what();
    }
    return ctx.workBytes;
}

}  // namespace

TEST(LinearWork, FourTimesTheItemsAtMostFourAndAHalfTimesTheWork) {
    for (const Hostile& d : kDocuments) {
        SCOPED_TRACE(d.name);
        const PartTexts small = d.build(d.n);
        const PartTexts large = d.build(4 * d.n);
        const std::size_t smallBytes = small.document.size() + small.relationships.size() + small.styles.size() +
                                       small.numbering.size();
        std::string smallError, largeError;
        const std::uint64_t w1 = workOf(small, d.fidelity, smallError);
        const std::uint64_t w4 = workOf(large, d.fidelity, largeError);
        ASSERT_EQ(smallError, "");
        ASSERT_EQ(largeError, "");
        EXPECT_GT(w1, smallBytes);  // every part is read at least once
        EXPECT_LE(static_cast<double>(w4), 4.5 * static_cast<double>(w1))
            << "work " << w1 << " at " << d.n << " items, " << w4 << " at " << 4 * d.n << " items ("
            << static_cast<double>(w4) / static_cast<double>(w1) << " times)";
    }
}

// The indexed and memoised lookups of the conversion against the plain scans
// they replaced: seeded random texts over small alphabets of the relevant
// tags and attributes (so that ids collide, prefixes overlap, tags nest and
// go unclosed), and hand-made hostile texts, through both; they must agree.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "docx2html/docxstyle.h"
#include "docx2html/fidelity/changes.h"
#include "docx2html/links.h"
#include "docx2html/links_internal.h"
#include "docx2html/lists.h"
#include "docx2html/lists_internal.h"
#include "docx2html/tables.h"
#include "docx2html/tables_internal.h"
#include "docx2html/xmlscan.h"

using namespace tavin;

namespace {

// Texts made of pieces drawn from an alphabet, with a fixed seed.
class Soup {
public:
    explicit Soup(unsigned seed) : rng_(seed) {}

    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    const std::string& pick(const std::vector<std::string>& from) { return from[below(from.size())]; }
    std::string text(const std::vector<std::string>& alphabet, std::size_t maxPieces) {
        std::string out;
        for (std::size_t n = below(maxPieces + 1); n > 0; --n) out += pick(alphabet);
        return out;
    }

private:
    std::mt19937 rng_;
};

// The outcome of a step as one comparable text: its result or its message.
template <typename F>
std::string outcome(F&& f) {
    try {
        return f();
    } catch (const Error& e) {
        return std::string("error: ") + e.what();
    }
}

std::string joined(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += s + "\x1f";
    return out;
}

constexpr int kCases = 3000;

}  // namespace

// ---------------------------------------------------------------------------
// List kinds: the numbering part scanned once against textBetween from its start

namespace {

std::vector<std::string> plainListTags(const ConversionContext& ctx, const std::vector<std::string>& texts) {
    std::vector<std::string> out;
    for (const auto& t : texts) out.push_back(listTagFor(ctx, t));
    return out;
}

void expectSameListTags(const std::string& numbering, const std::vector<std::string>& texts) {
    ConversionContext ctx;
    ctx.numberingText = numbering;
    EXPECT_EQ(lists::listTagsFor(ctx, texts), plainListTags(ctx, texts)) << numbering;
}

}  // namespace

TEST(FastPathListTags, AgreeOnRandomNumberingParts) {
    const std::vector<std::string> ids = {"1", "12", "2", "", "1\"", "21"};
    Soup soup(21001);
    for (int c = 0; c < kCases; ++c) {
        std::vector<std::string> alphabet = {"</num>", "</abstractNum>", "<numFmt val=\"decimal\"/>",
                                             "<numFmt val=\"bullet\"/>", "<numFmt val=\"", "decimal", "\"", "x"};
        for (int k = 0; k < 3; ++k) {
            const std::string& id = soup.pick(ids);
            alphabet.push_back("<num numId=\"" + id + "\">");
            alphabet.push_back("<abstractNum abstractNumId=\"" + id + "\">");
            alphabet.push_back("<abstractNumId val=\"" + id + "\"/>");
        }
        const std::string numbering = soup.text(alphabet, 24);
        std::vector<std::string> texts;
        for (int q = 0; q < 6; ++q) {
            texts.push_back(soup.below(8) == 0 ? "<p>no marker</p>"
                                               : "<li><numId val=\"" + soup.pick(ids) + "\"/>" + soup.pick(ids));
        }
        expectSameListTags(numbering, texts);
    }
}

TEST(FastPathListTags, AgreeOnHostileNumberingParts) {
    const std::vector<std::string> texts = {"<numId val=\"1\"/>", "<numId val=\"12\"/>", "<numId val=\"\"/>",
                                            "<numId val=\"1", "", "<numId val=\"1\"/><numId val=\"2\"/>"};
    for (const std::string& numbering : {
             std::string(),
             // Duplicate ids: the first one counts.
             std::string("<num numId=\"1\"><abstractNumId val=\"0\"/></num><num numId=\"1\"><abstractNumId val=\"9\"/>"
                         "</num><abstractNum abstractNumId=\"0\"><numFmt val=\"decimal\"/></abstractNum>"),
             // An id that is the prefix of another, in both orders.
             std::string("<num numId=\"12\"><abstractNumId val=\"3\"/></num><num numId=\"1\"><abstractNumId val=\"4\"/>"
                         "</num><abstractNum abstractNumId=\"3\"><numFmt val=\"decimal\"/></abstractNum>"),
             // Unclosed elements and values.
             std::string("<num numId=\"1\"><abstractNumId val=\"0\"/><abstractNum abstractNumId=\"0\"><numFmt val=\""
                         "decimal"),
             std::string("<num numId=\"1\"><abstractNumId val=\"0</num><abstractNum abstractNumId=\"0\"><numFmt val="
                         "\"decimal\"/></abstractNum>"),
             // The format lies beyond its abstract numbering's end.
             std::string("<num numId=\"1\"><abstractNumId val=\"0\"/></num><abstractNum abstractNumId=\"0\"></abstractNum>"
                         "<numFmt val=\"decimal\"/>"),
             // Nested deeper than any producer writes.
             std::string(200, '<') + "<num numId=\"1\"><num numId=\"1\"><abstractNumId val=\"0\"/></num></num>"
                 "<abstractNum abstractNumId=\"0\"><abstractNum abstractNumId=\"0\"><numFmt val=\"decimal\"/>"
                 "</abstractNum></abstractNum>",
         }) {
        expectSameListTags(numbering, texts);
    }
}

// ---------------------------------------------------------------------------
// List items and blocks: the one-pass scans against the patterns themselves

TEST(FastPathListScans, ItemsEndLosesNoGroupingMatch) {
    const std::vector<std::string> alphabet = {"<li>", "</li>", "<LI>", "</Li>", " ", "\n", "\v", "x", "<", "/li>", "<li",
                                               "</li"};
    ConversionContext ctx;
    Soup soup(21002);
    for (int c = 0; c < kCases; ++c) {
        const std::string t = soup.text(alphabet, 30);
        std::uint64_t work = 0;
        const std::size_t end = lists::itemsEnd(t, work);
        ASSERT_LE(end, t.size());
        EXPECT_EQ(lists::itemGroupsByPattern(ctx.sharedRegex, t.substr(0, end)),
                  lists::itemGroupsByPattern(ctx.sharedRegex, t))
            << t;
    }
}

TEST(FastPathListScans, ListBlocksAreThePatternMatches) {
    const std::vector<std::string> alphabet = {"<ul>", "</ul>", "<ol>", "</ol>", "<UL>", "</Ol>", "<oL>", "</uL>", "<u",
                                               "l>", "<", "/", "x", "<li>", "\n", "<ul", "</o"};
    ConversionContext ctx;
    Soup soup(21003);
    for (int c = 0; c < kCases; ++c) {
        const std::string t = soup.text(alphabet, 30);
        std::uint64_t work = 0;
        EXPECT_EQ(lists::listBlocks(t, work), lists::listBlocksByPattern(ctx.sharedRegex, t)) << t;
    }
}

TEST(FastPathListScans, AgreeOnHostileTexts) {
    ConversionContext ctx;
    for (const std::string& t : {
             std::string(), std::string("<ul>"), std::string("</ul>"), std::string("<ul></ul>"),
             std::string("<ul>x</ul>"), std::string("<ul><ol>x</ul></ol>"), std::string("<ul><ul><ul>x</ul></ul></ul>"),
             std::string("<li>"), std::string("</li>"), std::string("<li></li>"), std::string("<li>a</li> \n<li>b</li>\t"),
             std::string("<li>a</LI>  "), std::string("<ul>") + std::string(300, '<') + "</UL>",
             [] {
                 std::string s;
                 for (int i = 0; i < 500; ++i) s += "<ul><li>";
                 for (int i = 0; i < 500; ++i) s += "</li></ul>";
                 return s;
             }(),
         }) {
        std::uint64_t work = 0;
        EXPECT_EQ(lists::listBlocks(t, work), lists::listBlocksByPattern(ctx.sharedRegex, t)) << t;
        const std::size_t end = lists::itemsEnd(t, work);
        EXPECT_EQ(lists::itemGroupsByPattern(ctx.sharedRegex, t.substr(0, end)),
                  lists::itemGroupsByPattern(ctx.sharedRegex, t))
            << t;
    }
}

// ---------------------------------------------------------------------------
// Style ids: the id map against the walk over the table

namespace {

// loadStyles, with every base style found by the plain walk.
std::vector<styleEntry> plainStyleTable(ConversionContext& ctx) {
    ctx.sharedRegex.setPattern("<style .+?</style>");
    const std::vector<std::string> matches = ctx.sharedRegex.AllMatches(ctx.stylesText);
    ctx.styleTable.assign(matches.size(), styleEntry{});
    for (std::size_t i = 0; i < matches.size(); ++i) readStyle(ctx, matches[i], static_cast<int>(i));
    return ctx.styleTable;
}

std::string describe(const std::vector<styleEntry>& table) {
    std::string out;
    for (const auto& e : table) out += e.id + "=" + joined({e.props.begin(), e.props.end()}) + "\n";
    return out;
}

}  // namespace

TEST(FastPathStyleIds, FindAgreesWithTheWalk) {
    const std::vector<std::string> ids = {"", "A", "B", "AB", "a", "A "};
    Soup soup(21004);
    for (int c = 0; c < kCases; ++c) {
        ConversionContext ctx;
        for (std::size_t n = soup.below(12); n > 0; --n) ctx.styleTable.push_back({soup.pick(ids), {}});
        const StyleIds fast(ctx.styleTable);
        for (const std::string& id : ids) {
            for (int limit = -1; limit <= static_cast<int>(ctx.styleTable.size()) + 1; ++limit) {
                EXPECT_EQ(fast.find(id, limit), findStyle(ctx, id, limit)) << "id '" << id << "' limit " << limit;
            }
        }
    }
}

TEST(FastPathStyleIds, StyleTablesAgreeWithTheWalk) {
    const std::vector<std::string> ids = {"A", "B", "C", ""};
    Soup soup(21005);
    for (int c = 0; c < kCases / 3; ++c) {
        std::string styles;
        for (std::size_t n = soup.below(10); n > 0; --n) {
            styles += "<style type=\"paragraph\" styleId=\"" + soup.pick(ids) + "\">";
            if (soup.below(3)) styles += "<basedOn val=\"" + soup.pick(ids) + "\"/>";
            if (soup.below(2)) styles += "<rPr><sz val=\"" + std::to_string(20 + 2 * soup.below(5)) + "\"/></rPr>";
            if (soup.below(2)) styles += "<rFonts ascii=\"F" + std::to_string(soup.below(3)) + "\"/>";
            styles += "</style>";
        }
        ConversionContext fast, plain;
        fast.stylesText = plain.stylesText = styles;
        loadStyles(fast);
        EXPECT_EQ(describe(fast.styleTable), describe(plainStyleTable(plain))) << styles;
    }
}

// ---------------------------------------------------------------------------
// Table styles: the indexed styles part against the style text found from its start

namespace {

void expectSameTableStyles(const std::string& styles, const std::vector<std::string>& names) {
    ConversionContext ctx;
    ctx.stylesText = styles;
    // Both stop at the first style that raises an error, with its message.
    const std::string fast = outcome([&] { return joined(tables::tableStyleAttrsFor(ctx, names)); });
    const std::string plain = outcome([&] {
        std::vector<std::string> out;
        for (const auto& n : names) out.push_back(tables::tableStyleAttrsByScan(ctx, n));
        return joined(out);
    });
    EXPECT_EQ(fast, plain) << styles;
}

}  // namespace

TEST(FastPathTableStyles, AgreeOnRandomStylesParts) {
    const std::vector<std::string> names = {"A", "AB", "B", "", "A\"", "b"};
    Soup soup(21006);
    for (int c = 0; c < kCases; ++c) {
        std::vector<std::string> alphabet = {
            "</style>", "<insideH sz=\"8\"/>", "<insideH sz=\"16\">", "<insideH", "<top val=\"single\" sz=\"4\" color=\"FF0000\"/>",
            "<left val=\"double\" sz=\"4\" color=\"00FF00\"/>", "<right val=\"nil\"/>", "<bottom val=\"dotted\" sz=\"12\" color=\"0000FF\"/>",
            "<top", "<bottom", "sz=\"24\"", "color=\"123456\"", "/>", ">", "\"", "<tblBorders>"};
        for (int k = 0; k < 3; ++k) {
            const std::string& name = soup.pick(names);
            alphabet.push_back("<style type=\"table\" styleId=\"" + name + "\">");
            alphabet.push_back("styleId=\"" + name + "\"");
        }
        std::vector<std::string> asked;
        for (int q = 0; q < 5; ++q) asked.push_back(soup.pick(names));
        expectSameTableStyles(soup.text(alphabet, 20), asked);
    }
}

TEST(FastPathTableStyles, AgreeOnHostileStylesParts) {
    const std::vector<std::string> names = {"T", "T1", "", "T\"", "U"};
    const std::string borders = "<top val=\"single\" sz=\"8\" color=\"000000\"/><insideH sz=\"4\"/>";
    for (const std::string& styles : {
             std::string(),
             // Duplicate ids: the first one counts.
             "<style styleId=\"T\">" + borders + "</style><style styleId=\"T\"><insideH sz=\"99\"/></style>",
             // No end tag: the text runs on to a later style's end.
             "<style styleId=\"T\"><style styleId=\"U\">" + borders + "</style>",
             "<style styleId=\"T\">" + borders,
             // A border element cut off by the style's end.
             std::string("<style styleId=\"T\"><top val=\"single\" sz=\"8\" color=\"0</style>\"/>"),
             std::string("<style styleId=\"T\"><insideH sz=\"4\"</style>>"),
             // Ids that are prefixes of each other, and an id not followed by ">".
             "<style styleId=\"T1\">" + borders + "</style><style styleId=\"T\" x=\"\">" + borders +
                 "</style><style styleId=\"T\">" + borders + "</style>",
             // A measure that is not one: both raise the same error.
             std::string("<style styleId=\"T\"><insideH sz=\"wide\"/></style>"),
             // Nesting deeper than any producer writes.
             std::string(300, '<') + "<style styleId=\"T\">" + std::string(300, '>') + borders + "</style>",
         }) {
        expectSameTableStyles(styles, names);
    }
}

// ---------------------------------------------------------------------------
// End tags: the memo against a plain search, and nextElement walks with and without it

namespace {

struct Step {
    std::string element;
    Pos pos;
    bool operator==(const Step&) const = default;
};

std::vector<Step> walk(std::string_view t, EndTagMemo* memo) {
    std::vector<Step> steps;
    Pos pos = 1;
    for (int guard = 0; guard < 100000; ++guard) {
        std::string el = nextElement(t, pos, memo);
        if (el.empty()) break;
        steps.push_back({std::move(el), pos});
    }
    return steps;
}

std::string describe(const std::vector<Step>& steps) {
    std::string out;
    for (const auto& s : steps) out += std::to_string(s.pos) + ":" + s.element + "\n";
    return out;
}

}  // namespace

TEST(FastPathEndTags, MemoFindsWhatTheSearchFinds) {
    // Many lookups per text, so the memo passes from plain searches to its
    // index on each.
    const std::vector<std::string> alphabet = {"</a>", "</b>", "</ab>", "</ba>", "<a>", "a", "</", ">", "</a", "x", "</A>"};
    const std::vector<std::string> tags = {"</a>", "</b>", "</ab>", "</ba>", "</A>", "</x>", "</>"};
    Soup soup(21007);
    for (int c = 0; c < kCases / 10; ++c) {
        const std::string t = soup.text(alphabet, 60);
        EndTagMemo memo;
        for (int q = 0; q < 400; ++q) {
            const std::string& tag = soup.pick(tags);
            const std::size_t from = soup.below(t.size() + 2);
            ASSERT_EQ(memo.find(t, tag, from), t.find(tag, from)) << t << " " << tag << " from " << from;
        }
    }
}

TEST(FastPathEndTags, WalksAgreeWithAndWithoutTheMemo) {
    const std::vector<std::string> alphabet = {"<a>", "</a>", "<b>", "</b>", "<a x=\"1\">", "<b/>", "<a/>", "text", "<",
                                               ">", "</", "<ab>", "</ab>"};
    Soup soup(21008);
    for (int c = 0; c < kCases; ++c) {
        const std::string t = soup.text(alphabet, 40);
        EndTagMemo memo;
        EXPECT_EQ(describe(walk(t, &memo)), describe(walk(t, nullptr))) << t;
    }
}

TEST(FastPathEndTags, WalksAgreeOnHostileTexts) {
    std::string distinct, repeated, nested;
    for (int i = 0; i < 3000; ++i) distinct += "<x" + std::to_string(i) + ">";
    for (int i = 0; i < 3000; ++i) repeated += "<shd fill=\"auto\"/><a>";
    for (int i = 0; i < 1000; ++i) nested += "<a><b>";
    nested += "core";
    for (int i = 0; i < 999; ++i) nested += "</b></a>";
    for (const std::string& t : {std::string(), std::string("<"), std::string("<a"), std::string("<a>"),
                                 std::string("</a>"), std::string("<>"), std::string("</>"), std::string("<a></a"),
                                 distinct, repeated, nested, distinct + "</x2999></x0>"}) {
        EndTagMemo memo;
        EXPECT_EQ(describe(walk(t, &memo)), describe(walk(t, nullptr))) << t.substr(0, 80);
    }
}

// ---------------------------------------------------------------------------
// Relationships: the index against the search of the relationships text

namespace {

void expectSameTargets(const std::string& rels, const std::vector<std::string>& ids) {
    ConversionContext ctx;
    ctx.relsText = rels;
    std::vector<std::string> plain;
    for (const auto& id : ids) plain.push_back(relTarget(ctx, id));
    EXPECT_EQ(links::relTargetsFor(rels, ids), plain) << rels;
}

}  // namespace

TEST(FastPathRelationships, AgreeOnRandomRelationshipsParts) {
    const std::vector<std::string> ids = {"rId1", "rId2", "rId12", "rId", "", "RID1"};
    Soup soup(21009);
    for (int c = 0; c < kCases; ++c) {
        std::vector<std::string> alphabet = {"<Relationships>", "</Relationships>", "<Relationship Target=\"none\"/>",
                                             "<Relationship", ">", "\"", " "};
        for (int k = 0; k < 4; ++k) {
            const std::string& id = soup.pick(ids);
            const std::string target = "t" + std::to_string(soup.below(9));
            alphabet.push_back("<Relationship Id=\"" + id + "\" Target=\"" + target + "\"/>");
            alphabet.push_back("<Relationship Type=\"x\" Target=\"" + target + "\" Id=\"" + id + "\"/>");
            alphabet.push_back("<Relationship\tId='" + id + "' Target=\"" + target + "\">");
            alphabet.push_back("<Relationship xId=\"" + id + "\" Target=\"" + target + "\"/>");
        }
        std::vector<std::string> asked;
        for (int q = 0; q < 6; ++q) asked.push_back(soup.pick(ids));
        expectSameTargets(soup.text(alphabet, 14), asked);
    }
}

TEST(FastPathRelationships, AgreeOnHostileRelationshipsParts) {
    const std::vector<std::string> ids = {"rId1", "rId2", "", "rId"};
    for (const std::string& rels : {
             std::string(),
             std::string("<Relationship Id=\"rId1\" Target=\"first\"/><Relationship Id=\"rId1\" Target=\"second\"/>"),
             std::string("<Relationship Id=\"rId1\" Target=\"open"),
             std::string("<Relationship Id=\"rId1"),
             std::string("<Relationship Target=\"no id\"/><Relationship Id=\"\" Target=\"empty id\"/>"),
             std::string("<Relationship Id= \"rId1\" Target=\"spaced\"/><Relationship Id=rId2 Target=\"bare\"/>"),
             std::string("<Relationships><Relationship Id=\"rId2\" Target=\"a\"><Relationship Id=\"rId1\" Target=\"b\">"
                         "</Relationship></Relationship></Relationships>"),
         }) {
        expectSameTargets(rels, ids);
    }
    // A link without an id is not a link to the first relationship without one.
    ConversionContext ctx;
    ctx.relsText = "<Relationship Target=\"no id\"/><Relationship Id=\"\" Target=\"empty id\"/>";
    EXPECT_EQ(relTarget(ctx, ""), "empty id");
    ctx.relsText = "<Relationship Target=\"no id\"/><Relationship Id=rId1 Target=\"bare\"/>";
    EXPECT_EQ(relTarget(ctx, ""), "");
}

// ---------------------------------------------------------------------------
// Properties read in one pass, and the quick test for tracked changes,
// against the searches they replaced

TEST(FastPathFirstTags, AgreeWithChildTagOnRandomAndHostileTexts) {
    const std::vector<std::string> names = {"numId", "num", "ilvl", "jc", "ind", "tabs", "spacing", "bidi", "rPr", "b"};
    const std::vector<std::string> alphabet = {
        "<numId w:val=\"3\"/>", "<num w:val=\"1\">", "<numIdx/>", "<ilvl val=\"2\"/>", "<jc val=\"center\"/>",
        "<jc\tval='right'>", "<ind left=\"720\"/>", "<tabs>", "</tabs>", "<spacing line=\"360\"/>", "<bidi/>",
        "<rPr><b/></rPr>", "<b val=\"0\"/>", "<b", "<", ">", "/", "\"", " ", "x", "<<jc/>", "<spacing\n", "<jc/", "\r"};
    Soup soup(32101);
    std::vector<std::string> texts = {"", "<", "<jc", "<jc ", "<jc x=\"1\"", "<jc<ind/>", "<a<jc val=\"1\"/>"};
    for (int c = 0; c < kCases; ++c) texts.push_back(soup.text(alphabet, 12));
    for (const std::string& t : texts) {
        const FirstTags tags(t);
        for (const std::string& n : names) {
            EXPECT_EQ(tags.tag(n), childTag(t, n)) << t << " / " << n;
            EXPECT_EQ(tags.value(n), childValue(t, n)) << t << " / " << n;
        }
    }
}

TEST(FastPathTrackedChanges, TheQuickTestAgreesWithTheSearches) {
    const auto plain = [](std::string_view t) {
        for (std::string_view s : {"<w:ins ", "<w:del ", "<w:ins>", "<w:del>", "<w:moveTo", "<w:moveFrom", "PrChange",
                                   "<w:delInstrText", "<w:tblGridChange", "<w:numberingChange"})
            if (t.find(s) != std::string_view::npos) return true;
        return false;
    };
    const std::vector<std::string> alphabet = {"<w:ins", "<w:del", "<w:move", "To", "From", " ", ">", "/", "<w:r>",
                                               "Pr", "Change", "C", "<w:tblGrid", "<w:numbering", "InstrText", "<w:",
                                               "<", "w", ":", "x", "PrC", "hange"};
    Soup soup(32102);
    std::vector<std::string> texts = {"", "<", "<w:", "<w:ins", "<w:ins ", "PrChange", "rChange", "<w:moveT"};
    for (int c = 0; c < kCases; ++c) texts.push_back(soup.text(alphabet, 10));
    for (const std::string& t : texts) EXPECT_EQ(holdsChanges(t), plain(t)) << t;
}

// ---------------------------------------------------------------------------
// Rows and prefixes: the one-pass walks against the pattern and the scan by
// tag they replaced

namespace {

// The scan by tag: to each ">", then from ":" to ":" inside the tag.
std::string prefixesByTag(std::string_view text) {
    std::string out;
    std::size_t p = 0;
    while (p < text.size()) {
        const std::size_t lt = text.find('<', p);
        if (lt == std::string_view::npos) break;
        out.append(text.substr(p, lt - p));
        std::size_t gt = text.find('>', lt);
        if (gt == std::string_view::npos) gt = text.size();
        std::size_t q = lt;
        for (std::size_t colon; (colon = text.find(':', q)) < gt; q = colon + 1)
            out.append(text.substr(q, (colon > q && text[colon - 1] == 'w' ? colon - 1 : colon + 1) - q));
        out.append(text.substr(q, gt - q));
        p = gt;
    }
    return out.append(text.substr(p));
}

}  // namespace

TEST(FastPathOnePass, AgreeOnRandomTexts) {
    const std::vector<std::string> alphabet = {"<tr>", "</tr>", "<TR>", "</tR>", "<tr", "</tr", "x", "<", ">", ":",
                                               "w:", "ww:", "<w:p", " w:val=\"", "::", "w", "<tc>"};
    Soup soup(21034);
    TWSRegEx rx;
    rx.setOptions(preCaseLess | preSingleLine);
    rx.setPattern("<tr>.+?</tr>");
    for (int c = 0; c < kCases; ++c) {
        const std::string t = soup.text(alphabet, 80);
        EXPECT_EQ(removePrefixInTags(t), prefixesByTag(t)) << t;
        const std::vector<std::string_view> rows = tables::tableRows(t);
        EXPECT_EQ(joined(std::vector<std::string>(rows.begin(), rows.end())), joined(rx.AllMatches(t))) << t;
    }
}

// Tables: tbl, tr and tc markup to HTML tables with widths, borders,
// shading, row heights and row and column spans.
//
// Every pass walks the working text once from left to right and rebuilds it
// into one new string: unchanged stretches are copied, new texts inserted.
// Where a pass needs the start tag that an element belongs to (the "<tbl>"
// of a tblPr, the "<tc>" of a vMerge), a cursor that moves forward through
// the start tags gives the last one at or before the element, so no pass
// ever searches back over text it has already walked.
#include "docx2html/tables.h"
#include "docx2html/tables_internal.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

#include "docx2html/docxstyle.h"
#include "docx2html/markup.h"

namespace tavin {

namespace {

constexpr std::size_t npos = std::string_view::npos;

// "<tc" that opens a cell: followed by a blank or ">" (not "<tcPr", "<tcW", ...).
bool opensCell(std::string_view t, std::size_t at) {
    return at + 3 < t.size() && (t[at + 3] == ' ' || t[at + 3] == '>');
}

bool contains(std::string_view t, std::string_view s) { return findText(t, s) != npos; }

// The width attribute and the other attributes of one table's properties.
struct TableProps {
    std::string width;
    std::string attrs;
};

// Table styles repeat from table to table; their attributes are worked out
// once per style name. A style's text is found as styleXml finds it, from
// the positions of every style id and style end in the styles part (read
// once), so thousands of tables with styles of their own do not each search
// the part from its start. The attributes depend only on the first border
// elements in that text, which are found by position too and read on their
// own (style texts without an end of their own run on to a later one, so
// reading each whole would read the rest of the part for every style).
class TableStyleCache {
public:
    explicit TableStyleCache(const ConversionContext& ctx) : ctx_(ctx) {}
    const std::string& attrsFor(const std::string& name) {
        auto it = cache_.find(name);
        if (it == cache_.end()) it = cache_.emplace(name, attrsOf(name)).first;
        return it->second;
    }

private:
    static constexpr std::string_view kId = "styleId=\"";
    static constexpr std::string_view kEnd = "</style>";
    static constexpr std::string_view kMarks[5] = {"<insideH", "<top", "<left", "<right", "<bottom"};

    void index() {
        const std::string_view t = ctx_.stylesText;
        for (std::size_t p = findText(t, kId); p != npos; p = findText(t, kId, p + 1)) {
            const std::size_t v = p + kId.size();
            const std::size_t q = t.find('"', v);
            // Only an id followed by its start tag's end can be looked for.
            if (q != npos && q + 1 < t.size() && t[q + 1] == '>') firstOf_.emplace(t.substr(v, q - v), p);
        }
        for (std::size_t p = findText(t, kEnd); p != npos; p = findText(t, kEnd, p + 1)) ends_.push_back(p);
        for (std::size_t k = 0; k < borderMarks_.size(); ++k) {
            for (std::size_t p = findText(t, kMarks[k]); p != npos; p = findText(t, kMarks[k], p + 1))
                borderMarks_[k].push_back(p);
        }
        for (std::size_t p = t.find('>'); p != npos; p = t.find('>', p + 1)) gts_.push_back(p);
        for (std::size_t p = findText(t, "/>"); p != npos; p = findText(t, "/>", p + 1)) closes_.push_back(p);
        // Nine scans of the part, and the ids read to their quotes.
        ctx_.workBytes += 9 * t.size();
        indexed_ = true;
    }

    // tableStyleAttrs(ctx, styleXml(ctx, name)).
    std::string attrsOf(const std::string& name) {
        if (name.find('"') != std::string::npos) {
            ctx_.workBytes += ctx_.stylesText.size();
            return tableStyleAttrs(ctx_, styleXml(ctx_, name));
        }
        if (!indexed_) index();
        const auto first = firstOf_.find(name);
        if (first == firstOf_.end()) return tableStyleAttrs(ctx_, "");
        const std::size_t a = first->second + kId.size() + name.size() + 2;
        const auto e = std::lower_bound(ends_.begin(), ends_.end(), a);
        if (e == ends_.end() || *e <= a) return tableStyleAttrs(ctx_, "");
        // As tableStyleAttrs(ctx, text[a, end)) reads it: the first
        // "<insideH" up to its ">", and the first element of each side up to
        // its "/>", each only when wholly inside the text.
        const std::size_t end = *e;
        const std::string sz = attrValue(textBetween(element(0, a, end, gts_, 1), "<insideH", ">"), "sz");
        std::string out;
        if (!sz.empty()) out = " border=" + twipsToPx(ctx_, sz, kEighthsPerPoint);
        const std::string top = borderSide(ctx_, element(1, a, end, closes_, 2), "top");
        const std::string left = borderSide(ctx_, element(2, a, end, closes_, 2), "left");
        const std::string right = borderSide(ctx_, element(3, a, end, closes_, 2), "right");
        const std::string bottom = borderSide(ctx_, element(4, a, end, closes_, 2), "bottom");
        const std::string css = combineBorders(top, left, right, bottom);
        if (!css.empty()) out += " style=\"" + css + "\"";
        return out;
    }

    // The first marks[k] at or after from, through the first terminator
    // after it, when both lie before end; empty otherwise.
    std::string_view element(std::size_t k, std::size_t from, std::size_t end, const std::vector<std::size_t>& terms,
                             std::size_t termLength) const {
        const std::size_t s = firstAtOrAfter(borderMarks_[k], from);
        if (s == npos || s + kMarks[k].size() > end) return {};
        const std::size_t t = firstAtOrAfter(terms, s + kMarks[k].size());
        if (t == npos || t + termLength > end) return {};
        return std::string_view(ctx_.stylesText).substr(s, t + termLength - s);
    }

    static std::size_t firstAtOrAfter(const std::vector<std::size_t>& sorted, std::size_t from) {
        const auto it = std::lower_bound(sorted.begin(), sorted.end(), from);
        return it == sorted.end() ? npos : *it;
    }


    const ConversionContext& ctx_;
    std::unordered_map<std::string, std::string> cache_;
    bool indexed_ = false;
    std::unordered_map<std::string_view, std::size_t> firstOf_;  // first position of each id
    std::vector<std::size_t> ends_;
    std::array<std::vector<std::size_t>, 5> borderMarks_;  // what tableStyleAttrs searches for
    std::vector<std::size_t> gts_;                        // every ">"
    std::vector<std::size_t> closes_;                     // every "/>"
};

TableProps readTableProps(const ConversionContext& ctx, std::string_view props, TableStyleCache& styles) {
    std::uint64_t& work = ctx.workBytes;
    TableProps out;
    // Every "<tblBorders>" takes the borders of the first one; they are
    // worked out once, and the end tag found last is reused while it lies
    // ahead, so repeated unterminated borders stay linear.
    std::string borders;
    bool bordersRead = false;
    std::size_t bordersEnd = 0;
    bool bordersEndFound = false;
    std::size_t b = findCounting(props, '<', 0, work);
    while (b != npos) {
        const std::size_t gt = findCounting(props, '>', b + 1, work);
        if (gt == npos) break;  // an unfinished tag ends the properties
        const std::string_view el = props.substr(b, gt + 1 - b);
        std::size_t after = gt + 1;
        if (el == "<tblBorders>") {
            if (!bordersRead) {
                borders = tableStyleAttrs(ctx, textBetween(props, "<tblBorders>", "</tblBorders>"));
                bordersRead = true;
            }
            out.attrs += " " + borders;
            if (!bordersEndFound || (bordersEnd != npos && bordersEnd < b)) {
                bordersEnd = findCounting(props, "</tblBorders>", b, work);
                bordersEndFound = true;
            }
            const std::size_t close = bordersEnd;
            if (close != npos) after = close + 13;
        } else {
            const std::string name = tagName(el);
            if (name == "tblStyle") {
                const std::string v = attrValue(el, "val");
                out.attrs += " ";
                if (!v.empty()) out.attrs += styles.attrsFor(v);
            } else if (name == "tblCellSpacing") {
                std::string v = attrValue(el, "w");
                if (v.empty()) v = "0";
                out.attrs += " cellspacing=" + twipsToPx(ctx, v);
            } else if (name == "tblW") {
                const std::string v = tableWidth(ctx, el);
                out.width = v.empty() ? std::string() : " width=" + v;
            } else if (name == "jc") {
                const std::string v = attrValue(el, "val");
                if (!v.empty()) out.attrs += " align=" + v;
            } else if (name == "shd") {
                if (attrValue(el, "val") != "clear") {
                    std::string v = attrValue(el, "fill");
                    if (v == "auto") v = ctx.autoShadeColor;
                    if (!v.empty()) out.attrs += " bgcolor=" + v;
                }
            }
        }
        b = findCounting(props, '<', after, work);
    }
    return out;
}

// Counts, for every vertical-merge restart cell in document order, the rows
// its merge spans. A continuation belongs to the newest restart that starts
// in its own grid column.
std::vector<int> countRowSpans(ConversionContext& ctx) {
    // The walk reads the whole text, as a pattern's search would.
    ctx.workBytes += ctx.workingText.size();
    std::vector<int> counts;
    std::unordered_map<long long, std::size_t> newestInColumn;
    for (const std::string_view row : tables::tableRows(ctx.workingText)) {
        if (!contains(row, "<vMerge")) continue;
        const std::vector<std::string> pieces = splitText(row, "<tc>");
        long long col = 0;
        for (std::size_t i = 1; i < pieces.size(); ++i) {
            const std::string& cell = pieces[i];
            ++col;
            if (contains(cell, "<vMerge ")) {
                counts.push_back(1);
                newestInColumn[col] = counts.size() - 1;
            }
            if (contains(cell, "<vMerge/>") || contains(cell, "<vMerge></vMerge>")) {
                const auto it = newestInColumn.find(col);
                if (it != newestInColumn.end()) ++counts[it->second];
            }
            if (contains(cell, "<gridSpan ")) {
                col += strToInt(textBetween(cell, "<gridSpan val=\"", "\"/>")) - 1;
            }
        }
    }
    return counts;
}

bool isContinuation(std::string_view t, std::size_t merge) {
    const std::string_view rest = t.substr(merge + 7);
    return rest.starts_with("/") || rest.starts_with("></vMerge>");
}

// Restart cells get a row-span placeholder behind their start tag;
// continuation cells are dropped. A vMerge whose cell start lies in text
// already written or dropped (a second vMerge in one cell, a merge inside a
// dropped cell) is passed over.
std::string placeRowSpans(std::string_view t, const std::vector<int>& counts, std::uint64_t& work) {
    std::string out;
    reserveText(out, t.size() + counts.size() * 16);
    LastOccurrence cellStart(t, "<tc>");
    std::size_t copied = 0;
    std::size_t k = 0;
    bool cellEndsLeft = true;
    std::size_t m = t.find("<vMerge");
    while (m != npos) {
        const bool continuation = isContinuation(t, m);
        const std::size_t s = cellStart.atOrBefore(m);
        const bool ownCell = s != npos && s >= copied;
        if (continuation) {
            const std::size_t close = ownCell && cellEndsLeft ? findCounting(t, "</tc>", m, work) : npos;
            if (close != npos) {
                out.append(t.substr(copied, s - copied));
                copied = close + 5;
            } else if (ownCell) {
                cellEndsLeft = false;  // no cell end follows: the cell stays
            }
        } else {
            if (ownCell) {
                out.append(t.substr(copied, s - copied));
                out += "<tc><rowspan=" + std::to_string(k < counts.size() ? counts[k] : 1) + ">";
                copied = s + 4;
            }
            ++k;
        }
        m = findCounting(t, "<vMerge", m + 8, work);
    }
    out.append(t.substr(copied));
    return out;
}

// " colspan=" + n right after the "<tc" of every cell with a gridSpan.
std::string placeColSpans(std::string_view t, std::uint64_t& work) {
    constexpr std::string_view marker = "<gridSpan val=\"";
    std::size_t g = findCounting(t, marker, 0, work);
    if (g == npos) return std::string(t);
    std::string out;
    out.reserve(t.size() + t.size() / 64);
    LastOccurrence cellStart(t, "<tc>");
    std::size_t copied = 0;
    while (g != npos) {
        const std::size_t s = cellStart.atOrBefore(g);
        if (s != npos && s >= copied) {
            out.append(t.substr(copied, s + 3 - copied));
            const std::size_t v = g + marker.size();
            const std::size_t q = findCounting(t, '"', v, work);
            out += " colspan=";
            if (q != npos) out.append(t.substr(v, q - v));
            copied = s + 3;
        }
        g = findCounting(t, marker, g + 18, work);
    }
    out.append(t.substr(copied));
    return out;
}

std::string cellStyle(const ConversionContext& ctx, std::string_view props) {
    std::string style;
    Pos pos = 1;
    EndTagMemo memo(&ctx.workBytes);
    for (;;) {
        const std::string el = nextElement(props, pos, &memo, &ctx.workBytes);
        if (el.empty()) break;
        const std::string name = tagName(el);
        if (name == "shd") {
            std::string v = attrValue(el, "fill");
            if (v == "auto") v = ctx.autoShadeColor;
            if (!v.empty() && v != "FFFFFF") style += "background-color:" + v + ";";
        } else if (name == "vAlign") {
            const std::string v = attrValue(el, "val");
            if (!v.empty()) style += " vertical-align:" + v + ";";
        } else if (name == "tcBorders") {
            const std::string v = bordersToCss(ctx, textBetween(el, "Borders>", "Borders>"));
            if (!v.empty()) style += v + ";";
        } else if (name == "tcMar") {
            const std::string v = cellMargins(ctx, el);
            if (!v.empty()) style += v + ";";
        }
    }
    return style;
}

}  // namespace

namespace tables {

std::vector<std::string_view> tableRows(std::string_view t) {
    std::vector<std::string_view> rows;
    Pos from = 1;
    for (;;) {
        const Pos start = findFrom(t, "<tr>", from, true);
        if (start == 0) break;
        // A row start without an end after it: no later one has an end either.
        const Pos end = findFrom(t, "</tr>", start + 5, true);
        if (end == 0) break;
        from = end + 5;
        rows.push_back(t.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(from - start)));
    }
    return rows;
}

std::vector<std::string> tableStyleAttrsFor(const ConversionContext& ctx, const std::vector<std::string>& names) {
    TableStyleCache styles(ctx);
    std::vector<std::string> out;
    out.reserve(names.size());
    for (const std::string& name : names) out.push_back(styles.attrsFor(name));
    return out;
}

}  // namespace tables

void convertTables(ConversionContext& ctx) {
    tableAttrs(ctx);
    resolveSpans(ctx);
    cellStyles(ctx);
    std::string& t = ctx.workingText;
    replaceAllInPlace(t, "><rowspan", " rowspan");
    replaceAllInPlace(t, "<tc ", "<td ");
    ctx.sharedRegex.setPattern(R"re(<tr[^>]*><trPr><trHeight val="(\d+)".+?</trPr>)re");
    collectSplices(ctx, 1, "<tr height=\"", "\">");
    regexDelete(ctx.sharedRegex, t, "<trPr.+?</trPr>");
    // Tags only: text ending in those letters ("etc>") stays.
    replaceAllInPlace(t, "<tc>", "<td>");
    replaceAllInPlace(t, "</tc>", "</td>");
    replaceAllInPlace(t, "<tbl>", "<table>");
    replaceAllInPlace(t, "</tbl>", "</table>");
    ctx.sharedRegex.setPattern(R"re(<gridCol w="(\d+)"/>)re");
    collectSplices(ctx, 1, "<col style=\"width:", "\">");
    replaceAllInPlace(t, "<tblGrid>", "");
    replaceAllInPlace(t, "</tblGrid>", "");
}

void tableAttrs(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    std::size_t pos = t.find("<tblPr>");
    if (pos == npos) return;
    std::string out;
    out.reserve(t.size() + t.size() / 32);
    TableStyleCache styles(ctx);
    LastOccurrence tableStart(t, "<tbl>");
    std::size_t copied = 0;
    while (pos != npos) {
        const std::size_t end = findCounting(t, "</tblPr>", pos + 7, ctx.workBytes);
        if (end == npos) break;  // properties without an end: the rest stays as it is
        const TableProps props = readTableProps(ctx, t.substr(pos + 7, end - pos - 7), styles);
        const std::size_t start = tableStart.atOrBefore(pos + 7);
        if (start != npos && start >= copied) {
            out.append(t.substr(copied, start + 1 - copied));
            out += "table";
            out += props.width;
            out += props.attrs;
            if (start + 4 < pos) out.append(t.substr(start + 4, pos - start - 4));
        } else {
            // No table start of its own: the properties are dropped.
            out.append(t.substr(copied, pos - copied));
        }
        copied = end + 8;
        pos = findCounting(t, "<tblPr>", copied, ctx.workBytes);
    }
    out.append(t.substr(copied));
    ctx.workingText = std::move(out);
}

std::string tableWidth(const ConversionContext& ctx, std::string_view el) {
    const std::string w = attrValue(el, "w");
    if (w.empty() || w == "0") return {};
    const std::string type = attrValue(el, "type");
    if (type == "pct") return std::to_string(roundDiv(strToInt(w), 50)) + "%";
    if (type == "dxa") return twipsToPx(ctx, w);
    return w;
}

std::string tableStyleAttrs(const ConversionContext& ctx, std::string_view t) {
    std::string out;
    const std::string sz = attrValue(textBetween(t, "<insideH", ">"), "sz");
    if (!sz.empty()) out = " border=" + twipsToPx(ctx, sz, kEighthsPerPoint);
    const std::string css = bordersToCss(ctx, t);
    if (!css.empty()) out += " style=\"" + css + "\"";
    return out;
}

void resolveSpans(ConversionContext& ctx) {
    if (!contains(ctx.workingText, "<vMerge") && !contains(ctx.workingText, "<gridSpan")) return;
    const std::vector<int> counts = countRowSpans(ctx);
    if (!counts.empty()) ctx.workingText = placeRowSpans(ctx.workingText, counts, ctx.workBytes);
    ctx.workingText = placeColSpans(ctx.workingText, ctx.workBytes);
}

void cellStyles(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    std::size_t i = t.find("<tcPr>");
    if (i == npos) return;
    std::string out;
    reserveText(out, t.size());
    LastOccurrence cellStart(t, "<tc", opensCell);
    // Most cells of a document share their properties: the style of each
    // short properties text is worked out once (a bounded number of them).
    constexpr std::size_t kMemoText = 2048, kMemoEntries = 8192;
    std::unordered_map<std::string_view, std::string> styleOf;
    std::size_t copied = 0;
    while (i != npos) {
        const std::size_t end = findCounting(t, "</tcPr>", i + 6, ctx.workBytes);
        if (end == npos) break;  // properties without an end: the rest stays as it is
        const std::string_view props = t.substr(i + 6, end - i - 6);
        std::string style;
        if (const auto known = styleOf.find(props); known != styleOf.end()) {
            style = known->second;
        } else {
            style = cellStyle(ctx, props);
            if (props.size() <= kMemoText && styleOf.size() < kMemoEntries) styleOf.emplace(props, style);
        }
        const std::size_t c = cellStart.atOrBefore(i);
        if (c != npos && c >= copied) {
            out.append(t.substr(copied, c + 3 - copied));
            if (!style.empty()) out += " style=\"" + style + "\"";
            out.append(t.substr(c + 3, i - c - 3));
        } else {
            // No cell start of its own (a second tcPr in one cell): dropped.
            out.append(t.substr(copied, i - copied));
        }
        copied = end + 7;
        i = findCounting(t, "<tcPr>", copied, ctx.workBytes);
    }
    out.append(t.substr(copied));
    ctx.workingText = std::move(out);
}

std::string cellMargins(const ConversionContext& ctx, std::string_view m) {
    const std::string top = cellMarginSide(ctx, m, "top");
    const std::string left = cellMarginSide(ctx, m, "left");
    const std::string right = cellMarginSide(ctx, m, "right");
    const std::string bottom = cellMarginSide(ctx, m, "bottom");
    if (!top.empty() && !left.empty() && !right.empty() && !bottom.empty()) {
        return "padding:" + top + " " + right + " " + bottom + " " + left + ";";
    }
    std::string out;
    if (!top.empty()) out += "border-top:" + top + ";";
    if (!left.empty()) out += "border-left:" + left + ";";
    if (!right.empty()) out += "border-right:" + right + ";";
    if (!bottom.empty()) out += "border-bottom:" + bottom + ";";
    return out;
}

std::string cellMarginSide(const ConversionContext& ctx, std::string_view m, std::string_view side) {
    const std::string e = elementText(m, side);
    if (e.empty()) return {};
    const std::string w = attrValue(e, "w");
    if (w.empty()) return {};
    return twipsToPx(ctx, w) + "px";
}

void collectSplices(ConversionContext& ctx, int group, std::string_view prefix, std::string_view suffix) {
    ctx.spliceBounds.clear();
    ctx.spliceTexts.clear();
    ctx.spliceBounds.push_back(1);
    TWSRegEx& rx = ctx.sharedRegex;
    rx.setSubject(std::move(ctx.workingText));
    try {
        if (rx.Match()) {
            do {
                std::string text(prefix);
                text += twipsToPx(ctx, rx.SubmatchText(group));
                text += suffix;
                ctx.spliceTexts.push_back(std::move(text));
                ctx.spliceBounds.push_back(rx.MatchedOffset());
                ctx.spliceBounds.push_back(rx.MatchedOffset() + rx.MatchedLength());
            } while (rx.MatchNext());
        }
    } catch (...) {
        ctx.workingText = rx.takeSubject();  // a failed step keeps the text it had
        throw;
    }
    ctx.workingText = rx.takeSubject();
    applySplices(ctx);
}

void applySplices(ConversionContext& ctx) {
    const std::size_t n = ctx.spliceTexts.size();
    if (n == 0) return;
    if (ctx.spliceBounds.size() != 2 * n + 1) throw Error("Table splices: bounds and texts do not match");
    const std::string_view t = ctx.workingText;
    std::size_t extra = 0;
    for (const auto& s : ctx.spliceTexts) extra += s.size();
    std::string out;
    reserveText(out, t.size() + extra);
    // Stretches are clamped to the text and never go back before what was
    // already copied.
    std::size_t copied = 0;
    auto copyUpTo = [&](Pos from, Pos to) {  // 1-based, inclusive
        std::size_t a = from < 1 ? 0 : static_cast<std::size_t>(from - 1);
        const std::size_t b = to < 0 ? 0 : std::min(static_cast<std::size_t>(to), t.size());
        if (a < copied) a = copied;
        if (a < b) out.append(t.substr(a, b - a));
        if (b > copied) copied = b;
    };
    for (std::size_t j = 0; j < n; ++j) {
        copyUpTo(ctx.spliceBounds[2 * j], ctx.spliceBounds[2 * j + 1] - 1);
        out += ctx.spliceTexts[j];
    }
    copyUpTo(ctx.spliceBounds[2 * n], static_cast<Pos>(t.size()));
    ctx.workingText = std::move(out);
}

std::string tagName(std::string_view el) {
    const std::size_t sp = el.find(' ');
    if (sp == npos) return {};
    const std::size_t gt = el.find('>');
    if (gt == npos) return {};
    if (sp < gt) return std::string(el.substr(1, sp - 1));
    std::size_t n = gt >= 1 ? gt - 1 : 0;
    if (el.size() >= 2 && el[el.size() - 2] == '/' && n > 0) --n;
    return std::string(el.substr(1, n));
}

namespace {

constexpr std::uint64_t kHashModulus = (std::uint64_t{1} << 61) - 1;

std::uint64_t mulMod(std::uint64_t a, std::uint64_t b) {
    const unsigned __int128 p = static_cast<unsigned __int128>(a) * b;
    std::uint64_t r = static_cast<std::uint64_t>(p >> 61) + static_cast<std::uint64_t>(p & kHashModulus);
    return r >= kHashModulus ? r - kHashModulus : r;
}

// Names and lengths share one key.
std::uint64_t endKey(std::size_t length, std::uint64_t hash) { return hash * 1000003u + length; }

}  // namespace

std::uint64_t EndTagMemo::hashOf(std::string_view name) const {
    std::uint64_t h = 0;
    for (const char c : name) {
        h = mulMod(h, base_) + static_cast<unsigned char>(c) + 1;
        if (h >= kHashModulus) h -= kHashModulus;
    }
    return h;
}

void EndTagMemo::buildIndex(std::string_view t) {
    // A base that differs from run to run, so no text can be made to collide
    // on purpose; a collision would only cost a comparison.
    base_ = (reinterpret_cast<std::uintptr_t>(this) ^ static_cast<std::uint64_t>(std::hash<std::size_t>{}(t.size()))) %
                (kHashModulus - 512) + 257;
    // Every "</" with the text up to the first ">" after it as its name: the
    // only end tag that can begin there. Names are hashed from their end
    // backwards, so the starts that share one ">" cost one pass over it.
    std::size_t gt = t.find('>');
    std::size_t p = t.find("</");
    std::vector<std::size_t> starts;
    while (p != npos && gt != npos) {
        while (gt != npos && gt < p + 2) gt = t.find('>', gt + 1);
        if (gt == npos) break;
        // All "</" before this ">" end their names here.
        starts.clear();
        while (p != npos && p + 2 <= gt) {
            starts.push_back(p);
            p = t.find("</", p + 1);
        }
        std::uint64_t h = 0;
        std::uint64_t power = 1;
        std::size_t at = gt;
        for (std::size_t k = starts.size(); k-- > 0;) {
            const std::size_t nameStart = starts[k] + 2;
            while (at > nameStart) {
                --at;
                h = (h + mulMod(static_cast<unsigned char>(t[at]) + 1, power)) % kHashModulus;
                power = mulMod(power, base_);
            }
            ends_[endKey(gt - nameStart, h)].push_back(starts[k]);
        }
    }
    for (auto& e : ends_) std::sort(e.second.begin(), e.second.end());
    // The scans for "</" and ">", and the names hashed once each.
    addWork(3 * t.size());
    indexed_ = true;
}

std::size_t EndTagMemo::find(std::string_view t, const std::string& tag, std::size_t from) {
    auto it = hits_.find(tag);
    // An earlier search from no later than here stands while what it found
    // (or that it found nothing) lies at or after from.
    if (it != hits_.end() && it->second.from <= from && (it->second.at == npos || it->second.at >= from))
        return it->second.at;
    std::size_t at = npos;
    if (!indexed_ && scanned_ > 4 * t.size() + 4096) buildIndex(t);
    if (indexed_) {
        const std::string_view name = std::string_view(tag).substr(2, tag.size() - 3);
        const auto e = ends_.find(endKey(name.size(), hashOf(name)));
        if (e != ends_.end()) {
            for (auto c = std::lower_bound(e->second.begin(), e->second.end(), from); c != e->second.end(); ++c) {
                addWork(tag.size());
                if (t.compare(*c, tag.size(), tag) == 0) {
                    at = *c;
                    break;
                }
            }
        }
    } else {
        at = t.find(tag, from);
        const std::size_t read = (at == npos ? t.size() : at + tag.size()) - std::min(from, t.size());
        scanned_ += read;
        addWork(read);
    }
    hits_[tag] = Hit{from, at};
    return at;
}

std::string nextElement(std::string_view t, Pos& pos, EndTagMemo* memo, std::uint64_t* work) {
    std::uint64_t unused = 0;
    std::uint64_t& read = work ? *work : unused;
    const std::size_t from = pos < 1 ? 0 : static_cast<std::size_t>(pos - 1);
    if (from >= t.size()) return {};
    const std::size_t s = findCounting(t, '<', from, read);
    if (s == npos) return {};
    const std::size_t g = findCounting(t, '>', s + 1, read);
    if (g == npos) return {};  // an unfinished tag ends the walk
    if (t[g - 1] == '/') {
        pos = static_cast<Pos>(g) + 1;
        return std::string(t.substr(s, g + 1 - s));
    }
    std::string endTag = "</";
    endTag += t.substr(s + 1, g - s - 1);
    endTag += ">";
    const std::size_t e = memo ? memo->find(t, endTag, g + 1) : findCounting(t, endTag, g + 1, read);
    if (e == npos) {
        // No end tag (a start tag with attributes never has one that matches):
        // the start tag alone, and the walk goes on after it.
        pos = static_cast<Pos>(g) + 2;
        return std::string(t.substr(s, g + 1 - s));
    }
    pos = static_cast<Pos>(e + endTag.size()) + 1;
    return std::string(t.substr(s, e + endTag.size() - s));
}

}  // namespace tavin

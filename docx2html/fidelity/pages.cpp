// Page breaks: page markers in the body from its paragraphs' breaks and
// sections, and sheets of the assembled page from the markers (pages.h).
#include "docx2html/fidelity/pages.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

#include "docx2html/fidelity/markers.h"
#include "docx2html/xmlscan.h"

namespace tavin {

namespace {

constexpr std::string_view kPageBreak = "<br type=\"page\"/>";
constexpr std::string_view kColumnBreak = "<br type=\"column\"/>";

// Whether [from, to) holds character data other than blanks.
bool holdsText(std::string_view t, std::size_t from, std::size_t to) {
    bool inTag = false;
    for (std::size_t i = from; i < to; ++i) {
        const char c = t[i];
        if (c == '<') inTag = true;
        else if (c == '>') inTag = false;
        else if (!inTag && static_cast<unsigned char>(c) > 0x20) return true;
    }
    return false;
}

std::vector<std::size_t> occurrences(std::string_view t, std::string_view s) {
    std::vector<std::size_t> found;
    for (std::size_t p = t.find(s); p != std::string_view::npos; p = t.find(s, p + 1)) found.push_back(p);
    return found;
}

// Whether the tag at p is named name (not one whose name only begins so).
bool startsTag(std::string_view t, std::size_t p, std::string_view name) {
    const std::size_t n = p + 1 + name.size();
    if (t.compare(p + 1, name.size(), name) != 0 || n >= t.size()) return false;
    return t[n] == ' ' || t[n] == '>' || t[n] == '/' || t[n] == '\t' || t[n] == '\r' || t[n] == '\n';
}

// The sectPr elements of the body, as the model counts its sections: not
// the ones inside another (a tracked change's former properties).
std::vector<std::size_t> sectionStarts(std::string_view t) {
    std::vector<std::size_t> found;
    std::size_t end = 0;
    for (std::size_t p : occurrences(t, "<sectPr")) {
        if (p < end || !startsTag(t, p, "sectPr")) continue;
        found.push_back(p);
        const std::size_t gt = t.find('>', p);
        const std::size_t close = gt == std::string_view::npos || t[gt - 1] == '/' ? gt : t.find("</sectPr>", gt);
        end = close == std::string_view::npos ? t.size() : close;
    }
    return found;
}

}  // namespace

PageBreaks::PageBreaks(std::string_view body, const std::vector<model::Section>& sections)
    : body_(body), breaks_(occurrences(body, kPageBreak)), sections_(sectionStarts(body)) {
    for (const model::Section& s : sections) columned_.push_back(s.columns.value_or(1) > 1);
    if (std::find(columned_.begin(), columned_.end(), true) == columned_.end()) columned_.clear();
    else columnBreaks_ = occurrences(body, kColumnBreak);
}

void PageBreaks::columnBreaks(std::size_t start, std::size_t content, std::size_t close, EditList& edits) {
    const std::size_t section = sectionAt(start);
    if (section >= columned_.size() || !columned_[section]) return;
    for (auto b = std::lower_bound(columnBreaks_.begin(), columnBreaks_.end(), content);
         b != columnBreaks_.end() && *b < close; ++b)
        edits.replace(*b, kColumnBreak.size(), std::string(marker::kColumnBreak));
}

std::size_t PageBreaks::sectionAt(std::size_t at) const {
    return static_cast<std::size_t>(std::lower_bound(sections_.begin(), sections_.end(), at) - sections_.begin());
}

bool PageBreaks::nextSectionBreaks(std::size_t after) const {
    const auto n = std::lower_bound(sections_.begin(), sections_.end(), after);
    if (n == sections_.end()) return true;
    const std::size_t end = body_.find("</sectPr>", *n);
    const std::string_view next = end == std::string_view::npos ? std::string_view() : body_.substr(*n, end - *n);
    return childValue(next, "type") != "continuous";
}

void PageBreaks::paragraph(std::size_t start, std::size_t content, std::size_t close, bool breakBefore,
                           bool endsSection, EditList& edits) {
    bool before = breakBefore;
    bool after = false;
    std::size_t scanned = content;
    bool textBefore = false;
    for (auto b = std::lower_bound(breaks_.begin(), breaks_.end(), content); b != breaks_.end() && *b < close; ++b) {
        edits.erase(*b, kPageBreak.size());
        if (!textBefore) textBefore = holdsText(body_, scanned, *b);
        scanned = *b;
        (textBefore ? after : before) = true;
    }
    // A section ends here; the next one says whether it starts a new page.
    const bool continues = endsSection && !nextSectionBreaks(close);
    if (endsSection && !continues) after = true;
    if (before) edits.insert(start, marker::page(sectionAt(start)));
    if (after) edits.insert(close + 4, marker::page(sectionAt(close)));
    if (columned_.empty()) return;
    columnBreaks(start, content, close, edits);
    if (!bodyMarked_) {
        // The first section starts with the body's content.
        const std::size_t body = body_.find("<body");
        const std::size_t gt = body == std::string_view::npos ? body : body_.find('>', body);
        if (gt != std::string_view::npos && gt < start) edits.insert(gt + 1, marker::section(0));
        bodyMarked_ = true;
    }
    if (continues) edits.insert(close + 4, marker::section(sectionAt(close)));
}

void Sheets::pageMarker(std::size_t at, std::size_t size, int depth, std::size_t section, EditList& edits) {
    if (depth == 0 && contentSinceSheet_ && pending_ == std::string::npos) {
        pending_ = at;
        pendingSize_ = size;
        pendingSection_ = section;
        contentSinceSheet_ = false;
        return;
    }
    // Breaks in a row make one sheet, of the section after the last.
    if (pending_ != std::string::npos && depth == 0) pendingSection_ = section;
    edits.erase(at, size);
}

void Sheets::startTag(bool div) {
    if (div) return;
    if (pending_ != std::string::npos) {
        section_ = std::max(section_, pendingSection_);
        if (pageBoxes_ && section_ > 0 && (later_.empty() || later_.back() != section_)) later_.push_back(section_);
        starts_.push_back({pending_, pendingSize_, section_});
        pending_ = std::string::npos;
    }
    contentSinceSheet_ = true;
}

std::string columnsStart(const model::Section& section, bool balanced) {
    const long count = std::clamp(section.columns.value_or(1), 1L, 45L);
    if (count < 2) return {};
    // Word's gap when the section names none is half an inch.
    const long gap = std::clamp(section.columnSpace.value_or(720), 0L, 31680L) / 15;
    return std::string(balanced ? "<div" : "<div class=tvcolumns") + " style=\"column-count:" + std::to_string(count) +
           ";column-gap:" + std::to_string(gap) + "px" + (section.columnLine ? ";column-rule:1px solid #000" : "") + "\">";
}

std::string sectionClass(std::size_t section) { return "section" + std::to_string(section); }

std::string Sheets::markup(std::size_t section) const {
    if (!pageBoxes_ || section == 0) return sheet_;
    return "</div><div class=\"page " + sectionClass(section) + "\">";
}

void Sheets::finish(EditList& edits) {
    if (pending_ != std::string::npos) edits.erase(pending_, pendingSize_);
    pending_ = std::string::npos;
}

namespace {

// A section's page in CSS pixels (15 twips each), its margins cut so that
// each pair leaves at least half the page to the text, as the print layout
// does.
constexpr long kTwipsPerPx = 15, kLargest = 5000 * 1440 / 25;  // 5 m

struct SheetGeometry {
    long width = 0, height = 0, top = 0, right = 0, bottom = 0, left = 0;
    // How far the header's top and the footer's foot are from the paper's
    // edges.
    long header = 0, footer = 0;

    static std::optional<SheetGeometry> of(const model::Section& s) {
        if (!s.pageWidth || !s.pageHeight || *s.pageWidth <= 0 || *s.pageHeight <= 0) return std::nullopt;
        auto px = [](std::optional<long> twips, long fallback) {
            return std::clamp(twips.value_or(fallback), 0L, kLargest) / kTwipsPerPx;
        };
        SheetGeometry g{px(s.pageWidth, 0), px(s.pageHeight, 0), px(s.margins.top, 1440), px(s.margins.right, 1440),
                        px(s.margins.bottom, 1440), px(s.margins.left, 1440)};
        fit(g.left, g.right, g.width);
        fit(g.top, g.bottom, g.height);
        g.header = std::min(px(s.margins.header, 720), g.top);
        g.footer = std::min(px(s.margins.footer, 720), g.bottom);
        return g;
    }
    static void fit(long& a, long& b, long length) {
        if (a + b > length / 2) {
            const long sum = a + b;
            a = a * (length / 2) / sum;
            b = b * (length / 2) / sum;
        }
    }

    std::string screen() const {
        return "width:" + std::to_string(width - left - right) + "px;min-height:" + std::to_string(height - top - bottom) +
               "px;padding:" + std::to_string(top) + "px " + std::to_string(right) + "px " + std::to_string(bottom) +
               "px " + std::to_string(left) + "px";
    }
    // The header and footer stand in the sheet's margins, as Word puts
    // them: the header from its distance to the paper's top down, the
    // footer's foot at its distance to the paper's foot, each pushing the
    // text away only by what does not fit in its margin; the footer below
    // the body's floats, never narrowed beside them. On paper the
    // paper's margins are those distances and the sheet's top padding the
    // rest of the top margin.
    std::string stories(const std::string& sheet) const {
        const std::string above = std::to_string(top - header), below = std::to_string(bottom - footer);
        return sheet + ">div.header{display:flow-root;margin-top:-" + above + "px;min-height:" + above + "px}\r\n" + sheet +
               ">div.footer{clear:both;display:flex;flex-direction:column;justify-content:flex-end;margin-bottom:-" + below +
               "px;min-height:" + below + "px}\r\n";
    }
    // No padding at the foot: what runs past the text's foot (a last
    // line's leading, a margin) runs into the foot margin, where padding
    // would take it to a paper of its own.
    std::string printMargins() const {
        return "padding:" + std::to_string(top - header) + "px " + std::to_string(right) + "px 0 " + std::to_string(left) +
               "px!important";
    }
};

// On paper the engine lays every sheet out at the first sheet's width: a
// sheet of a narrower paper gets its own text width, one of a wider paper
// its own too, scaled down to the first one's (so that nothing is cut and
// only that sheet is smaller).
std::string paperWidth(const SheetGeometry& g, const SheetGeometry& first) {
    if (g.width == first.width) return {};
    std::string css = ";width:" + std::to_string(g.width - g.left - g.right) + "px!important";
    if (g.width > first.width) {
        char zoom[16];
        std::snprintf(zoom, sizeof zoom, "%.3f", std::floor(static_cast<double>(first.width) * 1000.0 / static_cast<double>(g.width)) / 1000);
        css += ";zoom:" + std::string(zoom);
    }
    return css;
}

}  // namespace

std::string sheetRules(const std::vector<model::Section>& sections, const std::vector<std::size_t>& later,
                       const std::string& background) {
    const std::optional<SheetGeometry> first = sections.empty() ? std::nullopt : SheetGeometry::of(sections.front());
    if (!first) return {};
    std::string screen = "body>div.page{" + first->screen() +
                         (background.empty() ? std::string() : ";background-color:" + background) + "}\r\n";
    std::string paper = first->stories("body>div.page");
    std::string print = "@media print{html,body,div.page{overflow-x:clip}html>body>div.page{width:auto;min-height:0;"
                        "margin:0;border:0;" + first->printMargins() + "}";
    for (const std::size_t k : later) {
        const std::optional<SheetGeometry> g = k < sections.size() ? SheetGeometry::of(sections[k]) : std::nullopt;
        if (!g) continue;
        const std::string sheet = "div.page." + sectionClass(k);
        screen += "body>" + sheet + "{" + g->screen() + "}\r\n";
        print += "html>body>" + sheet + "{" + g->printMargins() + paperWidth(*g, *first) + "}";
        paper += g->stories("body>" + sheet);
        if (g->width == first->width && g->height == first->height) continue;
        const std::string name = sectionClass(k);
        paper += "@page " + name + "{size:" + std::to_string(g->width) + "px " + std::to_string(g->height) +
                 "px}\r\nbody>" + sheet + "{page:" + name + "}\r\n";
    }
    return "@media screen{" + screen + "}\r\n" + paper + print + "}\r\n";
}

}  // namespace tavin

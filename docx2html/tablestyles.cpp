#include "docx2html/tablestyles.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// WholeTable is the style's own properties (and its "wholeTable" format):
// the last in priority.
enum Condition {
    FirstRow,
    LastRow,
    FirstCol,
    LastCol,
    Band1Horz,
    Band2Horz,
    Band1Vert,
    Band2Vert,
    WholeTable,
    kConditions
};
constexpr std::array<std::string_view, kConditions> kConditionNames = {
    "firstRow", "lastRow", "firstCol", "lastCol", "band1Horz", "band2Horz", "band1Vert", "band2Vert", "wholeTable"};

// What one conditional format sets: run properties, a cell shading and
// vertical alignment, and the paragraphs' alignment, as prefix-free
// empty-element tags.
struct Format {
    std::vector<std::string> runProps;
    std::string shading, vAlign, justification;
    bool empty() const { return runProps.empty() && shading.empty() && vAlign.empty() && justification.empty(); }
};

// The cell and paragraph properties of a format's tcPr and pPr.
void readCellProps(std::string_view content, Format& f) {
    const std::vector<Element> tcPr = elements(content, "tcPr");
    if (!tcPr.empty()) {
        const std::string_view shd = childTag(tcPr[0].content, "shd");
        // "auto" is no colour: the cell keeps the page's.
        if (tagAttribute(shd, "fill") != "auto") f.shading = std::string(shd);
        f.vAlign = std::string(childTag(tcPr[0].content, "vAlign"));
    }
    const std::vector<Element> pPr = elements(content, "pPr");
    if (!pPr.empty()) f.justification = std::string(childTag(pPr[0].content, "jc"));
}

struct TableStyle {
    std::string basedOn;
    std::array<Format, kConditions> formats;
};

// The name of an empty-element tag ("<color val=.../>" gives "color").
std::string_view tagName(std::string_view tag) {
    std::size_t n = 1;
    while (n < tag.size() && tag[n] != ' ' && tag[n] != '/' && tag[n] != '>') ++n;
    return tag.substr(1, n - 1);
}

// A prefix-free tag as the raw document writes it: "w:" before its name and
// before each attribute name without a prefix of its own.
std::string prefixed(std::string_view tag) {
    std::string out = "<w:";
    std::size_t i = 1;
    bool inValue = false;
    char quote = 0;
    bool atName = false;
    for (; i < tag.size(); ++i) {
        const char c = tag[i];
        if (inValue) {
            out.push_back(c);
            if (c == quote) inValue = false;
            continue;
        }
        if (c == '"' || c == '\'') {
            inValue = true;
            quote = c;
            out.push_back(c);
            continue;
        }
        if (c == ' ') {
            atName = true;
            out.push_back(c);
            continue;
        }
        if (atName && c != '/' && c != '>') {
            const std::size_t eq = tag.find('=', i);
            const std::string_view name = tag.substr(i, eq == std::string_view::npos ? 0 : eq - i);
            if (name.find(':') == std::string_view::npos) out += "w:";
            atName = false;
        }
        out.push_back(c);
    }
    return out;
}

std::unordered_map<std::string, TableStyle> readTableStyles(std::string_view styles) {
    std::unordered_map<std::string, TableStyle> out;
    for (const Element& s : elements(styles, "style")) {
        if (tagAttribute(s.tag, "type") != "table") continue;
        TableStyle ts;
        ts.basedOn = std::string(childValue(s.content, "basedOn"));
        for (const Element& c : elements(s.content, "tblStylePr")) {
            const auto k = std::find(kConditionNames.begin(), kConditionNames.end(), tagAttribute(c.tag, "type"));
            if (k == kConditionNames.end()) continue;
            Format& f = ts.formats[static_cast<std::size_t>(k - kConditionNames.begin())];
            const std::vector<Element> rPr = elements(c.content, "rPr");
            if (!rPr.empty()) {
                for (std::size_t p = rPr[0].content.find('<'); p != std::string_view::npos;
                     p = rPr[0].content.find('<', p + 1)) {
                    const std::size_t gt = rPr[0].content.find('>', p);
                    if (gt == std::string_view::npos) break;
                    const std::string_view tag = rPr[0].content.substr(p, gt + 1 - p);
                    if (tag[1] == '/' || tag[tag.size() - 2] != '/') continue;
                    // Values such as a colour are read up to the end of
                    // their tag: a theme attribute after them is left out.
                    const std::string_view name = tagName(tag);
                    const std::string_view val = tagAttribute(tag, "val");
                    if (name != "rFonts" && !val.empty())
                        f.runProps.push_back("<" + std::string(name) + " val=\"" + std::string(val) + "\"/>");
                    else
                        f.runProps.emplace_back(tag);
                }
            }
            readCellProps(c.content, f);
        }
        // The style's own cell and paragraph properties, outside its formats.
        std::string own(s.content);
        for (const Element& c : elements(s.content, "tblStylePr"))
            std::fill(own.begin() + static_cast<std::ptrdiff_t>(c.begin), own.begin() + static_cast<std::ptrdiff_t>(c.end), ' ');
        Format base;
        readCellProps(own, base);
        Format& whole = ts.formats[WholeTable];
        whole.runProps.clear();  // the paragraph styles' fonts go before the whole table's
        if (whole.shading.empty()) whole.shading = base.shading;
        if (whole.vAlign.empty()) whole.vAlign = base.vAlign;
        if (whole.justification.empty()) whole.justification = base.justification;
        out.emplace(std::string(tagAttribute(s.tag, "styleId")), std::move(ts));
    }
    return out;
}

// A style's formats with those of the styles it is based on filling in.
std::array<Format, kConditions> resolvedFormats(const std::unordered_map<std::string, TableStyle>& styles,
                                                std::string id) {
    std::array<Format, kConditions> out;
    for (int depth = 0; depth < 16 && !id.empty(); ++depth) {
        const auto it = styles.find(id);
        if (it == styles.end()) break;
        for (std::size_t k = 0; k < kConditions; ++k)
            if (out[k].empty()) out[k] = it->second.formats[k];
        id = it->second.basedOn;
    }
    return out;
}

// The paragraph styles whose chain sets an alignment: it goes before the
// table style's.
std::unordered_set<std::string> alignedParagraphStyles(std::string_view styles) {
    std::unordered_map<std::string, std::pair<std::string, bool>> chain;  // id: base, sets jc
    for (const Element& s : elements(styles, "style")) {
        if (tagAttribute(s.tag, "type") != "paragraph") continue;
        const std::vector<Element> pPr = elements(s.content, "pPr");
        chain.emplace(std::string(tagAttribute(s.tag, "styleId")),
                      std::pair(std::string(childValue(s.content, "basedOn")), !pPr.empty() && hasChild(pPr[0].content, "jc")));
    }
    std::unordered_set<std::string> out;
    for (const auto& [id, entry] : chain) {
        std::string at = id;
        for (int steps = 0; steps < 32; ++steps) {  // as far as the other style chains are followed
            const auto it = chain.find(at);
            if (it == chain.end()) break;
            if (it->second.second) {
                out.insert(id);
                break;
            }
            at = it->second.first;
        }
    }
    return out;
}

// Which formats a table's tblLook turns on (Word's default look when absent).
std::array<bool, kConditions> lookOf(std::string_view tblPr) {
    const std::string_view look = childTag(tblPr, "w:tblLook");
    unsigned bits = 0x04A0;
    if (!look.empty()) {
        bits = 0;
        for (char c : tagAttribute(look, "w:val")) {
            const int d = c >= '0' && c <= '9' ? c - '0' : (c | 0x20) >= 'a' && (c | 0x20) <= 'f' ? (c | 0x20) - 'a' + 10 : -1;
            if (d < 0) break;
            bits = bits * 16 + static_cast<unsigned>(d);
        }
    }
    auto flag = [&](std::string_view attr, unsigned bit) {
        const std::string_view v = tagAttribute(look, attr);
        return v.empty() ? (bits & bit) != 0 : isOn(v) && v != "0";
    };
    std::array<bool, kConditions> on{};
    on[FirstRow] = flag("w:firstRow", 0x0020);
    on[LastRow] = flag("w:lastRow", 0x0040);
    on[FirstCol] = flag("w:firstColumn", 0x0080);
    on[LastCol] = flag("w:lastColumn", 0x0100);
    on[Band1Horz] = on[Band2Horz] = !flag("w:noHBand", 0x0200);
    on[Band1Vert] = on[Band2Vert] = !flag("w:noVBand", 0x0400);
    return on;
}

struct Cell {
    std::size_t begin, end;  // the w:tc element
    bool nested = false;     // holds a table of its own
};
struct Table {
    std::size_t begin;
    std::size_t propsEnd = std::string::npos;  // its "</w:tblPr>"
    std::vector<std::vector<Cell>> rows;
    bool inCell = false;  // a cell of the last row is open
};

bool tagIs(std::string_view t, std::size_t at, std::string_view name) {
    if (t.compare(at, name.size(), name) != 0) return false;
    const std::size_t n = at + name.size();
    return n < t.size() && (t[n] == '>' || t[n] == ' ' || t[n] == '/');
}

// The first of the formats' values that field gives, written with "w:".
std::string firstOf(const std::vector<const Format*>& formats, std::string Format::*field) {
    for (const Format* f : formats)
        if (!(f->*field).empty()) return prefixed(f->*field);
    return {};
}

// Writes a cell's formats (in priority order) into its runs and properties.
void formatCell(std::string_view t, const Cell& c, const std::vector<const Format*>& formats,
                const std::unordered_set<std::string>& alignedStyles,
                std::vector<std::pair<std::size_t, std::string>>& inserts) {
    const std::size_t tcEnd = t.find('>', c.begin);
    if (tcEnd != std::string_view::npos && tcEnd < c.end) {
        const std::string_view head = t.substr(tcEnd + 1, c.end - tcEnd - 1);
        const bool hasProps = head.compare(0, 8, "<w:tcPr>") == 0;
        const std::size_t end = hasProps ? head.find("</w:tcPr>") : std::string_view::npos;
        const std::string_view tcPr = end == std::string_view::npos ? std::string_view() : head.substr(0, end);
        std::string add;
        if (!hasChild(tcPr, "w:shd")) add += firstOf(formats, &Format::shading);
        if (!hasChild(tcPr, "w:vAlign")) add += firstOf(formats, &Format::vAlign);
        if (!add.empty() && hasProps && end != std::string_view::npos)
            inserts.emplace_back(tcEnd + 1 + 8, add);
        else if (!add.empty() && !hasProps && head.compare(0, 8, "<w:tcPr/") != 0)
            inserts.emplace_back(tcEnd + 1, "<w:tcPr>" + add + "</w:tcPr>");
    }
    if (c.nested) return;
    const std::string_view cell = t.substr(0, c.end);  // searches stay inside the cell
    // The paragraphs take the alignment unless they or their style set one.
    if (const std::string jc = firstOf(formats, &Format::justification); !jc.empty()) {
        for (std::size_t p = cell.find("<w:p", c.begin); p != std::string_view::npos; p = cell.find("<w:p", p + 4)) {
            if (!tagIs(t, p, "<w:p")) continue;
            const std::size_t gt = cell.find('>', p);
            if (gt == std::string_view::npos || t[gt - 1] == '/') continue;
            if (t.compare(gt + 1, 7, "<w:pPr>") != 0) {
                inserts.emplace_back(gt + 1, "<w:pPr>" + jc + "</w:pPr>");
                continue;
            }
            const std::size_t end = cell.find("</w:pPr>", gt);
            if (end == std::string_view::npos) continue;
            const std::string_view pPr = t.substr(gt + 8, end - gt - 8);
            const std::size_t rPr = pPr.find("<w:rPr");
            const std::string_view own = pPr.substr(0, rPr);
            if (hasChild(own, "w:jc") || alignedStyles.count(std::string(tagAttribute(childTag(own, "w:pStyle"), "w:val"))))
                continue;
            inserts.emplace_back(gt + 8, jc);
        }
    }
    for (std::size_t r = cell.find("<w:r", c.begin); r != std::string_view::npos; r = cell.find("<w:r", r + 4)) {
        if (!tagIs(t, r, "<w:r")) continue;
        const std::size_t gt = cell.find('>', r);
        if (gt == std::string_view::npos || t[gt - 1] == '/') continue;
        std::string_view rPr;
        std::size_t at = gt + 1;
        const bool hasProps = t.compare(gt + 1, 7, "<w:rPr>") == 0;
        if (hasProps) {
            const std::size_t end = cell.find("</w:rPr>", gt);
            if (end == std::string_view::npos) continue;
            rPr = t.substr(gt + 8, end - gt - 8);
            at = gt + 8;
        }
        std::string add;
        std::vector<std::string_view> names;
        for (const Format* f : formats) {
            for (const std::string& p : f->runProps) {
                const std::string_view name = tagName(p);
                if (std::find(names.begin(), names.end(), name) != names.end()) continue;
                names.push_back(name);
                if (!hasChild(rPr, "w:" + std::string(name))) add += prefixed(p);
            }
        }
        if (add.empty()) continue;
        inserts.emplace_back(at, hasProps ? add : "<w:rPr>" + add + "</w:rPr>");
    }
}

}  // namespace

void applyTableStyleFormats(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    if (t.find("<w:tblStyle") == std::string::npos) return;
    const auto styles = readTableStyles(ctx.stylesText);
    if (styles.empty()) return;
    const std::unordered_set<std::string> aligned = alignedParagraphStyles(ctx.stylesText);

    std::vector<std::pair<std::size_t, std::string>> inserts;
    std::vector<Table> open;
    for (std::size_t lt = t.find('<'); lt != std::string::npos; lt = t.find('<', lt + 1)) {
        if (tagIs(t, lt, "<w:tbl")) {
            if (!open.empty() && open.back().inCell) open.back().rows.back().back().nested = true;
            open.push_back(Table{lt, std::string::npos, {}, false});
        } else if (open.empty()) {
            continue;
        } else if (t.compare(lt, 10, "</w:tblPr>") == 0) {
            if (open.back().propsEnd == std::string::npos) open.back().propsEnd = lt;
        } else if (tagIs(t, lt, "<w:tr")) {
            open.back().rows.emplace_back();
            open.back().inCell = false;
        } else if (tagIs(t, lt, "<w:tc") && !open.back().rows.empty()) {
            open.back().rows.back().push_back({lt, t.size()});
            open.back().inCell = true;
        } else if (t.compare(lt, 7, "</w:tc>") == 0 && open.back().inCell) {
            open.back().rows.back().back().end = lt;
            open.back().inCell = false;
        } else if (t.compare(lt, 8, "</w:tbl>") == 0) {
            Table table = std::move(open.back());
            open.pop_back();
            const std::size_t prEnd = table.propsEnd;
            const std::string_view tblPr =
                prEnd == std::string::npos ? std::string_view() : std::string_view(t).substr(table.begin, prEnd - table.begin);
            const std::string id(tagAttribute(childTag(tblPr, "w:tblStyle"), "w:val"));
            if (id.empty() || table.rows.empty()) continue;
            const auto formats = resolvedFormats(styles, id);
            const auto on = lookOf(tblPr);
            const std::size_t rows = table.rows.size();
            for (std::size_t r = 0; r < rows; ++r) {
                const bool first = on[FirstRow] && r == 0, last = on[LastRow] && r + 1 == rows && rows > 1;
                const std::size_t dataRow = r - (on[FirstRow] ? 1 : 0);
                const std::vector<Cell>& row = table.rows[r];
                for (std::size_t c = 0; c < row.size(); ++c) {
                    std::vector<const Format*> apply;
                    if (first) apply.push_back(&formats[FirstRow]);
                    if (last) apply.push_back(&formats[LastRow]);
                    const bool firstCol = on[FirstCol] && c == 0, lastCol = on[LastCol] && c + 1 == row.size() && row.size() > 1;
                    if (firstCol) apply.push_back(&formats[FirstCol]);
                    if (lastCol) apply.push_back(&formats[LastCol]);
                    if (!first && !last && on[Band1Horz]) apply.push_back(&formats[dataRow % 2 == 0 ? Band1Horz : Band2Horz]);
                    if (!firstCol && !lastCol && on[Band1Vert]) {
                        const std::size_t dataCol = c - (on[FirstCol] ? 1 : 0);
                        apply.push_back(&formats[dataCol % 2 == 0 ? Band1Vert : Band2Vert]);
                    }
                    apply.push_back(&formats[WholeTable]);
                    formatCell(t, row[c], apply, aligned, inserts);
                }
            }
        }
    }
    if (inserts.empty()) return;
    std::stable_sort(inserts.begin(), inserts.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::string out;
    out.reserve(t.size() + t.size() / 16);
    std::size_t copied = 0;
    for (const auto& [at, text] : inserts) {
        out.append(std::string_view(t).substr(copied, at - copied));
        out += text;
        copied = at;
    }
    out.append(std::string_view(t).substr(copied));
    ctx.workingText = std::move(out);
}

}  // namespace tavin

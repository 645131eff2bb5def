#include "docx2html/tablestyles.h"

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

enum Condition { FirstRow, LastRow, FirstCol, LastCol, Band1Horz, Band2Horz, Band1Vert, Band2Vert, kConditions };
constexpr std::array<std::string_view, kConditions> kConditionNames = {
    "firstRow", "lastRow", "firstCol", "lastCol", "band1Horz", "band2Horz", "band1Vert", "band2Vert"};

// What one conditional format sets: run properties and a cell shading, as
// prefix-free empty-element tags.
struct Format {
    std::vector<std::string> runProps;
    std::string shading;
    bool empty() const { return runProps.empty() && shading.empty(); }
};

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
            const std::vector<Element> tcPr = elements(c.content, "tcPr");
            if (!tcPr.empty()) f.shading = std::string(childTag(tcPr[0].content, "shd"));
        }
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

// Writes a cell's formats (in priority order) into its runs and properties.
void formatCell(std::string_view t, const Cell& c, const std::vector<const Format*>& formats,
                std::vector<std::pair<std::size_t, std::string>>& inserts) {
    std::string shading;
    for (const Format* f : formats)
        if (shading.empty() && !f->shading.empty()) shading = prefixed(f->shading);
    const std::size_t tcEnd = t.find('>', c.begin);
    if (!shading.empty() && tcEnd != std::string_view::npos) {
        const std::string_view head = t.substr(tcEnd + 1, c.end - tcEnd - 1);
        if (head.compare(0, 8, "<w:tcPr>") == 0) {
            const std::size_t end = head.find("</w:tcPr>");
            if (end != std::string_view::npos && !hasChild(head.substr(0, end), "w:shd"))
                inserts.emplace_back(tcEnd + 1 + 8, shading);
        } else if (head.compare(0, 8, "<w:tcPr/") != 0) {
            inserts.emplace_back(tcEnd + 1, "<w:tcPr>" + shading + "</w:tcPr>");
        }
    }
    if (c.nested) return;
    const std::string_view cell = t.substr(0, c.end);  // searches stay inside the cell
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
                    formatCell(t, row[c], apply, inserts);
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

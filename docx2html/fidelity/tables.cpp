// Full Fidelity: table style formats written into the cells of the working
// text, from the table styles of the model's style sheet.
#include "docx2html/fidelity/tables.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/html.h"
#include "core/uStr.h"
#include "docx2html/docx2html.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/insertions.h"
#include "docx2html/model/model.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

using model::TableCondition;
using model::kTableConditions;

// What one conditional format sets, as empty-element tags of the document
// ("<w:b/>"): run properties, a cell shading and vertical alignment, and
// the paragraphs' alignment.
struct Format {
    std::vector<std::string> runProps;
    std::string shading, vAlign, justification;
    bool empty() const { return runProps.empty() && shading.empty() && vAlign.empty() && justification.empty(); }
};
using Formats = std::array<Format, kTableConditions>;

// An element as an empty-element tag with its attributes (those of unknown
// namespaces left out).
std::string emptyTag(pugi::xml_node node, const char* skip = nullptr) {
    std::string out = "<";
    out += node.name();
    for (pugi::xml_attribute a : node.attributes()) {
        const std::string_view name = a.name();
        if (name.empty() || name[0] == '?' || (skip && name == skip)) continue;
        out += ' ';
        out.append(name);
        out += "=\"" + escapeHtml(a.value()) + "\"";
    }
    return out + "/>";
}

// A shading as the prepared document writes it: its colour in both colour
// attributes; empty for a shading of no colour.
std::string shadingTag(pugi::xml_node shd) {
    const std::string_view pattern = shd.attribute("w:val").value();
    const std::string_view colour = shadingColour(pattern, shd.attribute("w:color").value(), shd.attribute("w:fill").value());
    if (!shd || colour.empty()) return {};
    return "<w:shd w:val=\"" + escapeHtml(pattern) + "\" w:color=\"" + std::string(colour) + "\" w:fill=\"" +
           std::string(colour) + "\"/>";
}

// A run property of a format: its value alone where it has one (a theme
// colour after a colour is left out), fonts with the theme's first.
std::string runProperty(pugi::xml_node p, const model::ThemeFonts& theme) {
    const std::string_view name = p.name();
    const std::string_view val = p.attribute("w:val").value();
    if (name == "w:rFonts") {
        const pugi::xml_attribute first = p.first_attribute();
        const std::string font = leadingFont(p.attribute("w:asciiTheme").value(), p.attribute("w:ascii").value(),
                                             p.attribute("w:hAnsiTheme").value(), first && std::string_view(first.name()) == "w:ascii", theme);
        if (font.empty()) return emptyTag(p);
        std::string tag = emptyTag(p, "w:ascii");
        const std::string head = "<w:rFonts w:ascii=\"" + escapeHtml(font) + "\"";
        return head + std::string(std::string_view(tag).substr(9));
    }
    if (name == "w:shd") {
        const std::string tag = shadingTag(p);
        return tag.empty() || val.empty() ? tag : "<w:shd w:val=\"" + escapeHtml(val) + "\"/>";
    }
    if (!val.empty()) return "<" + std::string(name) + " w:val=\"" + escapeHtml(val) + "\"/>";
    return emptyTag(p);
}

Format formatOf(const model::TableFormat& f, const model::ThemeFonts& theme) {
    Format out;
    for (pugi::xml_node p : f.rPr.children()) {
        if (p.type() != pugi::node_element || p.first_child()) continue;
        std::string tag = runProperty(p, theme);
        if (!tag.empty()) out.runProps.push_back(std::move(tag));
    }
    out.shading = shadingTag(f.tcPr.child("w:shd"));
    if (const pugi::xml_node v = f.tcPr.child("w:vAlign")) out.vAlign = emptyTag(v);
    if (const pugi::xml_node jc = f.pPr.child("w:jc")) out.justification = emptyTag(jc);
    return out;
}

// A table style's formats; its own cell and paragraph properties fill in
// the whole table's, whose run properties give way to the paragraph
// styles' fonts.
Formats formatsOf(const model::Style& s, const model::ThemeFonts& theme) {
    Formats out;
    for (std::size_t k = 0; k < kTableConditions; ++k) out[k] = formatOf(s.formats[k], theme);
    const Format own = formatOf(model::TableFormat{pugi::xml_node(), s.pPr, s.tcPr}, theme);
    Format& whole = out[model::WholeTable];
    whole.runProps.clear();
    if (whole.shading.empty()) whole.shading = own.shading;
    if (whole.vAlign.empty()) whole.vAlign = own.vAlign;
    if (whole.justification.empty()) whole.justification = own.justification;
    return out;
}

// Which formats a table's tblLook turns on (Word's default look when absent).
std::array<bool, kTableConditions> lookOf(std::string_view tblPr) {
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
    std::array<bool, kTableConditions> on{};
    on[model::FirstRow] = flag("w:firstRow", 0x0020);
    on[model::LastRow] = flag("w:lastRow", 0x0040);
    on[model::FirstCol] = flag("w:firstColumn", 0x0080);
    on[model::LastCol] = flag("w:lastColumn", 0x0100);
    on[model::Band1Horz] = on[model::Band2Horz] = !flag("w:noHBand", 0x0200);
    on[model::Band1Vert] = on[model::Band2Vert] = !flag("w:noVBand", 0x0400);
    return on;
}

// The table styles and the paragraph styles' alignments, read once per
// id a table or a paragraph names.
class StyleFormats {
public:
    explicit StyleFormats(const model::DocumentModel& m) : sheet_(m.styleSheet), theme_(m.themeScheme.fonts) {}

    // A style's formats with those of the styles it is based on filling in.
    const Formats& of(const std::string& id) {
        auto it = resolved_.find(id);
        if (it != resolved_.end()) return it->second;
        Formats out;
        for (const model::Style* s : sheet_.chain(id, 16)) {
            if (s->type != model::StyleType::Table) break;
            const Formats own = formatsOf(*s, theme_);
            for (std::size_t k = 0; k < kTableConditions; ++k)
                if (out[k].empty()) out[k] = own[k];
        }
        return resolved_.emplace(id, std::move(out)).first->second;
    }

    // Whether a paragraph style's chain sets an alignment: it goes before
    // the table style's.
    bool aligned(const std::string& id) {
        auto it = aligned_.find(id);
        if (it != aligned_.end()) return it->second;
        bool sets = false;
        for (const model::Style* s : sheet_.chain(id)) {
            if (s->type != model::StyleType::Paragraph) break;
            if ((sets = static_cast<bool>(s->pPr.child("w:jc")))) break;
        }
        return aligned_.emplace(id, sets).first->second;
    }

private:
    const model::StyleSheet& sheet_;
    const model::ThemeFonts& theme_;
    std::unordered_map<std::string, Formats> resolved_;
    std::unordered_map<std::string, bool> aligned_;
};

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

// The first of the formats' values that field gives.
const std::string& firstOf(const std::vector<const Format*>& formats, std::string Format::*field) {
    static const std::string none;
    for (const Format* f : formats)
        if (!(f->*field).empty()) return f->*field;
    return none;
}

// Writes the formats of cells (in priority order) into their runs and
// properties, as insertions into the text.
class CellWriter {
public:
    CellWriter(std::string_view t, StyleFormats& styles, InsertionList& inserts)
        : t_(t), styles_(styles), inserts_(inserts) {}

    void write(const Cell& c, const std::vector<const Format*>& formats) {
        cellProperties(c, formats);
        if (c.nested) return;
        const std::string_view cell = t_.substr(0, c.end);  // searches stay inside the cell
        if (const std::string& jc = firstOf(formats, &Format::justification); !jc.empty())
            for (std::size_t p = cell.find("<w:p", c.begin); p != std::string_view::npos; p = cell.find("<w:p", p + 4))
                paragraph(cell, p, jc);
        for (std::size_t r = cell.find("<w:r", c.begin); r != std::string_view::npos; r = cell.find("<w:r", r + 4))
            run(cell, r, formats);
    }

private:
    void cellProperties(const Cell& c, const std::vector<const Format*>& formats) {
        const std::size_t tcEnd = t_.find('>', c.begin);
        if (tcEnd == std::string_view::npos || tcEnd >= c.end) return;
        const std::string_view head = t_.substr(tcEnd + 1, c.end - tcEnd - 1);
        const bool hasProps = head.compare(0, 8, "<w:tcPr>") == 0;
        const std::size_t end = hasProps ? head.find("</w:tcPr>") : std::string_view::npos;
        const std::string_view tcPr = end == std::string_view::npos ? std::string_view() : head.substr(0, end);
        std::string add;
        if (!hasChild(tcPr, "w:shd")) add += firstOf(formats, &Format::shading);
        if (!hasChild(tcPr, "w:vAlign")) add += firstOf(formats, &Format::vAlign);
        if (add.empty()) return;
        if (hasProps && end != std::string_view::npos) inserts_.before(tcEnd + 1 + 8, add);
        else if (!hasProps && head.compare(0, 8, "<w:tcPr/") != 0) inserts_.before(tcEnd + 1, "<w:tcPr>" + add + "</w:tcPr>");
    }

    // A paragraph takes the alignment unless it or its style sets one.
    void paragraph(std::string_view cell, std::size_t p, const std::string& jc) {
        if (!tagIs(t_, p, "<w:p")) return;
        const std::size_t gt = cell.find('>', p);
        if (gt == std::string_view::npos || t_[gt - 1] == '/') return;
        if (t_.compare(gt + 1, 7, "<w:pPr>") != 0) {
            inserts_.before(gt + 1, "<w:pPr>" + jc + "</w:pPr>");
            return;
        }
        const std::size_t end = cell.find("</w:pPr>", gt);
        if (end == std::string_view::npos) return;
        const std::string_view pPr = t_.substr(gt + 8, end - gt - 8);
        const std::string_view own = pPr.substr(0, pPr.find("<w:rPr"));
        if (hasChild(own, "w:jc") || styles_.aligned(std::string(tagAttribute(childTag(own, "w:pStyle"), "w:val")))) return;
        inserts_.before(gt + 8, jc);
    }

    // A run takes the formats' run properties it does not set itself, the
    // first format's of each property.
    void run(std::string_view cell, std::size_t r, const std::vector<const Format*>& formats) {
        if (!tagIs(t_, r, "<w:r")) return;
        const std::size_t gt = cell.find('>', r);
        if (gt == std::string_view::npos || t_[gt - 1] == '/') return;
        std::string_view rPr;
        const bool hasProps = t_.compare(gt + 1, 7, "<w:rPr>") == 0;
        if (hasProps) {
            const std::size_t end = cell.find("</w:rPr>", gt);
            if (end == std::string_view::npos) return;
            rPr = t_.substr(gt + 8, end - gt - 8);
        }
        const std::string add = missingProperties(rPr, formats);
        if (add.empty()) return;
        inserts_.before(hasProps ? gt + 8 : gt + 1, hasProps ? add : "<w:rPr>" + add + "</w:rPr>");
    }

    static std::string_view nameOf(std::string_view tag) { return tag.substr(1, tag.find_first_of(" /", 1) - 1); }

    static std::string missingProperties(std::string_view rPr, const std::vector<const Format*>& formats) {
        std::string add;
        std::vector<std::string_view> names;
        for (const Format* f : formats)
            for (const std::string& p : f->runProps) {
                const std::string_view name = nameOf(p);
                if (std::find(names.begin(), names.end(), name) != names.end()) continue;
                names.push_back(name);
                if (!hasChild(rPr, name)) add += p;
            }
        return add;
    }

    std::string_view t_;
    StyleFormats& styles_;
    InsertionList& inserts_;
};

// The walk over the tables of the working text, innermost first.
class TableWalk {
public:
    TableWalk(std::string_view t, const model::DocumentModel& m) : t_(t), styles_(m), writer_(t, styles_, inserts_) {}

    std::string run() {
        for (std::size_t lt = t_.find('<'); lt != std::string::npos; lt = t_.find('<', lt + 1)) tag(lt);
        return inserts_.empty() ? std::string() : inserts_.apply(t_);
    }

private:
    void tag(std::size_t lt) {
        // Every tag read here starts "<w:tb", "<w:tr", "<w:tc", "</w:tb" or
        // "</w:tc" (a quick look first).
        if (lt + 5 >= t_.size()) return;
        const char* h = t_.data() + lt + 1;
        const bool close = h[0] == '/';
        if (close) ++h;
        if (h[0] != 'w' || h[1] != ':' || h[2] != 't' || (h[3] != 'b' && h[3] != 'c' && (close || h[3] != 'r'))) return;
        if (tagIs(t_, lt, "<w:tbl")) {
            if (!open_.empty() && open_.back().inCell) open_.back().rows.back().back().nested = true;
            open_.push_back(Table{lt, std::string::npos, {}, false});
            return;
        }
        if (open_.empty()) return;
        Table& table = open_.back();
        if (t_.compare(lt, 10, "</w:tblPr>") == 0) {
            if (table.propsEnd == std::string::npos) table.propsEnd = lt;
        } else if (tagIs(t_, lt, "<w:tr")) {
            table.rows.emplace_back();
            table.inCell = false;
        } else if (tagIs(t_, lt, "<w:tc") && !table.rows.empty()) {
            table.rows.back().push_back({lt, t_.size()});
            table.inCell = true;
        } else if (t_.compare(lt, 7, "</w:tc>") == 0 && table.inCell) {
            table.rows.back().back().end = lt;
            table.inCell = false;
        } else if (t_.compare(lt, 8, "</w:tbl>") == 0) {
            const Table done = std::move(open_.back());
            open_.pop_back();
            format(done);
        }
    }

    void format(const Table& table) {
        const std::string_view tblPr =
            table.propsEnd == std::string::npos ? std::string_view() : t_.substr(table.begin, table.propsEnd - table.begin);
        const std::string id(tagAttribute(childTag(tblPr, "w:tblStyle"), "w:val"));
        if (id.empty() || table.rows.empty()) return;
        const Formats& formats = styles_.of(id);
        const auto on = lookOf(tblPr);
        const std::size_t rows = table.rows.size();
        std::vector<const Format*> apply;
        for (std::size_t r = 0; r < rows; ++r)
            for (std::size_t c = 0; c < table.rows[r].size(); ++c) {
                apply.clear();
                for (TableCondition k : cellConditions(on, r, rows, c, table.rows[r].size())) apply.push_back(&formats[k]);
                writer_.write(table.rows[r][c], apply);
            }
    }

    std::string_view t_;
    StyleFormats styles_;
    InsertionList inserts_;
    CellWriter writer_;
    std::vector<Table> open_;
};

}  // namespace

std::vector<TableCondition> cellConditions(const std::array<bool, kTableConditions>& on, std::size_t r, std::size_t rows,
                                           std::size_t c, std::size_t columns) {
    std::vector<TableCondition> out;
    const bool first = on[model::FirstRow] && r == 0, last = on[model::LastRow] && r + 1 == rows && rows > 1;
    const bool firstCol = on[model::FirstCol] && c == 0, lastCol = on[model::LastCol] && c + 1 == columns && columns > 1;
    if (first) out.push_back(model::FirstRow);
    if (last) out.push_back(model::LastRow);
    if (firstCol) out.push_back(model::FirstCol);
    if (lastCol) out.push_back(model::LastCol);
    const std::size_t dataRow = r - (on[model::FirstRow] ? 1 : 0), dataCol = c - (on[model::FirstCol] ? 1 : 0);
    if (!first && !last && on[model::Band1Horz]) out.push_back(dataRow % 2 == 0 ? model::Band1Horz : model::Band2Horz);
    if (!firstCol && !lastCol && on[model::Band1Vert]) out.push_back(dataCol % 2 == 0 ? model::Band1Vert : model::Band2Vert);
    out.push_back(model::WholeTable);
    return out;
}

namespace {

bool visibleBorder(std::string_view val) { return !val.empty() && val != "none" && val != "nil"; }

// The sides of a table's borders as bits (start and end are left and right);
// 0 for a name that is no side.
unsigned sideBit(std::string_view name) {
    if (name.compare(0, 2, "w:") == 0) name.remove_prefix(2);
    constexpr std::array<std::string_view, 8> kSides = {"top", "left", "bottom", "right", "insideH", "insideV", "start", "end"};
    constexpr std::array<unsigned, 8> kBits = {0, 1, 2, 3, 4, 5, 1, 3};
    for (std::size_t k = 0; k < kSides.size(); ++k)
        if (name == kSides[k]) return 1U << kBits[k];
    return 0;
}

// A side of a border as CSS: its width (eighths of a point), style (a
// word of letters and digits, else solid; the page's clean-up makes it
// CSS's) and colour; "none" for one that does not show.
std::string sideCss(std::string_view val, std::string_view size, std::string_view colour) {
    if (!visibleBorder(val)) return "none";
    if (!std::all_of(val.begin(), val.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; }))
        val = "solid";
    long px = std::max((std::clamp(model::number(size).value_or(4), 2L, 96L) + 3) / 6, 1L);
    if (val == "double") px = std::max(px, 3L);
    const bool hex = colour.size() == 6 && colour.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
    return std::to_string(px) + "px " + std::string(val) + (hex ? " #" + std::string(colour) : std::string());
}

// The sides a borders element names, those of them that show, and each
// named side's CSS (top, left, bottom, right, insideH, insideV).
struct Sides {
    unsigned named = 0, shown = 0;
    std::array<std::string, kBorderSides> css;

    void add(std::string_view name, std::string_view val, std::string_view size, std::string_view colour) {
        const unsigned bit = sideBit(name);
        if (bit == 0) return;
        named |= bit;
        if (visibleBorder(val)) shown |= bit;
        css[static_cast<std::size_t>(std::countr_zero(bit))] = sideCss(val, size, colour);
    }
};

// Of a borders element of the model.
Sides sidesOf(pugi::xml_node borders) {
    Sides out;
    for (pugi::xml_node side : borders.children())
        out.add(side.name(), side.attribute("w:val").value(), side.attribute("w:sz").value(), side.attribute("w:color").value());
    return out;
}

// Of a borders element of the preprocessed text.
Sides sidesOf(std::string_view borders) {
    Sides out;
    for (std::size_t lt = borders.find('<'); lt != std::string_view::npos; lt = borders.find('<', lt + 1)) {
        const std::size_t gt = borders.find('>', lt);
        if (gt == std::string_view::npos) break;
        const std::string_view tag = borders.substr(lt, gt + 1 - lt);
        out.add(tag.substr(1, tag.find_first_of(" />", 1) - 1), tagAttribute(tag, "val"), tagAttribute(tag, "sz"),
                tagAttribute(tag, "color"));
    }
    return out;
}

// The borders a table style gives through its chain: the sides of the
// whole table (each side from the nearest style that names it), and
// whether any cell or conditional format has a border that shows.
struct StyleBorders {
    Sides table;
    bool cells = false;
};

StyleBorders bordersOfStyle(const model::StyleSheet& sheet, std::string_view styleId) {
    StyleBorders out;
    for (const model::Style* s : sheet.chain(styleId)) {
        const Sides own = sidesOf(s->tblPr.child("w:tblBorders"));
        for (std::size_t k = 0; k < kBorderSides; ++k) {
            const unsigned bit = 1U << k;
            if ((own.named & bit) == 0 || (out.table.named & bit) != 0) continue;
            out.table.named |= bit;
            out.table.shown |= own.shown & bit;
            out.table.css[k] = own.css[k];
        }
        out.cells = out.cells || sidesOf(s->tcPr.child("w:tcBorders")).shown != 0;
        for (const model::TableFormat& f : s->formats) out.cells = out.cells || sidesOf(f.tcPr.child("w:tcBorders")).shown != 0;
    }
    return out;
}

// The walk of tableBorders: the tables open at a place of the text,
// innermost last. A table's own borders replace its style's side by side.
class BorderWalk {
public:
    BorderWalk(std::string_view t, const model::StyleSheet& sheet) : t_(t), sheet_(sheet) {}

    std::vector<TableBorders> run() {
        for (std::size_t lt = t_.find('<'); lt != std::string_view::npos; lt = t_.find('<', lt + 1)) tagAt(lt);
        return tables_;
    }

private:
    struct Open {
        std::size_t index;
        bool styled = false, ownRead = false;
        StyleBorders style;
        Sides own;
    };

    void tagAt(std::size_t lt) {
        // Every tag read here starts "<tb", "<tc" or "</tb" (a quick look first).
        if (lt + 3 >= t_.size()) return;
        const char* h = t_.data() + lt + 1;
        const bool shown = h[0] == 't' ? (h[1] == 'b' || h[1] == 'c') : (h[0] == '/' && h[1] == 't' && h[2] == 'b');
        if (!shown) return;
        if (t_.compare(lt, 5, "<tbl>") == 0) {
            open_.push_back({tables_.size(), false, false, {}, {}});
            tables_.emplace_back();
        } else if (open_.empty()) {
            return;
        } else if (t_.compare(lt, 6, "</tbl>") == 0) {
            close();
        } else if (t_.compare(lt, 10, "<tblStyle ") == 0) {
            open_.back().styled = true;
            const std::size_t gt = t_.find('>', lt);
            if (gt != std::string_view::npos) open_.back().style = styleBorders(std::string(tagAttribute(t_.substr(lt, gt - lt), "val")));
        } else if (t_.compare(lt, 12, "<tblBorders>") == 0 || t_.compare(lt, 11, "<tcBorders>") == 0) {
            const std::size_t end = bordersEnd(lt + 11);
            const std::string_view text = end == std::string_view::npos ? std::string_view() : t_.substr(lt + 11, end - lt - 11);
            if (t_[lt + 2] == 'c' || open_.back().ownRead) {
                // A cell's, or a row's exceptions.
                if (shownSides(text) != 0) tables_[open_.back().index].shows = true;
            } else {
                open_.back().own = sidesOf(text);
                open_.back().ownRead = true;
            }
        } else if (t_.compare(lt, 8, "</tblPr>") == 0) {
            open_.back().ownRead = true;
        }
    }

    // A table that names no style has the default table style's borders.
    void close() {
        const Open& o = open_.back();
        const StyleBorders style = o.styled ? o.style : styleBorders(sheet_.defaultTableStyle);
        TableBorders& t = tables_[o.index];
        unsigned shown = 0;
        for (std::size_t k = 0; k < kBorderSides; ++k) {
            const bool own = (o.own.named >> k & 1U) != 0;
            t.sides[k] = own ? o.own.css[k] : style.table.css[k];
            if (t.sides[k].empty()) t.sides[k] = "none";
            if (((own ? o.own.shown : style.table.shown) >> k & 1U) != 0) shown |= 1U << k;
        }
        t.shows = t.shows || shown != 0 || style.cells;
        t.someSides = shown != 0 && shown != (1U << kBorderSides) - 1;
        open_.pop_back();
    }

    // The first end of a borders element at or after from; the one found
    // last is reused while it lies ahead, so the text is read once.
    std::size_t bordersEnd(std::size_t from) {
        if (end_ != std::string_view::npos && end_ < from) end_ = t_.find("Borders>", from);
        return end_;
    }

    // The sides that show of cells' borders, which repeat: read once each.
    unsigned shownSides(std::string_view text) {
        auto it = shown_.find(text);
        if (it == shown_.end()) it = shown_.emplace(text, sidesOf(text).shown).first;
        return it->second;
    }

    StyleBorders styleBorders(const std::string& id) {
        auto it = styles_.find(id);
        if (it == styles_.end()) it = styles_.emplace(id, id.empty() ? StyleBorders{} : bordersOfStyle(sheet_, id)).first;
        return it->second;
    }

    std::string_view t_;
    const model::StyleSheet& sheet_;
    std::vector<TableBorders> tables_;
    std::vector<Open> open_;
    std::unordered_map<std::string, StyleBorders> styles_;
    std::unordered_map<std::string_view, unsigned> shown_;
    std::size_t end_ = 0;
};

}  // namespace

bool styleHasBorders(const model::StyleSheet& sheet, std::string_view styleId) {
    const StyleBorders b = bordersOfStyle(sheet, styleId);
    return b.table.shown != 0 || b.cells;
}

namespace {

// A measure of twips as CSS pixels, within a page's reach.
std::string pixels(long twips) { return std::to_string(std::clamp(twips, -31680L, 31680L) / 15) + "px"; }

long twipsAttribute(std::string_view tag, std::string_view name) {
    return model::number(tagAttribute(tag, name)).value_or(0);
}

// The table's width in twips from its tblW, of the text width for a share
// ("pct": fiftieths of a percent, or "50%"); 0 when automatic or unknown.
long tableWidth(std::string_view tblPr, long textWidth) {
    const std::string_view tag = childTag(tblPr, "tblW");
    const std::string_view type = tagAttribute(tag, "type"), w = tagAttribute(tag, "w");
    if (type == "dxa") return std::max(model::number(w).value_or(0), 0L);
    if (type != "pct") return 0;
    if (!w.empty() && w.back() == '%') return model::number(w.substr(0, w.size() - 1)).value_or(0) * textWidth / 100;
    return model::number(w).value_or(0) * textWidth / 5000;
}

}  // namespace

std::string floatingTableCss(std::string_view tblPr, const model::Section& section) {
    const std::string_view tag = childTag(tblPr, "tblpPr");
    if (tag.empty()) return {};
    const long leftMargin = section.margins.left.value_or(1440);
    const long textWidth = std::max(section.pageWidth.value_or(12240) - leftMargin - section.margins.right.value_or(1440), 1440L);
    const long width = tableWidth(tblPr, textWidth);
    // How it is aligned across, when it is (left, right, center...).
    const std::string_view alignment = tagAttribute(tag, "tblpXSpec"), anchor = tagAttribute(tag, "horzAnchor");
    // The offset from the text's left edge: the page's is the margin's less the margin.
    const long x = twipsAttribute(tag, "tblpX") - (anchor == "page" ? leftMargin : 0);
    // A table at an offset floats to the side nearer to it, the text taking the other.
    const long rightRoom = std::max(textWidth - x - width, 0L);
    const bool right = alignment == "right" || alignment == "outside" || (alignment.empty() && width > 0 && x > rightRoom);
    // Below its paragraph by its offset when it lies in the text.
    const std::string_view vertical = tagAttribute(tag, "vertAnchor");
    const long y = vertical == "text" && tagAttribute(tag, "tblpYSpec").empty() ? std::max(twipsAttribute(tag, "tblpY"), 0L) : 0;
    if (alignment == "center" || (width > 0 && width > textWidth - 1440)) {
        const std::string top = y > 0 ? "margin-top:" + pixels(y) + ";" : std::string();
        return alignment == "center" ? "float:none;margin-left:auto;margin-right:auto;" + top : top;
    }
    const long top = twipsAttribute(tag, "topFromText") + y, bottom = twipsAttribute(tag, "bottomFromText");
    if (right)
        return "float:right;clear:right;margin:" + pixels(top) + " " + pixels(alignment.empty() ? rightRoom : 0) + " " +
               pixels(bottom) + " " + pixels(twipsAttribute(tag, "leftFromText")) + ";";
    const long left = alignment.empty() ? x : 0;
    return "float:left;clear:left;margin:" + pixels(top) + " " + pixels(twipsAttribute(tag, "rightFromText")) + " " +
           pixels(bottom) + " " + pixels(left) + ";";
}

std::string bordersMarker(const TableBorders& b, bool rtl) {
    if (!b.shows) return std::string(marker::kPlainTable);
    if (!b.someSides) return {};
    return marker::tableSides("border-top:" + b.sides[0] + ";border-left:" + b.sides[1] + ";border-bottom:" + b.sides[2] +
                                  ";border-right:" + b.sides[3] + ";",
                              b.sides[4], b.sides[5], rtl);
}

std::vector<TableBorders> tableBorders(std::string_view t, const model::StyleSheet& sheet) {
    return BorderWalk(t, sheet).run();
}

void applyTableStyleFormats(ConversionContext& ctx) {
    if (!ctx.model || findText(ctx.workingText, "<w:tblStyle") == std::string::npos) return;
    std::string out = TableWalk(ctx.workingText, *ctx.model).run();
    if (!out.empty()) ctx.workingText = std::move(out);
}

}  // namespace tavin

#include "docx2html/fidelity.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <unordered_map>

#include "core/html.h"
#include "docx2html/defaults.h"
#include "docx2html/docxstyle.h"
#include "docx2html/markup.h"
#include "docx2html/math.h"
#include "docx2html/numbering.h"
#include "docx2html/symbols.h"
#include "docx2html/tablestyles.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// Replacements of stretches of a text, applied in one rebuild. Edits must
// not overlap; at one offset they apply in the order they were added.
class Edits {
public:
    void replace(std::size_t at, std::size_t length, std::string text) {
        items_.push_back({at, length, std::move(text), items_.size()});
    }
    void insert(std::size_t at, std::string text) { replace(at, 0, std::move(text)); }
    bool empty() const { return items_.empty(); }
    std::string apply(std::string_view t) {
        std::sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) {
            return a.at != b.at ? a.at < b.at : a.order < b.order;
        });
        std::string out;
        out.reserve(t.size() + t.size() / 8);
        std::size_t copied = 0;
        for (const Item& e : items_) {
            if (e.at < copied) continue;  // overlapping: the first one wins
            out.append(t.substr(copied, e.at - copied));
            out += e.text;
            copied = e.at + e.length;
        }
        out.append(t.substr(std::min(copied, t.size())));
        return out;
    }

private:
    struct Item {
        std::size_t at, length;
        std::string text;
        std::size_t order;
    };
    std::vector<Item> items_;
};

// ---------------------------------------------------------------------------
// Paragraph properties through the style chain

struct ParagraphStyle {
    std::string basedOn;
    std::optional<int> numId, ilvl, outline;
    std::optional<bool> bidi, pageBreakBefore;
    std::optional<std::string> line, lineRule;  // the spacing element's line spacing
    std::optional<bool> contextual;             // no spacing between paragraphs of one style
    std::optional<bool> autoBefore, autoAfter;  // spacing as a web page has it (14 pt)
    std::optional<std::string> justification;
};

class ParagraphStyles {
public:
    explicit ParagraphStyles(std::string_view styles) {
        for (const Element& s : elements(styles, "style")) {
            const std::string_view type = tagAttribute(s.tag, "type");
            if (!type.empty() && type != "paragraph") continue;
            const std::string id(tagAttribute(s.tag, "styleId"));
            ParagraphStyle p;
            p.basedOn = std::string(childValue(s.content, "basedOn"));
            const std::string pPr = textBetween(s.content, "<pPr>", "</pPr>");
            read(pPr, p);
            const std::string name = lowerCase(childValue(s.content, "name"));
            if (!p.outline && name.size() == 9 && name.compare(0, 8, "heading ") == 0 && name[8] >= '1' && name[8] <= '9')
                p.outline = name[8] - '1';
            if (isOn(tagAttribute(s.tag, "default")) && !tagAttribute(s.tag, "default").empty()) defaultId_ = id;
            styles_.emplace(id, std::move(p));
        }
    }

    // Reads the properties a pPr sets directly.
    static void read(std::string_view pPr, ParagraphStyle& p) {
        if (const std::string_view n = childValue(pPr, "numId"); !n.empty()) p.numId = intValue(n, 0);
        if (const std::string_view l = childValue(pPr, "ilvl"); !l.empty()) p.ilvl = intValue(l, 0);
        if (const std::string_view o = childValue(pPr, "outlineLvl"); !o.empty()) p.outline = intValue(o, 9);
        if (hasChild(pPr, "bidi")) p.bidi = isOn(childValue(pPr, "bidi"));
        if (hasChild(pPr, "pageBreakBefore")) p.pageBreakBefore = isOn(childValue(pPr, "pageBreakBefore"));
        if (hasChild(pPr, "contextualSpacing")) p.contextual = isOn(childValue(pPr, "contextualSpacing"));
        const std::string_view spacing = childTag(pPr, "spacing");
        if (const std::string_view l = tagAttribute(spacing, "line"); !l.empty()) p.line = std::string(l);
        if (const std::string_view r = tagAttribute(spacing, "lineRule"); !r.empty()) p.lineRule = std::string(r);
        if (const std::string_view a = tagAttribute(spacing, "beforeAutospacing"); !a.empty()) p.autoBefore = isOn(a);
        if (const std::string_view a = tagAttribute(spacing, "afterAutospacing"); !a.empty()) p.autoAfter = isOn(a);
        if (const std::string_view jc = childValue(pPr, "jc"); !jc.empty()) p.justification = std::string(jc);
    }

    // The paragraph's own properties completed from its style chain (the
    // default paragraph style when it names none).
    // The style a paragraph has: the one it names, else the default one.
    const std::string& styleOf(const std::string& id) const { return id.empty() ? defaultId_ : id; }

    ParagraphStyle resolve(ParagraphStyle own, std::string id) const {
        id = styleOf(id);
        for (int depth = 0; depth < 32 && !id.empty(); ++depth) {
            const auto it = styles_.find(id);
            if (it == styles_.end()) break;
            const ParagraphStyle& s = it->second;
            if (!own.numId) own.numId = s.numId;
            if (!own.ilvl) own.ilvl = s.ilvl;
            if (!own.outline) own.outline = s.outline;
            if (!own.bidi) own.bidi = s.bidi;
            if (!own.pageBreakBefore) own.pageBreakBefore = s.pageBreakBefore;
            if (!own.line) own.line = s.line;
            if (!own.contextual) own.contextual = s.contextual;
            if (!own.autoBefore) own.autoBefore = s.autoBefore;
            if (!own.autoAfter) own.autoAfter = s.autoAfter;
            if (!own.lineRule) own.lineRule = s.lineRule;
            if (!own.justification) own.justification = s.justification;
            id = s.basedOn;
        }
        return own;
    }

private:
    std::unordered_map<std::string, ParagraphStyle> styles_;
    std::string defaultId_;
};

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

constexpr std::string_view kPageMarker = "<\x1FtvPage/>";

}  // namespace

// ---------------------------------------------------------------------------
// On the raw document

void vmlPicturesToDrawings(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    if (t.find("<v:imagedata") == std::string::npos) return;
    Edits edits;
    std::size_t shapeStyleFrom = 0;
    std::string_view shapeStyle;
    for (std::size_t p = t.find("<v:imagedata"); p != std::string::npos; p = t.find("<v:imagedata", p + 1)) {
        const std::size_t gt = t.find('>', p);
        if (gt == std::string::npos) break;
        const std::string_view tag = std::string_view(t).substr(p, gt + 1 - p);
        std::string_view id = tagAttribute(tag, "r:id");
        if (id.empty()) id = tagAttribute(tag, "r:embed");
        if (id.empty()) continue;
        // The shape is the nearest VML start tag before it with a style.
        for (std::size_t s = t.rfind("<v:", p - 1); s != std::string::npos && s >= shapeStyleFrom && s > 0;
             s = t.rfind("<v:", s - 1)) {
            const std::size_t e = t.find('>', s);
            const std::string_view shape = std::string_view(t).substr(s, e + 1 - s);
            if (!tagAttribute(shape, "style").empty()) {
                shapeStyle = tagAttribute(shape, "style");
                break;
            }
        }
        shapeStyleFrom = p;
        auto extent = [&](std::string_view name) -> std::string {
            const std::string key = std::string(name) + ":";
            std::size_t at = 0;
            for (;;) {
                at = shapeStyle.find(key, at);
                if (at == std::string_view::npos) return {};
                if (at == 0 || shapeStyle[at - 1] == ';' || shapeStyle[at - 1] == ' ') break;
                ++at;
            }
            std::string_view v = shapeStyle.substr(at + key.size());
            v = trimText(v.substr(0, v.find(';')));
            try {
                if (v.size() > 2 && v.substr(v.size() - 2) == "px") {
                    return std::to_string(static_cast<long long>(measureToInt(v.substr(0, v.size() - 2), 1)) * 9525);
                }
                return std::to_string(measureToInt(v, kEmuPerPoint));
            } catch (const Error&) {
                return {};
            }
        };
        const std::string cx = extent("width"), cy = extent("height");
        std::string drawing = "<w:drawing><wp:inline>";
        if (!cx.empty() && !cy.empty()) drawing += "<wp:extent cx=\"" + cx + "\" cy=\"" + cy + "\"/>";
        drawing += "<a:blip r:embed=\"" + std::string(id) + "\"/></wp:inline></w:drawing>";
        edits.replace(p, gt + 1 - p, drawing);
    }
    if (!edits.empty()) ctx.workingText = edits.apply(t);
}

void symbolsToText(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    if (t.find("<w:sym") == std::string::npos) return;
    Edits edits;
    for (const Element& e : elements(t, "w:sym")) {
        const std::string_view font = tagAttribute(e.tag, "w:font");
        const std::string_view hex = tagAttribute(e.tag, "w:char");
        std::uint32_t code = 0;
        const auto r = std::from_chars(hex.data(), hex.data() + hex.size(), code, 16);
        if (r.ec != std::errc() || r.ptr != hex.data() + hex.size() || code == 0) continue;
        std::uint32_t u = symbolToUnicode(font, code);
        if (u == 0) u = code < 0x100 ? 0xF000 + code : code;  // shown in its own font, if the reader has it
        std::string text;
        appendUtf8(text, u);
        edits.replace(e.begin, e.end - e.begin, "<w:t>" + escapeHtml(text) + "</w:t>");
    }
    if (!edits.empty()) ctx.workingText = edits.apply(t);
}

void equationsToMathml(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    if (t.find("<m:oMath") == std::string::npos) return;
    Edits edits;
    auto replace = [&](const Element& e, bool display) {
        const std::size_t index = ctx.mathMarkup.size();
        ctx.mathMarkup.push_back(ommlToMathml(std::string_view(t).substr(e.begin, e.end - e.begin), display));
        edits.replace(e.begin, e.end - e.begin, "<w:\x1FtvMath w:val=\"" + std::to_string(index) + "\"/>");
    };
    // A paragraph of equations is one display equation; the inline ones
    // are those outside such paragraphs (both lists are in text order).
    const std::vector<Element> paragraphs = elements(t, "m:oMathPara");
    for (const Element& e : paragraphs) replace(e, true);
    std::size_t k = 0;
    for (const Element& e : elements(t, "m:oMath")) {
        while (k < paragraphs.size() && paragraphs[k].end <= e.begin) ++k;
        if (k < paragraphs.size() && paragraphs[k].begin <= e.begin) continue;
        replace(e, false);
    }
    ctx.workingText = edits.apply(t);
}

void removeMarkerBytes(std::string& text) {
    if (text.find('\x1F') != std::string::npos) std::erase(text, '\x1F');
}

void directToggles(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    ctx.workBytes += t.size();
    Edits edits;
    for (std::size_t p = t.find("<w:"); p != std::string::npos; p = t.find("<w:", p + 3)) {
        std::size_t name = p + 3;
        if (t.compare(name, 1, "b") != 0 && t.compare(name, 1, "i") != 0) continue;
        if (t.compare(name + 1, 8, " w:val=\"") != 0) continue;
        const std::size_t value = name + 9;
        const std::size_t quote = t.find('"', value);
        if (quote == std::string::npos || t.compare(quote, 3, "\"/>") != 0) continue;
        if (isTrue(std::string_view(t).substr(value, quote - value)))
            edits.replace(p, quote + 3 - p, std::string("<w:") + t[name] + "/>");
    }
    if (!edits.empty()) ctx.workingText = edits.apply(t);
}

void prepareFidelity(ConversionContext& ctx) {
    ctx.mathMarkup.clear();
    removeMarkerBytes(ctx.workingText);
    directToggles(ctx);
    prepareRuns(ctx);
    applyTableStyleFormats(ctx);
    // Cells centred vertically: the table step writes the value as CSS,
    // where the word is "middle".
    if (ctx.workingText.find("<w:vAlign w:val=\"center\"/>") != std::string::npos)
        ctx.workingText = replaceAll(ctx.workingText, "<w:vAlign w:val=\"center\"/>", "<w:vAlign w:val=\"middle\"/>");
    vmlPicturesToDrawings(ctx);
    symbolsToText(ctx);
    equationsToMathml(ctx);
}

// ---------------------------------------------------------------------------
// On the preprocessed text

void markParagraphs(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    const ParagraphStyles styles(ctx.stylesText);
    ListDefinitions lists(*ctx.model);
    // The run properties of each paragraph style's chain, as CSS; the
    // default paragraph style's are the page's base rule.
    const StyleRunLooks looks(*ctx.model);
    const FontFamilies& families = ctx.model->fontFamilies;
    std::unordered_map<std::string, std::string> styleCss;
    Edits edits;
    bool labelled = false;
    // Page breaks and section properties, found once.
    std::vector<std::size_t> breaks, sections;
    for (std::size_t b = t.find("<br type=\"page\"/>"); b != std::string::npos; b = t.find("<br type=\"page\"/>", b + 1))
        breaks.push_back(b);
    for (std::size_t s = t.find("<sectPr"); s != std::string::npos; s = t.find("<sectPr", s + 1)) sections.push_back(s);

    // Paragraph starts and ends in order, with their nesting. Markers and
    // labels are placed at each start, page breaks at each end.
    struct Open {
        std::size_t start, content;
        std::string_view pPr;
        ParagraphStyle eff;
    };
    std::vector<Open> open;
    NextOccurrence starts(t, "<p>"), ends(t, "</p>"), propertyEnds(t, "</pPr>");
    // The paragraph before, for contextual spacing: where its markers go.
    struct Previous {
        std::size_t start, content;
        std::string style;
        bool contextual;
    } previous{std::string::npos, std::string::npos, {}, false};
    std::size_t p = 0;
    for (;;) {
        const std::size_t start = starts.atOrAfter(p);
        const std::size_t close = ends.atOrAfter(p);
        if (start == std::string::npos && close == std::string::npos) break;
        if (start == std::string::npos || (close != std::string::npos && close < start)) {
            p = close + 4;
            if (open.empty()) continue;
            const Open o = open.back();
            open.pop_back();
            if (!open.empty()) continue;  // page breaks only between top-level paragraphs

            // A page break in the paragraph starts the next sheet before the
            // paragraph when nothing is written before it, else after it.
            bool before = o.eff.pageBreakBefore.value_or(false);
            bool after = false;
            std::size_t scanned = o.content;
            bool textBefore = false;
            for (auto b = std::lower_bound(breaks.begin(), breaks.end(), o.content); b != breaks.end() && *b < close; ++b) {
                edits.replace(*b, 17, "");
                if (!textBefore) textBefore = holdsText(t, scanned, *b);
                scanned = *b;
                (textBefore ? after : before) = true;
            }
            if (o.pPr.find("<sectPr") != std::string_view::npos) {
                // A section ends here; the next one says whether it starts a new page.
                const auto n = std::lower_bound(sections.begin(), sections.end(), close);
                const std::size_t next = n == sections.end() ? std::string::npos : *n;
                const std::size_t nextEnd = next == std::string::npos ? next : t.find("</sectPr>", next);
                const std::string_view nextSection =
                    nextEnd == std::string::npos ? std::string_view() : std::string_view(t).substr(next, nextEnd - next);
                if (childValue(nextSection, "type") != "continuous") after = true;
            }
            if (before) edits.insert(o.start, std::string(kPageMarker));
            if (after) edits.insert(p, std::string(kPageMarker));
            continue;
        }

        Open o{start, start + 3, {}, {}};
        p = o.content;
        if (t.compare(o.content, 5, "<pPr>") == 0) {
            // The properties end before the paragraph's end or any paragraph inside it.
            const std::size_t e = propertyEnds.atOrAfter(o.content);
            const std::size_t limit = std::min(starts.atOrAfter(o.content), ends.atOrAfter(o.content));
            if (e != std::string::npos && e < limit) {
                o.pPr = std::string_view(t).substr(o.content + 5, e - o.content - 5);
                o.content = e + 6;
            }
        }
        ParagraphStyle own;
        ParagraphStyles::read(o.pPr, own);
        const bool ownAlignment = own.justification.has_value();
        const std::string styleId = styles.styleOf(std::string(childValue(o.pPr, "pStyle")));
        o.eff = styles.resolve(own, styleId);
        std::string marks;
        // The style chain's alignment, which the paragraph step misses in
        // tables and for a base style written after the style.
        if (!ownAlignment && o.eff.justification) {
            const std::string& jc = *o.eff.justification;
            const char* align = jc == "both" || jc == "distribute" ? "justify"
                                : jc == "center"                   ? "center"
                                : jc == "right" || jc == "end"     ? "right"
                                : jc == "left" || jc == "start"    ? "left"
                                                                   : nullptr;
            if (align) marks += "<\x1FtvCss val=\"text-align:" + std::string(align) + ";\"/>";
        }
        if (!styleId.empty()) {
            auto [css, added] = styleCss.try_emplace(styleId);
            if (added) css->second = runLookCss(looks.look(styleId, false), families);
            if (!css->second.empty()) marks += "<\x1FtvCss val=\"" + css->second + "\"/>";
        }
        if (o.eff.autoBefore.value_or(false)) marks += "<\x1FtvCss val=\"margin-top:19px;\"/>";
        if (o.eff.autoAfter.value_or(false)) marks += "<\x1FtvCss val=\"margin-bottom:19px;\"/>";
        // Between two paragraphs of one style, the one with contextual
        // spacing drops its spacing towards the other.
        const bool contextual = o.eff.contextual.value_or(false);
        if (previous.start != std::string::npos && previous.style == styleId) {
            if (contextual) marks += "<\x1FtvCss val=\"margin-top:0px;\"/>";
            if (previous.contextual) edits.insert(previous.content, "<\x1FtvCss val=\"margin-bottom:0px;\"/>");
        }
        previous = {o.start, o.content, styleId, contextual};
        if (o.eff.outline && *o.eff.outline >= 0 && *o.eff.outline <= 5)
            marks += "<\x1FtvH val=\"" + std::to_string(*o.eff.outline + 1) + "\"/>";
        if (o.eff.bidi.value_or(false)) marks += "<\x1FtvRtl/>";
        // Automatic line spacing is a multiple of the line (in 240ths), which
        // the paragraph step writes as a length.
        if (o.eff.line && o.eff.lineRule.value_or("auto") == "auto") {
            const int n = intValue(*o.eff.line, 0);
            if (n > 0 && n < 240 * 20) marks += "<\x1FtvCss val=\"line-height:" + lineMultiple(n) + ";\"/>";
        }
        if (o.eff.numId && *o.eff.numId > 0) {
            const int level = std::clamp(o.eff.ilvl.value_or(0), 0, 8);
            const std::string label = lists.nextLabel(*o.eff.numId, level);
            if (!label.empty()) {
                const std::string suffix = lists.suffix(*o.eff.numId, level);
                marks += "<r>" + label + (suffix == "nothing" ? "" : suffix == "space" ? "&#160;" : "&#160;&#160;") + "</r>";
                labelled = true;
            }
        }
        if (!marks.empty()) edits.insert(o.content, marks);
        open.push_back(o);
    }

    // Right-to-left tables: a marker in the table's first cell.
    NextOccurrence tableProps(t, "</tblPr>"), cells(t, "<tc>");
    for (std::size_t tb = t.find("<tbl>"); tb != std::string::npos; tb = t.find("<tbl>", tb + 5)) {
        const std::size_t pr = tableProps.atOrAfter(tb);
        const std::size_t cell = cells.atOrAfter(tb);
        if (pr == std::string::npos || cell == std::string::npos || pr > cell) continue;
        const std::string_view tblPr = std::string_view(t).substr(tb, pr - tb);
        if (hasChild(tblPr, "bidiVisual") && isOn(childValue(tblPr, "bidiVisual"))) edits.insert(cell + 4, "<\x1FtvRtlTable/>");
    }
    ctx.listLabels = labelled;
    if (!edits.empty()) ctx.workingText = edits.apply(t);
}

// ---------------------------------------------------------------------------
// On the assembled page

namespace {

// Headings read like the page's paragraphs unless their style says more.
const char* const kHeadingRules =
    "h1,h2,h3,h4,h5,h6{margin-top:0px;margin-bottom:0px;font-family:times new roman;font-size:1em;"
    "font-weight:normal}\r\n";
const char* const kSheetRules = "div.page{break-after:page}\r\n";
const char* const kBreakRules = ".pagebreak{break-after:page}\r\n";
const char* const kListRules = "ol,ul{list-style-type:none}\r\n";

// Whether the page's body names one of the fonts that have stand-ins.
bool namesCommonFont(std::string_view body) {
    for (const char* font : {"calibri", "cambria", "arial", "times new roman", "courier new"})
        if (findFrom(body, font, 1, true) != 0) return true;
    return false;
}

// The declarations of css ("name:value;" each) that style does not hold
// already as the last declaration of their property.
std::string withoutDeclarationsHeld(std::string_view css, std::string_view style) {
    std::string out;
    for (std::size_t from = 0; from < css.size();) {
        std::size_t end = css.find(';', from);
        end = end == std::string_view::npos ? css.size() : end + 1;
        const std::string_view declaration = css.substr(from, end - from);
        from = end;
        const std::size_t colon = declaration.find(':');
        bool held = false;
        if (colon != std::string_view::npos) {
            // The property's last declaration in style, at a declaration's start.
            const std::string_view property = declaration.substr(0, colon + 1);
            for (std::size_t at = style.rfind(property); at != std::string_view::npos;
                 at = at == 0 ? std::string_view::npos : style.rfind(property, at - 1)) {
                if (at != 0 && style[at - 1] != ';' && style[at - 1] != ' ') continue;
                held = style.compare(at, declaration.size(), declaration) == 0 ||
                       (declaration.back() == ';' && style.substr(at) == declaration.substr(0, declaration.size() - 1));
                break;
            }
        }
        if (!held) out += declaration;
    }
    return out;
}

bool startsTagAt(std::string_view t, std::size_t at, std::string_view name) {
    if (t.compare(at, name.size(), name) != 0) return false;
    const std::size_t n = at + name.size();
    return n < t.size() && (t[n] == ' ' || t[n] == '>' || t[n] == '/');
}

// The style attribute of the paragraph start tag the markers after it
// style: its value when it has one, else the declarations the markers add,
// written as one attribute when the next paragraph starts.
struct ParagraphStyleAttribute {
    std::size_t tagEnd = std::string::npos;  // the ">" of the start tag
    std::size_t quote = std::string::npos;   // the closing quote of its style value
    std::string_view value;
    std::string added;

    void start(std::string_view t, std::size_t at, Edits& edits) {
        finish(edits);
        tagEnd = t.find('>', at);
        quote = std::string::npos;
        value = {};
        if (tagEnd == std::string::npos) return;
        const std::string_view tag = t.substr(at, tagEnd - at);
        const std::size_t style = tag.find(" style=\"");
        const std::size_t close = style == std::string_view::npos ? style : tag.find('"', style + 8);
        if (close == std::string_view::npos) return;
        value = tag.substr(style + 8, close - style - 8);
        quote = at + close;
    }
    void finish(Edits& edits) {
        if (!added.empty() && tagEnd != std::string::npos) edits.insert(tagEnd, " style=\"" + added + "\"");
        added.clear();
    }
};

}  // namespace

void pictureStandIns(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    Edits edits;
    for (std::size_t p = t.find("<img src=\""); p != std::string::npos; p = t.find("<img src=\"", p + 1)) {
        const std::size_t gt = t.find('>', p);
        const std::size_t quote = t.find('"', p + 10);
        if (gt == std::string::npos || quote == std::string::npos || quote > gt) continue;
        const std::string src = lowerCase(std::string_view(t).substr(p + 10, quote - p - 10));
        const std::size_t dot = src.rfind('.');
        const std::string ext = dot == std::string::npos ? std::string() : src.substr(dot + 1);
        if (ext != "emf" && ext != "wmf" && ext != "tif" && ext != "tiff") continue;
        // The size the picture would take: its width and height attributes.
        const std::string_view tag = std::string_view(t).substr(p, gt + 1 - p);
        auto size = [&](std::string_view name) -> std::string {
            const std::size_t at = tag.find(name);
            if (at == std::string_view::npos) return {};
            std::size_t e = at + name.size();
            while (e < tag.size() && tag[e] >= '0' && tag[e] <= '9') ++e;
            return e > at + name.size() ? std::string(tag.substr(at + name.size(), e - at - name.size())) + "px" : std::string();
        };
        const std::string w = size(" width="), h = size(" height=");
        std::string style = "display:inline-block;box-sizing:border-box;border:1px dashed gray;color:gray;"
                            "font-size:small;text-align:center;vertical-align:bottom;overflow:hidden;";
        if (!w.empty()) style += "width:" + w + ";";
        if (!h.empty()) style += "height:" + h + ";line-height:" + h + ";";
        std::string label = ext == "tiff" ? "TIF" : ext;
        for (char& c : label) c = static_cast<char>(c - 32);
        edits.replace(p, gt + 1 - p, "<span class=picture style=\"" + style + "\">" + label + " picture</span>");
    }
    if (!edits.empty()) ctx.workingText = edits.apply(t);
}

void finishFidelity(ConversionContext& ctx) {
    pictureStandIns(ctx);
    const std::string& t = ctx.workingText;
    const std::string_view tv = t;
    Edits edits;
    const bool labelled = ctx.listLabels;
    NextOccurrence paragraphEnd(tv, "</p>");

    // One walk over the tags: the nesting of blocks (for page breaks), the
    // last paragraph and table start tags (for the markers inside them).
    int depth = 0;
    std::size_t paragraph = std::string::npos, table = std::string::npos;
    // A break starts a sheet only between content: it waits for the next
    // start tag, and breaks in a row or at either end make no empty sheet.
    bool contentSinceSheet = false;
    std::size_t pendingBreak = std::string::npos;
    bool headings = false, sheets = false;
    ParagraphStyleAttribute pStyle;
    const std::string sheet = ctx.pageMarginFlag ? "</div><div class=page>" : "<div class=pagebreak></div>";
    const std::size_t body = t.find("<body");
    const std::size_t bodyEnd = body == std::string::npos ? std::string::npos : t.find('>', body);
    for (std::size_t lt = t.find('<', bodyEnd == std::string::npos ? 0 : bodyEnd); lt != std::string::npos;
         lt = t.find('<', lt + 1)) {
        if (t.compare(lt, kMarkerStart.size(), kMarkerStart) == 0) {
            const std::size_t gt = t.find('>', lt);
            if (gt == std::string::npos) break;
            const std::string_view tag = tv.substr(lt, gt + 1 - lt);
            if (tag == kPageMarker) {
                if (depth == 0 && contentSinceSheet && pendingBreak == std::string::npos) {
                    pendingBreak = lt;
                    contentSinceSheet = false;
                } else {
                    edits.replace(lt, tag.size(), "");
                }
            } else if (tag.compare(0, 5, "<\x1FtvH") == 0 && paragraph != std::string::npos) {
                const std::string h = "h" + std::string(tagAttribute(tag, "val"));
                const std::size_t end = paragraphEnd.atOrAfter(gt);
                if (end != std::string::npos && h.size() == 2) {
                    edits.replace(paragraph, 2, "<" + h);
                    edits.replace(end, 4, "</" + h + ">");
                    headings = true;
                }
                edits.replace(lt, tag.size(), "");
            } else if (tag == "<\x1FtvRtl/>" && paragraph != std::string::npos) {
                edits.insert(paragraph + 2, " dir=\"rtl\"");
                edits.replace(lt, tag.size(), "");
            } else if (tag.compare(0, 8, "<\x1FtvCss ") == 0 && paragraph != std::string::npos) {
                // The last word in the paragraph's style attribute, or one of
                // its own (one for all its markers).
                const std::string css(tagAttribute(tag, "val"));
                if (pStyle.quote != std::string::npos) {
                    const std::string kept = withoutDeclarationsHeld(css, pStyle.value);
                    if (!kept.empty()) edits.insert(pStyle.quote, kept);
                } else {
                    pStyle.added += css;
                }
                edits.replace(lt, tag.size(), "");
            } else if (tag == "<\x1FtvRtlTable/>" && table != std::string::npos) {
                edits.insert(table + 6, " dir=\"rtl\"");
                edits.replace(lt, tag.size(), "");
            } else if (tag.compare(0, 9, "<\x1FtvSpan ") == 0) {
                edits.replace(lt, tag.size(), "<span style=\"" + std::string(tagAttribute(tag, "css")) + "\">");
            } else if (tag == "<\x1FtvSpanEnd/>") {
                edits.replace(lt, tag.size(), "</span>");
            } else if (tag.compare(0, 8, "<\x1FtvMath") == 0) {
                const int i = intValue(tagAttribute(tag, "val"), -1);
                edits.replace(lt, tag.size(),
                              i >= 0 && static_cast<std::size_t>(i) < ctx.mathMarkup.size() ? ctx.mathMarkup[static_cast<std::size_t>(i)]
                                                                                              : std::string());
                contentSinceSheet = true;
            } else {
                edits.replace(lt, tag.size(), "");
            }
            lt = gt;
            continue;
        }
        const bool close = t.compare(lt + 1, 1, "/") == 0;
        const std::size_t name = lt + (close ? 2 : 1);
        for (std::string_view block : {"p", "table", "ol", "ul"}) {
            if (!startsTagAt(tv, name, block)) continue;
            depth += close ? -1 : 1;
            if (depth < 0) depth = 0;
            if (!close && block == "p") {
                paragraph = lt;
                pStyle.start(tv, lt, edits);
            }
            if (!close && block == "table") table = lt;
        }
        if (!close && !startsTagAt(tv, name, "div")) {
            if (pendingBreak != std::string::npos) {
                edits.replace(pendingBreak, kPageMarker.size(), sheet);
                pendingBreak = std::string::npos;
                sheets = true;
            }
            contentSinceSheet = true;
        }
    }
    if (pendingBreak != std::string::npos) edits.replace(pendingBreak, kPageMarker.size(), "");
    pStyle.finish(edits);

    // The rules the fidelity markup needs, in a style element of their own
    // after the page's (whose rules the clean-up rewrites); none when the
    // page needs none.
    // Headings first read like paragraphs; the document's defaults then
    // apply to both.
    std::string rules;
    if (headings) rules += kHeadingRules;
    const std::string defaults = documentDefaultRules(*ctx.model);
    rules += defaults;
    if (!defaults.empty() || namesCommonFont(tv.substr(body == std::string::npos ? 0 : body)))
        rules += metricCompatibleFaces();
    if (sheets) rules += ctx.pageMarginFlag ? kSheetRules : kBreakRules;
    if (labelled) rules += kListRules;
    if (!ctx.mathMarkup.empty()) rules += mathmlFallbackCss();
    const std::size_t head = t.find("</head>");
    if (!rules.empty() && head != std::string::npos) edits.insert(head, "<style>\r\n" + rules + "</style>");
    ctx.workingText = edits.apply(t);
}

}  // namespace tavin

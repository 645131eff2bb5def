// Paragraphs: what their style chains say that the classic page leaves out
// (headings (headings.cpp), right-to-left paragraphs and tables, the alignment and run
// look of a style, web-page spacing, contextual spacing, automatic line
// spacing) and list labels as Word numbers them, left as markers at the
// start of each paragraph's content. Reads the styles (paragraph chains,
// run looks, fonts), the numbering definitions, and the paragraphs and
// tables of the document part; page breaks go to pages.cpp.
#include <algorithm>
#include <optional>
#include <unordered_map>

#include "docx2html/fidelity/defaults.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/fidelity/shading.h"
#include "core/uStr.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/headings.h"
#include "docx2html/fidelity/indents.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/memo.h"
#include "docx2html/fidelity/pages.h"
#include "docx2html/fidelity/tabs.h"
#include "docx2html/markup.h"
#include "docx2html/fidelity/lists.h"
#include "docx2html/fidelity/tables.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// ---------------------------------------------------------------------------
// Paragraph properties through the style chain

struct ParagraphStyle {
    std::string basedOn;
    std::optional<std::vector<TabStop>> tabs;  // with "clear" stops, which remove inherited ones
    std::optional<int> numId, ilvl, outline;
    std::optional<bool> bidi, pageBreakBefore;
    std::optional<std::string> line, lineRule;  // the spacing element's line spacing
    std::optional<bool> contextual;             // no spacing between paragraphs of one style
    std::optional<bool> autoBefore, autoAfter;  // spacing as a web page has it (14 pt)
    std::optional<std::string> justification;
    Indent indent;
};

// What a paragraph does not set itself, taken from a style of its chain.
// A style's tab stops join the nearer ones.
void inheritTabs(ParagraphStyle& own, const ParagraphStyle& s) {
    if (!s.tabs) return;
    if (!own.tabs) own.tabs.emplace();
    inheritTabStops(*own.tabs, *s.tabs);
}

void inherit(ParagraphStyle& own, const ParagraphStyle& s) {
    inheritTabs(own, s);
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
    own.indent.inherit(s.indent);
}

std::optional<bool> toggleChild(std::string_view pPr, std::string_view name) {
    if (!hasChild(pPr, name)) return std::nullopt;
    return isOn(childValue(pPr, name));
}

std::optional<std::string> nonEmpty(std::string_view v) {
    return v.empty() ? std::nullopt : std::optional<std::string>(std::string(v));
}

class ParagraphStyles {
public:
    // The paragraph styles of the model (a style that names no type is one),
    // each read once.
    explicit ParagraphStyles(const model::StyleSheet& sheet) : defaultId_(sheet.defaultParagraphStyle) {
        for (const auto& [id, style] : sheet.styles()) {
            if (style.type != model::StyleType::Paragraph) continue;
            ParagraphStyle p;
            p.basedOn = style.basedOn;
            readNode(style.pPr, p);
            if (!p.outline) p.outline = headings::levelOfStyleName(lowerCase(style.name));
            styles_.emplace(id, std::move(p));
        }
    }

    // Reads the properties a pPr of the working text sets directly.
    static void read(std::string_view pPr, ParagraphStyle& p) {
        const FirstTags tags(pPr);
        if (const std::string_view n = tags.value("numId"); !n.empty()) p.numId = intValue(n, 0);
        if (const std::string_view l = tags.value("ilvl"); !l.empty()) p.ilvl = intValue(l, 0);
        if (const std::string_view o = tags.value("outlineLvl"); !o.empty()) p.outline = intValue(o, 9);
        p.bidi = tags.toggle("bidi");
        p.pageBreakBefore = tags.toggle("pageBreakBefore");
        p.contextual = tags.toggle("contextualSpacing");
        const std::string_view spacing = tags.tag("spacing");
        p.line = nonEmpty(tagAttribute(spacing, "line"));
        p.lineRule = nonEmpty(tagAttribute(spacing, "lineRule"));
        if (const std::string_view a = tagAttribute(spacing, "beforeAutospacing"); !a.empty()) p.autoBefore = isOn(a);
        if (const std::string_view a = tagAttribute(spacing, "afterAutospacing"); !a.empty()) p.autoAfter = isOn(a);
        p.justification = nonEmpty(tags.value("jc"));
        if (!tags.tag("tabs").empty())
            if (const std::string t = textBetween(pPr, "<tabs>", "</tabs>"); !t.empty()) p.tabs = readTabStops(t);
        p.indent = indentOfTag(tags.tag("ind"));
    }

    // The same properties of a style's pPr in the model.
    static void readNode(pugi::xml_node pPr, ParagraphStyle& p) {
        const pugi::xml_node numPr = pPr.child("w:numPr");
        if (const std::string_view n = model::childVal(numPr, "w:numId"); !n.empty()) p.numId = intValue(n, 0);
        if (const std::string_view l = model::childVal(numPr, "w:ilvl"); !l.empty()) p.ilvl = intValue(l, 0);
        if (const std::string_view o = model::childVal(pPr, "w:outlineLvl"); !o.empty()) p.outline = intValue(o, 9);
        p.bidi = model::toggle(pPr.child("w:bidi"));
        p.pageBreakBefore = model::toggle(pPr.child("w:pageBreakBefore"));
        p.contextual = model::toggle(pPr.child("w:contextualSpacing"));
        const pugi::xml_node spacing = pPr.child("w:spacing");
        p.line = nonEmpty(spacing.attribute("w:line").value());
        p.lineRule = nonEmpty(spacing.attribute("w:lineRule").value());
        if (const std::string_view a = spacing.attribute("w:beforeAutospacing").value(); !a.empty()) p.autoBefore = isOn(a);
        if (const std::string_view a = spacing.attribute("w:afterAutospacing").value(); !a.empty()) p.autoAfter = isOn(a);
        p.justification = nonEmpty(model::childVal(pPr, "w:jc"));
        if (pPr.child("w:tabs").first_child()) p.tabs = styleTabStops(pPr);
        p.indent = indentOfNode(pPr.child("w:ind"));
    }

    // The style a paragraph has: the one it names, else the default one.
    const std::string& styleOf(const std::string& id) const { return id.empty() ? defaultId_ : id; }

    // The paragraph's own properties completed from its style chain.
    ParagraphStyle resolve(ParagraphStyle own, std::string id) const {
        id = styleOf(id);
        for (int depth = 0; depth < 32 && !id.empty(); ++depth) {
            const auto it = styles_.find(id);
            if (it == styles_.end()) break;
            inherit(own, it->second);
            id = it->second.basedOn;
        }
        return own;
    }

private:
    std::unordered_map<std::string, ParagraphStyle> styles_;
    std::string defaultId_;
};

// ---------------------------------------------------------------------------
// Rules: a paragraph's resolved properties to its markers

// The CSS alignment of a justification value; null for one CSS has not.
const char* textAlign(const std::string& jc) {
    if (jc == "both" || jc == "distribute") return "justify";
    if (jc == "center") return "center";
    if (jc == "right" || jc == "end") return "right";
    if (jc == "left" || jc == "start") return "left";
    return nullptr;
}

// The markers of spacing as a web page has it and automatic line spacing,
// a multiple of the line (in 240ths) that the paragraph step would write
// as a length.
std::string spacingMarks(const ParagraphStyle& eff) {
    std::string marks;
    if (eff.autoBefore.value_or(false)) marks += marker::css("margin-top:19px;");
    if (eff.autoAfter.value_or(false)) marks += marker::css("margin-bottom:19px;");
    return marks;
}

std::string headingAndDirectionMarks(const ParagraphStyle& eff) {
    std::string marks;
    marks += headings::mark(eff.outline);
    if (eff.bidi.value_or(false)) marks += marker::kRtl;
    if (eff.line && eff.lineRule.value_or("auto") == "auto") {
        const int n = intValue(*eff.line, 0);
        if (n > 0 && n < 240 * 20) marks += marker::css("line-height:" + lineMultiple(n) + ";");
    }
    return marks;
}

// A list label as a run, with what follows it (a tab reads as two spaces).
std::string labelRun(const std::string& label, const std::string& suffix) {
    const char* after = suffix == "nothing" ? "" : suffix == "space" ? "&#160;" : "&#160;&#160;";
    return "<r>" + label + after + "</r>";
}

// ---------------------------------------------------------------------------
// The walk over the paragraphs of the preprocessed body

class ParagraphMarks {
public:
    explicit ParagraphMarks(ConversionContext& ctx)
        : ctx_(ctx),
          t_(ctx.workingText),
          styles_(ctx.model->styleSheet),
          lists_(*ctx.model),
          levelIndents_(*ctx.model),
          looks_(*ctx.model),
          families_(ctx.model->fontFamilies),
          breaks_(t_, ctx.model->sections),
          starts_(t_, "<p>"),
          ends_(t_, "</p>"),
          propertyEnds_(t_, "</pPr>"),
          tabs_(t_, "<tab/>"),
          positionedTabs_(t_, "<ptab ") {}

    void run() {
        // Paragraph starts and ends in order, with their nesting. Markers and
        // labels are placed at each start, page breaks at each end.
        std::size_t p = 0;
        for (;;) {
            const std::size_t start = starts_.atOrAfter(p);
            const std::size_t close = ends_.atOrAfter(p);
            if (start == std::string::npos && close == std::string::npos) break;
            if (start == std::string::npos || (close != std::string::npos && close < start)) {
                p = close + 4;
                closeParagraph(close);
            } else {
                p = openParagraph(start);
            }
        }
        markTables();
        ctx_.listLabels = labelled_;
        edits_.applyTo(ctx_.workingText);
    }

private:
    struct Open {
        std::size_t start, content;
        std::string_view pPr;
        ParagraphStyle eff;
    };

    void closeParagraph(std::size_t close) {
        if (open_.empty()) return;
        const Open o = open_.back();
        open_.pop_back();
        if (!open_.empty()) return;  // page breaks only between top-level paragraphs
        if (o.eff.tabs || positionedTabs_.atOrAfter(o.content) < close)
            markTabs(t_, o.content, close, usedTabStops(o.eff.tabs.value_or(std::vector<TabStop>{})), tabs_,
                     positionedTabs_, edits_);
        breaks_.paragraph(o.start, o.content, close, o.eff.pageBreakBefore.value_or(false),
                          o.pPr.find("<sectPr") != std::string_view::npos, edits_);
    }

    // The paragraph's properties end before its end or any paragraph inside it.
    void readProperties(Open& o) {
        if (t_.compare(o.content, 5, "<pPr>") != 0) return;
        const std::size_t e = propertyEnds_.atOrAfter(o.content);
        const std::size_t limit = std::min(starts_.atOrAfter(o.content), ends_.atOrAfter(o.content));
        if (e == std::string::npos || e >= limit) return;
        o.pPr = std::string_view(t_).substr(o.content + 5, e - o.content - 5);
        o.content = e + 6;
    }

    // What a paragraph's properties alone decide: its resolved properties
    // and the markers before and after its contextual spacing.
    struct Reading {
        ParagraphStyle eff;
        std::string styleId, before, after;
    };

    Reading readingOf(std::string_view pPr) {
        Reading r;
        ParagraphStyle own;
        ParagraphStyles::read(pPr, own);
        const bool ownAlignment = own.justification.has_value();
        r.styleId = styles_.styleOf(std::string(childValue(pPr, "pStyle")));
        r.eff = styles_.resolve(own, r.styleId);
        r.before = styleMarks(r.eff, r.styleId, ownAlignment) + spacingMarks(r.eff);
        r.after = headingAndDirectionMarks(r.eff);
        r.after += indentMarks(r.eff);
        r.after += frameMarks(pPr);
        return r;
    }

    std::size_t openParagraph(std::size_t start) {
        Open o{start, start + 3, {}, {}};
        const std::size_t next = o.content;
        readProperties(o);
        const Reading& r = readings_.get(o.pPr, [&] { return readingOf(o.pPr); });
        o.eff = r.eff;
        std::string marks = r.before;
        marks += contextualMarks(o, r.styleId);
        marks += r.after;
        marks += listLabel(o, r.styleId);
        if (!marks.empty()) edits_.insert(o.content, marks);
        open_.push_back(o);
        return next;
    }

    // The style chain's alignment, which the paragraph step misses in
    // tables and for a base style written after the style; and the run look
    // of the paragraph's style.
    std::string styleMarks(const ParagraphStyle& eff, const std::string& styleId, bool ownAlignment) {
        std::string marks;
        if (!ownAlignment && eff.justification) {
            if (const char* align = textAlign(*eff.justification))
                marks += marker::css("text-align:" + std::string(align) + ";");
        }
        if (styleId.empty()) return marks;
        auto [css, added] = styleCss_.try_emplace(styleId);
        if (added) css->second = runLookCss(looks_.look(styleId, false), families_);
        if (!css->second.empty()) marks += marker::css(css->second);
        return marks;
    }

    // Between two paragraphs of one style, the one with contextual spacing
    // drops its spacing towards the other.
    std::string contextualMarks(const Open& o, const std::string& styleId) {
        std::string marks;
        const bool contextual = o.eff.contextual.value_or(false);
        if (previous_.start != std::string::npos && previous_.style == styleId) {
            if (contextual) marks += marker::css("margin-top:0px;");
            if (previous_.contextual) edits_.insert(previous_.content, marker::css("margin-bottom:0px;"));
        }
        previous_ = {o.start, o.content, styleId, contextual};
        return marks;
    }

    // A framed paragraph (w:framePr, but a drop cap) floats as a box of its
    // frame's width beside the text, on the side its frame is aligned to;
    // one that allows no text beside it stands alone.
    static std::string frameMarks(std::string_view pPr) {
        const std::size_t at = pPr.find("<framePr ");
        const std::size_t gt = at == std::string_view::npos ? at : pPr.find('>', at);
        if (gt == std::string_view::npos) return {};
        const std::string_view tag = pPr.substr(at, gt + 1 - at);
        const std::string_view dropCap = tagAttribute(tag, "dropCap"), wrap = tagAttribute(tag, "wrap");
        if (!dropCap.empty() && dropCap != "none") return {};
        const std::string_view side = tagAttribute(tag, "xAlign");
        std::string css = wrap == "notBeside" || wrap == "none" ? "clear:both;"
                          : side == "right" || side == "outside" ? "float:right;clear:right;margin-left:9.6px;"
                                                                 : "float:left;clear:left;margin-right:9.6px;";
        const std::optional<long> w = model::number(tagAttribute(tag, "w"));
        if (w && *w > 0 && *w < 200000) css += "width:" + std::to_string(*w / 15) + "px;box-sizing:border-box;";
        return marker::css(css);
    }

    // The indent: the paragraph's own, its style chain's, then its list
    // level's.
    std::string indentMarks(ParagraphStyle& eff) const {
        if (eff.numId && *eff.numId > 0) eff.indent.inherit(levelIndents_.of(*eff.numId, std::clamp(eff.ilvl.value_or(0), 0, 8)));
        if (!eff.indent.any()) return {};
        const std::string css = indentCss(eff.indent, ctx_);
        return css.empty() ? std::string() : marker::css(css);
    }

    // Numbers in words are in the paragraph's language.
    std::string listLabel(const Open& o, const std::string& styleId) {
        const ParagraphStyle& eff = o.eff;
        if (!eff.numId || *eff.numId <= 0) return {};
        const int level = std::clamp(eff.ilvl.value_or(0), 0, 8);
        const std::string language = paragraphLanguage(*ctx_.model, childValue(o.pPr, "lang"), styleId);
        const std::string label = lists_.nextLabel(*eff.numId, level, language);
        if (label.empty()) return {};
        labelled_ = true;
        return labelRun(label, lists_.suffix(*eff.numId, level));
    }

    // Right-to-left tables, tables without borders or with some sides only, and floating tables
    // (placed on the first section's text): a marker in the table's first cell.
    void markTables() {
        NextOccurrence tableProps(t_, "</tblPr>"), cells(t_, "<tc>");
        const std::vector<TableBorders> borders = tableBorders(t_, ctx_.model->styleSheet);
        const std::vector<model::Section>& sections = ctx_.model->sections;
        std::size_t k = 0;
        for (std::size_t tb = findText(t_, "<tbl>"); tb != std::string::npos; tb = findText(t_, "<tbl>", tb + 5), ++k) {
            const std::size_t pr = tableProps.atOrAfter(tb);
            const std::size_t cell = cells.atOrAfter(tb);
            if (cell == std::string::npos) break;
            const std::string_view tblPr =
                pr == std::string::npos || pr > cell ? std::string_view() : std::string_view(t_).substr(tb, pr - tb);
            const bool rtl = toggleChild(tblPr, "bidiVisual").value_or(false);
            if (k < borders.size()) edits_.insert(cell + 4, bordersMarker(borders[k], rtl));
            if (tblPr.empty()) continue;
            if (rtl) edits_.insert(cell + 4, std::string(marker::kRtlTable));
            const std::string floating = sections.empty() ? std::string() : floatingTableCss(tblPr, sections.front());
            if (!floating.empty()) edits_.insert(cell + 4, marker::tableCss(floating));
        }
    }

    ConversionContext& ctx_;
    const std::string& t_;
    const ParagraphStyles styles_;
    ListDefinitions lists_;
    const LevelIndents levelIndents_;
    // The run properties of each paragraph style's chain, as CSS.
    const StyleRunLooks looks_;
    const FontFamilies& families_;
    std::unordered_map<std::string, std::string> styleCss_;
    PageBreaks breaks_;
    NextOccurrence starts_, ends_, propertyEnds_, tabs_, positionedTabs_;
    EditList edits_;
    bool labelled_ = false;
    std::vector<Open> open_;
    BoundedMemo<std::string_view, Reading> readings_;  // by the pPr's text, which outlives the walk
    // The paragraph before, for contextual spacing: where its markers go.
    struct Previous {
        std::size_t start, content;
        std::string style;
        bool contextual;
    } previous_{std::string::npos, std::string::npos, {}, false};
};

}  // namespace

void markParagraphs(ConversionContext& ctx) { ParagraphMarks(ctx).run(); }

}  // namespace tavin

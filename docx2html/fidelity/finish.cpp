// The assembled page: the markers the earlier steps left become their
// markup (headings as h1-h6 (headings.cpp), dir="rtl" on paragraphs and tables, the
// paragraphs' own CSS, spans of run looks, equations, sheets), and the
// head gets the rules these need and the document's defaults. Reads the
// page being built, the equations set aside, and the styles, theme and
// font table for the defaults.
#include <string>
#include <string_view>

#include "core/uStr.h"
#include "docx2html/fidelity/defaults.h"
#include "docx2html/fidelity/fonts.h"
#include "docx2html/fidelity/runs.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/equations.h"
#include "docx2html/fidelity/headings.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/fidelity/pages.h"
#include "docx2html/fidelity/validpage.h"
#include "docx2html/markup.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

const char* const kSheetRules = "div.page{break-after:page}\r\n";
const char* const kBreakRules = ".pagebreak{break-after:page}\r\n";
// The labels are the paragraphs' own, and so are their indents.
const char* const kListRules = "ol,ul{list-style-type:none;padding-left:0px;margin-left:0px}\r\n";

// Whether style holds declaration ("name:value;") already as the last
// declaration of its property.
bool declarationHeld(std::string_view declaration, std::string_view style) {
    const std::size_t colon = declaration.find(':');
    if (colon == std::string_view::npos) return false;
    // The property's last declaration in style, at a declaration's start.
    const std::string_view property = declaration.substr(0, colon + 1);
    for (std::size_t at = style.rfind(property); at != std::string_view::npos;
         at = at == 0 ? std::string_view::npos : style.rfind(property, at - 1)) {
        if (at != 0 && style[at - 1] != ';' && style[at - 1] != ' ') continue;
        return style.compare(at, declaration.size(), declaration) == 0 ||
               (declaration.back() == ';' && style.substr(at) == declaration.substr(0, declaration.size() - 1));
    }
    return false;
}

// The declarations of css ("name:value;" each) that style does not hold
// already.
std::string withoutDeclarationsHeld(std::string_view css, std::string_view style) {
    std::string out;
    for (std::size_t from = 0; from < css.size();) {
        std::size_t end = css.find(';', from);
        end = end == std::string_view::npos ? css.size() : end + 1;
        const std::string_view declaration = css.substr(from, end - from);
        from = end;
        if (!declarationHeld(declaration, style)) out += declaration;
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

    void start(std::string_view t, std::size_t at, EditList& edits) {
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
    // CSS for the paragraph: the last word in its style attribute, or one
    // of its own (one for all its markers).
    void add(const std::string& css, EditList& edits) {
        if (quote == std::string::npos) {
            added += css;
            return;
        }
        const std::string kept = withoutDeclarationsHeld(css, value);
        if (!kept.empty()) edits.insert(quote, kept);
    }
    void finish(EditList& edits) {
        if (!added.empty() && tagEnd != std::string::npos) edits.insert(tagEnd, " style=\"" + added + "\"");
        added.clear();
    }
};

bool startsWith(std::string_view s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// One walk over the tags of the page's body: the nesting of blocks (for
// page breaks), the last paragraph and table start tags (for the markers
// inside them).
class PageFinisher {
public:
    explicit PageFinisher(ConversionContext& ctx)
        : ctx_(ctx), t_(ctx.workingText), paragraphEnd_(t_, "</p>"), sheets_(ctx.pageMarginFlag) {}

    void run() {
        body_ = t_.find("<body");
        const std::size_t bodyEnd = body_ == std::string::npos ? std::string::npos : t_.find('>', body_);
        for (std::size_t lt = t_.find('<', bodyEnd == std::string::npos ? 0 : bodyEnd); lt != std::string::npos;
             lt = t_.find('<', lt + 1)) {
            if (t_.compare(lt, marker::kStart.size(), marker::kStart) != 0) {
                tag(lt);
                continue;
            }
            const std::size_t gt = t_.find('>', lt);
            if (gt == std::string::npos) break;
            markerAt(lt, t_.substr(lt, gt + 1 - lt));
            lt = gt;
        }
        sheets_.finish(edits_);
        pStyle_.finish(edits_);
        addRules();
        ctx_.workingText = edits_.apply(t_);
    }

private:
    // A start or end tag of the page.
    void tag(std::size_t lt) {
        const bool close = t_.compare(lt + 1, 1, "/") == 0;
        const std::size_t name = lt + (close ? 2 : 1);
        for (std::string_view block : {"p", "table", "ol", "ul"}) {
            if (!startsTagAt(t_, name, block)) continue;
            depth_ = std::max(depth_ + (close ? -1 : 1), 0);
            if (close) continue;
            if (block == "p") {
                paragraph_ = lt;
                pStyle_.start(t_, lt, edits_);
            }
            if (block == "table") table_ = lt;
        }
        if (!close) sheets_.startTag(startsTagAt(t_, name, "div"), edits_);
    }

    void markerAt(std::size_t lt, std::string_view tag) {
        if (tag == marker::kPage) return sheets_.pageMarker(lt, depth_, edits_);
        if (startsWith(tag, "<\x1FtvSpan ")) {
            return edits_.replace(lt, tag.size(), "<span style=\"" + std::string(tagAttribute(tag, "css")) + "\">");
        }
        if (tag == marker::kSpanEnd) return edits_.replace(lt, tag.size(), "</span>");
        if (startsWith(tag, "<\x1FtvMath")) return equation(lt, tag);
        if (paragraph_ != std::string::npos) paragraphMarker(tag);
        if (tag == marker::kRtlTable && table_ != std::string::npos) edits_.insert(table_ + 6, " dir=\"rtl\"");
        // No border: the last word in the table's attributes (validatePage
        // keeps one of each name, the last).
        if (tag == marker::kPlainTable && table_ != std::string::npos)
            if (const std::size_t gt = t_.find('>', table_); gt != std::string::npos)
                edits_.insert(gt, " border=0 style=\"border:none\"");
        edits_.erase(lt, tag.size());
    }

    // A marker for the paragraph it stands in.
    void paragraphMarker(std::string_view tag) {
        if (startsWith(tag, "<\x1FtvH")) {
            heading(tag);
        } else if (tag == marker::kRtl) {
            edits_.insert(paragraph_ + 2, " dir=\"rtl\"");
        } else if (startsWith(tag, "<\x1FtvCss ")) {
            pStyle_.add(std::string(tagAttribute(tag, "val")), edits_);
        }
    }

    void heading(std::string_view tag) {
        const std::size_t end = paragraphEnd_.atOrAfter(static_cast<std::size_t>(tag.data() - t_.data()) + tag.size() - 1);
        if (end != std::string::npos && headings::apply(tag, paragraph_, end, edits_)) headings_ = true;
    }

    void equation(std::size_t lt, std::string_view tag) {
        const int i = intValue(tagAttribute(tag, "val"), -1);
        const bool known = i >= 0 && static_cast<std::size_t>(i) < ctx_.mathMarkup.size();
        edits_.replace(lt, tag.size(), known ? ctx_.mathMarkup[static_cast<std::size_t>(i)] : std::string());
        sheets_.content();
    }

    // The rules the fidelity markup needs, in a style element of their own
    // after the page's (whose rules the clean-up rewrites); none when the
    // page needs none. Headings first read like paragraphs; the document's
    // defaults then apply to both.
    void addRules() {
        std::string rules;
        if (headings_) rules += headings::rules();
        rules += documentDefaultRules(*ctx_.model);
        rules += standInFaces(t_, rules);
        if (sheets_.any()) rules += ctx_.pageMarginFlag ? kSheetRules : kBreakRules;
        if (ctx_.listLabels) rules += kListRules;
        if (!ctx_.mathMarkup.empty()) rules += mathmlFallbackCss();
        const std::size_t head = t_.find("</head>");
        if (!rules.empty() && head != std::string::npos) edits_.insert(head, "<style>\r\n" + rules + "</style>");
    }

    ConversionContext& ctx_;
    const std::string_view t_;
    NextOccurrence paragraphEnd_;
    Sheets sheets_;
    EditList edits_;
    ParagraphStyleAttribute pStyle_;
    std::size_t body_ = std::string::npos;
    std::size_t paragraph_ = std::string::npos, table_ = std::string::npos;
    int depth_ = 0;
    bool headings_ = false;
};

}  // namespace

void finishFidelity(ConversionContext& ctx) {
    pictureStandIns(ctx);
    PageFinisher(ctx).run();
    validatePage(ctx);
}

}  // namespace tavin

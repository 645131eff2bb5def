// Paragraph conversion: each raw "<p>" element becomes an HTML p element.
#include "docx2html/paragraphs.h"

#include <algorithm>

#include "docx2html/docxstyle.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/markup.h"
#include "docx2html/runs.h"

namespace tavin {

namespace {

Pos nextMarker(std::string_view t, Pos from) { return findFirstOf(t, "<p>", "<table", "</table", from); }

// Whether markup holds character data other than blanks.
bool holdsText(std::string_view t) {
    bool inTag = false;
    for (const char c : t) {
        if (c == '<' || c == '>') {
            inTag = c == '<';
        } else if (!inTag && c != ' ' && c != '\t' && c != '\r' && c != '\n') {
            return true;
        }
    }
    return false;
}

// Tags without their paragraph: the Full Fidelity markers that style a
// paragraph (heading, direction, CSS) go, as the paragraph is not shown;
// page breaks and the ends of spans stay.
std::string withoutParagraphMarkers(std::string_view tags) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t m = tags.find(marker::kStart); m != std::string_view::npos; m = tags.find(marker::kStart, m + 1)) {
        const std::string_view name = tags.substr(m + marker::kStart.size());
        const bool styling = name.starts_with("H ") || name.starts_with("Rtl/>") || name.starts_with("Css ");
        const std::size_t end = tags.find("/>", m);
        if (!styling || end == std::string_view::npos) continue;
        out.append(tags, copied, m - copied);
        copied = end + 2;
    }
    return out.append(tags.substr(copied));
}

// The start of a paragraph up to the paragraph or table inside it (a text
// box's): a paragraph of its own when it holds text, else only its tags (a
// picture's, the text box's start), so that no empty line shows.
std::string paragraphHead(ConversionContext& ctx, std::string_view head, bool inTable, const StyleIds* ids) {
    const std::size_t props = head.find("</pPr>");
    const std::string_view content = head.substr(props == std::string_view::npos ? 3 : props + 6);
    if (holdsText(content)) return convertParagraph(ctx, std::string(head) + "</p>", inTable, ids);
    return ctx.fullFidelity ? withoutParagraphMarkers(content) : std::string(content);
}

}  // namespace

std::string convertParagraph(ConversionContext& ctx, std::string_view paragraphText, bool inTable,
                             const StyleIds* ids) {
    std::string props = textBetween(paragraphText, "<pPr>", "</pPr>");
    std::string content = props.empty() ? textBetween(paragraphText, ">", "</p>")
                                        : textBetween(paragraphText, "</pPr>", "</p>");
    if (trimText(content).empty()) return "<p>&nbsp;</p>";
    const std::size_t rpr = props.find("<rPr");
    if (rpr != std::string::npos) props.resize(rpr);
    if (onlyTags(paragraphText)) return "<p>" + content + "&nbsp;</p>";

    std::string style;
    if (!props.empty()) {
        const std::string styleId = attrValue(paragraphText, "<pStyle val");
        std::string border = textBetween(props, "<pBdr>", "</pBdr>");
        if (!border.empty()) border = bordersToCss(ctx, border);
        propSlots slots = readProps(ctx, props, false);
        if (!styleId.empty()) {
            const int limit = static_cast<int>(ctx.styleTable.size());
            const int k = ids ? ids->find(styleId, limit) : findStyle(ctx, styleId, limit);
            if (k >= 0) inheritProps(ctx, slots, k, !inTable);
        }
        style = slots[slot::Background];
        for (std::size_t j = slot::FontFamily; j <= slot::Unused; ++j) style += slots[j];
        style += border;
    }
    formatRuns(ctx, content, style);
    if (!style.empty()) return "<p style=\"" + style + "\">" + content + "</p>";
    return "<p>" + content + "</p>";
}

void convertParagraphs(ConversionContext& ctx) {
    regexReplace(ctx.sharedRegex, ctx.workingText, "<p [^>]+/>", "<p>&nbsp;</p>");
    const std::string& t = ctx.workingText;
    const std::string_view tv = t;
    Pos a = nextMarker(tv, 1);
    if (a == 0) return;

    std::string out;
    out.reserve(t.size() + t.size() / 4);
    out.append(tv.substr(0, static_cast<std::size_t>(a - 1)));
    Pos consumed = a;
    bool inTable = false;
    // The first "</p>" at or after closeFrom (0: there is none). Markers only
    // move forward, so an end found for an earlier one that lies at or after
    // the current marker is its end too, and none found means none follows:
    // paragraphs without an end tag are not searched to the end each time.
    Pos close = 0;
    Pos closeFrom = 0;
    const StyleIds ids(ctx.styleTable);
    while (a != 0) {
        const char kind = tv[static_cast<std::size_t>(a)];  // the character after "<"
        const Pos next = nextMarker(tv, a + 3);
        if (kind == 'p') {
            if (closeFrom == 0 || (close != 0 && close < a)) {
                close = findFrom(tv, "</p>", a);
                closeFrom = a;
            }
            if (close != 0) {
                const Pos end = close + 4;
                const std::string_view para = tv.substr(static_cast<std::size_t>(a - 1), static_cast<std::size_t>(end - a));
                // A further marker inside this paragraph (a text box's
                // paragraph or table): what comes before it is converted
                // alone, and the walk goes on from there.
                if (next == 0 || next >= end) {
                    out += convertParagraph(ctx, para, inTable, &ids);
                    consumed = std::max(consumed, end);
                } else {
                    out += paragraphHead(ctx, para.substr(0, static_cast<std::size_t>(next - a)), inTable, &ids);
                    consumed = std::max(consumed, next);
                }
            }
            // A "<p>" without "</p>" is left as text.
        } else {
            inTable = kind == 't';
        }
        if (next != 0 && next > consumed) {
            out.append(tv.substr(static_cast<std::size_t>(consumed - 1), static_cast<std::size_t>(next - consumed)));
            consumed = next;
        }
        a = next;
    }
    if (consumed <= static_cast<Pos>(t.size())) out.append(tv.substr(static_cast<std::size_t>(consumed - 1)));
    ctx.workingText = std::move(out);
}

}  // namespace tavin

// Paragraph conversion: each raw "<p>" element becomes an HTML p element.
#include "docx2html/paragraphs.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "docx2html/docxstyle.h"
#include "docx2html/fidelity/markers.h"
#include "docx2html/markup.h"
#include "docx2html/runs.h"

namespace tavin {

namespace {

// The paragraph styles worked out in one walk, by their properties, style
// id and place (in a table or not): most paragraphs of a document share
// them. Short properties only, and a bounded number.
class StyleMemo {
public:
    const std::string* find(const std::string& key) const {
        const auto it = styles_.find(key);
        return it == styles_.end() ? nullptr : &it->second;
    }
    void add(std::string key, const std::string& style) {
        if (key.size() <= 2048 && styles_.size() < 8192) styles_.emplace(std::move(key), style);
    }

private:
    std::unordered_map<std::string, std::string> styles_;
};

std::string paragraphWithMemo(ConversionContext& ctx, std::string_view paragraphText, bool inTable,
                              const StyleIds* ids, StyleMemo* memo);

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

// A paragraph split by the paragraphs of a text box inside it: its
// properties, for the rest of it after the box.
struct SplitParagraph {
    std::string props;  // "<pPr>...</pPr>", or empty
    bool inTable;
};

// The start of a paragraph up to the paragraph or table inside it (a text
// box's): a paragraph of its own when it holds text, else only its tags (a
// picture's, the text box's start), so that no empty line shows.
std::string paragraphHead(ConversionContext& ctx, std::string_view head, bool inTable, const StyleIds* ids,
                          std::vector<SplitParagraph>& split, StyleMemo* memo) {
    const std::size_t props = head.find("</pPr>");
    const std::string_view content = head.substr(props == std::string_view::npos ? 3 : props + 6);
    const bool ownProps = props != std::string_view::npos && head.compare(3, 5, "<pPr>") == 0;
    split.push_back({ownProps ? std::string(head.substr(3, props + 3)) : std::string(), inTable});
    if (holdsText(content)) return paragraphWithMemo(ctx, std::string(head) + "</p>", inTable, ids, memo);
    return ctx.fullFidelity ? withoutParagraphMarkers(content) : std::string(content);
}

// Text between markers. Each paragraph end in it ends the rest of a split
// paragraph (after its text box), converted with that paragraph's
// properties when it holds text; the rest is copied.
void appendBetween(ConversionContext& ctx, std::string& out, std::string_view text, const StyleIds* ids,
                   std::vector<SplitParagraph>& split, StyleMemo* memo) {
    std::size_t from = 0;
    while (!split.empty()) {
        const std::size_t end = text.find("</p>", from);
        if (end == std::string_view::npos) break;
        const std::string_view rest = text.substr(from, end + 4 - from);
        const SplitParagraph outer = std::move(split.back());
        split.pop_back();
        if (holdsText(rest)) {
            out += paragraphWithMemo(ctx, "<p>" + outer.props + std::string(rest), outer.inTable, ids, memo);
        } else {
            out += rest;
        }
        from = end + 4;
    }
    out += text.substr(from);
}

// The style of a paragraph with properties props (up to their run
// properties) and style id styleId.
std::string paragraphStyle(const ConversionContext& ctx, std::string_view props, const std::string& styleId,
                           bool inTable, const StyleIds* ids) {
    std::string border = textBetween(props, "<pBdr>", "</pBdr>");
    if (!border.empty()) border = bordersToCss(ctx, border);
    propSlots slots = readProps(ctx, props, false);
    if (!styleId.empty()) {
        const int limit = static_cast<int>(ctx.styleTable.size());
        const int k = ids ? ids->find(styleId, limit) : findStyle(ctx, styleId, limit);
        if (k >= 0) inheritProps(ctx, slots, k, !inTable);
    }
    std::string style = slots[slot::Background];
    for (std::size_t j = slot::FontFamily; j <= slot::Unused; ++j) style += slots[j];
    return style + border;
}

std::string paragraphWithMemo(ConversionContext& ctx, std::string_view paragraphText, bool inTable,
                              const StyleIds* ids, StyleMemo* memo) {
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
        std::string key;
        if (memo) {
            key = std::to_string(props.size());  // the length first: any byte may follow
            key.append(1, inTable ? 't' : 'b').append(props).append(styleId);
        }
        if (const std::string* known = memo ? memo->find(key) : nullptr) {
            style = *known;
        } else {
            style = paragraphStyle(ctx, props, styleId, inTable, ids);
            if (memo) memo->add(std::move(key), style);
        }
    }
    formatRuns(ctx, content, style);
    if (!style.empty()) return "<p style=\"" + style + "\">" + content + "</p>";
    return "<p>" + content + "</p>";
}

}  // namespace

std::string convertParagraph(ConversionContext& ctx, std::string_view paragraphText, bool inTable,
                             const StyleIds* ids) {
    return paragraphWithMemo(ctx, paragraphText, inTable, ids, nullptr);
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
    StyleMemo memo;
    std::vector<SplitParagraph> split;
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
                    out += paragraphWithMemo(ctx, para, inTable, &ids, &memo);
                    consumed = std::max(consumed, end);
                } else {
                    out += paragraphHead(ctx, para.substr(0, static_cast<std::size_t>(next - a)), inTable, &ids, split,
                                         &memo);
                    consumed = std::max(consumed, next);
                }
            }
            // A "<p>" without "</p>" is left as text.
        } else {
            inTable = kind == 't';
        }
        if (next != 0 && next > consumed) {
            appendBetween(ctx, out, tv.substr(static_cast<std::size_t>(consumed - 1), static_cast<std::size_t>(next - consumed)),
                          &ids, split, &memo);
            consumed = next;
        }
        a = next;
    }
    if (consumed <= static_cast<Pos>(t.size()))
        appendBetween(ctx, out, tv.substr(static_cast<std::size_t>(consumed - 1)), &ids, split, &memo);
    ctx.workingText = std::move(out);
}

}  // namespace tavin

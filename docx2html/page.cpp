// Page size and margins, and the assembly of the HTML page around the body.
#include "docx2html/page.h"

#include "docx2html/docxstyle.h"

#include <algorithm>
#include <array>
#include <optional>
#include <vector>

#include "package/docxParts.h"

namespace tavin {

namespace {

// A character set's name as a meta element may carry it: letters, digits
// and "._:-", else none.
std::string charsetName(std::string_view name) {
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                        c == '_' || c == ':' || c == '-';
        if (!ok) return {};
    }
    return std::string(name);
}

// What a Full Fidelity page may do when opened in a browser: show pictures
// and fonts beside it and its own styles; no script, frame, form or other
// load, even where a check upstream missed one.
constexpr std::string_view kContentPolicy =
    "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; img-src 'self' file:; "
    "font-src 'self' file:; style-src 'unsafe-inline'; form-action 'none'\">";

}  // namespace

namespace {

// The start tag of the first element named name ("<pgSz ... >"), or empty.
std::string_view firstTag(std::string_view text, std::string_view name) {
    const std::string open = "<" + std::string(name);
    for (std::size_t p = text.find(open); p != std::string_view::npos; p = text.find(open, p + 1)) {
        const std::size_t after = p + open.size();
        if (after >= text.size()) break;
        const char c = text[after];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '/' && c != '>') continue;
        const std::size_t gt = text.find('>', after);
        return gt == std::string_view::npos ? std::string_view() : text.substr(p, gt + 1 - p);
    }
    return {};
}

// The values of the named attributes of tag, each all digits; none unless
// every one is there.
template <std::size_t N>
std::optional<std::array<std::string_view, N>> digitAttributes(std::string_view tag,
                                                               const std::array<std::string_view, N>& names) {
    std::array<std::string_view, N> values;
    for (std::size_t i = 0; i < N; ++i) {
        const std::optional<std::string_view> v = findTagAttribute(tag, names[i]);
        if (!v || v->empty() || v->find_first_not_of("0123456789") != std::string_view::npos) return std::nullopt;
        values[i] = *v;
    }
    return values;
}

}  // namespace

void readPageSetup(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    ctx.workBytes += t.size();
    if (const auto size = digitAttributes<2>(firstTag(t, "pgSz"), {"w", "h"})) {
        ctx.pageWidth = twipsToPx(ctx, std::string((*size)[0]));
        ctx.pageHeight = twipsToPx(ctx, std::string((*size)[1]));
    }
    if (const auto margins = digitAttributes<4>(firstTag(t, "pgMar"), {"top", "right", "bottom", "left"})) {
        ctx.marginTop = twipsToPx(ctx, std::string((*margins)[0]));
        ctx.marginRight = twipsToPx(ctx, std::string((*margins)[1]));
        ctx.marginBottom = twipsToPx(ctx, std::string((*margins)[2]));
        ctx.marginLeft = twipsToPx(ctx, std::string((*margins)[3]));
    }
    ctx.charset = charsetName(attrValue(t, "encoding"));
}

namespace {

std::string escapeTitle(std::string_view title) { return replaceAll(title, "<", "&lt;"); }


bool tagNameEnds(char c) { return c == ' ' || c == '/' || c == '>' || c == '\t' || c == '\r' || c == '\n'; }

// One fldChar element: its place in the text and its type.
struct FieldMark {
    std::size_t begin, end;
    enum Kind { Begin, Separate, End, Other } kind;
};

std::vector<FieldMark> fieldMarks(std::string_view t) {
    std::vector<FieldMark> marks;
    std::size_t p = 0;
    while ((p = static_cast<std::size_t>(findFrom(t, "<fldChar", static_cast<Pos>(p) + 1, true))) != 0) {
        const std::size_t at = p - 1;
        p = at + 8;
        if (p >= t.size() || !tagNameEnds(t[p])) continue;
        const std::size_t gt = t.find('>', p);
        if (gt == std::string_view::npos) break;
        std::size_t end = gt + 1;
        // An element with children runs through its end tag.
        if (t[gt - 1] != '/') {
            const Pos close = findFrom(t, "</fldChar>", static_cast<Pos>(end) + 1, true);
            if (close != 0) end = static_cast<std::size_t>(close - 1) + 10;
        }
        const std::string type = lowerCase(textBetween(t.substr(at, gt - at), "fldCharType=\"", "\"", true));
        const FieldMark::Kind kind = type == "begin"      ? FieldMark::Begin
                                     : type == "separate" ? FieldMark::Separate
                                     : type == "end"      ? FieldMark::End
                                                          : FieldMark::Other;
        marks.push_back({at, end, kind});
        p = end;
    }
    return marks;
}

}  // namespace

void removeFieldCodes(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    const std::vector<FieldMark> marks = fieldMarks(t);
    if (marks.empty()) return;
    // Every mark is deleted; a field that ends also loses its instruction,
    // from its begin mark through its separate mark (or its end mark when it
    // has none). Fields nest: a stack pairs each end with its begin.
    std::vector<std::pair<std::size_t, std::size_t>> cuts;
    struct Open {
        std::size_t begin;
        std::size_t separate;  // npos while the instruction runs
    };
    std::vector<Open> open;
    for (const FieldMark& m : marks) {
        cuts.emplace_back(m.begin, m.end);
        if (m.kind == FieldMark::Begin) {
            open.push_back({m.begin, std::string_view::npos});
        } else if (m.kind == FieldMark::Separate) {
            if (!open.empty() && open.back().separate == std::string_view::npos) open.back().separate = m.end;
        } else if (m.kind == FieldMark::End && !open.empty()) {
            const Open f = open.back();
            open.pop_back();
            cuts.emplace_back(f.begin, f.separate == std::string_view::npos ? m.end : f.separate);
        }
    }
    std::sort(cuts.begin(), cuts.end());
    std::string out;
    reserveText(out, t.size());
    std::size_t copied = 0;
    for (const auto& [from, to] : cuts) {
        if (from > copied) out.append(t.substr(copied, from - copied));
        copied = std::max(copied, to);
    }
    out.append(t.substr(copied));
    ctx.workingText = std::move(out);
}

void assembleHtml(ConversionContext& ctx) {
    std::string& t = ctx.workingText;
    TWSRegEx& rx = ctx.sharedRegex;
    regexDelete(rx, t, "\n\r");
    removeFieldCodes(ctx);

    std::string_view body = t;
    const std::size_t bodyStart = body.find("<body");
    if (bodyStart != std::string_view::npos) body.remove_prefix(bodyStart);
    const std::size_t sect = body.find("<sectPr");
    if (sect != std::string_view::npos) body = body.substr(0, sect);
    // The notes and the footer follow the body's text inside its end tag.
    const bool stories = !ctx.headerHtml.empty() || !ctx.notesHtml.empty() || !ctx.footerHtml.empty();
    if (stories && sect == std::string_view::npos) {
        const std::size_t end = body.rfind("</body");
        if (end != std::string_view::npos) body = body.substr(0, end);
    }

    const char* crlf = "\r\n";
    std::string page;
    page += "<html>";
    page += crlf;
    page += "<head>";
    if (ctx.fullFidelity) page += kContentPolicy;
    page += "<title>";
    page += escapeTitle(ctx.docTitle);
    page += "</title>";
    page += crlf;
    page += "<meta http-equiv=Content-Type content=\"text/html;";
    page += " charset=" + ctx.charset + "\">";
    page += crlf;
    page += "<style>";
    page += crlf;
    page += "p{margin-top:0px;margin-bottom:0px;font-family:times new roman}";
    page += crlf;
    page += "ol,ul{margin-top:0px;margin-bottom:0px;margin-left:1em}";
    page += crlf;
    page += "table{border-collapse:collapse;}";
    page += crlf;
    page += "td{padding:1 2;border-color:gray;}";
    page += crlf;
    page += "blockquote{margin-top:0px;margin-bottom:0px;disply:inline;}";
    page += crlf;
    page += ".tab{margin-left:3em}";
    if (ctx.pageMarginFlag) {
        page += "body{background-color:gray;";
        page += "text-align:center;}";
        page += crlf;
        page += " div.page{width:" + ctx.pageWidth + ";padding:" + ctx.marginTop + " " + ctx.marginRight + " " +
                ctx.marginBottom + " " + ctx.marginLeft + "; background-color:white;";
        page += "border:1px solid black;text-align:left;";
        page += "min-height:" + ctx.pageHeight + "; _height:" + ctx.pageHeight + ";margin:20px 0;}";
        page += " td div.page{width:0;height:0}";
    }
    page += "</style></head>";
    // The whole page in one buffer, made once.
    reserveText(page, page.size() + body.size() + ctx.headerHtml.size() + ctx.notesHtml.size() + ctx.footerHtml.size() + 32);

    // The page box opens right after the body start tag and is closed by the
    // body end tag.
    const std::size_t gt = body.find('>');
    if (ctx.pageMarginFlag) {
        const std::size_t cut = gt == std::string_view::npos ? 0 : gt + 1;
        page.append(body.substr(0, cut));
        page += "<div class=page>";
        page += ctx.headerHtml;
        page.append(body.substr(cut));
    } else if (stories) {
        const std::size_t cut = gt == std::string_view::npos ? 0 : gt + 1;
        page.append(body.substr(0, cut));
        page += ctx.headerHtml;
        page.append(body.substr(cut));
    } else {
        page.append(body);
    }
    page += ctx.notesHtml;
    page += ctx.footerHtml;
    page += "</body></html>";
    t = std::move(page);
}

}  // namespace tavin

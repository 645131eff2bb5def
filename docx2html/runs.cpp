// Run formatting: character properties to b, i, u, sub, sup and span.
#include "docx2html/runs.h"

#include <algorithm>

#include "docx2html/docxstyle.h"
#include "docx2html/insertions.h"
#include "docx2html/markup.h"

namespace tavin {

namespace {

// Wraps the content of every run whose properties hold marker in <name>
// ... </name>: the start tag after the run's "</rPr>", the end tag before its
// "</r>". The walk resumes at the run's end; markers inside one run count once.
// Inserted tags never form a marker, "</r>" or "</rPr>", so the searches can
// run over the unchanged text.
void wrapRuns(std::string& content, std::string_view marker, std::string_view name) {
    InsertionList ins;
    const std::string startTag = "<" + std::string(name) + ">";
    const std::string endTag = "</" + std::string(name) + ">";
    // The walk only moves forward: an end found for an earlier marker that
    // lies at or after this one is this one's too, so markers whose runs have
    // no property end nearby do not each search the rest of the content.
    NextOccurrence runEnd(content, "</r>");
    NextOccurrence propsEnd(content, "</rPr>");
    std::size_t pos = 0;
    for (;;) {
        const std::size_t m = findText(content, marker, pos);
        if (m == std::string::npos) break;
        const std::size_t end = runEnd.atOrAfter(m);
        const std::size_t props = propsEnd.atOrAfter(m);
        // A marker without a later run end or property end ends the walk.
        if (end == std::string::npos || props == std::string::npos) break;
        ins.before(end, endTag);
        ins.after(props + 6, startTag);
        pos = end;
    }
    if (!ins.empty()) content = ins.apply(content);
}

}  // namespace

void wrapFlagRuns(std::string& content, std::string_view name) {
    wrapRuns(content, "<" + std::string(name) + "/>", name);
}

void wrapMarkedRuns(std::string& content, std::string_view marker, std::string_view name) {
    wrapRuns(content, marker, name);
}

std::string propVal(std::string_view text, std::string_view name) {
    std::string marker = "<";
    marker += name;
    marker += " val=\"";
    return textBetween(text, marker, "\"/>");
}

std::string runToSpan(const ConversionContext& ctx, std::string_view runMatch, std::string_view paragraphStyle) {
    const std::string font = textBetween(runMatch, "<rFonts ascii=\"", "\"");
    std::string colour = propVal(runMatch, "color");
    // The value only, not the theme attributes that may follow it (Full
    // Fidelity; the classic page keeps them as it always had).
    if (ctx.fullFidelity) colour.erase(std::min(colour.find('"'), colour.size()));
    std::string size = propVal(runMatch, "sz");
    if (size.empty()) size = propVal(runMatch, "szCs");
    const std::string highlight = propVal(runMatch, "highlight");
    if (!size.empty()) size = halfPtToPx(size);

    std::string fontDecl;
    // The shorthand sets the weight and slant to normal too, over those the
    // paragraph's style gives; Full Fidelity keeps them.
    if (!font.empty() && !size.empty() && !ctx.fullFidelity) {
        fontDecl = "font:normal " + size + "px " + font + ";";
    } else {
        if (!font.empty()) fontDecl += "font-family:" + font + ";";
        if (!size.empty()) fontDecl += "font-size:" + size + ";";
    }
    std::string span = "<span style=\"";
    if (!fontDecl.empty() && paragraphStyle.find(fontDecl) == std::string_view::npos) span += fontDecl;
    if (!colour.empty()) {
        const std::string colourDecl = "color:#" + colour + ";";
        if (paragraphStyle.find(colourDecl) == std::string_view::npos) span += colourDecl;
    }
    if (!highlight.empty()) span += "background-color:" + highlight + ";";
    span += "\">";
    if (span == "<span style=\"\">") return "$1";
    return span + "$1</span>";
}

void formatRuns(ConversionContext& ctx, std::string& content, std::string_view paragraphStyle) {
    wrapFlagRuns(content, "b");
    wrapFlagRuns(content, "i");
    wrapMarkedRuns(content, "<u val", "u");
    wrapMarkedRuns(content, "val=\"subscript\"", "sub");
    wrapMarkedRuns(content, "val=\"superscript\"", "sup");
    TWSRegEx& rx = ctx.sharedRegex;
    rx.setPattern("<r[^>]*><rPr>.+?</rPr>(.+?)</r>");
    rx.ReplaceEach(std::move(content), [&](TWSRegEx& e) {
        const std::string run = e.MatchedText();
        return runToSpan(ctx, run, paragraphStyle);
    });
    content = rx.takeSubject();
}

std::string mergeAdjacent(std::string_view text, std::string_view name) {
    const std::string open = "<" + std::string(name);
    const std::string close = "</" + std::string(name) + ">";
    std::string out;
    reserveText(out, text.size());
    std::size_t copied = 0;
    std::size_t s = findText(text, open);
    while (s != std::string_view::npos) {
        const std::size_t gt = text.find('>', s);
        if (gt == std::string_view::npos) break;
        const std::size_t tagEnd = gt + 1;
        const std::string_view startTag = text.substr(s, tagEnd - s);
        std::size_t end = findText(text, close, tagEnd);
        if (end == std::string_view::npos) break;  // nothing further can be joined
        std::size_t next = std::string_view::npos;
        for (;;) {
            std::size_t q = end + close.size();
            while (q < text.size() && (text[q] == '\t' || text[q] == '\n' || text[q] == '\r')) ++q;
            bool joined = false;
            if (q + 1 < text.size() && text[q] == '<' && text[q + 1] != '/') {
                const std::size_t gt2 = text.find('>', q);
                if (gt2 != std::string_view::npos && text.substr(q, gt2 + 1 - q) == startTag) {
                    out.append(text.substr(copied, end - copied));
                    copied = gt2 + 1;
                    joined = true;
                }
            }
            if (!joined) {
                next = q;
                break;
            }
            end = findText(text, close, copied);
            if (end == std::string_view::npos) break;
        }
        if (end == std::string_view::npos) break;
        s = findText(text, open, next);
    }
    out.append(text.substr(copied));
    return out;
}

void finishRuns(ConversionContext& ctx) {
    std::string& t = ctx.workingText;
    regexDelete(ctx.sharedRegex, t, "<rPr>.*?</rPr>");
    regexDelete(ctx.sharedRegex, t, "<r[^>]*>");
    regexDelete(ctx.sharedRegex, t, "</r>");
    t = mergeAdjacent(t, "span");
}

void convertTabs(ConversionContext& ctx) {
    replaceAllInPlace(ctx.workingText, "<tab/>", " <b class=tab></b>");
}

}  // namespace tavin

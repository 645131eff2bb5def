#include "docx2html/MSWordHTM.h"

#include <string_view>

#include "core/uStr.h"

namespace tavin {

namespace {

// Appends the 1-based inclusive range [first, last] of text to out.
void copyRange(std::string& out, std::string_view text, Pos first, Pos last) {
    if (last < first) return;
    out.append(text.data() + (first - 1), static_cast<std::size_t>(last - first + 1));
}

// Shared walk of stripWidths and stripCellHeights. For every occurrence of
// marker (searched from the start, then from the end of the previous tag),
// the first property that begins in the tag is removed up to a terminator:
// through the next ";" when semicolonEnds is set and one lies in the tag,
// otherwise up to (not including) the next "'". A tag without a terminator
// after the property is left as it is.
void stripProperty(std::string& text, std::string_view marker, std::string_view property,
                   bool semicolonEnds) {
    Pos occ = findFrom(text, marker, 1);
    if (occ == 0) return;
    std::string out;
    reserveText(out, text.size());
    Pos copied = 1;  // first position not yet written
    while (occ != 0) {
        const Pos tagEnd = findFrom(text, ">", occ);
        if (tagEnd == 0) break;
        const Pos prop = findWithin(text, property, occ, tagEnd);
        if (prop != 0) {
            Pos resume = 0;  // first position kept after the removed property
            if (semicolonEnds) {
                const Pos semi = findWithin(text, ";", prop, tagEnd);
                if (semi != 0) resume = semi + 1;
            }
            if (resume == 0) {
                const Pos quote = findWithin(text, "'", prop, tagEnd);
                if (quote != 0) resume = quote;
            }
            if (resume != 0) {
                copyRange(out, text, copied, prop - 1);
                copied = resume;
            }
        }
        occ = findFrom(text, marker, tagEnd);
    }
    copyRange(out, text, copied, static_cast<Pos>(text.size()));
    text = std::move(out);
}

}  // namespace

void TWordHTM::cleanMarkup(std::string& text) {
    flattenTagWhitespace(text);
    collapseSpaces(text);
    replaceAllInPlace(text, "style='page-break-after:avoid'", "");
    replaceAllInPlace(text, " class=MsoNormalTable", "", true);
    regexReplace(regex_, text, "<p [^>]+><span [^>]+>&nbsp;</span></p>", "<br>");
    stripWidths(text);
    stripCellHeights(text);
    replaceAllInPlace(text, "MsoNormal", "ms");
}

void TWordHTM::flattenTagWhitespace(std::string& text) {
    // The length never changes, so the pass rewrites the text in place.
    bool inTag = false;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = text[i];
        if (c == '<') {
            if (i + 1 >= n || text[i + 1] != '!') inTag = true;
        } else if (c == '>') {
            inTag = false;
        } else if (inTag && (c == '\n' || c == '\t')) {
            text[i] = ' ';
        }
    }
}

void TWordHTM::collapseSpaces(std::string& text) {
    std::size_t hit = text.find("  ");
    if (hit == std::string::npos) return;
    std::string out;
    reserveText(out, text.size());
    const std::size_t n = text.size();
    // From the body on, a run after ":" or ";" disappears only inside a tag;
    // in the text a reader sees it becomes one space like any other.
    const std::size_t body = text.find("<body");
    // Only runs of two spaces or more change. Whether a run stands inside a
    // tag is told by the last "<" or ">" before it, looked for back to the
    // end of the run before, so each byte is read once.
    bool inTag = false;
    std::size_t known = 0;
    std::size_t copied = 0;
    while (hit != std::string::npos) {
        for (std::size_t j = hit; j > known; --j) {
            const char c = text[j - 1];
            if (c == '<' || c == '>') {
                inTag = c == '<';
                break;
            }
        }
        std::size_t runEnd = hit + 2;
        while (runEnd < n && text[runEnd] == ' ') ++runEnd;
        const std::size_t run = runEnd - hit;
        out.append(text, copied, hit - copied);
        const bool afterSeparator = hit > 0 && (text[hit - 1] == ':' || text[hit - 1] == ';');
        const bool inText = body != std::string::npos && hit >= body && !inTag;
        if (!(afterSeparator && run >= 3) || inText) out.push_back(' ');
        copied = known = runEnd;
        hit = text.find("  ", runEnd);
    }
    out.append(text, copied, std::string::npos);
    text = std::move(out);
}

void TWordHTM::stripWidths(std::string& text) {
    stripProperty(text, " width=", "width:", true);
}

void TWordHTM::stripCellHeights(std::string& text) {
    stripProperty(text, "<td ", "height:", false);
}

void TWordHTM::stylesToClasses(std::string& text) {
    styleList.clear();
    classOf_.clear();

    regexReplace(regex_, text, R"((class=\w+ )style=)", "$1styla=");

    regex_.setPattern(R"(style="[^"]+")");
    std::vector<std::string> found = regex_.AllMatches(text);
    regex_.takeSubject();  // drop the engine's copy of the page
    for (std::string& attr : found) {
        if (classOf_.find(attr) != classOf_.end()) continue;
        styleList.push_back(attr);
        classOf_.emplace(std::move(attr), styleList.size());
    }

    std::string rules;
    for (std::size_t k = 0; k < styleList.size(); ++k) {
        const std::string& entry = styleList[k];
        rules += "\r\n.s";
        rules += std::to_string(k + 1);
        rules += '{';
        // Every entry is at least 'style="x"': nine characters.
        rules.append(entry, 7, entry.size() - 8);
        rules += '}';
    }
    rules += "\r\ntd{vertical-align:top}";

    applyStyleClasses(text);
    rebuildStyleBlock(text, rules);
    replaceAllInPlace(text, "styla=", "style=");
}

void TWordHTM::indexStyleList() {
    // styleList is public and may have been filled by hand; the first entry
    // of a text gives its class number.
    classOf_.clear();
    for (std::size_t k = 0; k < styleList.size(); ++k) classOf_.emplace(styleList[k], k + 1);
}

void TWordHTM::applyStyleClasses(std::string& text) {
    indexStyleList();
    static constexpr std::string_view kAttr = "style=";
    const Pos len = static_cast<Pos>(text.size());
    Pos s = findFrom(text, kAttr, 1);
    if (s == 0) return;
    std::string out;
    reserveText(out, text.size());
    Pos copied = 1;
    while (s != 0) {
        copyRange(out, text, copied, s - 1);
        const Pos quotePos = s + static_cast<Pos>(kAttr.size());
        const char quote = quotePos <= len ? text[quotePos - 1] : '\0';
        if (quote != '"' && quote != '\'') {
            copyRange(out, text, s, quotePos - 1);
            copied = quotePos;
        } else {
            const Pos close = findFrom(text, std::string_view(&quote, 1), s + 8);
            if (close == 0) {
                copied = s;  // unterminated value: the rest stays as it is
                break;
            }
            const std::string_view attr(text.data() + (s - 1), static_cast<std::size_t>(close - s + 1));
            const auto hit = classOf_.find(attr);
            if (hit != classOf_.end()) {
                out += "class=s";
                out += std::to_string(hit->second);
            } else {
                out.append(attr);
            }
            copied = close + 1;
        }
        s = findFrom(text, kAttr, copied);
    }
    copyRange(out, text, copied, len);
    text = std::move(out);
}

void TWordHTM::rebuildStyleBlock(std::string& text, const std::string& rules) {
    const Pos s = findFrom(text, "<style", 1);
    const Pos e = findFrom(text, "</style>", 1);
    // Without a style element there is no place for the rules; the page is
    // left as it is rather than cut at a made-up position.
    if (s == 0 || e == 0 || e < s) return;

    std::string block = subText(text, s, e - s);
    regexReplace(regex_, block, R"(/\* Font Definitions \*/.+?/\* Style Definitions \*/)",
                 "/* Style Definitions */");
    regexDelete(regex_, block, R"(@[^\{]+\{[^\}]+\})");
    regexReplace(regex_, block,
                 R"(margin\-top:(.+?);\s+margin\-right:(.+?);\s+margin\-bottom:(.+?);\s+margin\-left:(.+?);)",
                 "margin:$1 $2 $3 $4;");
    block = replaceAll(block, "-->", "", true);
    block = replaceAll(block, "<--", "", true);

    static constexpr std::string_view kTrailer1 = "/* =====================*/\r\n/* Generated by Gleswick */";
    static constexpr std::string_view kTrailer2 = "\r\n-->\r\n";
    std::string out;
    reserveText(out, text.size() - static_cast<std::size_t>(e - s) + block.size() + kTrailer1.size() +
                rules.size() + kTrailer2.size());
    out.append(text, 0, static_cast<std::size_t>(s - 1));
    out += block;
    out += kTrailer1;
    out += rules;
    out += kTrailer2;
    out.append(text, static_cast<std::size_t>(e - 1), std::string::npos);
    text = std::move(out);
}

void optimize(ConversionContext& ctx) {
    TWordHTM cleaner(ctx.sharedRegex);
    cleaner.cleanMarkup(ctx.workingText);
    cleaner.stylesToClasses(ctx.workingText);
}

void reformat(ConversionContext& ctx) {
    regexReplace(ctx.sharedRegex, ctx.workingText, "<(?=[ptd])", "\r\n<");
}

}  // namespace tavin

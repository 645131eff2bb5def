// Hyperlinks, bookmarks, pictures and drop caps.
#include "docx2html/links.h"
#include "docx2html/links_internal.h"

#include <algorithm>
#include <optional>
#include <unordered_map>

#include "core/html.h"
#include "docx2html/docxstyle.h"
#include "docx2html/insertions.h"
#include "docx2html/markup.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// relTarget for many lookups: the first entry of every id, found in one scan.
class RelationshipIndex {
public:
    RelationshipIndex(std::string_view rels, std::uint64_t& work) {
        work += rels.size();
        RelationshipTags tags(rels);
        for (std::string_view tag = tags.next(); !tag.empty(); tag = tags.next()) {
            if (const auto id = findTagAttribute(tag, "Id")) first_.emplace(*id, tag);
        }
    }
    std::string target(std::string_view id) const {
        auto it = first_.find(id);
        if (it == first_.end()) return {};
        return textBetween(it->second, "Target=\"", "\"");
    }
    // Where a picture's img finds it, relative to the document part's
    // folder: "" for an unknown id (an empty src, as ever), none for a
    // target outside the package or outside that folder, an external one
    // or any address with a scheme.
    std::optional<std::string> picture(std::string_view id, std::string_view documentFolder) const {
        auto it = first_.find(id);
        if (it == first_.end()) return std::string();
        const std::string_view tag = it->second;
        if (tagAttribute(tag, "TargetMode") == "External") return std::nullopt;
        const std::string target = textBetween(tag, "Target=\"", "\"");
        if (target.empty()) return std::string();
        const std::size_t colon = target.find(':');
        if (colon != std::string::npos && colon < target.find('/')) return std::nullopt;
        const std::string part = resolvePartName(documentFolder, replaceAll(target, "\\", "/"));
        if (part.empty() || part.compare(0, documentFolder.size(), documentFolder) != 0) return std::nullopt;
        return part.substr(documentFolder.size());
    }

private:
    std::unordered_map<std::string_view, std::string_view> first_;
};

// Text a replacement template writes as it stands: "$1", "$$" and "\\"
// in a link target or a picture's name keep their bytes.
std::string templateLiteral(std::string_view text) {
    return replaceAll(replaceAll(text, "\\", "\\\\"), "$", "\\$");
}

std::string anchorTemplate(std::string_view match, const RelationshipIndex& rels) {
    const std::string anchor = attrValue(match, "anchor");
    const std::string href = anchor.empty() ? rels.target(relId(match)) : "#" + anchor;
    return "<a href=\"" + templateLiteral(escapeStoredText(href)) + "\">$1</a>";
}

std::string imgText(std::string_view match, const RelationshipIndex& rels, std::string_view documentFolder) {
    const std::optional<std::string> src = rels.picture(textBetween(match, "<a:blip r:embed=\"", "\""), documentFolder);
    if (!src) return {};
    std::string align = textBetween(match, "<wp:align>", "</wp:align>");
    if (!align.empty()) align = " align=" + align;
    const std::string extent = elementText(match, "wp:extent");
    const std::string cx = attrValue(extent, "cx");
    const std::string cy = attrValue(extent, "cy");
    std::string width, height;
    if (!cx.empty()) width = " width=" + emuToPx(cx);
    if (!cy.empty()) height = " height=" + emuToPx(cy);
    return "<img src=\"" + templateLiteral(escapeStoredText(*src)) + "\"" + align + width + height + "/>";
}

}  // namespace

namespace links {

std::vector<std::string> relTargetsFor(std::string_view rels, const std::vector<std::string>& ids) {
    std::uint64_t work = 0;
    const RelationshipIndex index(rels, work);
    std::vector<std::string> out;
    out.reserve(ids.size());
    for (const std::string& id : ids) out.push_back(index.target(id));
    return out;
}

}  // namespace links

std::string relId(std::string_view text) { return textBetween(text, "r:id=\"", "\""); }

std::string relTarget(const ConversionContext& ctx, std::string_view id) {
    return relationshipTargetById(ctx.relsText, id);
}

std::string linkToAnchor(const ConversionContext& ctx, std::string_view match) {
    return anchorTemplate(match, RelationshipIndex(ctx.relsText, ctx.workBytes));
}

std::string drawingToImg(const ConversionContext& ctx, std::string_view match) {
    return imgText(match, RelationshipIndex(ctx.relsText, ctx.workBytes), ctx.documentFolder);
}

std::string emuToPx(std::string_view text) {
    return std::to_string(roundDiv(measureToInt(text, kEmuPerPoint), 9525));
}

void wrapDropCaps(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    std::size_t pos = findText(t, "<framePr dropCap=\"");
    if (pos == std::string::npos) return;
    const std::string_view div = "<div style=\"float:left\">";
    InsertionList ins;
    LastOccurrence paragraphStart(t, "<p>");
    while (pos != std::string::npos) {
        const std::size_t start = paragraphStart.atOrBefore(pos);
        std::size_t searchFrom = pos;
        if (start != std::string::npos) {
            ins.before(start, std::string(div));
            // The paragraph end is searched from the marker's position in
            // the text before the division was inserted in front of it.
            searchFrom = pos >= start + div.size() ? pos - div.size() : start;
        }
        const std::size_t end = findText(t, "</p>", searchFrom);
        if (end == std::string::npos) break;
        ins.after(end + 4, "</div>");
        // A paragraph end found in front of the marker (a marker outside any
        // paragraph) would find the same marker again, for ever: the walk
        // always moves on past the current marker.
        pos = findText(t, "<framePr dropCap=", std::max(end, pos + 1));
    }
    if (!ins.empty()) ctx.workingText = ins.apply(t);
}

void convertLinks(ConversionContext& ctx) {
    TWSRegEx& rx = ctx.sharedRegex;
    const RelationshipIndex index(ctx.relsText, ctx.workBytes);
    auto link = [&](TWSRegEx& e) { return anchorTemplate(e.MatchedText(), index); };

    rx.setPattern("<hyperlink[^>]+/>");
    rx.ReplaceEach(std::move(ctx.workingText), link);
    rx.setPattern(R"(<hyperlink[^>]+>\s*(.+?)</hyperlink>)");
    rx.ReplaceEach(rx.takeSubject(), link);
    ctx.workingText = rx.takeSubject();

    regexReplace(rx, ctx.workingText, R"re(<bookmarkStart[^>]* name="([^"]*)"[^>]*/>)re", R"(<a name="$1"/>)");
    regexDelete(rx, ctx.workingText, "<bookMark[^>]+/>");
}

void convertImages(ConversionContext& ctx) {
    TWSRegEx& rx = ctx.sharedRegex;
    const RelationshipIndex index(ctx.relsText, ctx.workBytes);
    rx.setPattern("<drawing>.+?</drawing>");
    rx.ReplaceEach(std::move(ctx.workingText),
                   [&](TWSRegEx& e) { return imgText(e.MatchedText(), index, ctx.documentFolder); });
    ctx.workingText = rx.takeSubject();
}

}  // namespace tavin

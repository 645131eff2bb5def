// Formatting properties to CSS declarations, and the style table.
#include "docx2html/docxstyle.h"

namespace tavin {

std::string attrValue(std::string_view text, std::string_view name) {
    std::string marker(name);
    marker += "=\"";
    return textBetween(text, marker, "\"");
}

std::string twipsToPx(const ConversionContext& ctx, std::string_view s, int unitsPerPoint) {
    if (trimText(s).empty()) return {};
    const int n = measureToInt(s, unitsPerPoint);
    std::string px = std::to_string(roundDiv(n, ctx.twipsPerPx));
    // Any measure that is not zero gives at least one pixel; a plain
    // integer counts as zero only when written "0".
    const bool plain = s.find_first_not_of("+-0123456789") == std::string_view::npos;
    if (px == "0" && (plain ? s != "0" : n != 0)) px = "1";
    return px;
}

std::string halfPtToPx(std::string_view s) {
    return std::to_string(roundDiv(measureToInt(s, kHalfPointsPerPoint), 1.5));
}

std::string elementText(std::string_view text, std::string_view name) {
    std::string marker = "<";
    marker += name;
    return textSpan(text, marker, "/>");
}

std::string indToCss(const ConversionContext& ctx, std::string_view t) {
    const std::string left = attrValue(t, "left");
    const std::string right = attrValue(t, "right");
    const std::string firstLine = attrValue(t, "firstLine");
    const std::string hanging = attrValue(t, "hanging");
    std::string r, i, l;
    if (!right.empty()) r = "margin-right:" + twipsToPx(ctx, right) + "px;";
    if (!firstLine.empty()) i = "text-indent:" + twipsToPx(ctx, firstLine) + "px;";
    if (!hanging.empty()) i = "text-indent:-" + twipsToPx(ctx, hanging) + "px;";
    if (!left.empty()) l = "margin-left:" + twipsToPx(ctx, left) + "px;";
    return l + r + i;
}

std::string spacingToCss(const ConversionContext& ctx, std::string_view t) {
    const std::string before = attrValue(t, "before");
    const std::string after = attrValue(t, "after");
    const std::string line = attrValue(t, "line");
    std::string out;
    if (!before.empty()) out += "margin-top:" + twipsToPx(ctx, before) + "px;";
    if (!after.empty()) out += "margin-bottom:" + twipsToPx(ctx, after) + "px;";
    if (!line.empty()) out += "line-height:" + twipsToPx(ctx, line) + "px;";
    return out;
}

std::string borderSide(const ConversionContext& ctx, std::string_view b, std::string_view side) {
    const std::string e = elementText(b, side);
    if (e.empty()) return {};
    std::string v = attrValue(e, "val");
    if (v == "nil") return "none;";
    std::string w = twipsToPx(ctx, attrValue(e, "sz"), kEighthsPerPoint);
    if (v == "single") {
        v = "solid";
    } else if (v == "double") {
        if (strToInt(w) < 3) w = "3";
    }
    const std::string col = attrValue(e, "color");
    if (!w.empty() && !col.empty()) return w + "px " + v + " #" + col + ";";
    return {};
}

std::string bordersToCss(const ConversionContext& ctx, std::string_view b) {
    if (b.empty()) return {};
    const std::string t = borderSide(ctx, b, "top");
    const std::string l = borderSide(ctx, b, "left");
    const std::string r = borderSide(ctx, b, "right");
    const std::string bo = borderSide(ctx, b, "bottom");
    return combineBorders(t, l, r, bo);
}

std::string combineBorders(const std::string& t, const std::string& l, const std::string& r, const std::string& bo) {
    if (t == l && t == r && t == bo) return t.empty() ? std::string("border:none") : "border:" + t;
    std::string out;
    if (!t.empty()) out += "border-top:" + t;
    if (!l.empty()) out += "border-left:" + l;
    if (!r.empty()) out += "border-right:" + r;
    if (!bo.empty()) out += "border-bottom:" + bo;
    return out;
}

propSlots readProps(const ConversionContext& ctx, std::string_view p, bool boldAllowed) {
    propSlots slots;
    const std::string family = attrValue(p, "<rFonts ascii");
    const std::string colour = attrValue(p, "<color val");
    std::string size = attrValue(p, "<sz val");
    const std::string indText = textBetween(p, "<ind", "/>");
    const std::string spacingText = textBetween(p, "<spacing", "/>");
    std::string align = attrValue(p, "<jc val");
    std::string shade = textBetween(p, "<shd", "/>");
    if (!shade.empty()) shade = attrValue(shade, "color");
    if (shade == "auto") shade = ctx.autoShadeColor;
    if (!shade.empty()) slots[slot::Background] = "background-color:" + shade + ";";
    if (!spacingText.empty()) slots[slot::Spacing] = spacingToCss(ctx, spacingText);
    if (!indText.empty()) slots[slot::Indent] = indToCss(ctx, indText);
    if (!size.empty()) size = halfPtToPx(size);
    if (!family.empty()) slots[slot::FontFamily] = "font-family:" + family + ";";
    if (!size.empty()) slots[slot::FontSize] = "font-size:" + size + ";";
    if (!colour.empty()) slots[slot::Colour] = "color:#" + colour + ";";
    if (align == "both") align = "justify";
    if (!align.empty()) slots[slot::Alignment] = "text-align:" + align + ";";
    if (boldAllowed && p.find("<b/>") != std::string_view::npos) slots[slot::Weight] = "font-weight:bold;";
    slots[slot::Borders] = bordersToCss(ctx, textBetween(p, "Borders>", "Borders>"));
    slots[slot::Unused].clear();
    return slots;
}

namespace {

// readStyle, with the styles before i looked up in ids when given.
void readStyleEntry(ConversionContext& ctx, std::string_view text, int i, const StyleIds* ids) {
    styleEntry& entry = ctx.styleTable[static_cast<std::size_t>(i)];
    entry.id = attrValue(text, "styleId");
    entry.props = readProps(ctx, text, true);
    if (text.find("<basedOn") != std::string_view::npos) {
        const std::string base = attrValue(text, "basedOn val");
        const int k = ids ? ids->find(base, i) : findStyle(ctx, base, i);
        if (k != -1) inheritProps(ctx, entry.props, k, false);
    }
}

}  // namespace

void loadStyles(ConversionContext& ctx) {
    ctx.styleTable.clear();
    std::vector<std::string> matches;
    ctx.sharedRegex.setPattern("<style .+?</style>");
    matches = ctx.sharedRegex.AllMatches(ctx.stylesText);
    ctx.styleTable.resize(matches.size());
    // Base styles are looked up by id, not by a walk over all earlier styles:
    // a styles part with 100,000 styles stays linear.
    StyleIds ids;
    for (std::size_t i = 0; i < matches.size(); ++i) {
        readStyleEntry(ctx, matches[i], static_cast<int>(i), &ids);
        ids.add(ctx.styleTable[i].id, static_cast<int>(i));
    }
}

void readStyle(ConversionContext& ctx, std::string_view text, int i) { readStyleEntry(ctx, text, i, nullptr); }

int findStyle(const ConversionContext& ctx, std::string_view id, int limit) {
    const int n = std::min<int>(limit, static_cast<int>(ctx.styleTable.size()));
    for (int i = 0; i < n; ++i) {
        if (ctx.styleTable[static_cast<std::size_t>(i)].id == id) return i;
    }
    return -1;
}

StyleIds::StyleIds(const std::vector<styleEntry>& table) {
    for (std::size_t i = 0; i < table.size(); ++i) add(table[i].id, static_cast<int>(i));
}

int StyleIds::find(const std::string& id, int limit) const {
    const auto it = first_.find(id);
    // The first position is the only candidate: any later one is not first.
    return it != first_.end() && it->second < limit ? it->second : -1;
}

void inheritProps(const ConversionContext& ctx, propSlots& slots, int k, bool all) {
    const propSlots& from = ctx.styleTable[static_cast<std::size_t>(k)].props;
    // In tables only the font family and size come from the style.
    const std::size_t last = all ? slot::Background : slot::FontSize;
    for (std::size_t j = 0; j <= last; ++j) {
        if (slots[j].empty() && !from[j].empty()) slots[j] = from[j];
    }
}

std::string styleXml(const ConversionContext& ctx, std::string_view id) {
    std::string marker = "styleId=\"";
    marker += id;
    marker += "\">";
    return textBetween(ctx.stylesText, marker, "</style>");
}

}  // namespace tavin

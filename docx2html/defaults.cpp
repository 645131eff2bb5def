#include "docx2html/defaults.h"

#include <charconv>
#include <vector>

#include "docx2html/docxstyle.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

std::string typeface(std::string_view block, std::string_view name) {
    return std::string(tagAttribute(childTag(block, name), "typeface"));
}

// The attributes of a tag as name="value" pieces (with their quotes).
std::vector<std::pair<std::string_view, std::string_view>> attributes(std::string_view tag) {
    std::vector<std::pair<std::string_view, std::string_view>> out;
    std::size_t i = tag.find_first_of(" \t\r\n");
    while (i != std::string_view::npos && i < tag.size()) {
        while (i < tag.size() && (tag[i] == ' ' || tag[i] == '\t' || tag[i] == '\r' || tag[i] == '\n')) ++i;
        const std::size_t eq = tag.find('=', i);
        if (eq == std::string_view::npos || eq + 1 >= tag.size()) break;
        const char quote = tag[eq + 1];
        if (quote != '"' && quote != '\'') break;
        const std::size_t close = tag.find(quote, eq + 2);
        if (close == std::string_view::npos) break;
        out.emplace_back(tag.substr(i, eq - i), tag.substr(eq + 1, close - eq));
        i = close + 1;
    }
    return out;
}

// The CSS of a spacing element's attributes: margins and line height.
std::string spacingRules(std::string_view spacing, const ConversionContext& ctx) {
    std::string css;
    try {
        const std::string_view before = tagAttribute(spacing, "before"), after = tagAttribute(spacing, "after");
        if (!before.empty()) css += "margin-top:" + twipsToPx(ctx, before) + "px;";
        if (!after.empty()) css += "margin-bottom:" + twipsToPx(ctx, after) + "px;";
        const std::string_view line = tagAttribute(spacing, "line");
        const std::string_view rule = tagAttribute(spacing, "lineRule");
        if (!line.empty()) {
            if (rule.empty() || rule == "auto") {
                css += "line-height:" + lineMultiple(measureToInt(line, kTwipsPerPoint)) + ";";
            } else {
                css += "line-height:" + twipsToPx(ctx, line) + "px;";
            }
        }
    } catch (const Error&) {
        // A value that is no measure sets nothing here.
    }
    return css;
}

std::string cssFamily(std::string_view font) {
    std::string out = "\"";
    for (char c : font)
        if (c != '"' && c != '\\' && c != '<' && c != '>' && c != ';' && c != '{' && c != '}') out.push_back(c);
    return out + "\"";
}

}  // namespace

std::string lineMultiple(int n) {
    const long long hundredths = roundDiv(static_cast<long long>(n) * 100, 240);
    return std::to_string(hundredths / 100) + "." + (hundredths % 100 < 10 ? "0" : "") + std::to_string(hundredths % 100);
}

std::string ThemeFonts::font(std::string_view r) const {
    if (r == "majorHAnsi" || r == "majorAscii") return majorLatin;
    if (r == "majorEastAsia") return majorEastAsia;
    if (r == "majorBidi") return majorComplex;
    if (r == "minorHAnsi" || r == "minorAscii") return minorLatin;
    if (r == "minorEastAsia") return minorEastAsia;
    if (r == "minorBidi") return minorComplex;
    return {};
}

ThemeFonts readThemeFonts(std::string_view theme) {
    ThemeFonts f;
    const std::vector<Element> major = elements(theme, "a:majorFont");
    const std::vector<Element> minor = elements(theme, "a:minorFont");
    if (!major.empty()) {
        f.majorLatin = typeface(major[0].content, "a:latin");
        f.majorEastAsia = typeface(major[0].content, "a:ea");
        f.majorComplex = typeface(major[0].content, "a:cs");
    }
    if (!minor.empty()) {
        f.minorLatin = typeface(minor[0].content, "a:latin");
        f.minorEastAsia = typeface(minor[0].content, "a:ea");
        f.minorComplex = typeface(minor[0].content, "a:cs");
    }
    return f;
}

std::string resolveThemeFonts(std::string_view text, const ThemeFonts& fonts, std::string_view prefix) {
    const std::string name = std::string(prefix) + "rFonts";
    const std::string ascii = std::string(prefix) + "ascii";
    const std::string asciiTheme = std::string(prefix) + "asciiTheme";
    const std::string hAnsiTheme = std::string(prefix) + "hAnsiTheme";
    std::string out;
    std::size_t copied = 0;
    for (const Element& e : elements(text, name)) {
        std::string_view reference = tagAttribute(e.tag, asciiTheme);
        if (reference.empty() && tagAttribute(e.tag, ascii).empty()) reference = tagAttribute(e.tag, hAnsiTheme);
        const std::string font = fonts.font(reference);
        if (font.empty()) continue;
        std::string tag = "<" + name + " " + ascii + "=\"" + font + "\"";
        for (const auto& [n, v] : attributes(e.tag))
            if (n != ascii && n != asciiTheme) tag += " " + std::string(n) + "=" + std::string(v);
        tag += e.tag.size() >= 2 && e.tag[e.tag.size() - 2] == '/' ? "/>" : ">";
        out.append(text.substr(copied, e.begin - copied));
        out += tag;
        copied = e.begin + e.tag.size();
    }
    out.append(text.substr(copied));
    return out;
}

namespace {

// The CSS of the run properties the classic run steps do not read:
// strike-through, double strike-through, small capitals, character
// spacing and shading.
std::string runCss(std::string_view rPr, const ConversionContext& ctx) {
    auto tag = [&](std::string_view name) { return childTag(rPr, name); };
    auto on = [&](std::string_view name) {
        const std::string_view t = tag(name);
        return !t.empty() && isOn(tagAttribute(t, "w:val"));
    };
    std::string css;
    if (on("w:dstrike")) css += "text-decoration:line-through;text-decoration-style:double;";
    else if (on("w:strike")) css += "text-decoration:line-through;";
    if (on("w:smallCaps")) css += "font-variant:small-caps;";
    const std::string_view spacing = tagAttribute(tag("w:spacing"), "w:val");
    if (!spacing.empty()) {
        try {
            const std::string px = twipsToPx(ctx, spacing);
            if (px != "0") css += "letter-spacing:" + px + "px;";
        } catch (const Error&) {
        }
    }
    const std::string_view fill = tagAttribute(tag("w:shd"), "w:fill");
    if (fill.size() == 6 && fill.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos && fill != "FFFFFF")
        css += "background-color:#" + std::string(fill) + ";";
    return css;
}

}  // namespace

void hiddenAndCapitalRuns(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    bool any = false;
    for (const char* p : {"<w:vanish", "<w:caps", "<w:strike", "<w:dstrike", "<w:smallCaps", "<w:spacing w:val", "<w:shd"})
        any = any || t.find(p) != std::string::npos;
    if (!any) return;
    std::string out;
    out.reserve(t.size());
    std::size_t copied = 0;
    for (const Element& r : elements(t, "w:r")) {
        const std::string_view rPr = textBetween(r.content, "<w:rPr>", "</w:rPr>").empty()
                                         ? std::string_view()
                                         : r.content.substr(0, r.content.find("</w:rPr>"));
        if (rPr.empty()) continue;
        // A run holding runs (a text box in a drawing) is left as it is.
        if (r.content.find("<w:r>") != std::string_view::npos || r.content.find("<w:r ") != std::string_view::npos) continue;
        auto on = [&](std::string_view name) {
            const std::string_view tag = childTag(rPr, name);
            return !tag.empty() && isOn(tagAttribute(tag, "w:val"));
        };
        const bool hidden = on("w:vanish");
        const bool caps = on("w:caps");
        const std::string css = hidden ? std::string() : runCss(rPr, ctx);
        if (!hidden && !caps && css.empty()) continue;
        out.append(std::string_view(t).substr(copied, r.begin - copied));
        copied = r.end;
        if (hidden) continue;
        // The other properties: a span around the run's content, marked
        // until the page is assembled.
        const std::size_t rPrEnd = r.content.find("</w:rPr>") + 8;
        const std::size_t contentFrom = static_cast<std::size_t>(r.content.data() - t.data()) + rPrEnd;
        const std::size_t contentTo = static_cast<std::size_t>(r.content.data() - t.data()) + r.content.size();
        // Letters in capitals: ASCII and Latin-1 small letters, outside tags
        // and character references.
        const std::string_view whole = std::string_view(t).substr(r.begin, r.end - r.begin);
        bool inTag = false, inReference = false;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            if (!css.empty() && r.begin + i == contentFrom) out += "<w:tvSpan w:css=\"" + css + "\"/>";
            if (!css.empty() && r.begin + i == contentTo) out += "<w:tvSpanEnd/>";
            char c = whole[i];
            if (c == '<') inTag = true;
            else if (c == '>') inTag = false;
            else if (!inTag && c == '&') inReference = true;
            else if (inReference && c == ';') inReference = false;
            else if (caps && !inTag && !inReference) {
                if (c >= 'a' && c <= 'z') {
                    c = static_cast<char>(c - 32);
                } else if (c == '\xC3' && i + 1 < whole.size()) {
                    const auto next = static_cast<unsigned char>(whole[i + 1]);
                    if (next >= 0xA0 && next <= 0xBE && next != 0xB7) {
                        out.push_back(c);
                        out.push_back(static_cast<char>(next - 0x20));
                        ++i;
                        continue;
                    }
                }
            }
            out.push_back(c);
        }
    }
    out.append(std::string_view(t).substr(copied));
    ctx.workingText = std::move(out);
}

std::string documentDefaultRules(std::string_view styles, const ThemeFonts& fonts) {
    const ConversionContext units;  // twips to pixels at the page's scale
    const std::vector<Element> defaults = elements(styles, "docDefaults");
    const std::string_view d = defaults.empty() ? std::string_view() : defaults[0].content;
    const std::vector<Element> rDefault = elements(d, "rPrDefault"), pDefault = elements(d, "pPrDefault");
    std::string_view rPr = rDefault.empty() ? std::string_view() : rDefault[0].content;
    std::string_view pPr = pDefault.empty() ? std::string_view() : pDefault[0].content;
    // The default paragraph style's own properties come on top.
    std::string_view styleRPr, stylePPr;
    for (const Element& s : elements(styles, "style")) {
        if (tagAttribute(s.tag, "type") != "paragraph" || tagAttribute(s.tag, "default").empty() ||
            !isOn(tagAttribute(s.tag, "default")))
            continue;
        const std::vector<Element> r = elements(s.content, "rPr"), p = elements(s.content, "pPr");
        if (!r.empty()) styleRPr = r[0].content;
        if (!p.empty()) stylePPr = p[0].content;
        break;
    }
    auto value = [](std::string_view first, std::string_view second, std::string_view name, std::string_view attr) {
        std::string_view v = tagAttribute(childTag(first, name), attr);
        if (v.empty()) v = tagAttribute(childTag(second, name), attr);
        return v;
    };
    std::string font(value(styleRPr, rPr, "rFonts", "ascii"));
    if (font.empty()) font = fonts.font(value(styleRPr, rPr, "rFonts", "asciiTheme"));
    const std::string_view size = value(styleRPr, rPr, "sz", "val");
    const std::string_view colour = value(styleRPr, rPr, "color", "val");
    std::string css;
    if (!font.empty()) css += "font-family:" + cssFamily(font) + ";";
    if (const int half = intValue(size, 0); half > 0)
        css += "font-size:" + std::to_string(half / 2) + (half % 2 ? ".5" : "") + "pt;";
    if (colour.size() == 6 && colour.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos)
        css += "color:#" + std::string(colour) + ";";
    // Spacing: the style's spacing attributes over the defaults' one by one.
    const std::string_view styleSpacing = childTag(stylePPr, "spacing"), defaultSpacing = childTag(pPr, "spacing");
    std::string spacing = "<spacing";
    for (std::string_view a : {"before", "after", "line", "lineRule"}) {
        std::string_view v = tagAttribute(styleSpacing, a);
        if (v.empty()) v = tagAttribute(defaultSpacing, a);
        if (!v.empty()) spacing += " " + std::string(a) + "=\"" + std::string(v) + "\"";
    }
    css += spacingRules(spacing + "/>", units);
    std::string rules = css.empty() ? std::string() : "p,h1,h2,h3,h4,h5,h6{" + css + "}\r\n";
    // The default table style's cell margins are every cell's padding.
    for (const Element& s : elements(styles, "style")) {
        if (tagAttribute(s.tag, "type") != "table" || tagAttribute(s.tag, "default").empty() ||
            !isOn(tagAttribute(s.tag, "default")))
            continue;
        const std::vector<Element> margins = elements(s.content, "tblCellMar");
        if (margins.empty()) break;
        std::string padding;
        for (std::string_view side : {"top", "right", "bottom", "left"}) {
            std::string_view w = tagAttribute(childTag(margins[0].content, side), "w");
            if (w.empty() && side == "left") w = tagAttribute(childTag(margins[0].content, "start"), "w");
            if (w.empty() && side == "right") w = tagAttribute(childTag(margins[0].content, "end"), "w");
            std::string px = "0";
            try {
                if (!w.empty()) px = twipsToPx(units, w);
            } catch (const Error&) {
            }
            padding += (padding.empty() ? "" : " ") + px + "px";
        }
        rules += "td{padding:" + padding + "}\r\n";
        break;
    }
    return rules;
}

const char* metricCompatibleFaces() {
    static const std::string faces = [] {
        const std::pair<const char*, const char*> pairs[] = {{"Calibri", "Carlito"},
                                                             {"Cambria", "Caladea"},
                                                             {"Arial", "Liberation Sans"},
                                                             {"Times New Roman", "Liberation Serif"},
                                                             {"Courier New", "Liberation Mono"}};
        const std::pair<const char*, const char*> faces4[] = {
            {"", "font-weight:normal;font-style:normal"},
            {" Bold", "font-weight:bold;font-style:normal"},
            {" Italic", "font-weight:normal;font-style:italic"},
            {" Bold Italic", "font-weight:bold;font-style:italic"}};
        std::string out;
        for (const auto& [font, standIn] : pairs)
            for (const auto& [face, descriptors] : faces4)
                out += std::string("@font-face{font-family:\"") + font + "\";" + descriptors + ";src:local(\"" + font +
                       face + "\"),local(\"" + standIn + face + "\")}\r\n";
        return out;
    }();
    return faces.c_str();
}

}  // namespace tavin

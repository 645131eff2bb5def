#include "docx2html/defaults.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "core/uStr.h"
#include "docx2html/docxstyle.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// Whether a value is a colour as Word writes it: six hex digits.
bool isHexColour(std::string_view v) {
    return v.size() == 6 && v.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

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

// A font name as a quoted CSS family name, without the characters that
// could end the name, the declaration or the markup around it.
std::string cssFamily(std::string_view font, char quote) {
    std::string out(1, quote);
    for (char c : font)
        if (c != '"' && c != '\'' && c != '\\' && c != '<' && c != '>' && c != ';' && c != '{' && c != '}' && c != '&')
            out.push_back(c);
    return out + quote;
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
    const std::string first = "<" + name + " " + ascii + "=\"";
    std::string out;
    std::size_t copied = 0;
    for (const Element& e : elements(text, name)) {
        std::string_view reference = tagAttribute(e.tag, asciiTheme);
        if (reference.empty() && tagAttribute(e.tag, ascii).empty()) reference = tagAttribute(e.tag, hAnsiTheme);
        std::string font = fonts.font(reference);
        // A font named outright but not first is moved first too.
        if (font.empty() && e.tag.compare(0, first.size(), first) != 0) font = tagAttribute(e.tag, ascii);
        if (font.empty()) continue;
        std::string tag = first + font + "\"";
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

std::string normalizeShading(std::string_view text, std::string_view prefix) {
    const std::string name = std::string(prefix) + "shd";
    const std::string val = std::string(prefix) + "val", color = std::string(prefix) + "color",
                      fill = std::string(prefix) + "fill";
    std::string out;
    std::size_t copied = 0;
    for (const Element& e : elements(text, name)) {
        if (!e.content.empty()) continue;  // not the empty element shading is written as
        const std::string_view pattern = tagAttribute(e.tag, val);
        std::string_view shade = tagAttribute(e.tag, fill);
        // A solid pattern is all pattern colour.
        if (pattern == "solid" && isHexColour(tagAttribute(e.tag, color))) shade = tagAttribute(e.tag, color);
        out.append(text.substr(copied, e.begin - copied));
        copied = e.end;
        if (!isHexColour(shade) || pattern == "nil") continue;
        out += "<" + name + " " + val + "=\"" + std::string(pattern) + "\" " + color + "=\"" + std::string(shade) + "\" " +
               fill + "=\"" + std::string(shade) + "\"/>";
    }
    if (copied == 0) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

namespace {

// The generic family a panose number (ten bytes in hex) stands for.
std::string panoseGeneric(std::string_view panose) {
    if (panose.size() != 20 || panose.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) return {};
    auto byte = [&](std::size_t i) { return std::stoi(std::string(panose.substr(2 * i, 2)), nullptr, 16); };
    switch (byte(0)) {
    case 2:  // Latin text: serif style, proportion
        if (byte(3) == 9) return "monospace";
        if (byte(1) >= 11 && byte(1) <= 15) return "sans-serif";
        if (byte(1) >= 2 && byte(1) <= 10) return "serif";
        return {};
    case 3: return "cursive";
    case 4: return "fantasy";
    default: return {};
    }
}

std::string familyGeneric(std::string_view family) {
    if (family == "roman") return "serif";
    if (family == "swiss") return "sans-serif";
    if (family == "modern") return "monospace";
    if (family == "script") return "cursive";
    if (family == "decorative") return "fantasy";
    return {};
}

}  // namespace

FontFamilies::FontFamilies(std::string_view fontTable, std::string_view theme) {
    for (const char* name : {"a:latin", "a:ea", "a:cs"}) {
        for (const Element& e : elements(theme, name)) {
            const std::string_view face = tagAttribute(e.tag, "typeface");
            const std::string generic = panoseGeneric(tagAttribute(e.tag, "panose"));
            if (!face.empty() && !generic.empty()) generic_.emplace(lowerCase(face), generic);
        }
    }
    // The font table says more than the theme: it lists every font the document uses.
    for (const Element& f : elements(fontTable, "font")) {
        const std::string_view face = tagAttribute(f.tag, "name");
        std::string generic = panoseGeneric(childValue(f.content, "panose1"));
        if (generic.empty()) generic = familyGeneric(childValue(f.content, "family"));
        if (!face.empty() && !generic.empty()) generic_[lowerCase(face)] = generic;
    }
}

std::string_view FontFamilies::generic(std::string_view font) const {
    const auto it = generic_.find(lowerCase(font));
    return it == generic_.end() ? std::string_view() : std::string_view(it->second);
}

void addRunLook(std::string_view rPr, const ThemeFonts& theme, std::string_view prefix, RunLook& look) {
    if (rPr.empty()) return;
    const std::string p(prefix);
    auto tag = [&](const char* name) { return childTag(rPr, p + name); };
    auto flag = [&](std::optional<bool>& field, const char* name) {
        if (field) return;
        const std::string_view t = tag(name);
        if (!t.empty()) field = isOn(tagAttribute(t, p + "val"));
    };
    const std::string_view fonts = tag("rFonts");
    auto font = [&](std::optional<std::string>& field, const char* name, const char* themeName) {
        if (field || fonts.empty()) return;
        std::string f(tagAttribute(fonts, p + themeName));
        f = f.empty() ? std::string(tagAttribute(fonts, p + name)) : theme.font(f);
        if (!f.empty()) field = f;
    };
    font(look.latin, "ascii", "asciiTheme");
    if (!look.latin) font(look.latin, "hAnsi", "hAnsiTheme");
    font(look.eastAsian, "eastAsia", "eastAsiaTheme");
    font(look.complex, "cs", "cstheme");
    if (!look.halfPoints) {
        const int half = intValue(tagAttribute(tag("sz"), p + "val"), 0);
        if (half > 0 && half <= 3276) look.halfPoints = half;
    }
    if (!look.colour) {
        const std::string_view c = tagAttribute(tag("color"), p + "val");
        if (isHexColour(c)) look.colour = std::string(c);
    }
    flag(look.bold, "b");
    flag(look.italic, "i");
    flag(look.caps, "caps");
    flag(look.vanish, "vanish");
    flag(look.smallCaps, "smallCaps");
    flag(look.strike, "strike");
    flag(look.dstrike, "dstrike");
    if (!look.underline) {
        const std::string_view t = tag("u");
        if (!t.empty()) look.underline = tagAttribute(t, p + "val") != "none";
    }
}

std::string runLookCss(const RunLook& look, const FontFamilies& families) {
    std::string css;
    std::vector<std::string_view> stack;
    for (const std::optional<std::string>* f : {&look.latin, &look.eastAsian, &look.complex})
        if (*f && std::find(stack.begin(), stack.end(), **f) == stack.end()) stack.push_back(**f);
    if (!stack.empty()) {
        css += "font-family:";
        for (std::string_view f : stack) css += cssFamily(f, '\'') + ",";
        const std::string_view generic = families.generic(stack.front());
        if (generic.empty()) css.pop_back();
        else css += generic;
        css += ";";
    }
    if (look.halfPoints)
        css += "font-size:" + std::to_string(*look.halfPoints / 2) + (*look.halfPoints % 2 ? ".5" : "") + "pt;";
    if (look.colour) css += "color:#" + *look.colour + ";";
    if (look.bold) css += *look.bold ? "font-weight:bold;" : "font-weight:normal;";
    if (look.italic) css += *look.italic ? "font-style:italic;" : "font-style:normal;";
    std::string decoration;
    if (look.underline.value_or(false)) decoration += " underline";
    if (look.dstrike.value_or(false) || look.strike.value_or(false)) decoration += " line-through";
    if (!decoration.empty()) css += "text-decoration:" + decoration.substr(1) + ";";
    if (look.dstrike.value_or(false)) css += "text-decoration-style:double;";
    if (look.caps) css += *look.caps ? "text-transform:uppercase;" : "text-transform:none;";
    if (look.smallCaps.value_or(false)) css += "font-variant:small-caps;";
    return css;
}

StyleRunLooks::StyleRunLooks(std::string_view styles, const ThemeFonts& theme) : theme_(theme) {
    for (const Element& s : elements(styles, "style")) {
        const std::string id(tagAttribute(s.tag, "styleId"));
        const std::vector<Element> r = elements(s.content, "rPr");
        styles_.emplace(id, Style{std::string(childValue(s.content, "basedOn")), r.empty() ? std::string_view() : r[0].content});
        if (defaultId_.empty() && tagAttribute(s.tag, "type") == "paragraph" && !tagAttribute(s.tag, "default").empty() &&
            isOn(tagAttribute(s.tag, "default")))
            defaultId_ = id;
    }
}

RunLook StyleRunLooks::look(const std::string& id, bool withDefault) const {
    RunLook look;
    std::string at = id;
    // Chains are followed 32 styles deep, as the paragraph properties' are:
    // a loop ends, and a hostile chain costs no more than that per run.
    for (int steps = 0; !at.empty() && steps < 32; ++steps) {
        if (!withDefault && at == defaultId_) break;
        const auto it = styles_.find(at);
        if (it == styles_.end()) break;
        addRunLook(it->second.rPr, theme_, "", look);
        at = it->second.basedOn;
    }
    return look;
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
    if (isHexColour(fill) && fill != "FFFFFF")
        css += "background-color:#" + std::string(fill) + ";";
    return css;
}

// Unsets in look what nearer sets.
void withoutSetIn(RunLook& look, const RunLook& nearer) {
    auto drop = [](auto& field, const auto& nearerField) {
        if (nearerField) field.reset();
    };
    drop(look.latin, nearer.latin);
    drop(look.eastAsian, nearer.eastAsian);
    drop(look.complex, nearer.complex);
    drop(look.halfPoints, nearer.halfPoints);
    drop(look.colour, nearer.colour);
    drop(look.bold, nearer.bold);
    drop(look.italic, nearer.italic);
    drop(look.underline, nearer.underline);
    drop(look.caps, nearer.caps);
    drop(look.smallCaps, nearer.smallCaps);
    drop(look.strike, nearer.strike);
    drop(look.dstrike, nearer.dstrike);
    drop(look.vanish, nearer.vanish);
}

// Whether text holds letters of East Asian scripts (CJK, kana, Hangul,
// full-width forms) or of complex ones (Hebrew, Arabic, Syriac, Indic), by
// the lead bytes of their UTF-8 sequences.
bool holdsScript(std::string_view text, bool eastAsian) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (eastAsian ? (c >= 0xE3 && c <= 0xED) || c == 0xEF || c == 0xF0 : (c >= 0xD6 && c <= 0xDD) || c == 0xE0)
            return true;
    }
    return false;
}

}  // namespace

void hiddenAndCapitalRuns(ConversionContext& ctx) {
    const std::string& t = ctx.workingText;
    bool any = false;
    for (const char* p : {"<w:vanish", "<w:caps", "<w:strike", "<w:dstrike", "<w:smallCaps", "<w:spacing w:val", "<w:shd",
                          "<w:rStyle", "<w:rFonts"})
        any = any || t.find(p) != std::string::npos;
    if (!any) return;
    const ThemeFonts theme = readThemeFonts(ctx.themeText);
    const StyleRunLooks looks(ctx.stylesText, theme);
    const FontFamilies families(ctx.fontTableText, ctx.themeText);
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
        // What the run's character style says and the run does not.
        RunLook direct;
        addRunLook(rPr, theme, "w:", direct);
        const std::string rStyle(tagAttribute(childTag(rPr, "w:rStyle"), "w:val"));
        RunLook styled = rStyle.empty() ? RunLook() : looks.look(rStyle, false);
        const bool hidden = direct.vanish ? *direct.vanish : styled.vanish.value_or(false);
        const bool caps = direct.caps ? *direct.caps : styled.caps.value_or(false);
        // The span holds what only the style says; capitals are written as such.
        withoutSetIn(styled, direct);
        styled.caps.reset();
        // A run naming East Asian or complex-script fonts besides its own
        // has them in its font stack: its text in those scripts takes them.
        RunLook scripts;
        const bool eastAsian = direct.eastAsian && direct.eastAsian != direct.latin && holdsScript(r.content, true);
        const bool complex = direct.complex && direct.complex != direct.latin && holdsScript(r.content, false);
        if (direct.latin && (eastAsian || complex)) {
            scripts.latin = direct.latin;
            if (eastAsian) scripts.eastAsian = direct.eastAsian;
            if (complex) scripts.complex = direct.complex;
        }
        const std::string css =
            hidden ? std::string() : runCss(rPr, ctx) + runLookCss(styled, families) + runLookCss(scripts, families);
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
            if (!css.empty() && r.begin + i == contentFrom) out += "<w:\x1FtvSpan w:css=\"" + css + "\"/>";
            if (!css.empty() && r.begin + i == contentTo) out += "<w:\x1FtvSpanEnd/>";
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

std::string documentDefaultRules(std::string_view styles, const ThemeFonts& fonts, const FontFamilies& families) {
    const ConversionContext units;  // twips to pixels at the page's scale
    const std::vector<Element> defaults = elements(styles, "docDefaults");
    const std::string_view d = defaults.empty() ? std::string_view() : defaults[0].content;
    const std::vector<Element> rDefault = elements(d, "rPrDefault"), pDefault = elements(d, "pPrDefault");
    std::string_view rPr = rDefault.empty() ? std::string_view() : rDefault[0].content;
    std::string_view pPr = pDefault.empty() ? std::string_view() : pDefault[0].content;
    // The default paragraph style's own properties come on top.
    std::string_view stylePPr;
    const StyleRunLooks looks(styles, fonts);
    RunLook look;
    if (!looks.defaultParagraphStyle().empty()) look = looks.look(looks.defaultParagraphStyle(), true);
    for (const Element& s : elements(styles, "style")) {
        if (tagAttribute(s.tag, "styleId") != looks.defaultParagraphStyle() || looks.defaultParagraphStyle().empty())
            continue;
        const std::vector<Element> p = elements(s.content, "pPr");
        if (!p.empty()) stylePPr = p[0].content;
        break;
    }
    addRunLook(rPr, fonts, "", look);
    std::string css = runLookCss(look, families);
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

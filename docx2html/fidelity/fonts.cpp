// Full Fidelity: theme fonts written where the steps read a run's font, and
// the stand-in faces of common fonts. Reads the theme fonts of the model.
#include "docx2html/fidelity/fonts.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/html.h"
#include "docx2html/fidelity/shading.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The attributes of a tag as name and quoted value (with its quotes).
std::vector<std::pair<std::string_view, std::string_view>> attributes(std::string_view tag) {
    std::vector<std::pair<std::string_view, std::string_view>> out;
    std::size_t i = tag.find_first_of(" \t\r\n");
    while (i != std::string_view::npos && i < tag.size()) {
        while (i < tag.size() && isBlank(tag[i])) ++i;
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

// The rFonts tag with font first.
std::string withLeadingFont(std::string_view tag, const std::string& font, const std::string& ascii,
                            const std::string& asciiTheme, const std::string& first) {
    std::string out = first + font + "\"";
    for (const auto& [n, v] : attributes(tag))
        if (n != ascii && n != asciiTheme) {
            out += ' ';
            out.append(n);
            out += '=';
            out.append(v);
        }
    out += tag.size() >= 2 && tag[tag.size() - 2] == '/' ? "/>" : ">";
    return out;
}

}  // namespace

std::string leadingFont(std::string_view asciiTheme, std::string_view ascii, std::string_view hAnsiTheme, bool asciiFirst,
                        const model::ThemeFonts& fonts) {
    const std::string_view reference = asciiTheme.empty() && ascii.empty() ? hAnsiTheme : asciiTheme;
    std::string font = fonts.font(reference);
    // A font named outright but not first is moved first too.
    if (font.empty() && !asciiFirst) font = std::string(ascii);
    return font;
}

std::string themedFontsTag(std::string_view tag, const model::ThemeFonts& fonts, std::string_view prefix) {
    const std::string p(prefix);
    const std::string ascii = p + "ascii", asciiTheme = p + "asciiTheme";
    const std::string first = "<" + p + "rFonts " + ascii + "=\"";
    const bool asciiFirst = tag.compare(0, first.size(), first) == 0;
    const std::string_view own = tagAttribute(tag, ascii);
    std::string font = leadingFont(tagAttribute(tag, asciiTheme), own, tagAttribute(tag, p + "hAnsiTheme"), asciiFirst, fonts);
    if (font.empty()) return {};
    // A theme font is read as text; the tag's own font is written as it stands.
    if (font != own) font = escapeHtml(font);
    return withLeadingFont(tag, font, ascii, asciiTheme, first);
}

std::vector<TagEdit> fontAndShadingEdits(std::string_view text, const model::ThemeFonts* fonts, bool shading,
                                         std::string_view prefix) {
    std::vector<TagEdit> edits;
    if (fonts)
        for (const Element& e : elements(text, std::string(prefix) + "rFonts"))
            if (std::string tag = themedFontsTag(e.tag, *fonts, prefix); !tag.empty())
                edits.push_back({e.begin, e.tag.size(), std::move(tag)});
    const std::size_t fontEdits = edits.size();
    if (shading)
        for (const Element& e : elements(text, std::string(prefix) + "shd"))
            if (e.content.empty()) edits.push_back({e.begin, e.end - e.begin, shownShadingTag(e.tag, prefix)});
    std::inplace_merge(edits.begin(), edits.begin() + static_cast<std::ptrdiff_t>(fontEdits), edits.end(),
                       [](const TagEdit& a, const TagEdit& b) { return a.at < b.at; });
    return edits;
}

std::size_t copyEdited(std::string& out, std::string_view text, std::size_t from, std::size_t to,
                       const std::vector<TagEdit>& edits, std::size_t next) {
    for (; next < edits.size() && edits[next].at < to; ++next) {
        const TagEdit& e = edits[next];
        out.append(text.substr(from, e.at - from));
        out += e.text;
        from = e.at + e.length;
    }
    out.append(text.substr(from, to - from));
    return next;
}

void resolveFontsAndShading(std::string& text, const model::ThemeFonts* fonts, bool shading, std::string_view prefix) {
    const std::vector<TagEdit> edits = fontAndShadingEdits(text, fonts, shading, prefix);
    if (edits.empty()) return;
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    copyEdited(out, text, 0, text.size(), edits, 0);
    text = std::move(out);
}

void resolveThemeFonts(std::string& text, const model::ThemeFonts& fonts, std::string_view prefix) {
    resolveFontsAndShading(text, &fonts, false, prefix);
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

// Full Fidelity: theme fonts written where the steps read a run's font, and
// the stand-in faces of common fonts. Reads the theme fonts of the model.
#include "docx2html/fidelity/fonts.h"

#include <utility>
#include <vector>

#include "core/html.h"
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

void resolveThemeFonts(std::string& text, const model::ThemeFonts& fonts, std::string_view prefix) {
    const std::string p(prefix);
    const std::string name = p + "rFonts", ascii = p + "ascii", asciiTheme = p + "asciiTheme", hAnsiTheme = p + "hAnsiTheme";
    const std::string first = "<" + name + " " + ascii + "=\"";
    std::string out;
    std::size_t copied = 0;
    for (const Element& e : elements(text, name)) {
        const bool asciiFirst = e.tag.compare(0, first.size(), first) == 0;
        const std::string_view own = tagAttribute(e.tag, ascii);
        std::string font = leadingFont(tagAttribute(e.tag, asciiTheme), own, tagAttribute(e.tag, hAnsiTheme), asciiFirst, fonts);
        if (font.empty()) continue;
        // A theme font is read as text; the tag's own font is written as it stands.
        if (font != own) font = escapeHtml(font);
        if (copied == 0) out.reserve(text.size() + text.size() / 32);
        out.append(std::string_view(text).substr(copied, e.begin - copied));
        out += withLeadingFont(e.tag, font, ascii, asciiTheme, first);
        copied = e.begin + e.tag.size();
    }
    if (copied == 0) return;
    out.append(std::string_view(text).substr(copied));
    text = std::move(out);
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

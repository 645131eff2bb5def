// Full Fidelity: theme fonts written where the steps read a run's font, and
// the stand-in faces of common fonts. Reads the theme fonts of the model.
#include "docx2html/fidelity/fonts.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/html.h"
#include "docx2html/fidelity/memo.h"
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
    // A document repeats few distinct font and shading tags many times:
    // each is rewritten once.
    BoundedMemo<std::string_view, std::string> fontTags, shadingTags;
    if (fonts)
        for (const Element& e : elements(text, std::string(prefix) + "rFonts"))
            if (const std::string& tag = fontTags.get(e.tag, [&] { return themedFontsTag(e.tag, *fonts, prefix); });
                !tag.empty())
                edits.push_back({e.begin, e.tag.size(), tag});
    const std::size_t fontEdits = edits.size();
    if (shading)
        for (const Element& e : elements(text, std::string(prefix) + "shd"))
            if (e.content.empty())
                edits.push_back({e.begin, e.end - e.begin, shadingTags.get(e.tag, [&] { return shownShadingTag(e.tag, prefix); })});
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

namespace {

// The faces of a stand-in family: regular, bold, italic, bold italic, by
// full name (family and suffix) and by PostScript name (which is the name
// the web view finds some faces by, URW's among them).
struct StandIn {
    const char* font;    // as documents name it
    const char* family;  // the face installed in its place
    const char* const* faces;
    const char* postscript;  // its PostScript name before the suffixes
    const char* const* postscriptFaces;
};

constexpr const char* kPlain[] = {"", " Bold", " Italic", " Bold Italic"};
constexpr const char* kOblique[] = {"", " Bold", " Oblique", " Bold Oblique"};
constexpr const char* kRoman[] = {" Roman", " Bold", " Italic", " Bold Italic"};
constexpr const char* kNarrow[] = {" Regular", " Bold", " Oblique", " Bold Oblique"};
constexpr const char* kBookman[] = {" Light", " Demi", " Light Italic", " Demi Italic"};
constexpr const char* kGothic[] = {" Book", " Demi", " Book Oblique", " Demi Oblique"};
constexpr const char* kChancery[] = {" Medium Italic", " Medium Italic", " Medium Italic", " Medium Italic"};
constexpr const char* kPsPlain[] = {"", "-Bold", "-Italic", "-BoldItalic"};
constexpr const char* kPsOblique[] = {"", "-Bold", "-Oblique", "-BoldOblique"};
constexpr const char* kPsRoman[] = {"-Roman", "-Bold", "-Italic", "-BoldItalic"};
constexpr const char* kPsCentury[] = {"-Roman", "-Bold", "-Italic", "-BdIta"};
constexpr const char* kPsNarrow[] = {"-Regular", "-Bold", "-Oblique", "-BoldOblique"};
constexpr const char* kPsBookman[] = {"-Light", "-Demi", "-LightItalic", "-DemiItalic"};
constexpr const char* kPsGothic[] = {"-Book", "-Demi", "-BookOblique", "-DemiOblique"};
constexpr const char* kPsChancery[] = {"-MediumItalic", "-MediumItalic", "-MediumItalic", "-MediumItalic"};

// Metric-compatible faces where there are (Carlito, Caladea, Liberation,
// URW's Palatino, Bookman, Century and Avant Garde clones, which Book
// Antiqua, Bookman Old Style, Century Schoolbook and Century Gothic
// match), else look-alikes of the same kind (DejaVu for Verdana and its
// kin, a sans-serif monospace for Consolas). Arabic and Persian faces take
// DejaVu Sans, the installed face that draws their letters: a serif stand-in
// would draw only the digits and punctuation of their runs, in a second face.
constexpr StandIn kStandIns[] = {
    {"Calibri", "Carlito", kPlain, "Carlito", kPsPlain},
    {"Cambria", "Caladea", kPlain, "Caladea", kPsPlain},
    {"Arial", "Liberation Sans", kPlain, "LiberationSans", kPsPlain},
    {"Helvetica", "Liberation Sans", kPlain, "LiberationSans", kPsPlain},
    {"Times New Roman", "Liberation Serif", kPlain, "LiberationSerif", kPsPlain},
    {"Times", "Liberation Serif", kPlain, "LiberationSerif", kPsPlain},
    {"Courier New", "Liberation Mono", kPlain, "LiberationMono", kPsPlain},
    {"Courier", "Liberation Mono", kPlain, "LiberationMono", kPsPlain},
    {"Arial Narrow", "Nimbus Sans Narrow", kNarrow, "NimbusSansNarrow", kPsNarrow},
    {"Segoe UI", "Liberation Sans", kPlain, "LiberationSans", kPsPlain},
    {"Franklin Gothic Book", "Liberation Sans", kPlain, "LiberationSans", kPsPlain},
    {"Franklin Gothic Medium", "Liberation Sans", kPlain, "LiberationSans", kPsPlain},
    {"Trebuchet MS", "Liberation Sans", kPlain, "LiberationSans", kPsPlain},
    {"Verdana", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Geneva", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Lucida Sans Unicode", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Lucida Grande", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Tahoma", "DejaVu Sans Condensed", kOblique, "DejaVuSansCondensed", kPsOblique},
    {"Consolas", "DejaVu Sans Mono", kOblique, "DejaVuSansMono", kPsOblique},
    {"Lucida Console", "DejaVu Sans Mono", kOblique, "DejaVuSansMono", kPsOblique},
    {"Century Gothic", "URW Gothic", kGothic, "URWGothic", kPsGothic},
    {"Bookman Old Style", "URW Bookman", kBookman, "URWBookman", kPsBookman},
    {"Palatino Linotype", "P052", kRoman, "P052", kPsRoman},
    {"Palatino", "P052", kRoman, "P052", kPsRoman},
    {"Book Antiqua", "P052", kRoman, "P052", kPsRoman},
    {"Century Schoolbook", "C059", kRoman, "C059", kPsCentury},
    {"Century", "C059", kRoman, "C059", kPsCentury},
    {"Monotype Corsiva", "Z003", kChancery, "Z003", kPsChancery},
    {"Traditional Arabic", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"CTraditional Arabic", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Simplified Arabic", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Arabic Typesetting", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Sakkal Majalla", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"Andalus", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"B Lotus", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"B Nazanin", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"B Zar", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"B Mitra", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"IRMitra", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"IRNazanin", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
    {"IRLotus", "DejaVu Sans", kOblique, "DejaVuSans", kPsOblique},
};

std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

// The family names (lower case, without quotes) the font-family
// declarations of a page name, read in one pass.
std::vector<std::string> namedFamilies(std::string_view page) {
    std::vector<std::string> names;
    static constexpr std::string_view kDeclaration = "font-family:";
    for (std::size_t at = page.find(kDeclaration); at != std::string_view::npos; at = page.find(kDeclaration, at + 1)) {
        const std::size_t from = at + kDeclaration.size();
        const std::size_t end = page.find_first_of(";\"}<>", from);
        const std::string_view value = page.substr(from, end == std::string_view::npos ? end : end - from);
        for (std::size_t a = 0; a <= value.size();) {
            const std::size_t comma = std::min(value.find(',', a), value.size());
            std::string name = lowered(value.substr(a, comma - a));
            name.erase(std::remove(name.begin(), name.end(), '\''), name.end());
            const std::size_t first = name.find_first_not_of(' '), last = name.find_last_not_of(' ');
            if (first != std::string::npos) name = name.substr(first, last - first + 1);
            if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
            a = comma + 1;
        }
    }
    return names;
}

}  // namespace

std::string standInFaces(std::string_view page, std::string_view rules) {
    std::vector<std::string> named = namedFamilies(page);
    for (std::string& name : namedFamilies(rules)) named.push_back(std::move(name));
    const char* const descriptors[] = {"font-weight:normal;font-style:normal", "font-weight:bold;font-style:normal",
                                       "font-weight:normal;font-style:italic", "font-weight:bold;font-style:italic"};
    std::string out;
    for (const StandIn& s : kStandIns) {
        if (std::find(named.begin(), named.end(), lowered(s.font)) == named.end()) continue;
        for (std::size_t k = 0; k < 4; ++k)
            out += std::string("@font-face{font-family:\"") + s.font + "\";" + descriptors[k] + ";src:local(\"" + s.font +
                   kPlain[k] + "\"),local(\"" + s.family + s.faces[k] + "\"),local(\"" + s.postscript + s.postscriptFaces[k] +
                   "\")}\r\n";
    }
    return out;
}

}  // namespace tavin

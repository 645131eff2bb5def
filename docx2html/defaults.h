// Full Fidelity: the document's own defaults and fonts. The classic page
// sets every paragraph in Times New Roman at the browser's size; a Word
// document says which font, size and spacing its text has when nothing
// else does (docDefaults, the default paragraph style), and names fonts
// through its theme.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "docx2html/context.h"

namespace tavin {

// The theme's fonts (word/theme/theme1.xml's fontScheme).
struct ThemeFonts {
    std::string majorLatin, majorEastAsia, majorComplex;
    std::string minorLatin, minorEastAsia, minorComplex;
    // The font a theme reference names ("majorHAnsi", "minorBidi", ...), or empty.
    std::string font(std::string_view reference) const;
};
ThemeFonts readThemeFonts(std::string_view theme);

// The generic family (serif, sans-serif, monospace, cursive, fantasy) a
// font falls back to, from the font table's panose number or family, or
// from the theme's panose numbers.
class FontFamilies {
public:
    FontFamilies() = default;
    FontFamilies(std::string_view fontTable, std::string_view theme);
    std::string_view generic(std::string_view font) const;

private:
    std::unordered_map<std::string, std::string> generic_;  // by lower-case name
};

// What a run looks like as far as some run properties say; unset where
// they say nothing.
struct RunLook {
    std::optional<std::string> latin, eastAsian, complex;  // fonts
    std::optional<int> halfPoints;
    std::optional<std::string> colour;  // six hex digits
    std::optional<bool> bold, italic, underline, caps, smallCaps, strike, dstrike;
    std::optional<bool> vanish;  // hidden text: left out, never CSS
};

// Sets in look what rPr says and look does not say yet: a nearer source
// read first wins. Element names are prefix + the name ("w:" or "").
void addRunLook(std::string_view rPr, const ThemeFonts& theme, std::string_view prefix, RunLook& look);

// The CSS of what look says. Fonts become one stack (Latin, East Asian,
// complex script, then the generic family), names in single quotes so
// that the declarations fit a style attribute.
std::string runLookCss(const RunLook& look, const FontFamilies& families);

// The run properties of the styles: each style's chain of base styles
// (in any order in the part) read nearest first. Holds views into styles,
// which must outlive it.
class StyleRunLooks {
public:
    StyleRunLooks(std::string_view styles, const ThemeFonts& theme);
    // The look style id gives; with withDefault false, the default
    // paragraph style adds nothing (the page's base rule holds it).
    RunLook look(const std::string& id, bool withDefault) const;
    const std::string& defaultParagraphStyle() const { return defaultId_; }

private:
    struct Style {
        std::string basedOn;
        std::string_view rPr;
    };
    std::unordered_map<std::string, Style> styles_;
    std::string defaultId_;
    ThemeFonts theme_;
};

// Every rFonts element of text that names its font through the theme
// (asciiTheme, or hAnsiTheme without ascii) gets that font as its first
// attribute, ascii, where the other steps read it; one whose ascii font
// comes after other attributes has it moved first. prefix is "w:" for the
// raw document, "" for the prepared styles part.
std::string resolveThemeFonts(std::string_view text, const ThemeFonts& fonts, std::string_view prefix);

// Every shading element (shd) of text names the colour Word shows in both
// its color and its fill attribute, where the paragraph and the cell steps
// each read one: the fill, or the pattern colour of a solid pattern. A
// shading of no colour ("auto", "nil") is left out: no background, where
// the classic page shows grey. prefix as for resolveThemeFonts.
std::string normalizeShading(std::string_view text, std::string_view prefix);

// Runs marked hidden (vanish) are left out; runs in capitals (caps) have
// their letters written in capitals; strike-through, double strike-through,
// small capitals, character spacing and shading become a span around the
// run's text, and so do the properties of the run's character style that
// the run does not set itself. On the raw document text.
void hiddenAndCapitalRuns(ConversionContext& ctx);

// The page's base rules from the document defaults and the default
// paragraph style: font, size and colour of the text; spacing before and
// after paragraphs and their line spacing. Empty when the styles part sets
// none of them.
std::string documentDefaultRules(std::string_view styles, const ThemeFonts& fonts, const FontFamilies& families);

// An automatic line spacing (in 240ths of a line) as a CSS multiple: 276
// gives "1.15".
std::string lineMultiple(int twoHundredFortieths);

// Faces that stand in for fonts a Linux desktop rarely has, under the
// documents' own font names: Calibri as Carlito, Cambria as Caladea, Arial,
// Times New Roman and Courier New as Liberation Sans, Serif and Mono. The
// font itself is used where it is installed.
const char* metricCompatibleFaces();

}  // namespace tavin

// Full Fidelity: the document's own defaults and fonts. The classic page
// sets every paragraph in Times New Roman at the browser's size; a Word
// document says which font, size and spacing its text has when nothing
// else does (docDefaults, the default paragraph style), and names fonts
// through its theme.
#pragma once

#include <string>
#include <string_view>

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

// Every rFonts element of text that names its font through the theme
// (asciiTheme, or hAnsiTheme without ascii) gets that font as its first
// attribute, ascii, where the other steps read it. prefix is "w:" for the
// raw document, "" for the prepared styles part.
std::string resolveThemeFonts(std::string_view text, const ThemeFonts& fonts, std::string_view prefix);

// Runs marked hidden (vanish) are left out; runs in capitals (caps) have
// their letters written in capitals; strike-through, double strike-through,
// small capitals, character spacing and shading become a span around the
// run's text. On the raw document text.
void hiddenAndCapitalRuns(ConversionContext& ctx);

// The page's base rules from the document defaults and the default
// paragraph style: font, size and colour of the text; spacing before and
// after paragraphs and their line spacing. Empty when the styles part sets
// none of them.
std::string documentDefaultRules(std::string_view styles, const ThemeFonts& fonts);

// An automatic line spacing (in 240ths of a line) as a CSS multiple: 276
// gives "1.15".
std::string lineMultiple(int twoHundredFortieths);

// Faces that stand in for fonts a Linux desktop rarely has, under the
// documents' own font names: Calibri as Carlito, Cambria as Caladea, Arial,
// Times New Roman and Courier New as Liberation Sans, Serif and Mono. The
// font itself is used where it is installed.
const char* metricCompatibleFaces();

}  // namespace tavin

// Full Fidelity: fonts. Styles and runs that name their font through the
// theme ("minorHAnsi") get the theme's font where every step reads a run's
// font; fonts a Linux desktop rarely has get metric-compatible stand-ins.
// Reads the theme fonts of the model.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "docx2html/model/theme.h"

namespace tavin {

// The font an rFonts element is to name first, as its ascii attribute:
// the theme font its asciiTheme (or, without an ascii font, its hAnsiTheme)
// names, or its ascii font when that is not its first attribute yet. Empty
// when the element stays as it is.
std::string leadingFont(std::string_view asciiTheme, std::string_view ascii, std::string_view hAnsiTheme, bool asciiFirst,
                        const model::ThemeFonts& fonts);

// Every rFonts element of text that leadingFont gives a font gets it as its
// first attribute, ascii, where the other steps read it (asciiTheme goes).
// prefix is "w:" for the raw document, "" for the prepared styles part.
void resolveThemeFonts(std::string& text, const model::ThemeFonts& fonts, std::string_view prefix);

// The rFonts start tag (prefix as for resolveThemeFonts) with the font
// leadingFont gives first; empty when the tag stays as it is.
std::string themedFontsTag(std::string_view tag, const model::ThemeFonts& fonts, std::string_view prefix);

// A replacement of a stretch of a text.
struct TagEdit {
    std::size_t at, length;
    std::string text;
};

// The replacements resolveFontsAndShading makes, in the order of the text.
std::vector<TagEdit> fontAndShadingEdits(std::string_view text, const model::ThemeFonts* fonts, bool shading,
                                         std::string_view prefix);

// Appends text from..to with the edits from next on that start there; the
// first edit after them. Edits lie wholly inside or outside the stretch.
std::size_t copyEdited(std::string& out, std::string_view text, std::size_t from, std::size_t to,
                       const std::vector<TagEdit>& edits, std::size_t next);

// resolveThemeFonts with fonts (none: no fonts resolved) and, with shading,
// normalizeShading, in one rebuild of text.
void resolveFontsAndShading(std::string& text, const model::ThemeFonts* fonts, bool shading, std::string_view prefix);

// Faces that stand in for fonts a Linux desktop rarely has, under the
// documents' own font names, for the fonts the page's font-family
// declarations (and those of rules to be added) name: metric-compatible ones (Calibri as Carlito, Cambria as
// Caladea, Arial, Times New Roman and Courier New as Liberation, Book
// Antiqua, Bookman Old Style and Century Gothic as URW's) or look-alikes of
// the same kind (Verdana as DejaVu Sans, Consolas as DejaVu Sans Mono). The
// font itself is used where it is installed.
std::string standInFaces(std::string_view page, std::string_view rules);

}  // namespace tavin

// Full Fidelity: the page as a browser in standards mode reads it. The
// page starts with <!DOCTYPE html>; every CSS declaration of its style
// attributes and style elements is one a browser accepts (lengths with
// their unit, colours with "#", "auto" colours as the file format means
// them, border styles and alignments CSS knows, misspelt properties left
// out); an element has one attribute of each name (two style attributes
// become one, the later declarations winning, so an element gets one class
// when the page is optimised); and a bookmark is an empty anchor, which
// wraps nothing; every font stack ends in a generic family. Reads the
// assembled page and the model's font families.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"
#include "docx2html/model/fonts.h"

namespace tavin {

// The colour Word's "auto" text colour shows on a white sheet.
inline constexpr std::string_view kAutoTextColour = "#000000";

// A declaration list ("name:value;...") as valid CSS: declarations that
// are valid stay as written, the others are mended or left out. With
// families, a font-family list ends in the generic family of its first.
std::string validDeclarations(std::string_view css, const model::FontFamilies* families = nullptr);

// A style sheet with the declarations of every rule made valid; at-rules
// (font faces) and comments stay as written.
std::string validRules(std::string_view sheet, const model::FontFamilies* families = nullptr);

// A start tag with one attribute of each name and a valid style; a
// bookmark's "<a name=x/>" becomes "<a id=x></a>".
std::string validStartTag(std::string_view tag, const model::FontFamilies* families = nullptr);

// The page with its doctype, valid CSS, single attributes and bookmarks.
void validatePage(ConversionContext& ctx);

}  // namespace tavin

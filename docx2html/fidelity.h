// Full Fidelity: steps that show what the classic page leaves out. Each runs
// only when the option is on (ConversionContext::fullFidelity); with it off
// the page is the classic one, byte for byte.
//
// The steps work around the classic ones: the first ones rewrite the
// document text into a form the classic steps carry through (pictures of
// VML shapes as drawings, symbols as text), or leave small marker elements
// (docx2html/fidelity/markers.h) that the classic steps pass on untouched;
// finishFidelity turns the markers into their markup once the page is
// assembled. A marker's name begins with the byte 0x1F, which the parts are
// cleaned of first (removeMarkerBytes), so that no document can write one:
// its own "<tvH>" is an element like any other.
//
// The steps live in docx2html/fidelity/, one file per kind of thing shown
// (paragraphs, pages, pictures, symbols, equations, notes, headers); the
// parts they read are parsed once into the model (docx2html/model/).
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"
#include "docx2html/fidelity/markers.h"

namespace tavin {

// What every marker begins with.
inline constexpr std::string_view kMarkerStart = marker::kStart;

// The text without the byte markers begin with.
void removeMarkerBytes(std::string& text);

// On the raw document text, before preprocessing.
void prepareFidelity(ConversionContext& ctx);
// A run's bold and italics written on ("<w:b w:val=\"true\"/>", "1", "on")
// read as the classic steps read "<w:b/>".
void directToggles(ConversionContext& ctx);
// A picture of a VML shape (v:imagedata) becomes a drawing of the shape's
// size, which the picture step turns into an img element.
void vmlPicturesToDrawings(ConversionContext& ctx);
// Form fields and content-control check boxes show their state (☐, ☒,
// the chosen entry of a drop-down, a text field's default).
void formsInTheirState(ConversionContext& ctx);
// w:sym elements become their character as text.
void symbolsToText(ConversionContext& ctx);
// Equations (m:oMathPara, m:oMath) become MathML, kept aside until the page
// is assembled; a marker holds their place.
void equationsToMathml(ConversionContext& ctx);

// On the preprocessed text: list labels as Word numbers them, and markers
// for headings, right-to-left paragraphs and tables, and page breaks.
void markParagraphs(ConversionContext& ctx);

// On the assembled page: headings become h1-h6, right-to-left paragraphs
// and tables get dir="rtl", page breaks split the page box into sheets,
// equations take their places, and the head gets the rules these need.
void finishFidelity(ConversionContext& ctx);
// Pictures the web view cannot show (EMF, WMF, TIFF, by their content)
// are converted to SVG or PNG files beside them in the work folder, and
// their img elements name those (ctx.convertedPictures lists them); one
// that cannot be converted, or a page without a work folder, shows a
// labelled box of the picture's size instead of a broken-picture sign.
void pictureStandIns(ConversionContext& ctx);

}  // namespace tavin

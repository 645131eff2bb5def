// The last pass of every conversion: nothing that could run, load or submit
// anything, or point outside the document, reaches the page.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

// Reads the whole page as an HTML5 parser does and deletes, at the places
// the parser reports, until a reading finds nothing more:
// - comments, but on the classic page those that every parser ends at the
//   same place (one that never ends loses its "<" instead, so nothing
//   hides the rest of the page);
// - the start and end tags of script, style, iframe, frame, frameset,
//   object, embed, applet, meta, link, base, form, input, button, select,
//   textarea, svg (and everything of its namespace), audio, video, source,
//   track, portal, noscript, template, xmp, noembed, noframes, plaintext
//   and title (their text stays), but for the head's own title, character
//   set and policy meta elements and style elements;
// - on* and srcdoc attributes (with the blanks before them), href and src
//   addresses of the javascript, vbscript, data and file schemes, and img
//   src, srcset, background and poster addresses outside the page's folder;
// - declarations of style attributes and style elements that load or run
//   ("url(", "image-set(", "@import", "expression(", in any escape) or
//   hold a "<".
// With allowList (the Full Fidelity page) only the elements, attributes and
// CSS properties a converted page uses stay: other tags go, their text
// stays. Its drawings keep the svg elements of geometry, text and paint
// (svg, g, path, rect, circle, ellipse, line, polyline, polygon, text,
// tspan, title, defs, gradients and their stops, marker) with their
// geometry and paint attributes, whose only url() is a reference to an
// element of the page ("url(#g1)"). Everything else is copied byte for byte.
std::string removeActiveContent(std::string_view page, bool allowList);

// The pass on the context's page, the allow-list with Full Fidelity.
void removeActiveContent(ConversionContext& ctx);

// An attribute value as the browser reads it: character references such as
// "&#106;", "&#x6A;", "&colon;" decoded.
std::string decodeCharacterReferences(std::string_view value);

// Whether an address uses a scheme the page may not follow or load
// (javascript:, vbscript:, data:, file:), once decoded, with every byte up
// to 0x20 removed and in any case.
bool isActiveAddress(std::string_view value);

// Whether an address, once decoded, names a file inside the page's own
// folder: no scheme, no leading "/" or "\", no ".." segment ("%2e" read as
// a dot). The empty address is local.
bool isLocalAddress(std::string_view value);

// Whether a piece of CSS could load or run something: it holds "url(",
// "image-set(", "@import" or "expression(" once CSS escapes are read,
// blanks removed, in any case, with comments read either way.
bool isActiveCss(std::string_view css);

}  // namespace tavin

// The last pass of every conversion: nothing that could run, load or submit
// anything reaches the page.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

// In the page from its body on: deletes the start, end and empty tags of
// script, style, iframe, frame, frameset, object, embed, applet, meta, link,
// base, form, input, button, select, textarea, svg, audio, video, source,
// track, portal, noscript and template (their content stays); deletes every
// on* and srcdoc attribute, and every href or src whose address, read as a
// browser reads it, uses the javascript, vbscript, data or file scheme; drops
// from style attributes each declaration that holds "url(", "@import" or
// "expression(". The style rules generated from the document's styles lose
// such declarations too. A deleted attribute takes the blanks before it.
// Everything else is copied byte for byte.
void removeActiveContent(ConversionContext& ctx);

// The same on any text: the page's generated rules are the text between
// rulesFrom and rulesTo, the body starts at bodyFrom (offsets into text).
std::string removeActiveContent(std::string_view text, std::size_t bodyFrom, std::size_t rulesFrom,
                                std::size_t rulesTo);

// An attribute value as the browser reads it: character references such as
// "&#106;", "&#x6A;", "&colon;" decoded.
std::string decodeCharacterReferences(std::string_view value);

// Whether an address uses a scheme the page may not follow or load
// (javascript:, vbscript:, data:, file:), once decoded, with every byte up
// to 0x20 removed and in any case.
bool isActiveAddress(std::string_view value);

// Whether a CSS declaration (or any piece of CSS between ";", "{" and "}")
// could load or run something: it holds "url(", "@import" or "expression("
// once CSS escapes and comments are read, blanks removed, in any case.
bool isActiveCss(std::string_view css);

}  // namespace tavin

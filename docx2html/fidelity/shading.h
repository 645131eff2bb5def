// Full Fidelity: shading. A paragraph, a cell or a run shows the colour of
// its shading's fill, or a solid pattern's colour; a shading of no colour
// shows none, where the classic page shows grey.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// The colour (six hex digits) a shading of that pattern (val), pattern
// colour and fill shows; empty for none.
std::string_view shadingColour(std::string_view pattern, std::string_view color, std::string_view fill);

// An empty shading element (prefix as for normalizeShading) naming the
// colour it shows in both colour attributes; empty for one of no colour.
std::string shownShadingTag(std::string_view tag, std::string_view prefix);

// Every empty shading element (shd) of text names the colour it shows in
// both its color and its fill attribute, where the paragraph and the cell
// steps each read one; one of no colour is left out. prefix is "w:" for
// the raw document, "" for the prepared styles part.
void normalizeShading(std::string& text, std::string_view prefix);

}  // namespace tavin

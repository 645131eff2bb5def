// Full Fidelity: a chart (a chart part, word/charts/chartN.xml) drawn as an
// inline SVG element from the values the part caches: bars and columns
// (clustered, stacked, percent stacked), lines, areas, pies, doughnuts and
// scatter plots, with title, axes, gridlines, legend and data labels. A
// kind of chart not drawn shows its title and its values as a grid of text.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/model/theme.h"

namespace tavin {

// The chart of a chart part (as stored) drawn as an SVG element of the
// given size in CSS pixels, from the part's cached values; a chart kind it
// does not draw shows its title and its cached values as a grid of text;
// an unreadable part gives "". A size that is not positive is drawn at
// 480 x 288 (a chart's usual five inches by three).
std::string chartSvg(std::string_view chartPartXml, const model::Theme& theme, double widthPx, double heightPx);

}  // namespace tavin

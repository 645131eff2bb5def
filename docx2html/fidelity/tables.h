// Full Fidelity: tables as their table style formats them. The conditional
// formats (header row, last row, first and last column, banded rows and
// columns) a table's tblLook selects, and the style's own cell and
// paragraph properties; tables without borders drawn without. Reads the
// table styles and paragraph styles of the model's style sheet.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "docx2html/context.h"
#include "docx2html/model/sections.h"
#include "docx2html/model/styles.h"

namespace tavin {

// The conditional formats a cell takes, in the order they take priority,
// by its row r of rows and its column c of columns, with the formats the
// table's look turns on; the whole table's format is the last.
std::vector<model::TableCondition> cellConditions(const std::array<bool, model::kTableConditions>& on, std::size_t r,
                                                  std::size_t rows, std::size_t c, std::size_t columns);

// On the raw document text: the run properties (bold, italic, colour, ...)
// and the cell shading of each format a table's style gives its rows and
// columns are written into the cells, where the table and run steps read
// them. What a cell or run sets itself stays.
void applyTableStyleFormats(ConversionContext& ctx);

// Whether a table style, through its chain of base styles, gives any
// border: a side of its tblBorders, of its cells' tcBorders or of a
// conditional format's, other than none or nil.
bool styleHasBorders(const model::StyleSheet& sheet, std::string_view styleId);

// The borders of a table: whether any shows, from its own tblBorders, its
// style chain (the default table style for a table that names none) or its
// cells' tcBorders (not those of tables inside it), and each side of the
// whole table as CSS ("none" for one that does not show): top, left,
// bottom, right, then those between its rows and its columns, the table's
// own replacing its style's side by side. A table without borders is drawn
// without; one that shows some sides only, with those.
inline constexpr std::size_t kBorderSides = 6;
struct TableBorders {
    bool shows = false, someSides = false;
    std::array<std::string, kBorderSides> sides;
};

// Of every table of the preprocessed text, in the order of its "<tbl>".
std::vector<TableBorders> tableBorders(std::string_view text, const model::StyleSheet& sheet);

// The marker for the first cell of a table of those borders (rtl: its
// columns run right to left): none for a table whose borders all show.
std::string bordersMarker(const TableBorders& borders, bool rtl);

// The CSS of a floating table (tblpPr in tblPr, the table's properties in
// the preprocessed text) as Word places it on the text of section: one
// aligned left or right, or at an offset, floats to that side (an offset's
// nearer side) with its distances from the text as margins; one that
// leaves less than an inch beside it, or is centred, stays in the flow
// (centred, or lowered by its offset below its paragraph). "" for a table
// that does not float.
std::string floatingTableCss(std::string_view tblPr, const model::Section& section);

}  // namespace tavin

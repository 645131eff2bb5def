// Full Fidelity: the conditional formats of table styles (header row, last
// row, first and last column, banded rows and columns), as the table's
// tblLook selects them.
#pragma once

#include "docx2html/context.h"

namespace tavin {

// On the raw document text: the run properties (bold, italic, colour, ...)
// and the cell shading of each format a table's style gives its rows and
// columns are written into the cells, where the table and run steps read
// them. What a cell or run sets itself stays; the first row's and last
// row's formats go before the columns', those before the bands'.
void applyTableStyleFormats(ConversionContext& ctx);

}  // namespace tavin

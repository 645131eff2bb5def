// Page layout and HTML document assembly.
#pragma once

#include "docx2html/context.h"

namespace tavin {

// Reads the first page size and margins (when present) and the encoding.
void readPageSetup(ConversionContext& ctx);
// Removes fields, cuts the text to the body and wraps it into the page.
void assembleHtml(ConversionContext& ctx);

}  // namespace tavin

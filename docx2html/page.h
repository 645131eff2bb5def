// Page layout and HTML document assembly.
#pragma once

#include "docx2html/context.h"

namespace tavin {

// Reads the first page size and margins (when present) and the encoding.
void readPageSetup(ConversionContext& ctx);
// Deletes the fldChar elements of complex fields with each field's
// instruction (from its begin mark through its separate mark, or through its
// end mark when it has none); what a field shows stays. A begin mark without
// an end is deleted alone.
void removeFieldCodes(ConversionContext& ctx);
// Removes fields, cuts the text to the body and wraps it into the page.
void assembleHtml(ConversionContext& ctx);

}  // namespace tavin

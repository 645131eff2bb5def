// Paragraph conversion.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

class StyleIds;

void convertParagraphs(ConversionContext& ctx);
// ids, when given, is the style table's StyleIds (for many paragraphs).
std::string convertParagraph(ConversionContext& ctx, std::string_view paragraphText, bool inTable,
                             const StyleIds* ids = nullptr);

}  // namespace tavin

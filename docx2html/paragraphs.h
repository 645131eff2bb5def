// Paragraph conversion.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

void convertParagraphs(ConversionContext& ctx);
std::string convertParagraph(ConversionContext& ctx, std::string_view paragraphText, bool inTable);

}  // namespace tavin

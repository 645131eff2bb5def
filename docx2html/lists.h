// Lists and numbering.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

void wrapListItems(ConversionContext& ctx);
std::string listTagFor(const ConversionContext& ctx, std::string_view t);
void buildLists(ConversionContext& ctx);

}  // namespace tavin

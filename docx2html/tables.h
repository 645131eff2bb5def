// Tables.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

void convertTables(ConversionContext& ctx);
void tableAttrs(ConversionContext& ctx);
std::string tableWidth(const ConversionContext& ctx, std::string_view el);
std::string tableStyleAttrs(const ConversionContext& ctx, std::string_view t);
void resolveSpans(ConversionContext& ctx);
void cellStyles(ConversionContext& ctx);
std::string cellMargins(const ConversionContext& ctx, std::string_view m);
std::string cellMarginSide(const ConversionContext& ctx, std::string_view m, std::string_view side);
// With the pattern already set on ctx.sharedRegex.
void collectSplices(ConversionContext& ctx, int group, std::string_view prefix, std::string_view suffix);
void applySplices(ConversionContext& ctx);
std::string tagName(std::string_view el);
// The next whole element at or after pos (1-based, updated); empty if none.
std::string nextElement(std::string_view t, Pos& pos);

}  // namespace tavin

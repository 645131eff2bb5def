// Run formatting.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

void formatRuns(ConversionContext& ctx, std::string& content, std::string_view paragraphStyle);
void wrapFlagRuns(std::string& content, std::string_view name);
void wrapMarkedRuns(std::string& content, std::string_view marker, std::string_view name);
// The template that replaces the current run match of ctx.sharedRegex.
std::string runToSpan(const ConversionContext& ctx, std::string_view runMatch, std::string_view paragraphStyle);
std::string propVal(std::string_view text, std::string_view name);
void finishRuns(ConversionContext& ctx);
std::string mergeAdjacent(std::string_view text, std::string_view name);
void convertTabs(ConversionContext& ctx);

}  // namespace tavin

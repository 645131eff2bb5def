// Hyperlinks, bookmarks, pictures and drop caps.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

void wrapDropCaps(ConversionContext& ctx);
void convertLinks(ConversionContext& ctx);
// The template that replaces the current hyperlink match.
std::string linkToAnchor(const ConversionContext& ctx, std::string_view match);
std::string relId(std::string_view text);
std::string relTarget(const ConversionContext& ctx, std::string_view id);
void convertImages(ConversionContext& ctx);
// The text that replaces the current drawing match.
std::string drawingToImg(const ConversionContext& ctx, std::string_view match);
std::string emuToPx(std::string_view text);

}  // namespace tavin

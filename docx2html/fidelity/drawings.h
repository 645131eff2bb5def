// Drawings as Word places them: floating pictures, text boxes, shapes and
// groups of the body and its headers and footers, positioned, sized,
// wrapped and painted, set aside in ctx.drawings until the page is
// assembled; a marker holds each one's place.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

// Each drawing of text (a run's w:drawing or w:pict, or the
// mc:AlternateContent holding them) that the classic steps would run
// inline or leave out, replaced by a marker of its entry in ctx.drawings;
// rels are the relationships of the part text comes from (as the steps
// read them). Inline pictures are left as they are.
std::string drawingsAsDrawn(ConversionContext& ctx, std::string_view text, const std::string& rels);
// The same on the document body (ctx.workingText, ctx.relsText).
void drawingsAsDrawn(ConversionContext& ctx);

// The text boxes of every drawing converted by the body's steps, each with
// the relationships of its part: ctx.drawings[i].html is then whole.
void convertDrawingContents(ConversionContext& ctx);

// The rules the drawings' markup needs.
std::string drawingRules(const ConversionContext& ctx);

}  // namespace tavin

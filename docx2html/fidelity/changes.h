// Tracked changes (revisions): insertions, deletions and moves shown as
// Word marks them, or the text as it reads with every change accepted
// (ctx.showChanges off). Former properties kept by a formatting change
// (w:rPrChange, w:pPrChange...) never count as the text's own.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

// On a document or story text as stored (with "w:" prefixes):
// - the former properties of formatting changes and deleted field
//   instructions go;
// - shown: each w:ins, w:del, w:moveTo and w:moveFrom becomes an ins or del
//   element followed by a marker of its entry in ctx.trackedChanges
//   (author, date, kind);
// - final: deletions and moves away go, insertions and moves here keep
//   their text, deleted table rows go, and a paragraph whose mark was
//   deleted joins the paragraph after it, taking its properties.
std::string trackedChanges(ConversionContext& ctx, std::string_view text);
// The same on the document body (ctx.workingText).
void trackedChanges(ConversionContext& ctx);

// Whether the text holds anything those steps change (a change, former
// properties, a deleted field instruction); when not, they leave it as it is.
bool holdsChanges(std::string_view text);

// The attributes of the ins or del element of change index (class and
// title); empty for an index the context does not hold.
std::string changeAttributes(const ConversionContext& ctx, std::size_t index);
// What marks a paragraph holding a change: the bar in the margin beside it,
// at the start of a paragraph whose style attribute is style (its own left
// indent taken back, so that the bars of all paragraphs stand in a line).
std::string changeBar(std::string_view style);
// The rules the marked changes need: their authors' colours, their lines
// and the bar.
std::string changeRules(const ConversionContext& ctx);

}  // namespace tavin

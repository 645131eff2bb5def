// Tab stops: a paragraph's own (w:tabs) joined with its style chain's, and
// the tabs of its content that go to a centre or right stop, which the
// assembled page draws as a space that fills the line (finish.cpp). The
// body reads its paragraphs' stops in paragraphs.cpp; the stories (headers
// and footers) here, from the model's styles.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "docx2html/fidelity/edits.h"
#include "docx2html/markup.h"
#include "docx2html/model/styles.h"

namespace tavin {

struct TabStop {
    long pos = 0;  // twips
    std::string align, leader;
};

// The stops of a w:tabs element's content as the body's steps read it (no
// "w:" in tags); "clear" stops included.
std::vector<TabStop> readTabStops(std::string_view tabs);
// Those of a style's paragraph properties in the model.
std::vector<TabStop> styleTabStops(pugi::xml_node pPr);
// Inherited stops join the nearer ones, except at a position those set or
// clear.
void inheritTabStops(std::vector<TabStop>& own, const std::vector<TabStop>& inherited);
// The stops the tabs go to, in order, without the cleared ones.
std::vector<TabStop> usedTabStops(std::vector<TabStop> stops);

// The tabs of a paragraph's content [from, to) of t that go to a centre or
// right stop (the k-th tab to the k-th stop) get a marker of their stop
// before them; a positioned tab (w:ptab) becomes a tab with its marker.
// tabs and ptabs find "<tab/>" and "<ptab " in t.
void markTabs(std::string_view t, std::size_t from, std::size_t to, const std::vector<TabStop>& stops,
              NextOccurrence& tabs, NextOccurrence& ptabs, EditList& edits);

}  // namespace tavin

// Full Fidelity: the document's own defaults as the page's base rules. The
// classic page sets every paragraph in Times New Roman at the browser's
// size; a Word document says which font, size and spacing its text has
// when nothing else does (docDefaults, the default paragraph style), and
// how far its cells' text stands from their edges (the default table
// style). Reads the style sheet of the model.
#pragma once

#include <string>

#include "docx2html/model/model.h"

namespace tavin {

// The page's base rules: font, size and colour of the text (Word's own
// 10 pt when the styles part sets no size); spacing before and after
// paragraphs and their line spacing; the cells' padding.
std::string documentDefaultRules(const model::DocumentModel& model);

// An automatic line spacing (in 240ths of a line) as a CSS multiple: 276
// gives "1.15".
std::string lineMultiple(int twoHundredFortieths);

}  // namespace tavin

// The visible text of a finished page, for search indexing.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// The text the page shows, in reading order: one line for each paragraph,
// heading or list item, the cells of a table row separated by tabs, no
// markup; entities decoded, blanks collapsed as a browser collapses them,
// empty lines left out. listLabels: the page writes its list labels into
// the text (Full Fidelity did); otherwise "1. " and "• " are added as a
// browser numbers the list items.
std::string pageText(std::string_view page, bool listLabels);

}  // namespace tavin

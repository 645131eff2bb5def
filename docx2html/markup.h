// Small scans over markup shared by several steps.
#pragma once

#include <string_view>

namespace tavin {

// Whether deleting every tag ("<", at least one character, ">") from the
// text would leave nothing of it.
bool onlyTags(std::string_view t);

}  // namespace tavin

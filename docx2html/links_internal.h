// Inside the link and picture steps: the relationship lookup they use, for
// the steps and their tests. Its plain form is relTarget (links.h).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavin::links {

// The target of each id in turn, answered as convertLinks and convertImages
// answer them: from the relationships text read once.
std::vector<std::string> relTargetsFor(std::string_view rels, const std::vector<std::string>& ids);

}  // namespace tavin::links

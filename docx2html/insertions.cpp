#include "docx2html/insertions.h"

#include <algorithm>
#include <deque>

namespace tavin {

std::string InsertionList::apply(std::string_view text) {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const Item& a, const Item& b) { return a.offset < b.offset; });
    std::size_t extra = 0;
    for (const auto& i : items_) extra += i.text.size();
    std::string out;
    out.reserve(text.size() + extra);
    std::size_t copied = 0;
    std::size_t k = 0;
    while (k < items_.size()) {
        const std::size_t at = std::min(items_[k].offset, text.size());
        out.append(text.substr(copied, at - copied));
        copied = at;
        // Items at one offset, in the order they were made.
        std::deque<const std::string*> group;
        for (; k < items_.size() && std::min(items_[k].offset, text.size()) == at; ++k) {
            if (items_[k].front) {
                group.push_front(&items_[k].text);
            } else {
                group.push_back(&items_[k].text);
            }
        }
        for (const auto* s : group) out += *s;
    }
    out.append(text.substr(copied));
    items_.clear();
    return out;
}

}  // namespace tavin

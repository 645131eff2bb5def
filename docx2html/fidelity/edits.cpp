// The edit list of the Full Fidelity steps (edits.h).
#include "docx2html/fidelity/edits.h"

#include <algorithm>

namespace tavin {

std::string EditList::apply(std::string_view text) {
    // At one offset, insertions come before a replacement that starts
    // there: they do not overlap it.
    std::stable_sort(items_.begin(), items_.end(), [](const Item& a, const Item& b) {
        return a.at != b.at ? a.at < b.at : (a.length == 0 && b.length != 0);
    });
    // The size of the result, to be made in one buffer of its size.
    std::size_t size = text.size(), copied = 0;
    for (const Item& e : items_) {
        if (e.at < copied) continue;  // overlapping an earlier edit
        const std::size_t at = std::min(e.at, text.size());
        copied = std::min(at + e.length, text.size());
        size = size - (copied - at) + e.size;
    }
    std::string out;
    out.reserve(size);
    copied = 0;
    for (const Item& e : items_) {
        if (e.at < copied) continue;
        const std::size_t at = std::min(e.at, text.size());
        out.append(text.substr(copied, at - copied));
        out.append(texts_, e.from, e.size);
        copied = std::min(at + e.length, text.size());
    }
    out.append(text.substr(copied));
    items_.clear();
    texts_.clear();
    return out;
}

}  // namespace tavin

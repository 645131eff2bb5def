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
    // The edits that apply, each as the stretch [at, end) of the text it
    // replaces and the end of the one before: the size of the result first,
    // then the result in one buffer of that size.
    auto eachApplied = [&](auto&& use) {
        std::size_t copied = 0;
        for (const Item& e : items_) {
            if (e.at < copied) continue;  // overlapping an earlier edit
            const std::size_t at = std::min(e.at, text.size()), end = std::min(at + e.length, text.size());
            use(e, copied, at, end);
            copied = end;
        }
        return copied;
    };
    std::size_t size = text.size();
    eachApplied([&](const Item& e, std::size_t, std::size_t at, std::size_t end) { size = size - (end - at) + e.size; });
    std::string out;
    out.reserve(size);
    const std::size_t copied = eachApplied([&](const Item& e, std::size_t from, std::size_t at, std::size_t) {
        out.append(text.substr(from, at - from));
        out.append(texts_, e.from, e.size);
    });
    out.append(text.substr(copied));
    items_.clear();
    texts_.clear();
    return out;
}

}  // namespace tavin

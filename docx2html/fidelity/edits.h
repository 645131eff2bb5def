// The one way the Full Fidelity steps change a text: an edit list of
// (position, length, replacement) in the offsets of the text as it was,
// applied in a single rebuild. It shows nothing itself; every step in this
// folder records its changes here and applies them once.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavin {

// Edits must not overlap: of two that do, the one that starts first (at
// one offset, the one added first) wins and the other is dropped. At one
// offset insertions apply before a replacement starting there, and edits
// of one kind in the order they were added.
class EditList {
public:
    void replace(std::size_t at, std::size_t length, std::string_view text) {
        items_.push_back({at, length, texts_.size(), text.size()});
        texts_.append(text);
    }
    void insert(std::size_t at, std::string_view text) { replace(at, 0, text); }
    void erase(std::size_t at, std::size_t length) { replace(at, length, {}); }
    bool empty() const { return items_.empty(); }

    // The text with every edit made; the list is empty afterwards.
    std::string apply(std::string_view text);
    // Applies the edits to text when there are any.
    void applyTo(std::string& text) {
        if (!empty()) text = apply(text);
    }

private:
    // The replacements lie one after the other in texts_: a list of many
    // small edits costs no allocation apiece.
    struct Item {
        std::size_t at, length;
        std::size_t from, size;  // the replacement, in texts_
    };
    std::vector<Item> items_;
    std::string texts_;
};

}  // namespace tavin

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
    void replace(std::size_t at, std::size_t length, std::string text) {
        items_.push_back({at, length, std::move(text)});
    }
    void insert(std::size_t at, std::string text) { replace(at, 0, std::move(text)); }
    void erase(std::size_t at, std::size_t length) { replace(at, length, std::string()); }
    bool empty() const { return items_.empty(); }

    // The text with every edit made; the list is empty afterwards.
    std::string apply(std::string_view text);
    // Applies the edits to text when there are any.
    void applyTo(std::string& text) {
        if (!empty()) text = apply(text);
    }

private:
    struct Item {
        std::size_t at, length;
        std::string text;
    };
    std::vector<Item> items_;
};

}  // namespace tavin

// Many insertions into one text, applied in a single rebuild.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavin {

// Records insertions that a walk would make one after another into a text,
// with offsets in the text as it was before any of them, and applies them
// in one pass. Where several land at the same offset, their order is the one
// that inserting them directly would give: an insertion placed in front of
// the text that follows the offset goes after earlier ones there, and one
// placed right behind the text that precedes the offset goes before them.
class InsertionList {
public:
    void before(std::size_t offset, std::string text) { add(offset, std::move(text), false); }
    void after(std::size_t offset, std::string text) { add(offset, std::move(text), true); }
    bool empty() const { return items_.empty(); }
    std::string apply(std::string_view text);

private:
    struct Item {
        std::size_t offset;
        std::string text;
        bool front;
    };
    void add(std::size_t offset, std::string text, bool front) {
        items_.push_back({offset, std::move(text), front});
    }
    std::vector<Item> items_;
};

}  // namespace tavin

// Small scans over markup shared by several steps.
#pragma once

#include <string_view>

namespace tavin {

// The last occurrence of a marker that begins at or before an offset (what
// rfind gives), for offsets that never decrease. Each occurrence is looked
// at once, so asking at every step of a walk costs one scan of the text,
// where rfind could scan back over all of it each time.
class LastOccurrence {
public:
    LastOccurrence(std::string_view text, std::string_view marker)
        : text_(text), marker_(marker), next_(text.find(marker)) {}

    // npos when no occurrence begins at or before offset.
    std::size_t atOrBefore(std::size_t offset) {
        while (next_ != std::string_view::npos && next_ <= offset) {
            last_ = next_;
            next_ = text_.find(marker_, next_ + 1);
        }
        return last_;
    }

private:
    std::string_view text_;
    std::string_view marker_;
    std::size_t next_;
    std::size_t last_ = std::string_view::npos;
};

// The first occurrence of a marker at or after an offset (what find gives),
// for offsets that never decrease: an occurrence found for an earlier offset
// that still lies ahead is reused, and none found stays none.
class NextOccurrence {
public:
    NextOccurrence(std::string_view text, std::string_view marker) : text_(text), marker_(marker) {}

    std::size_t atOrAfter(std::size_t offset) {
        if (!searched_ || (found_ != std::string_view::npos && found_ < offset)) {
            found_ = text_.find(marker_, offset);
            searched_ = true;
        }
        return found_;
    }

private:
    std::string_view text_;
    std::string_view marker_;
    std::size_t found_ = std::string_view::npos;
    bool searched_ = false;
};

// Whether deleting every tag ("<", at least one character, ">") from the
// text would leave nothing of it.
bool onlyTags(std::string_view t);

}  // namespace tavin

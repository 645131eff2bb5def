// Small scans over markup shared by several steps.
#pragma once

#include <cstdint>
#include <string_view>

#include "core/uStr.h"

namespace tavin {

// The last occurrence of a marker that begins at or before an offset (what
// rfind gives), for offsets that never decrease. Each occurrence is looked
// at once, so asking at every step of a walk costs one scan of the text,
// where rfind could scan back over all of it each time. Occurrences that
// accept() rejects are passed over.
class LastOccurrence {
public:
    using Accept = bool (*)(std::string_view text, std::size_t at);
    LastOccurrence(std::string_view text, std::string_view marker, Accept accept = nullptr)
        : text_(text), marker_(marker), accept_(accept), next_(findText(text, marker)) {}

    // npos when no accepted occurrence begins at or before offset.
    std::size_t atOrBefore(std::size_t offset) {
        while (next_ != std::string_view::npos && next_ <= offset) {
            if (!accept_ || accept_(text_, next_)) last_ = next_;
            next_ = findText(text_, marker_, next_ + 1);
        }
        return last_;
    }

private:
    std::string_view text_;
    std::string_view marker_;
    Accept accept_;
    std::size_t next_;
    std::size_t last_ = std::string_view::npos;
};

// The first occurrence of a marker at or after an offset (what find gives),
// for offsets that never decrease: an occurrence found for an earlier offset
// that still lies ahead is reused, and none found stays none. ignoreCase
// folds ASCII letters.
class NextOccurrence {
public:
    // work, when given, counts the bytes the searches read.
    NextOccurrence(std::string_view text, std::string_view marker, bool ignoreCase = false,
                   std::uint64_t* work = nullptr)
        : text_(text), marker_(marker), ignoreCase_(ignoreCase), work_(work) {}

    std::size_t atOrAfter(std::size_t offset) {
        if (!searched_ || (found_ != std::string_view::npos && found_ < offset)) {
            const Pos p = findFrom(text_, marker_, static_cast<Pos>(offset) + 1, ignoreCase_);
            found_ = p == 0 ? std::string_view::npos : static_cast<std::size_t>(p - 1);
            searched_ = true;
            const std::size_t stop = found_ == std::string_view::npos ? text_.size() : found_ + marker_.size();
            if (work_ && stop > offset) *work_ += stop - offset;
        }
        return found_;
    }

private:
    std::string_view text_;
    std::string_view marker_;
    bool ignoreCase_;
    std::uint64_t* work_;
    std::size_t found_ = std::string_view::npos;
    bool searched_ = false;
};

// text.find(s, from), adding to work the bytes the search read: through
// what it found, or to the end of the text.
inline std::size_t findCounting(std::string_view text, std::string_view s, std::size_t from, std::uint64_t& work) {
    const std::size_t at = findText(text, s, from);
    const std::size_t stop = at == std::string_view::npos ? text.size() : at + s.size();
    if (stop > from) work += stop - from;
    return at;
}
inline std::size_t findCounting(std::string_view text, char c, std::size_t from, std::uint64_t& work) {
    return findCounting(text, std::string_view(&c, 1), from, work);
}

// Whether deleting every tag ("<", at least one character, ">") from the
// text would leave nothing of it.
bool onlyTags(std::string_view t);

}  // namespace tavin

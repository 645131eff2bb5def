// References to notes and comments as links: the walk that finds each
// reference element in the text of a story or of the body, with the run
// around it, and the link markup that replaces it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tavin {

// A reference found in a run: its tag, and for a custom mark the run's text
// after it.
struct ReferenceSite {
    std::string_view tag;
    std::string mark;
    bool custom = false;
    bool raised = true;  // false when the run's properties keep it on the baseline
};

// Rewrites every element name of text (a reference or a note's own mark):
// its tag, and with a custom mark the rest of its run, becomes what make
// gives. The markup raises itself, so a run property that raises the run is
// set to the baseline. Returns how many were rewritten; work, when given,
// counts the bytes read.
std::size_t rewriteReferences(std::string& text, std::string_view name,
                              const std::function<std::string(const ReferenceSite&)>& make,
                              std::uint64_t* work = nullptr);

// A link to href (named name unless empty) showing label, raised or not.
std::string referenceLink(std::string_view href, std::string_view name, const std::string& label, bool raised);

// A note or comment id as it appears in anchor names: letters, digits, "-"
// and "_" only, so no id can end an attribute of the page.
std::string anchorId(std::string_view id);

// A comment's or tracked change's date as a reader reads it:
// "2016-05-19T10:18:00Z" as "2016-05-19 10:18"; other texts as they are.
std::string readableDate(std::string_view date);

}  // namespace tavin

// The story parts shown beside the body: footnotes, endnotes, comments,
// headers and footers, each parsed once, with their relationships. What a
// story holds is kept as WordprocessingML text as stored (references not
// decoded), which the body's own steps convert.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "docx2html/model/xml.h"

namespace tavin::model {

// One note or comment (or the whole of a header or footer).
struct StoryItem {
    std::string id;       // w:id as written
    std::string type;     // w:type as written: "normal", "separator" ... ("" when absent)
    bool typed = false;   // whether w:type is written
    std::string author, initials, date;  // a comment's
    std::string content;  // what lies inside the element, as stored
};

struct Story {
    std::string id;    // the document's relationship id
    std::string type;  // "footnotes", "endnotes", "comments", "header", "footer"
    std::string name;  // the part name in the package
    std::vector<StoryItem> items;
    std::string rels;  // its relationships part's text
};

// The items of a story part of that type from its text as stored: each
// w:footnote, w:endnote or w:comment of the root; for a header or footer
// one item, what its root holds.
std::vector<StoryItem> readStoryItems(std::string text, std::string_view type, std::string_view name, Report& report);

// A relationships part's text with each internal target replaced by what
// rebase gives for it (an empty answer keeps the target).
std::string rebasedRelationships(std::string text, const std::function<std::string(std::string_view)>& rebase,
                                 Report& report);

}  // namespace tavin::model

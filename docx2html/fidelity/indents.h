// Full Fidelity: paragraph indents as Word computes them. Each side (left,
// right, first line) comes from the paragraph's own w:ind, else its style
// chain's, else, for a numbered paragraph, its list level's; a hanging
// indent pulls the first line out; character units (leftChars,
// hangingChars, firstLineChars, in hundredths of a character) become em
// and win over twips. Reads the list levels of the model's numbering part
// and the ind elements of the styles and the document.
#pragma once

#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <unordered_map>

#include "docx2html/context.h"
#include "docx2html/model/model.h"

namespace tavin {

// One side of an indent: a measure in twips, or hundredths of a character.
struct IndentSide {
    std::string value;
    bool chars = false;
    bool negative = false;  // a hanging indent
    bool operator==(const IndentSide&) const = default;
};

struct Indent {
    std::optional<IndentSide> left, right, first;
    bool any() const { return left || right || first; }
    // Sets the sides this indent does not set from a farther source.
    void inherit(const Indent& farther);
};

// The indent an ind start tag of the prepared text sets ("<ind left=...>").
Indent indentOfTag(std::string_view tag);
// The indent an ind element of the model sets (w: attributes).
Indent indentOfNode(pugi::xml_node ind);

// The CSS of an indent: margin-left, margin-right and text-indent, in
// pixels (twips at the page's scale) or em; nothing for a side that is no
// measure.
std::string indentCss(const Indent& indent, const ConversionContext& units);

// The indents of the list levels: a number's level override, else its
// definition's level.
class LevelIndents {
public:
    // Holds nodes of the model, which must outlive it.
    explicit LevelIndents(const model::DocumentModel& model);
    Indent of(long numId, int ilvl) const;

private:
    std::unordered_map<long, pugi::xml_node> numbers_;
    std::unordered_map<std::string, pugi::xml_node> abstracts_;
};

}  // namespace tavin

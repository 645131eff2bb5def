// Full Fidelity: list labels as Word shows them. The numbering definitions
// and the numbering styles of the model (numbering part, style sheet) with
// the running counters of a document's lists.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include "docx2html/model/model.h"

namespace tavin {

using model::ListLevel;

// The numbers of a document's lists as its paragraphs use them.
class ListDefinitions {
public:
    // Holds a reference to the model, which must outlive it.
    explicit ListDefinitions(const model::DocumentModel& model);

    // The label of the next paragraph of list numId at level ilvl (0-8),
    // advancing the counters; empty when the list is unknown, its number is
    // 0 or its level shows nothing. The label is markup-safe text (as
    // stored in the part, with symbol bullets in Unicode). Numbers in words
    // and ordinals are in language (a tag such as "fr-FR"; English if empty).
    std::string nextLabel(int numId, int ilvl, std::string_view language = {});

    // The suffix after the label of that level: "tab", "space" or "nothing".
    std::string suffix(int numId, int ilvl) const;

private:
    struct Counters {
        std::array<int, 9> value{};
        std::array<bool, 9> started{};
    };
    // The definition a number uses, through one numStyleLink.
    const model::AbstractList* abstractOf(const model::ListNumber& n) const;
    const ListLevel* level(int numId, int ilvl, const model::AbstractList** abs = nullptr) const;
    // Counts level ilvl of c on and stops the levels below it.
    void advance(int numId, int ilvl, const ListLevel& here, Counters& c) const;
    std::string numberedLabel(int numId, int ilvl, const ListLevel& here, const Counters& c,
                              std::string_view language) const;

    const model::Numbering& numbering_;
    std::unordered_map<std::string, long> styleNumbers_;  // style id -> numId, for numStyleLink
    std::unordered_map<const model::AbstractList*, Counters> counters_;  // per abstract definition
    std::unordered_map<int, bool> seen_;                                 // numbers already used once
};

// The language numbers in words are written in for a paragraph: its own
// (the lang of its mark's run properties, as written), else its style
// chain's, else the document defaults', else the theme's.
std::string paragraphLanguage(const model::DocumentModel& model, std::string_view own, std::string_view styleId);

// Word numbers a list up to 32767 (letters and roman numerals stop there,
// and so do the counters), and a label shows at most 64 characters.
constexpr int kLargestListNumber = 32767;
constexpr std::size_t kLongestLabel = 64;

// The number after n, never past kLargestListNumber.
int nextListNumber(int n);

// A number in a list format (numbers.h), never past kLargestListNumber: 4
// in lowerRoman is "iv", 28 in upperLetter "BB", 2 in ordinal "2nd".
std::string formatListNumber(int n, std::string_view format, std::string_view language = {});

}  // namespace tavin

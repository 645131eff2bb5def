// List labels as Word shows them: the numbering definitions of the
// numbering part, and the running counters of a document's lists.
#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tavin {

// One level of a list definition.
struct ListLevel {
    int start = 0;
    std::string format = "decimal";  // numFmt: decimal, lowerLetter, upperRoman, bullet, none, ...
    std::string text;                // lvlText, with %1..%9 standing for the levels' numbers
    int restart = -1;                // lvlRestart: -1 the usual rule, 0 never, else after that level (1-based)
    bool legal = false;              // isLgl: every number in decimal
    std::string suffix = "tab";      // suff: tab, space or nothing
    std::string font;                // the label's font (rFonts ascii), for symbol bullets
};

// The numbering part read once: abstract definitions and the numbers
// (num elements) that use them.
class ListDefinitions {
public:
    // numbering: the numbering part with its "w:" prefixes removed in tags;
    // styles: the styles part the same way (for numStyleLink).
    ListDefinitions(std::string_view numbering, std::string_view styles);

    // The label of the next paragraph of list numId at level ilvl (0-8),
    // advancing the counters; empty when the list is unknown, its number is
    // 0 or its level shows nothing. The label is markup-safe text (as
    // stored in the part, with symbol bullets in Unicode).
    std::string nextLabel(int numId, int ilvl);

    // The suffix after the label of that level: "tab", "space" or "nothing".
    std::string suffix(int numId, int ilvl) const;

private:
    struct Abstract {
        std::array<ListLevel, 9> levels;
        std::string styleLink;  // numStyleLink
    };
    struct Number {
        std::string abstractId;
        std::map<int, int> startOverride;
        std::map<int, ListLevel> levelOverride;
    };
    struct Counters {
        std::array<int, 9> value{};
        std::array<bool, 9> started{};
    };
    // The abstract definition a number uses, through one numStyleLink.
    const Abstract* abstractOf(const Number& n) const;
    const ListLevel* level(int numId, int ilvl, const Abstract** abs = nullptr) const;

    std::unordered_map<std::string, Abstract> abstracts_;
    std::unordered_map<int, Number> numbers_;
    std::unordered_map<std::string, int> styleNumbers_;  // paragraph style id -> numId, for numStyleLink
    std::unordered_map<const Abstract*, Counters> counters_;  // per abstract definition
    std::unordered_map<int, bool> seen_;                  // numbers already used once
};

// Word numbers a list up to 32767 (letters and roman numerals stop there,
// and so do the counters), and a label shows at most 64 characters.
constexpr int kLargestListNumber = 32767;
constexpr std::size_t kLongestLabel = 64;

// The number after n, never past kLargestListNumber.
int nextListNumber(int n);

// A number in a list format: 4 in lowerRoman is "iv", 28 in upperLetter
// "BB", 2 in ordinal "2nd". Unknown formats write decimal.
std::string formatListNumber(int n, std::string_view format);

}  // namespace tavin

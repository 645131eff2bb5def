// Full Fidelity: list labels from the numbering definitions and numbering
// styles of the model, counted as the document's paragraphs use them.
#include "docx2html/fidelity/lists.h"

#include <algorithm>

#include "core/html.h"
#include "docx2html/symbols.h"

namespace tavin {

namespace {

std::string roman(int n, bool upper) {
    static const std::pair<int, const char*> parts[] = {{1000, "m"}, {900, "cm"}, {500, "d"}, {400, "cd"}, {100, "c"},
                                                        {90, "xc"},  {50, "l"},   {40, "xl"}, {10, "x"},   {9, "ix"},
                                                        {5, "v"},    {4, "iv"},   {1, "i"}};
    std::string out;
    for (const auto& [value, text] : parts)
        for (; n >= value; n -= value) out += text;
    if (upper)
        for (char& c : out) c = static_cast<char>(c - 32);
    return out;
}

const char* const kOnes[] = {"zero",    "one",     "two",       "three",    "four",    "five",    "six",
                             "seven",   "eight",   "nine",      "ten",      "eleven",  "twelve",  "thirteen",
                             "fourteen", "fifteen", "sixteen", "seventeen", "eighteen", "nineteen", "twenty"};
const char* const kOrdinals[] = {"zeroth",     "first",      "second",     "third",       "fourth",
                                 "fifth",      "sixth",      "seventh",    "eighth",      "ninth",
                                 "tenth",      "eleventh",   "twelfth",    "thirteenth",  "fourteenth",
                                 "fifteenth",  "sixteenth",  "seventeenth", "eighteenth", "nineteenth",
                                 "twentieth"};

// A label as the page shows it: at most kLongestLabel characters, escaped
// where the level's text holds markup.
std::string labelText(std::string label) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if ((static_cast<unsigned char>(label[i]) & 0xC0) == 0x80) continue;  // inside a character
        if (++characters > kLongestLabel) {
            label.resize(i);
            break;
        }
    }
    return escapeStoredText(label);
}

// A, B, ... Z, AA, BB, ... as Word counts.
std::string letters(int n, bool upper) {
    const char letter = static_cast<char>((upper ? 'A' : 'a') + (n - 1) % 26);
    return std::string(static_cast<std::size_t>((n - 1) / 26 + 1), letter);
}

std::string ordinal(int n) {
    const int tens = n % 100;
    const char* suffix = tens >= 11 && tens <= 13 ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
    return std::to_string(n) + suffix;
}

// A word of a table, capitalised.
std::string word(const char* const* table, int n) {
    std::string s = table[n];
    s[0] = static_cast<char>(s[0] - 32);
    return s;
}

// The formats that write words or letters, where the number allows them;
// empty otherwise.
std::string wordsOrLetters(int n, std::string_view f) {
    if (n > 0 && n < 4000 && (f == "upperRoman" || f == "lowerRoman")) return roman(n, f == "upperRoman");
    if (n > 0 && (f == "upperLetter" || f == "lowerLetter")) return letters(n, f == "upperLetter");
    if (n >= 0 && n <= 20 && f == "cardinalText") return word(kOnes, n);
    if (n >= 0 && n <= 20 && f == "ordinalText") return word(kOrdinals, n);
    return {};
}

}  // namespace

int nextListNumber(int n) { return n < kLargestListNumber ? n + 1 : kLargestListNumber; }

std::string formatListNumber(int n, std::string_view f) {
    if (f == "none" || f == "bullet") return {};
    n = std::min(n, kLargestListNumber);
    if (f == "decimalZero") return (n >= 0 && n < 10 ? "0" : "") + std::to_string(n);
    if (f == "ordinal") return ordinal(n);
    std::string s = wordsOrLetters(n, f);
    return s.empty() ? std::to_string(n) : s;
}

ListDefinitions::ListDefinitions(const model::DocumentModel& model) : numbering_(model.listNumbering) {
    // Numbering styles name the list a numStyleLink stands for.
    for (const auto& [id, style] : model.styleSheet.styles())
        if (style.numId) styleNumbers_.emplace(id, *style.numId);
}

const model::AbstractList* ListDefinitions::abstractOf(const model::ListNumber& n) const {
    const auto a = numbering_.abstracts.find(n.abstractId);
    if (a == numbering_.abstracts.end()) return nullptr;
    if (a->second.styleLink.empty()) return &a->second;
    const auto s = styleNumbers_.find(a->second.styleLink);
    const auto linked = s == styleNumbers_.end() ? numbering_.numbers.end() : numbering_.numbers.find(s->second);
    if (linked == numbering_.numbers.end()) return &a->second;
    const auto b = numbering_.abstracts.find(linked->second.abstractId);
    return b != numbering_.abstracts.end() && b->second.styleLink.empty() ? &b->second : &a->second;
}

const ListLevel* ListDefinitions::level(int numId, int ilvl, const model::AbstractList** abs) const {
    const auto n = numbering_.numbers.find(numId);
    if (n == numbering_.numbers.end() || ilvl < 0 || ilvl > 8) return nullptr;
    const model::AbstractList* a = abstractOf(n->second);
    if (!a) return nullptr;
    if (abs) *abs = a;
    const auto o = n->second.levelOverride.find(ilvl);
    return o != n->second.levelOverride.end() ? &o->second : &a->levels[static_cast<std::size_t>(ilvl)];
}

std::string ListDefinitions::suffix(int numId, int ilvl) const {
    const ListLevel* l = level(numId, ilvl);
    return l ? l->suffix : std::string("nothing");
}

void ListDefinitions::advance(int numId, int ilvl, const ListLevel& here, Counters& c) const {
    const auto i = static_cast<std::size_t>(ilvl);
    if (c.started[i]) {
        c.value[i] = nextListNumber(c.value[i]);
    } else {
        c.value[i] = std::clamp(here.start, 0, kLargestListNumber);
        c.started[i] = true;
    }
    for (int k = ilvl + 1; k < 9; ++k) {
        const ListLevel* lower = level(numId, k);
        const int after = lower && lower->restart >= 0 ? lower->restart : k;
        if (after != 0 && ilvl < after) c.started[static_cast<std::size_t>(k)] = false;
    }
}

std::string ListDefinitions::numberedLabel(int numId, int ilvl, const ListLevel& here, const Counters& c) const {
    std::string label;
    const std::string& t = here.text;
    for (std::size_t p = 0; p < t.size() && label.size() <= 4 * kLongestLabel; ++p) {
        const bool placeholder = t[p] == '%' && p + 1 < t.size() && t[p + 1] >= '1' && t[p + 1] <= '9';
        if (!placeholder) {
            label.push_back(t[p]);
            continue;
        }
        const int k = t[++p] - '1';
        const ListLevel* shown = level(numId, k);
        if (!shown || k > ilvl) continue;
        const auto ks = static_cast<std::size_t>(k);
        const int value = c.started[ks] ? c.value[ks] : shown->start;
        label += formatListNumber(value, here.legal ? "decimal" : shown->format);
    }
    return label;
}

std::string ListDefinitions::nextLabel(int numId, int ilvl) {
    const model::AbstractList* abs = nullptr;
    const ListLevel* here = level(numId, ilvl, &abs);
    if (numId == 0 || !here) return {};
    // The abstract definition's counters; the first paragraph of a number
    // with start overrides restarts those levels.
    Counters& c = counters_[abs];
    if (!seen_[numId]) {
        seen_[numId] = true;
        for (const auto& [i, start] : numbering_.numbers.at(numId).startOverride) {
            c.value[static_cast<std::size_t>(i)] = std::clamp(start, 0, kLargestListNumber) - 1;
            c.started[static_cast<std::size_t>(i)] = true;
        }
    }
    advance(numId, ilvl, *here, c);
    if (here->format == "bullet") return labelText(symbolText(here->text, here->font, true));
    return labelText(symbolText(numberedLabel(numId, ilvl, *here, c), here->font, false));
}

}  // namespace tavin

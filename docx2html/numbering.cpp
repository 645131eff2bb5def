#include "docx2html/numbering.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "core/html.h"

#include "docx2html/symbols.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

ListLevel readLevel(std::string_view block) {
    ListLevel l;
    l.start = intValue(childValue(block, "start"), 0);
    if (const std::string_view f = childValue(block, "numFmt"); !f.empty()) l.format = std::string(f);
    l.text = std::string(childValue(block, "lvlText"));
    if (const std::string_view r = childValue(block, "lvlRestart"); !r.empty()) l.restart = intValue(r, -1);
    l.legal = hasChild(block, "isLgl") && isOn(childValue(block, "isLgl"));
    if (const std::string_view s = childValue(block, "suff"); !s.empty()) l.suffix = std::string(s);
    l.font = std::string(tagAttribute(childTag(block, "rFonts"), "ascii"));
    return l;
}

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

}  // namespace

int nextListNumber(int n) { return n < kLargestListNumber ? n + 1 : kLargestListNumber; }

std::string formatListNumber(int n, std::string_view f) {
    if (f == "none" || f == "bullet") return {};
    n = std::min(n, kLargestListNumber);
    if (f == "decimalZero") return (n >= 0 && n < 10 ? "0" : "") + std::to_string(n);
    if (n > 0 && n < 4000 && (f == "upperRoman" || f == "lowerRoman")) return roman(n, f == "upperRoman");
    if (n > 0 && (f == "upperLetter" || f == "lowerLetter")) {
        // A, B, ... Z, AA, BB, ... as Word counts.
        const char letter = static_cast<char>((f == "upperLetter" ? 'A' : 'a') + (n - 1) % 26);
        return std::string(static_cast<std::size_t>((n - 1) / 26 + 1), letter);
    }
    if (f == "ordinal") {
        const int tens = n % 100;
        const char* suffix = tens >= 11 && tens <= 13 ? "th" : n % 10 == 1 ? "st" : n % 10 == 2 ? "nd" : n % 10 == 3 ? "rd" : "th";
        return std::to_string(n) + suffix;
    }
    if (n >= 0 && n <= 20 && f == "cardinalText") {
        std::string s = kOnes[n];
        s[0] = static_cast<char>(s[0] - 32);
        return s;
    }
    if (n >= 0 && n <= 20 && f == "ordinalText") {
        std::string s = kOrdinals[n];
        s[0] = static_cast<char>(s[0] - 32);
        return s;
    }
    return std::to_string(n);
}

ListDefinitions::ListDefinitions(std::string_view numbering, std::string_view styles) {
    for (const Element& a : elements(numbering, "abstractNum")) {
        Abstract def;
        for (const Element& l : elements(a.content, "lvl")) {
            const int i = intValue(tagAttribute(l.tag, "ilvl"), -1);
            if (i >= 0 && i < 9) def.levels[static_cast<std::size_t>(i)] = readLevel(l.content);
        }
        def.styleLink = std::string(childValue(a.content, "numStyleLink"));
        abstracts_.emplace(std::string(tagAttribute(a.tag, "abstractNumId")), std::move(def));
    }
    for (const Element& n : elements(numbering, "num")) {
        Number num;
        num.abstractId = std::string(childValue(n.content, "abstractNumId"));
        for (const Element& o : elements(n.content, "lvlOverride")) {
            const int i = intValue(tagAttribute(o.tag, "ilvl"), -1);
            if (i < 0 || i >= 9) continue;
            if (const std::string_view s = childValue(o.content, "startOverride"); !s.empty())
                num.startOverride[i] = intValue(s, 0);
            const std::vector<Element> lv = elements(o.content, "lvl");
            if (!lv.empty()) num.levelOverride[i] = readLevel(lv.front().content);
        }
        numbers_.emplace(intValue(tagAttribute(n.tag, "numId"), -1), std::move(num));
    }
    // Numbering styles name the list a numStyleLink stands for.
    for (const Element& s : elements(styles, "style")) {
        const std::string_view numId = childValue(s.content, "numId");
        if (!numId.empty()) styleNumbers_.emplace(std::string(tagAttribute(s.tag, "styleId")), intValue(numId, -1));
    }
}

const ListDefinitions::Abstract* ListDefinitions::abstractOf(const Number& n) const {
    auto a = abstracts_.find(n.abstractId);
    if (a == abstracts_.end()) return nullptr;
    if (!a->second.styleLink.empty()) {
        const auto s = styleNumbers_.find(a->second.styleLink);
        const auto linked = s == styleNumbers_.end() ? numbers_.end() : numbers_.find(s->second);
        if (linked != numbers_.end()) {
            const auto b = abstracts_.find(linked->second.abstractId);
            if (b != abstracts_.end() && b->second.styleLink.empty()) return &b->second;
        }
    }
    return &a->second;
}

const ListLevel* ListDefinitions::level(int numId, int ilvl, const Abstract** abs) const {
    const auto n = numbers_.find(numId);
    if (n == numbers_.end() || ilvl < 0 || ilvl > 8) return nullptr;
    const Abstract* a = abstractOf(n->second);
    if (!a) return nullptr;
    if (abs) *abs = a;
    const auto o = n->second.levelOverride.find(ilvl);
    return o != n->second.levelOverride.end() ? &o->second : &a->levels[static_cast<std::size_t>(ilvl)];
}

std::string ListDefinitions::suffix(int numId, int ilvl) const {
    const ListLevel* l = level(numId, ilvl);
    return l ? l->suffix : std::string("nothing");
}

std::string ListDefinitions::nextLabel(int numId, int ilvl) {
    const Abstract* abs = nullptr;
    const ListLevel* here = level(numId, ilvl, &abs);
    if (numId == 0 || !here) return {};
    const Number& num = numbers_.at(numId);
    // The abstract definition's counters; the first paragraph of a number
    // with start overrides restarts those levels.
    Counters& c = counters_[abs];
    if (!seen_[numId]) {
        seen_[numId] = true;
        for (const auto& [i, start] : num.startOverride) {
            c.value[static_cast<std::size_t>(i)] = std::clamp(start, 0, kLargestListNumber) - 1;
            c.started[static_cast<std::size_t>(i)] = true;
        }
    }
    const auto i = static_cast<std::size_t>(ilvl);
    if (c.started[i]) {
        c.value[i] = nextListNumber(c.value[i]);
    } else {
        c.value[i] = std::clamp(here->start, 0, kLargestListNumber);
        c.started[i] = true;
    }
    for (int k = ilvl + 1; k < 9; ++k) {
        const ListLevel* lower = level(numId, k);
        const int after = lower && lower->restart >= 0 ? lower->restart : k;
        if (after != 0 && ilvl < after) c.started[static_cast<std::size_t>(k)] = false;
    }

    if (here->format == "bullet") return labelText(symbolText(here->text, here->font, true));
    std::string label;
    const std::string& t = here->text;
    for (std::size_t p = 0; p < t.size() && label.size() <= 4 * kLongestLabel; ++p) {
        if (t[p] == '%' && p + 1 < t.size() && t[p + 1] >= '1' && t[p + 1] <= '9') {
            const int k = t[p + 1] - '1';
            const ListLevel* shown = level(numId, k);
            if (shown && k <= ilvl) {
                const auto ks = static_cast<std::size_t>(k);
                const int value = c.started[ks] ? c.value[ks] : shown->start;
                label += formatListNumber(value, here->legal ? "decimal" : shown->format);
            }
            ++p;
            continue;
        }
        label.push_back(t[p]);
    }
    return labelText(symbolText(label, here->font, false));
}

}  // namespace tavin

// Full Fidelity: list labels from the numbering definitions and numbering
// styles of the model, counted as the document's paragraphs use them.
#include "docx2html/fidelity/lists.h"

#include <algorithm>

#include "core/html.h"
#include "docx2html/fidelity/numbers.h"
#include "docx2html/symbols.h"

namespace tavin {

namespace {

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

std::string_view langOf(pugi::xml_node rPr) { return rPr.child("w:lang").attribute("w:val").value(); }

}  // namespace

std::string paragraphLanguage(const model::DocumentModel& model, std::string_view own, std::string_view styleId) {
    if (!own.empty()) return std::string(own);
    for (const model::Style* s : model.styleSheet.chain(styleId))
        if (const std::string_view l = langOf(s->rPr); !l.empty()) return std::string(l);
    if (const std::string_view l = langOf(model.styleSheet.defaultRunProperties); !l.empty()) return std::string(l);
    return model.settings.themeLanguage;
}

int nextListNumber(int n) { return n < kLargestListNumber ? n + 1 : kLargestListNumber; }

std::string formatListNumber(int n, std::string_view f, std::string_view language) {
    return formatNumber(std::min(n, kLargestListNumber), f, language);
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

std::string ListDefinitions::numberedLabel(int numId, int ilvl, const ListLevel& here, const Counters& c,
                                           std::string_view language) const {
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
        label += formatListNumber(value, here.legal ? "decimal" : shown->format, language);
    }
    return label;
}

std::string ListDefinitions::nextLabel(int numId, int ilvl, std::string_view language) {
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
    return labelText(symbolText(numberedLabel(numId, ilvl, *here, c, language), here->font, false));
}

}  // namespace tavin

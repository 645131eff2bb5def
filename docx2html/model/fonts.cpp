// Reads the font table and the theme's typefaces into the generic family of
// each font.
#include "docx2html/model/fonts.h"

#include "core/uStr.h"

namespace tavin::model {

namespace {

int hexByte(std::string_view two) {
    auto digit = [](char c) { return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10; };
    return digit(two[0]) * 16 + digit(two[1]);
}

// Latin text faces: by serif style and proportion.
std::string latinGeneric(int serifStyle, int proportion) {
    if (proportion == 9) return "monospace";
    if (serifStyle >= 11 && serifStyle <= 15) return "sans-serif";
    if (serifStyle >= 2 && serifStyle <= 10) return "serif";
    return {};
}

std::string familyGeneric(std::string_view family) {
    if (family == "roman") return "serif";
    if (family == "swiss") return "sans-serif";
    if (family == "modern") return "monospace";
    if (family == "script") return "cursive";
    if (family == "decorative") return "fantasy";
    return {};
}

// Common faces that font tables often leave without a family or panose
// number, by the start of their lower-case names.
constexpr std::pair<std::string_view, std::string_view> kCommonFaces[] = {
    {"verdana", "sans-serif"},       {"geneva", "sans-serif"},          {"tahoma", "sans-serif"},
    {"segoe ui", "sans-serif"},      {"franklin gothic", "sans-serif"}, {"century gothic", "sans-serif"},
    {"trebuchet", "sans-serif"},     {"helvetica", "sans-serif"},       {"arial", "sans-serif"},
    {"calibri", "sans-serif"},       {"candara", "sans-serif"},         {"corbel", "sans-serif"},
    {"gill sans", "sans-serif"},     {"lucida sans typewriter", "monospace"}, {"lucida sans", "sans-serif"},
    {"lucida grande", "sans-serif"}, {"aptos", "sans-serif"},           {"optima", "sans-serif"},
    {"futura", "sans-serif"},        {"bookman", "serif"},              {"palatino", "serif"},
    {"book antiqua", "serif"},       {"garamond", "serif"},             {"georgia", "serif"},
    {"cambria", "serif"},            {"times", "serif"},                {"century", "serif"},
    {"constantia", "serif"},         {"baskerville", "serif"},          {"minion", "serif"},
    {"consolas", "monospace"},       {"courier", "monospace"},          {"lucida console", "monospace"},
    {"monaco", "monospace"},         {"menlo", "monospace"},            {"cascadia", "monospace"},
    {"monotype corsiva", "cursive"}, {"lucida calligraphy", "cursive"}, {"lucida handwriting", "cursive"},
    {"brush script", "cursive"},     {"comic sans", "cursive"}};

// The generic family of a common face, by the start of its name.
std::string_view commonGeneric(const std::string& lower) {
    for (const auto& [face, generic] : kCommonFaces)
        if (lower.compare(0, face.size(), face) == 0) return generic;
    return {};
}

// The generic family the words of a face's name tell.
std::string_view nameGeneric(const std::string& lower) {
    for (std::string_view word : {"mono", "code", "console", "typewriter"})
        if (lower.find(word) != std::string::npos) return "monospace";
    for (std::string_view word : {"sans", "gothic", "grotesk"})
        if (lower.find(word) != std::string::npos) return "sans-serif";
    for (std::string_view word : {"script", "hand", "chancery"})
        if (lower.find(word) != std::string::npos) return "cursive";
    return {};
}

}  // namespace

std::string panoseGeneric(std::string_view panose) {
    if (panose.size() != 20 || panose.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos) return {};
    switch (hexByte(panose.substr(0, 2))) {
    case 2: return latinGeneric(hexByte(panose.substr(2, 2)), hexByte(panose.substr(6, 2)));
    case 3: return "cursive";
    case 4: return "fantasy";
    default: return {};
    }
}

FontFamilies::FontFamilies(const XmlPart& fontTable, const Theme& theme) {
    for (const auto& [face, panose] : theme.panose) {
        const std::string generic = panoseGeneric(panose);
        if (!face.empty() && !generic.empty()) byPanose_.emplace(lowerCase(face), generic);
    }
    // The font table lists every font the document uses; its panose numbers
    // say more than the theme's, its families less than a face's own kind
    // (some producers write "roman" for every font).
    for (pugi::xml_node f : fontTable.root().children("w:font")) {
        const std::string_view face = f.attribute("w:name").value();
        if (face.empty()) continue;
        if (std::string generic = panoseGeneric(childVal(f, "w:panose1")); !generic.empty())
            byPanose_[lowerCase(face)] = generic;
        if (std::string generic = familyGeneric(childVal(f, "w:family")); !generic.empty())
            byFamily_[lowerCase(face)] = generic;
    }
    for (const auto* names : {&byPanose_, &byFamily_})
        for (const auto& entry : *names) known_.try_emplace(entry.first, resolve(entry.first));
}

std::string_view FontFamilies::generic(std::string_view font) const {
    const std::string lower = lowerCase(font);
    if (const auto it = known_.find(lower); it != known_.end()) return it->second;
    return resolve(lower);
}

std::string_view FontFamilies::resolve(const std::string& lower) const {
    if (const auto it = byPanose_.find(lower); it != byPanose_.end()) return it->second;
    if (const std::string_view common = commonGeneric(lower); !common.empty()) return common;
    if (const auto it = byFamily_.find(lower); it != byFamily_.end()) return it->second;
    return nameGeneric(lower);
}

std::string_view FontFamilies::kind(std::string_view font) const {
    const std::string_view g = generic(font);
    return g.empty() ? std::string_view("serif") : g;
}

}  // namespace tavin::model

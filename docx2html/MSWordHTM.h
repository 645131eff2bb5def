// HTML clean-up and final layout.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/WSRegEx3.h"
#include "docx2html/context.h"

namespace tavin {

// Tidies word-processor HTML and turns inline styles into numbered classes.
class TWordHTM {
public:
    explicit TWordHTM(TWSRegEx& regex) : regex_(regex) {}

    void cleanMarkup(std::string& text);
    void flattenTagWhitespace(std::string& text);
    void collapseSpaces(std::string& text);
    void stripWidths(std::string& text);
    void stripCellHeights(std::string& text);
    void stylesToClasses(std::string& text);
    void applyStyleClasses(std::string& text);
    void rebuildStyleBlock(std::string& text, const std::string& rules);

    // Distinct style attributes in order of first appearance; the 1-based
    // position of an entry is its class number.
    std::vector<std::string> styleList;

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    // Class number of each styleList entry, so lookups stay constant-time on
    // pages with thousands of distinct styles.
    std::unordered_map<std::string, std::size_t, TextHash, std::equal_to<>> classOf_;
    void indexStyleList();

    TWSRegEx& regex_;
};

// cleanMarkup, then stylesToClasses, on the working text.
void optimize(ConversionContext& ctx);
// A line break in front of every "<" followed by p, t or d.
void reformat(ConversionContext& ctx);

}  // namespace tavin

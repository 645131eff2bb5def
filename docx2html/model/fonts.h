// The font table (word/fontTable.xml) as the model holds it: the generic
// family (serif, sans-serif, monospace, cursive, fantasy) each font falls
// back to, from its panose number or its family, and for the fonts the
// table does not list, from the theme's panose numbers, and for others from
// a table of common faces and their names.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

#include "docx2html/model/theme.h"
#include "docx2html/model/xml.h"

namespace tavin::model {

class FontFamilies {
public:
    FontFamilies() = default;
    FontFamilies(const XmlPart& fontTable, const Theme& theme);
    // The generic family of a font (any case): its panose number's (the
    // font table's, else the theme's), that of a common face of that name
    // (Verdana, Consolas...), the font table's family, or one its name
    // tells ("Sans", "Mono"); else empty.
    std::string_view generic(std::string_view font) const;
    // generic, or serif (as a browser falls back) when it says none.
    std::string_view kind(std::string_view font) const;

private:
    std::string_view resolve(const std::string& lower) const;

    std::unordered_map<std::string, std::string> byPanose_, byFamily_;  // by lower-case name
    // generic of every face the font table and theme name, worked out once:
    // runs ask for the same few faces many times.
    std::unordered_map<std::string, std::string> known_;
};

// The generic family a panose number (ten bytes in hex) stands for, or empty.
std::string panoseGeneric(std::string_view panose);

}  // namespace tavin::model

// Reads the theme part into the model: font scheme, colour scheme and the
// panose numbers of its typefaces.
#include "docx2html/model/theme.h"

#include <cstring>

namespace tavin::model {

namespace {

// The first element of that name at or below node, in document order.
pugi::xml_node firstBelow(pugi::xml_node node, const char* name) {
    return node.find_node([name](pugi::xml_node n) { return std::strcmp(n.name(), name) == 0; });
}

void readScheme(pugi::xml_node font, std::string& latin, std::string& eastAsia, std::string& complex) {
    latin = font.child("a:latin").attribute("typeface").value();
    eastAsia = font.child("a:ea").attribute("typeface").value();
    complex = font.child("a:cs").attribute("typeface").value();
}

// A colour of the scheme: an sRGB value, or a system colour's last value.
std::string schemeColour(pugi::xml_node entry) {
    if (const pugi::xml_node rgb = entry.child("a:srgbClr")) return rgb.attribute("val").value();
    return entry.child("a:sysClr").attribute("lastClr").value();
}

// Collects the typeface and panose number of every element of one name.
class Typefaces : public pugi::xml_tree_walker {
public:
    Typefaces(const char* name, std::vector<std::pair<std::string, std::string>>& out) : name_(name), out_(out) {}
    bool for_each(pugi::xml_node& n) override {
        if (std::strcmp(n.name(), name_) == 0)
            out_.emplace_back(n.attribute("typeface").value(), n.attribute("panose").value());
        return true;
    }

private:
    const char* name_;
    std::vector<std::pair<std::string, std::string>>& out_;
};

bool isHex6(std::string_view v) {
    return v.size() == 6 && v.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

}  // namespace

std::string ThemeFonts::font(std::string_view r) const {
    if (r == "majorHAnsi" || r == "majorAscii") return majorLatin;
    if (r == "majorEastAsia") return majorEastAsia;
    if (r == "majorBidi") return majorComplex;
    if (r == "minorHAnsi" || r == "minorAscii") return minorLatin;
    if (r == "minorEastAsia") return minorEastAsia;
    if (r == "minorBidi") return minorComplex;
    return {};
}

std::string_view Theme::colour(std::string_view name) const {
    for (const auto& [n, c] : colours)
        if (n == name) return c;
    return {};
}

Theme readTheme(const XmlPart& part, Report& report) {
    Theme theme;
    pugi::xml_node root = part.root();
    if (!root) return theme;
    readScheme(firstBelow(root, "a:majorFont"), theme.fonts.majorLatin, theme.fonts.majorEastAsia, theme.fonts.majorComplex);
    readScheme(firstBelow(root, "a:minorFont"), theme.fonts.minorLatin, theme.fonts.minorEastAsia, theme.fonts.minorComplex);
    for (pugi::xml_node entry : firstBelow(root, "a:clrScheme").children()) {
        const std::string_view qualified = entry.name();
        const std::string name(qualified.substr(qualified.find(':') + 1));
        std::string value = schemeColour(entry);
        if (isHex6(value)) theme.colours.emplace_back(name, std::move(value));
        else report.skip(part.name(), "colour " + name, "not six hex digits");
    }
    // Every typeface with its panose number, all latin ones first.
    for (const char* kind : {"a:latin", "a:ea", "a:cs"}) {
        Typefaces walker(kind, theme.panose);
        root.traverse(walker);
    }
    return theme;
}

}  // namespace tavin::model

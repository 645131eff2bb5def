// Reads the theme part into the model: font scheme, colour scheme and the
// panose numbers of its typefaces.
#include "docx2html/model/theme.h"

#include <algorithm>
#include <cstring>

#include "core/uStr.h"

namespace tavin::model {

namespace {

// The first element of that name at or below node, in document order.
pugi::xml_node firstBelow(pugi::xml_node node, const char* name) {
    return node.find_node([name](pugi::xml_node n) { return std::strcmp(n.name(), name) == 0; });
}

void readScheme(pugi::xml_node font, std::string& latin, std::string& eastAsia, std::string& complex,
                std::vector<std::pair<std::string, std::string>>& scripts) {
    latin = font.child("a:latin").attribute("typeface").value();
    eastAsia = font.child("a:ea").attribute("typeface").value();
    complex = font.child("a:cs").attribute("typeface").value();
    for (pugi::xml_node f : font.children("a:font"))
        scripts.emplace_back(f.attribute("script").value(), f.attribute("typeface").value());
}

std::string_view scriptFont(const std::vector<std::pair<std::string, std::string>>& scripts, std::string_view script) {
    if (script.empty()) return {};
    for (const auto& [s, face] : scripts)
        if (s == script) return face;
    return {};
}

void fillFrom(std::string& font, const std::vector<std::pair<std::string, std::string>>& scripts, std::string_view script) {
    if (font.empty()) font = scriptFont(scripts, script);
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

std::string_view scriptOfLanguage(std::string_view language) {
    // Language subtags (lower case, before the region) and their scripts.
    static constexpr std::pair<std::string_view, std::string_view> kScripts[] = {
        {"ar", "Arab"}, {"fa", "Arab"}, {"ur", "Arab"}, {"ps", "Arab"}, {"sd", "Arab"}, {"ug", "Uigh"},
        {"he", "Hebr"}, {"yi", "Hebr"}, {"th", "Thai"}, {"hi", "Deva"}, {"mr", "Deva"}, {"ne", "Deva"},
        {"sa", "Deva"}, {"bn", "Beng"}, {"as", "Beng"}, {"pa", "Guru"}, {"gu", "Gujr"}, {"or", "Orya"},
        {"ta", "Taml"}, {"te", "Telu"}, {"kn", "Knda"}, {"ml", "Mlym"}, {"si", "Sinh"}, {"km", "Khmr"},
        {"lo", "Laoo"}, {"bo", "Tibt"}, {"dv", "Thaa"}, {"syr", "Syrc"}, {"am", "Ethi"}, {"ti", "Ethi"},
        {"ja", "Jpan"}, {"ko", "Hang"}, {"mn", "Mong"}, {"chr", "Cher"}, {"iu", "Cans"}, {"ka", "Geor"},
        {"hy", "Armn"}, {"my", "Mymr"},
    };
    const std::string tag = lowerCase(language);
    const std::size_t dash = std::min(tag.find_first_of("-_"), tag.size());
    const std::string_view primary = std::string_view(tag).substr(0, dash), rest = std::string_view(tag).substr(dash);
    // Chinese is written in simplified characters but in Taiwan, Hong Kong
    // and Macao (zh-TW, zh-HK, zh-MO) and where the tag says so (zh-Hant).
    if (primary == "zh") {
        for (std::string_view traditional : {"-tw", "-hk", "-mo", "-hant"})
            if (rest.substr(0, traditional.size()) == traditional) return "Hant";
        return "Hans";
    }
    for (const auto& [subtag, script] : kScripts)
        if (primary == subtag) return script;
    return {};
}

void ThemeFonts::useLanguages(std::string_view complexLanguage, std::string_view eastAsianLanguage) {
    const std::string_view complex = scriptOfLanguage(complexLanguage), eastAsian = scriptOfLanguage(eastAsianLanguage);
    fillFrom(majorComplex, majorScripts, complex);
    fillFrom(minorComplex, minorScripts, complex);
    fillFrom(majorEastAsia, majorScripts, eastAsian);
    fillFrom(minorEastAsia, minorScripts, eastAsian);
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
    ThemeFonts& f = theme.fonts;
    readScheme(firstBelow(root, "a:majorFont"), f.majorLatin, f.majorEastAsia, f.majorComplex, f.majorScripts);
    readScheme(firstBelow(root, "a:minorFont"), f.minorLatin, f.minorEastAsia, f.minorComplex, f.minorScripts);
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

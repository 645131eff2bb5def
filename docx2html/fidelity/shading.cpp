// Full Fidelity: the colour a shading shows, written where the classic
// paragraph and cell steps read it.
#include "docx2html/fidelity/shading.h"

#include "docx2html/fidelity/fonts.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

bool isHexColour(std::string_view v) {
    return v.size() == 6 && v.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

}  // namespace

std::string_view shadingColour(std::string_view pattern, std::string_view color, std::string_view fill) {
    // A solid pattern is all pattern colour.
    const std::string_view shade = pattern == "solid" && isHexColour(color) ? color : fill;
    return isHexColour(shade) && pattern != "nil" ? shade : std::string_view();
}

std::string shownShadingTag(std::string_view tag, std::string_view prefix) {
    const std::string p(prefix);
    const std::string val = p + "val", color = p + "color", fill = p + "fill";
    const std::string_view pattern = tagAttribute(tag, val);
    const std::string_view shade = shadingColour(pattern, tagAttribute(tag, color), tagAttribute(tag, fill));
    if (shade.empty()) return {};
    std::string out = "<" + p + "shd " + val + "=\"";
    out.append(pattern);
    out += "\" " + color + "=\"";
    out.append(shade);
    out += "\" " + fill + "=\"";
    out.append(shade);
    return out + "\"/>";
}

void normalizeShading(std::string& text, std::string_view prefix) { resolveFontsAndShading(text, nullptr, true, prefix); }

}  // namespace tavin

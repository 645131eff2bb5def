// Full Fidelity: the colour a shading shows, written where the classic
// paragraph and cell steps read it.
#include "docx2html/fidelity/shading.h"

#include <utility>

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

void normalizeShading(std::string& text, std::string_view prefix) {
    const std::string p(prefix);
    const std::string name = p + "shd", val = p + "val", color = p + "color", fill = p + "fill";
    std::string out;
    std::size_t copied = 0;
    bool changed = false;
    for (const Element& e : elements(text, name)) {
        if (!e.content.empty()) continue;  // not the empty element shading is written as
        if (!changed) out.reserve(text.size() + text.size() / 32);
        changed = true;
        const std::string_view pattern = tagAttribute(e.tag, val);
        const std::string_view shade = shadingColour(pattern, tagAttribute(e.tag, color), tagAttribute(e.tag, fill));
        out.append(std::string_view(text).substr(copied, e.begin - copied));
        copied = e.end;
        if (shade.empty()) continue;
        out += "<" + name + " " + val + "=\"";
        out.append(pattern);
        out += "\" " + color + "=\"";
        out.append(shade);
        out += "\" " + fill + "=\"";
        out.append(shade);
        out += "\"/>";
    }
    if (!changed) return;
    out.append(std::string_view(text).substr(copied));
    text = std::move(out);
}

}  // namespace tavin

// Full Fidelity: paragraph indents as Word computes them (indents.h).
#include "docx2html/fidelity/indents.h"

#include "docx2html/docxstyle.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// A side from its twips attribute (or the strict schema's name for it) and
// its character attribute, which wins when it is not 0.
template <class Attr>
std::optional<IndentSide> sideOf(const Attr& attr, const char* twips, const char* strict, const char* chars,
                                 const char* strictChars, bool negative) {
    std::string_view c = attr(chars);
    if (c.empty()) c = attr(strictChars);
    if (!c.empty() && intValue(c, 0) != 0) return IndentSide{std::string(c), true, negative};
    std::string_view t = attr(twips);
    if (t.empty() && strict) t = attr(strict);
    if (!t.empty()) return IndentSide{std::string(t), false, negative};
    return std::nullopt;
}

template <class Attr>
Indent indentOf(const Attr& attr) {
    Indent ind;
    ind.left = sideOf(attr, "left", "start", "leftChars", "startChars", false);
    ind.right = sideOf(attr, "right", "end", "rightChars", "endChars", false);
    // A hanging indent over a first-line one, as Word reads both.
    ind.first = sideOf(attr, "hanging", nullptr, "hangingChars", "hangingChars", true);
    if (!ind.first) ind.first = sideOf(attr, "firstLine", nullptr, "firstLineChars", "firstLineChars", false);
    return ind;
}

// Hundredths of a character as em: "150" is "1.5em".
std::string emOf(std::string_view hundredths) {
    const int n = intValue(hundredths, 0);
    const int a = n < 0 ? -n : n;
    std::string em = std::to_string(a / 100);
    if (a % 100 != 0) {
        em += (a % 100 < 10 ? ".0" : ".") + std::to_string(a % 100);
        if (em.back() == '0') em.pop_back();
    }
    return (n < 0 ? "-" : "") + em + "em";
}

// A side as a CSS length; empty when it is no measure.
std::string lengthOf(const IndentSide& side, const ConversionContext& units) {
    std::string length;
    if (side.chars) {
        length = emOf(side.value);
    } else {
        try {
            length = twipsToPx(units, side.value) + "px";
        } catch (const Error&) {
            return {};  // no measure: the side shows nothing
        }
    }
    if (!side.negative || length == "0px" || length == "0em") return length;
    return length[0] == '-' ? length.substr(1) : "-" + length;
}

}  // namespace

void Indent::inherit(const Indent& farther) {
    if (!left) left = farther.left;
    if (!right) right = farther.right;
    if (!first) first = farther.first;
}

Indent indentOfTag(std::string_view tag) {
    if (tag.empty()) return {};
    return indentOf([&](const char* name) { return tagAttribute(tag, name); });
}

Indent indentOfNode(pugi::xml_node ind) {
    if (!ind) return {};
    return indentOf([&](const char* name) { return std::string_view(ind.attribute(("w:" + std::string(name)).c_str()).value()); });
}

std::string indentCss(const Indent& indent, const ConversionContext& units) {
    std::string css;
    const std::pair<const std::optional<IndentSide>*, const char*> sides[] = {
        {&indent.left, "margin-left:"}, {&indent.right, "margin-right:"}, {&indent.first, "text-indent:"}};
    for (const auto& [side, property] : sides) {
        if (!*side) continue;
        if (const std::string length = lengthOf(**side, units); !length.empty()) css += property + length + ";";
    }
    return css;
}

LevelIndents::LevelIndents(const model::DocumentModel& model) {
    for (pugi::xml_node n : model.numbering.root().children()) {
        const std::string_view name = n.name();
        if (name == "w:abstractNum") abstracts_.emplace(n.attribute("w:abstractNumId").value(), n);
        if (name == "w:num") numbers_.emplace(intValue(n.attribute("w:numId").value(), -1), n);
    }
}

Indent LevelIndents::of(long numId, int ilvl) const {
    const auto n = numbers_.find(numId);
    if (n == numbers_.end()) return {};
    const auto ofLevel = [ilvl](pugi::xml_node parent) {
        for (pugi::xml_node l : parent.children("w:lvl"))
            if (intValue(l.attribute("w:ilvl").value(), -1) == ilvl) return l.child("w:pPr").child("w:ind");
        return pugi::xml_node();
    };
    for (pugi::xml_node o : n->second.children("w:lvlOverride"))
        if (intValue(o.attribute("w:ilvl").value(), -1) == ilvl)
            if (pugi::xml_node ind = ofLevel(o); ind) return indentOfNode(ind);
    const auto a = abstracts_.find(n->second.child("w:abstractNumId").attribute("w:val").value());
    return a == abstracts_.end() ? Indent() : indentOfNode(ofLevel(a->second));
}

}  // namespace tavin

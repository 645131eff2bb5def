// Reads the numbering part into the model: list definitions and numbers.
#include "docx2html/model/numbering.h"

#include <limits>

namespace tavin::model {

namespace {

// A whole number that fits an int, else fallback.
int intOr(std::string_view text, int fallback) {
    const std::optional<long> n = number(text);
    return n && *n >= std::numeric_limits<int>::min() && *n <= std::numeric_limits<int>::max() ? static_cast<int>(*n)
                                                                                              : fallback;
}

// A level index (0-8) of an ilvl attribute, or -1.
int levelIndex(pugi::xml_node node) {
    const int i = intOr(node.attribute("w:ilvl").value(), -1);
    return i >= 0 && i < 9 ? i : -1;
}

ListLevel readLevel(pugi::xml_node lvl) {
    ListLevel l;
    l.start = intOr(childVal(lvl, "w:start"), 0);
    if (const std::string_view f = childVal(lvl, "w:numFmt"); !f.empty()) l.format = std::string(f);
    l.text = childVal(lvl, "w:lvlText");
    if (const std::string_view r = childVal(lvl, "w:lvlRestart"); !r.empty()) l.restart = intOr(r, -1);
    l.legal = toggle(lvl.child("w:isLgl")).value_or(false);
    if (const std::string_view s = childVal(lvl, "w:suff"); !s.empty()) l.suffix = std::string(s);
    l.font = lvl.child("w:rPr").child("w:rFonts").attribute("w:ascii").value();
    return l;
}

AbstractList readAbstract(pugi::xml_node node) {
    AbstractList def;
    for (pugi::xml_node l : node.children("w:lvl"))
        if (const int i = levelIndex(l); i >= 0) def.levels[static_cast<std::size_t>(i)] = readLevel(l);
    def.styleLink = childVal(node, "w:numStyleLink");
    return def;
}

ListNumber readNumber(pugi::xml_node node) {
    ListNumber num;
    num.abstractId = childVal(node, "w:abstractNumId");
    for (pugi::xml_node o : node.children("w:lvlOverride")) {
        const int i = levelIndex(o);
        if (i < 0) continue;
        if (const std::string_view s = childVal(o, "w:startOverride"); !s.empty()) num.startOverride[i] = intOr(s, 0);
        if (const pugi::xml_node lvl = o.child("w:lvl")) num.levelOverride[i] = readLevel(lvl);
    }
    return num;
}

}  // namespace

Numbering readNumbering(const XmlPart& part, Report& report) {
    Numbering n;
    const pugi::xml_node root = part.root();
    for (pugi::xml_node a : root.children("w:abstractNum"))
        n.abstracts.emplace(a.attribute("w:abstractNumId").value(), readAbstract(a));
    for (pugi::xml_node num : root.children("w:num")) {
        const std::optional<long> id = number(num.attribute("w:numId").value());
        if (!id) {
            report.skip(part.name(), std::string("list ") + num.attribute("w:numId").value(), "numId is no number");
            continue;
        }
        n.numbers.emplace(*id, readNumber(num));
    }
    return n;
}

}  // namespace tavin::model

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

// A whole number the level or override reads; one that is none is
// reported and read as fallback.
int measureOr(pugi::xml_node element, int fallback, const XmlPart& part, Report& report) {
    const std::string_view v = element.attribute("w:val").value();
    const int n = intOr(v, fallback);
    if (element && !number(v)) report.skip(part.name(), element.name(), "no number: " + std::string(v));
    return n;
}

// A level index (0-8) of an ilvl attribute, or -1.
int levelIndex(pugi::xml_node node) {
    const int i = intOr(node.attribute("w:ilvl").value(), -1);
    return i >= 0 && i < 9 ? i : -1;
}

ListLevel readLevel(pugi::xml_node lvl, const XmlPart& part, Report& report) {
    ListLevel l;
    l.start = measureOr(lvl.child("w:start"), 0, part, report);
    if (const std::string_view f = childVal(lvl, "w:numFmt"); !f.empty()) l.format = std::string(f);
    l.text = childVal(lvl, "w:lvlText");
    if (const pugi::xml_node r = lvl.child("w:lvlRestart")) l.restart = measureOr(r, -1, part, report);
    l.legal = toggle(lvl.child("w:isLgl")).value_or(false);
    if (const std::string_view s = childVal(lvl, "w:suff"); !s.empty()) l.suffix = std::string(s);
    l.font = lvl.child("w:rPr").child("w:rFonts").attribute("w:ascii").value();
    return l;
}

AbstractList readAbstract(pugi::xml_node node, const XmlPart& part, Report& report) {
    AbstractList def;
    for (pugi::xml_node l : node.children("w:lvl"))
        if (const int i = levelIndex(l); i >= 0) def.levels[static_cast<std::size_t>(i)] = readLevel(l, part, report);
    def.styleLink = childVal(node, "w:numStyleLink");
    return def;
}

ListNumber readNumber(pugi::xml_node node, const XmlPart& part, Report& report) {
    ListNumber num;
    num.abstractId = childVal(node, "w:abstractNumId");
    for (pugi::xml_node o : node.children("w:lvlOverride")) {
        const int i = levelIndex(o);
        if (i < 0) continue;
        if (const pugi::xml_node s = o.child("w:startOverride"); s && !std::string_view(s.attribute("w:val").value()).empty())
            num.startOverride[i] = measureOr(s, 0, part, report);
        if (const pugi::xml_node lvl = o.child("w:lvl")) num.levelOverride[i] = readLevel(lvl, part, report);
    }
    return num;
}

}  // namespace

Numbering readNumbering(const XmlPart& part, Report& report) {
    Numbering n;
    const pugi::xml_node root = part.root();
    for (pugi::xml_node a : root.children("w:abstractNum"))
        n.abstracts.emplace(a.attribute("w:abstractNumId").value(), readAbstract(a, part, report));
    for (pugi::xml_node num : root.children("w:num")) {
        const std::optional<long> id = number(num.attribute("w:numId").value());
        if (!id) {
            report.skip(part.name(), std::string("list ") + num.attribute("w:numId").value(), "numId is no number");
            continue;
        }
        n.numbers.emplace(*id, readNumber(num, part, report));
    }
    return n;
}

}  // namespace tavin::model

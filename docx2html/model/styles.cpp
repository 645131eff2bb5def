// Reads the styles part into the model: styles by id, document defaults,
// table styles' conditional formats.
#include "docx2html/model/styles.h"

#include <algorithm>

namespace tavin::model {

namespace {

constexpr std::array<std::string_view, kTableConditions> kConditionNames = {
    "firstRow", "lastRow", "firstCol", "lastCol", "band1Horz", "band2Horz", "band1Vert", "band2Vert", "wholeTable"};

// A style that names no type is a paragraph style.
StyleType typeOf(std::string_view type) {
    if (type.empty() || type == "paragraph") return StyleType::Paragraph;
    if (type == "character") return StyleType::Character;
    if (type == "table") return StyleType::Table;
    if (type == "numbering") return StyleType::Numbering;
    return StyleType::Other;
}

// An on/off attribute whose absence (or empty value) means off.
bool onAttribute(pugi::xml_attribute a) {
    const std::string_view v = a.value();
    return v == "1" || v == "true" || v == "on";
}

void readFormats(pugi::xml_node style, Style& s) {
    for (pugi::xml_node c : style.children("w:tblStylePr")) {
        const TableCondition k = tableCondition(c.attribute("w:type").value());
        if (k == kTableConditions || s.formats[k].rPr || s.formats[k].pPr || s.formats[k].tcPr) continue;
        s.formats[k] = TableFormat{c.child("w:rPr"), c.child("w:pPr"), c.child("w:tcPr")};
    }
}

// A measure the steps cannot read is skipped by them; the report says so.
void checkMeasure(pugi::xml_node element, const char* name, const Style& s, const XmlPart& part, Report& report) {
    const pugi::xml_attribute a = element.attribute(name);
    if (a && !number(a.value()))
        report.skip(part.name(), "style " + s.id + " " + element.name() + " " + name, "no number: " + std::string(a.value()));
}

void checkMeasures(const Style& s, const XmlPart& part, Report& report) {
    checkMeasure(s.rPr.child("w:sz"), "w:val", s, part, report);
    for (const char* name : {"w:before", "w:after", "w:line"}) checkMeasure(s.pPr.child("w:spacing"), name, s, part, report);
}

Style readStyle(pugi::xml_node node, const XmlPart& part, Report& report) {
    Style s;
    s.id = node.attribute("w:styleId").value();
    s.type = typeOf(node.attribute("w:type").value());
    s.isDefault = onAttribute(node.attribute("w:default"));
    s.basedOn = childVal(node, "w:basedOn");
    s.name = childVal(node, "w:name");
    s.rPr = node.child("w:rPr");
    s.pPr = node.child("w:pPr");
    s.tblPr = node.child("w:tblPr");
    s.tcPr = node.child("w:tcPr");
    if (const pugi::xml_node numId = s.pPr.child("w:numPr").child("w:numId")) {
        s.numId = number(numId.attribute("w:val").value());
        if (!s.numId) report.skip(part.name(), "the list of style " + s.id, "numId is no number");
    }
    readFormats(node, s);
    checkMeasures(s, part, report);
    return s;
}

}  // namespace

TableCondition tableCondition(std::string_view type) {
    const auto k = std::find(kConditionNames.begin(), kConditionNames.end(), type);
    return static_cast<TableCondition>(k - kConditionNames.begin());
}

const Style* StyleSheet::find(std::string_view id) const {
    if (id.empty()) return nullptr;  // no style, even where a style has no id
    const auto it = styles_.find(std::string(id));
    return it == styles_.end() ? nullptr : &it->second;
}

std::vector<const Style*> StyleSheet::chain(std::string_view id, std::size_t depth) const {
    std::vector<const Style*> out;
    for (const Style* s = find(id); s != nullptr && out.size() < depth; s = find(s->basedOn)) {
        if (std::find(out.begin(), out.end(), s) != out.end()) break;
        out.push_back(s);
    }
    return out;
}

StyleSheet readStyles(const XmlPart& part, Report& report) {
    StyleSheet sheet;
    const pugi::xml_node root = part.root();
    const pugi::xml_node defaults = root.child("w:docDefaults");
    sheet.defaultRunProperties = defaults.child("w:rPrDefault").child("w:rPr");
    sheet.defaultParagraphProperties = defaults.child("w:pPrDefault").child("w:pPr");
    for (pugi::xml_node node : root.children("w:style")) {
        Style s = readStyle(node, part, report);
        if (s.isDefault && s.type == StyleType::Paragraph && sheet.defaultParagraphStyle.empty())
            sheet.defaultParagraphStyle = s.id;
        if (s.isDefault && s.type == StyleType::Table && sheet.defaultTableStyle.empty()) sheet.defaultTableStyle = s.id;
        std::string id = s.id;
        sheet.styles_.emplace(std::move(id), std::move(s));
    }
    return sheet;
}

}  // namespace tavin::model

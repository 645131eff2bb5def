// The styles part (word/styles.xml) as the model holds it: every style by
// id with its type, base style, default mark and own properties (run,
// paragraph, table and cell properties, the list a numbering style or a
// paragraph style names, a table style's conditional formats), the
// document defaults (docDefaults), and the chain of base styles of any
// style, nearest first.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "docx2html/model/xml.h"

namespace tavin::model {

enum class StyleType { Paragraph, Character, Table, Numbering, Other };

// The conditional formats of a table style (tblStylePr types), in the order
// they take priority; WholeTable is the last.
enum TableCondition {
    FirstRow,
    LastRow,
    FirstCol,
    LastCol,
    Band1Horz,
    Band2Horz,
    Band1Vert,
    Band2Vert,
    WholeTable,
    kTableConditions
};

// What one conditional format holds; null nodes where it says nothing.
struct TableFormat {
    pugi::xml_node rPr, pPr, tcPr;
};

struct Style {
    std::string id, basedOn, name;
    StyleType type = StyleType::Other;
    bool isDefault = false;
    // The style's own properties (its direct children); null when absent.
    pugi::xml_node rPr, pPr, tblPr, tcPr;
    // The list the style's paragraph properties name (numPr/numId).
    std::optional<long> numId;
    std::array<TableFormat, kTableConditions> formats;
};

class StyleSheet {
public:
    // Chains are followed this far: a loop ends, and a hostile chain costs
    // no more than that.
    static constexpr std::size_t kLongestChain = 32;

    const Style* find(std::string_view id) const;
    // The style id and those it is based on, nearest first, ending at a
    // style that is missing, at a loop or after depth styles.
    std::vector<const Style*> chain(std::string_view id, std::size_t depth = kLongestChain) const;

    const std::unordered_map<std::string, Style>& styles() const { return styles_; }

    // docDefaults: rPrDefault/rPr and pPrDefault/pPr.
    pugi::xml_node defaultRunProperties, defaultParagraphProperties;
    // The first paragraph and the first table style marked default.
    std::string defaultParagraphStyle, defaultTableStyle;

private:
    friend StyleSheet readStyles(const XmlPart& part, Report& report);
    std::unordered_map<std::string, Style> styles_;
};

// The first style of an id wins, as in Word.
StyleSheet readStyles(const XmlPart& part, Report& report);

// The condition a tblStylePr type names, or kTableConditions.
TableCondition tableCondition(std::string_view type);

}  // namespace tavin::model

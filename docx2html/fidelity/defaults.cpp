// Full Fidelity: the base rules of the page from the document defaults,
// the default paragraph style and the default table style of the model.
#include "docx2html/fidelity/defaults.h"

#include "core/uStr.h"
#include "docx2html/context.h"
#include "docx2html/docxstyle.h"
#include "docx2html/fidelity/runs.h"

namespace tavin {

namespace {

// A spacing attribute: the default paragraph style's over the defaults'.
std::string_view spacingOf(pugi::xml_node style, pugi::xml_node defaults, const char* name) {
    const std::string_view own = style.child("w:spacing").attribute(name).value();
    return own.empty() ? std::string_view(defaults.child("w:spacing").attribute(name).value()) : own;
}

// The CSS of the spacing: margins and line height. A value that is no
// measure ends the rules there.
std::string spacingRules(pugi::xml_node stylePPr, pugi::xml_node defaultPPr, const ConversionContext& units) {
    std::string css;
    try {
        const std::string_view before = spacingOf(stylePPr, defaultPPr, "w:before");
        const std::string_view after = spacingOf(stylePPr, defaultPPr, "w:after");
        const std::string_view line = spacingOf(stylePPr, defaultPPr, "w:line");
        const std::string_view rule = spacingOf(stylePPr, defaultPPr, "w:lineRule");
        if (!before.empty()) css += "margin-top:" + twipsToPx(units, before) + "px;";
        if (!after.empty()) css += "margin-bottom:" + twipsToPx(units, after) + "px;";
        if (line.empty()) return css;
        if (rule.empty() || rule == "auto") css += "line-height:" + lineMultiple(measureToInt(line, kTwipsPerPoint)) + ";";
        else css += "line-height:" + twipsToPx(units, line) + "px;";
    } catch (const Error&) {
        // A value that is no measure sets nothing more.
    }
    return css;
}

std::string paragraphRules(const model::DocumentModel& m, const ConversionContext& units) {
    const model::StyleSheet& sheet = m.styleSheet;
    const model::Style* standard = sheet.find(sheet.defaultParagraphStyle);
    RunLook look = standard ? StyleRunLooks(m).look(standard->id, true) : RunLook();
    addRunLook(sheet.defaultRunProperties, m.themeScheme.fonts, look);
    // Word's own size where neither the defaults nor the style set one.
    if (!look.halfPoints) look.halfPoints = 20;
    std::string css = runLookCss(look, m.fontFamilies);
    css += spacingRules(standard ? standard->pPr : pugi::xml_node(), sheet.defaultParagraphProperties, units);
    return css.empty() ? std::string() : "p,h1,h2,h3,h4,h5,h6{" + css + "}\r\n";
}

// The padding of a cell margin (tblCellMar) side, with the side it falls
// back to (left to start, right to end).
std::string sidePadding(pugi::xml_node margins, const char* side, const char* fallback, const ConversionContext& units) {
    std::string_view w = margins.child(side).attribute("w:w").value();
    if (w.empty() && fallback) w = margins.child(fallback).attribute("w:w").value();
    try {
        if (!w.empty()) return twipsToPx(units, w) + "px";
    } catch (const Error&) {
        // No measure: no padding.
    }
    return "0px";
}

// The default table style's cell margins are every cell's padding.
std::string cellRules(const model::StyleSheet& sheet, const ConversionContext& units) {
    const model::Style* table = sheet.find(sheet.defaultTableStyle);
    const pugi::xml_node margins = table ? table->tblPr.child("w:tblCellMar") : pugi::xml_node();
    if (!margins) return {};
    return "td{padding:" + sidePadding(margins, "w:top", nullptr, units) + " " +
           sidePadding(margins, "w:right", "w:end", units) + " " + sidePadding(margins, "w:bottom", nullptr, units) + " " +
           sidePadding(margins, "w:left", "w:start", units) + "}\r\n";
}

}  // namespace

std::string lineMultiple(int n) {
    const long long hundredths = roundDiv(static_cast<long long>(n) * 100, 240);
    return std::to_string(hundredths / 100) + "." + (hundredths % 100 < 10 ? "0" : "") + std::to_string(hundredths % 100);
}

std::string documentDefaultRules(const model::DocumentModel& model) {
    const ConversionContext units;  // twips to pixels at the page's scale
    return paragraphRules(model, units) + cellRules(model.styleSheet, units);
}

}  // namespace tavin

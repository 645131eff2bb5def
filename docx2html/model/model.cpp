#include "docx2html/model/model.h"

#include "docx2html/context.h"
#include "docx2html/fidelity.h"

namespace tavin::model {

namespace {

// A part's text without the byte the fidelity markers begin with, so that
// nothing read from it can forge one.
std::string cleaned(std::string text) {
    removeMarkerBytes(text);
    return text;
}

}  // namespace

void readParts(DocumentModel& model, const PartTexts& parts) {
    model.styles.parse("word/styles.xml", cleaned(parts.styles), model.report);
    model.numbering.parse("word/numbering.xml", cleaned(parts.numbering), model.report);
    model.theme.parse("word/theme/theme1.xml", cleaned(parts.theme), model.report);
    model.fontTable.parse("word/fontTable.xml", cleaned(parts.fontTable), model.report);
    model.styleSheet = readStyles(model.styles, model.report);
    model.listNumbering = readNumbering(model.numbering, model.report);
    model.themeScheme = readTheme(model.theme, model.report);
    model.fontFamilies = FontFamilies(model.fontTable, model.themeScheme);
}

const Story* DocumentModel::storyOfType(std::string_view type) const {
    for (const Story& s : stories)
        if (s.type == type) return &s;
    return nullptr;
}

const Story* DocumentModel::storyById(std::string_view id) const {
    for (const Story& s : stories)
        if (s.id == id) return &s;
    return nullptr;
}

}  // namespace tavin::model

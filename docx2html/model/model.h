// The document model: the parts Full Fidelity reads, each parsed once per
// conversion (xml.h), and what is read from them. Every Full Fidelity step
// reads this model, never the part texts; the classic steps keep reading
// their texts.
#pragma once

#include <string>

#include "docx2html/model/fonts.h"
#include "docx2html/model/numbering.h"
#include "docx2html/model/styles.h"
#include "docx2html/model/theme.h"
#include "docx2html/model/xml.h"

namespace tavin {
struct PartTexts;
}

namespace tavin::model {

struct DocumentModel {
    Report report;
    XmlPart styles;
    XmlPart numbering;
    XmlPart theme;
    XmlPart fontTable;

    // What is read from them, once per conversion.
    StyleSheet styleSheet;
    Numbering listNumbering;
    Theme themeScheme;
    FontFamilies fontFamilies;
};

// The model of the parts as stored (UTF-8, prefixes as written).
void readParts(DocumentModel& model, const PartTexts& parts);

}  // namespace tavin::model

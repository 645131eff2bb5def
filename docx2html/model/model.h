// The document model: the parts Full Fidelity reads, each parsed once per
// conversion (xml.h), and what is read from them. Every Full Fidelity step
// reads this model, never the part texts; the classic steps keep reading
// their texts.
#pragma once

#include <string>
#include <vector>

#include "docx2html/model/fonts.h"
#include "docx2html/model/numbering.h"
#include "docx2html/model/sections.h"
#include "docx2html/model/settings.h"
#include "docx2html/model/stories.h"
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

    // Read from a package folder only: settings by loadSettings, before the
    // styles are resolved; stories by loadStoryParts.
    Settings settings;
    std::vector<Story> stories;
    // The document part's sections, in order.
    std::vector<Section> sections;
    // Its page colour as CSS, "" for none.
    std::string background;

    const Story* storyOfType(std::string_view type) const;
    const Story* storyById(std::string_view id) const;
};

// The model of the parts as stored (UTF-8, prefixes as written).
void readParts(DocumentModel& model, const PartTexts& parts);

}  // namespace tavin::model

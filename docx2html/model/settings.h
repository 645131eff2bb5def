// The settings part (word/settings.xml) and the note numbering that it and
// the sections write.
#pragma once

#include <optional>
#include <string>

#include "docx2html/model/xml.h"

namespace tavin::model {

// How one kind of note is numbered (w:footnotePr, w:endnotePr): what is
// written, each unset when absent or empty.
struct NoteNumbering {
    std::optional<std::string> format;  // w:numFmt: "decimal", "lowerRoman" ...
    std::optional<std::string> start;   // w:numStart as written (read by the step that numbers)
};

NoteNumbering readNoteNumbering(pugi::xml_node properties);

struct Settings {
    NoteNumbering footnotes, endnotes;
    // Headers and footers differ on even and odd pages.
    bool evenAndOddHeaders = false;
    // The language of the theme's fonts (w:themeFontLang), as a tag: "fr-FR".
    std::string themeLanguage;
    // Its complex-script and East Asian languages (w:bidi, w:eastAsia).
    std::string themeComplexLanguage, themeEastAsianLanguage;
};

Settings readSettings(const XmlPart& part);

}  // namespace tavin::model

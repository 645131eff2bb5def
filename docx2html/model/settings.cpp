// The settings part as the model reads it (settings.h).
#include "docx2html/model/settings.h"

namespace tavin::model {

namespace {

std::optional<std::string> valueOf(pugi::xml_node element) {
    const std::string_view v = element.attribute("w:val").value();
    return v.empty() ? std::nullopt : std::optional<std::string>(std::string(v));
}

}  // namespace

NoteNumbering readNoteNumbering(pugi::xml_node properties) {
    return {valueOf(properties.child("w:numFmt")), valueOf(properties.child("w:numStart"))};
}

Settings readSettings(const XmlPart& part) {
    Settings s;
    const pugi::xml_node root = part.root();
    s.footnotes = readNoteNumbering(root.child("w:footnotePr"));
    s.endnotes = readNoteNumbering(root.child("w:endnotePr"));
    s.evenAndOddHeaders = toggle(root.child("w:evenAndOddHeaders")).value_or(false);
    const pugi::xml_node language = root.child("w:themeFontLang");
    s.themeLanguage = language.attribute("w:val").value();
    s.themeComplexLanguage = language.attribute("w:bidi").value();
    s.themeEastAsianLanguage = language.attribute("w:eastAsia").value();
    return s;
}

}  // namespace tavin::model

// Document properties: the core properties part, read by literal markers.
#pragma once

#include <string>
#include <string_view>

namespace tavin {

// Values exactly as stored: nothing is decoded or trimmed.
struct TdocxInfo {
    std::string title;
    std::string creator;
    std::string lastModifiedBy;
    std::string keywords;
    std::string keywords2;
    std::string created;
    std::string modified;
};

// The text between "<name>" and the next "</name>".
std::string elementContent(std::string_view text, std::string_view name);

// Reads workFolder + "docProps/core.xml"; a missing part gives empty fields.
TdocxInfo readCoreProperties(const std::string& workFolder);

// Properties people look for beside those: the subject, description and
// revision of the core properties part, and the page and word counts the
// extended properties part (docProps/app.xml) states. As stored; a missing
// part or element gives an empty field.
struct TdocxMoreInfo {
    std::string subject;
    std::string description;
    std::string revision;
    std::string pages;
    std::string words;
};
TdocxMoreInfo readMoreProperties(const std::string& workFolder);

// A stored element text as a reader sees it: the five predefined entities
// and numeric character references (as UTF-8) decoded; anything else, and
// a reference that names no character, kept as stored.
std::string xmlText(std::string_view stored);

}  // namespace tavin

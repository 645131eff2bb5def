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

}  // namespace tavin

#include "package/docxInfo.h"

#include "core/fileio.h"
#include "core/uStr.h"

namespace tavin {

std::string elementContent(std::string_view text, std::string_view name) {
    const std::string start = "<" + std::string(name) + ">";
    const std::string end = "</" + std::string(name) + ">";
    return textBetween(text, start, end);
}

TdocxInfo readCoreProperties(const std::string& workFolder) {
    const std::string text = readFileInFolder(workFolder, "docProps/core.xml");
    TdocxInfo info;
    info.title = elementContent(text, "dc:title");
    info.creator = elementContent(text, "dc:creator");
    info.lastModifiedBy = elementContent(text, "cp:lastModifiedBy");
    info.keywords = elementContent(text, "cp:keywords");
    info.keywords2 = elementContent(text, "cp:keywords");
    info.created = textBetween(text, "dcterms:created xsi:type=\"dcterms:W3CDTF\">", "</dcterms:created");
    info.modified = textBetween(text, "dcterms:modified xsi:type=\"dcterms:W3CDTF\">", "</dcterms:modified");
    return info;
}

}  // namespace tavin

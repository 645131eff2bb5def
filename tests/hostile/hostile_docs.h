// Pieces of the hostile documents the tests build: a document part around
// a body, paragraphs and repeats.
#pragma once

#include <string>

namespace hostiledocs {

inline const std::string kWordNs = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";

inline std::string documentXml(const std::string& body) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document " + kWordNs + "><w:body>" +
           body +
           "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1440\" "
           "w:bottom=\"1440\" w:left=\"1440\"/></w:sectPr></w:body></w:document>";
}

inline std::string para(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

inline std::string repeat(const std::string& s, std::size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (std::size_t i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace hostiledocs

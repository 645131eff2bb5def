// Headings (headings.h).
#include "docx2html/fidelity/headings.h"

#include "docx2html/fidelity/markers.h"
#include "package/docxParts.h"

namespace tavin::headings {

std::optional<int> levelOfStyleName(const std::string& name) {
    if (name.size() == 9 && name.compare(0, 8, "heading ") == 0 && name[8] >= '1' && name[8] <= '9')
        return name[8] - '1';
    return std::nullopt;
}

std::string mark(const std::optional<int>& outline) {
    return outline && *outline >= 0 && *outline <= 5 ? marker::heading(*outline + 1) : std::string();
}

bool apply(std::string_view marker, std::size_t start, std::size_t end, EditList& edits) {
    const std::string h = "h" + std::string(tagAttribute(marker, "val"));
    if (h.size() != 2) return false;
    edits.replace(start, 2, "<" + h);
    edits.replace(end, 4, "</" + h + ">");
    return true;
}

const char* rules() {
    // Headings read like the page's paragraphs unless their style says more.
    return "h1,h2,h3,h4,h5,h6{margin-top:0px;margin-bottom:0px;font-family:times new roman;font-size:1em;"
           "font-weight:normal}\r\n";
}

}  // namespace tavin::headings

// The sections of the document part (each w:sectPr): page size and
// orientation, margins, columns, how the section starts, its header and
// footer references, title page, and the numbering of its notes. A measure
// that cannot be read is unset, with the reason in the report.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "docx2html/model/settings.h"
#include "docx2html/model/xml.h"

namespace tavin::model {

// A header or footer a section names: its kind ("default", "first",
// "even") and relationship id.
struct SectionStory {
    std::string type;
    std::string id;
};

struct PageMargins {
    std::optional<long> top, right, bottom, left, header, footer, gutter;  // twips
};

struct Section {
    std::optional<long> pageWidth, pageHeight;  // twips
    bool landscape = false;
    PageMargins margins;
    // The columns: their count and the gap between them (of columns of
    // their own widths, how many there are and the first one's gap), and
    // whether a line separates them.
    std::optional<long> columns, columnSpace;  // count; twips
    bool columnLine = false;
    std::string start;                          // w:type: "continuous", "nextPage" ... ("" when absent)
    bool titlePage = false;
    // Page numbers (w:pgNumType): where they start again at the section's
    // first page, and their format ("lowerRoman"...; "" for decimal).
    std::optional<long> pageNumberStart;
    std::string pageNumberFormat;
    std::vector<SectionStory> headers, footers;
    NoteNumbering footnotes, endnotes;

    // The relationship id of the header or footer (of stories) its first
    // page shows: the first-page one when it has a title page, else the
    // default one; "" for none.
    static std::string firstPageStory(const std::vector<SectionStory>& stories, bool titlePage);
};

// One w:sectPr element.
Section readSection(pugi::xml_node sectPr, Report& report);

// The sections of a document part's text as stored, in order, each element
// parsed on its own. work counts the bytes read.
std::vector<Section> readSections(std::string_view document, Report& report, std::uint64_t& work);

// The page colour of the document part (w:background's colour before the
// body), as CSS ("#FFFFCC"); "" for none, automatic or unreadable.
std::string readBackground(std::string_view document);

}  // namespace tavin::model

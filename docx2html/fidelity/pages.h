// Page breaks: where the body breaks to a new page (a page break in a
// paragraph, a paragraph that starts on a new page, a section that does not
// continue the page), first as page markers in the body text, then as
// sheets of the assembled page. Reads the paragraphs' resolved properties
// (pageBreakBefore) and the sections of the document part. Each sheet
// knows its section, whose page size, orientation and margins it takes on
// the screen and on paper (sheetRules).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "docx2html/fidelity/edits.h"
#include "docx2html/model/sections.h"

namespace tavin {

// The page breaks of the preprocessed body, placed paragraph by paragraph;
// in a document with a section of columns, also where each section starts
// on its sheet (the body's start and each section that continues the page)
// and the column breaks inside sections of columns.
class PageBreaks {
public:
    PageBreaks(std::string_view body, const std::vector<model::Section>& sections);

    // A top-level paragraph from start to its end tag at close, its content
    // (after its properties) from content: its page breaks are erased, and a
    // page marker starts the next sheet before the paragraph when nothing is
    // written before the break (or when breakBefore), else after it. A
    // paragraph that ends a section breaks after it unless the next section
    // continues the page, where a section marker starts the next one.
    void paragraph(std::size_t start, std::size_t content, std::size_t close, bool breakBefore, bool endsSection,
                   EditList& edits);

private:
    bool nextSectionBreaks(std::size_t after) const;
    // The index of the section that holds position at.
    std::size_t sectionAt(std::size_t at) const;

    // Column breaks inside the paragraph become markers where its section has columns.
    void columnBreaks(std::size_t start, std::size_t content, std::size_t close, EditList& edits);

    std::string_view body_;
    std::vector<std::size_t> breaks_, sections_, columnBreaks_;
    std::vector<bool> columned_;  // of each section, whether it has columns
    bool bodyMarked_ = false;
};

// The sheets of the assembled page: a page marker becomes the end of one
// sheet and the start of the next where it lies between blocks with content
// on both sides; the others go.
class Sheets {
public:
    explicit Sheets(bool pageBoxes)
        : pageBoxes_(pageBoxes), sheet_(pageBoxes ? "</div><div class=page>" : "<div class=pagebreak></div>") {}

    // A page marker of size bytes at `at`, at block nesting depth; what
    // follows it belongs to section.
    void pageMarker(std::size_t at, std::size_t size, int depth, std::size_t section, EditList& edits);
    // Markup that counts as content (an equation).
    void content() { contentSinceSheet_ = true; }
    // A start tag other than a marker's; div is whether it is a div.
    void startTag(bool div);
    void finish(EditList& edits);
    bool any() const { return !starts_.empty(); }

    // Where a sheet after the first starts: the page marker there, and the
    // section of the sheet.
    struct Start {
        std::size_t at, size, section;
    };
    const std::vector<Start>& starts() const { return starts_; }
    // The markup that ends a sheet and starts one of section.
    std::string markup(std::size_t section) const;
    // The sections other than the first that start a sheet, in order.
    const std::vector<std::size_t>& laterSections() const { return later_; }

private:
    bool pageBoxes_;
    std::string sheet_;
    bool contentSinceSheet_ = false;
    std::vector<Start> starts_;
    // A break starts a sheet only between content: it waits for the next
    // start tag, and breaks in a row or at either end make no empty sheet.
    std::size_t pending_ = std::string::npos, pendingSize_ = 0;
    std::size_t pendingSection_ = 0, section_ = 0;
    std::vector<std::size_t> later_;
};

// The markup that starts section's part of a sheet when it has columns
// (its count, gap and the line between them), balanced or (on paper)
// filled one by one; "" for one column.
std::string columnsStart(const model::Section& section, bool balanced);

// The class (and the paper's name) of a sheet of that section: not one the
// clean-up's style classes ("s1", "s2"...) can take.
std::string sectionClass(std::size_t section);

// The rules that give the sheets their sections' geometry: on the screen
// each sheet is its section's page (text width and height inside its
// margins); on paper a section of another size or orientation gets its own
// paper, the left and right margins are the sheets' own (the print layout
// leaves them to the page, see printsOwnMargins), content wider than the
// column runs into the margin and is cut at the paper's edge instead of
// shrinking the whole print. later are the sections after the first that
// start sheets, background the page colour ("" for none; screen only, as
// Word prints none by default). "" when the first section has no page size.
std::string sheetRules(const std::vector<model::Section>& sections, const std::vector<std::size_t>& later,
                       const std::string& background);


}  // namespace tavin

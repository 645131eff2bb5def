// The state of a conversion: one object handed to every step.
//
// A context holds the working text, the package parts it was loaded from,
// the style table, the page values and its own pattern engine. Values that
// persist from one conversion to the next (the page values) persist inside
// one context; a fresh context starts with them empty.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/WSRegEx3.h"
#include "core/uStr.h"

namespace tavin {

namespace model {
struct DocumentModel;
}

// The CSS declaration texts a style or a paragraph's properties give, in
// the fixed order the paragraph step writes them (background first).
namespace slot {
enum : std::size_t { FontFamily, FontSize, Colour, Indent, Spacing, Alignment, Weight, Borders, Unused, Background, Count };
}
using propSlots = std::array<std::string, slot::Count>;

struct styleEntry {
    std::string id;
    propSlots props;
};

// One note or comment referenced from the body, in the order of reference.
struct StoryReference {
    std::string id;     // the note's or comment's id
    std::string label;  // what the reference shows: a number, a custom mark, "[AB1]"
    bool custom = false;
};

struct ConversionContext {
    ConversionContext();
    ~ConversionContext();
    ConversionContext(const ConversionContext&) = delete;
    ConversionContext& operator=(const ConversionContext&) = delete;

    // Where the package was extracted ("" or a folder path ending in "/").
    std::string workFolder;
    // The document part read by loadParts (workFolder + "word/document.xml"
    // unless the package names another), and its folder inside the package
    // ("word/"), against which its pictures and links resolve.
    std::string documentPath;
    std::string documentFolder = "word/";

    std::string workingText;
    std::string relsText;
    std::string stylesText;
    std::string numberingText;
    std::string docTitle;

    int twipsPerPx = 15;
    std::string autoShadeColor = "#eeeeee";

    // The user's options (the viewer's check marks); convert copies them into
    // the flags right before they are used.
    bool showPageMargin = true;
    bool optimizeHtml = true;
    bool pageMarginFlag = true;
    bool optimizeFlag = true;
    // Full Fidelity: the steps that show what the classic page leaves out
    // (notes, headers and footers, comments, real list numbers, headings...).
    // Off in a bare context, so the classic page is what a context gives
    // unless asked; the programs turn it on unless the user turns it off.
    bool fullFidelity = false;
    // Set aside by the fidelity steps for the assembled page: the MathML of
    // each equation, and whether list labels were written.
    std::vector<std::string> mathMarkup;
    // The drawings of the body and its stories, by the index their markers
    // name: markup, and the text of their boxes (WordprocessingML) to be
    // converted by the body's steps with the relationships they came with;
    // html is the whole once converted.
    struct DrawingPiece {
        std::string markup, xml;
    };
    struct PlacedDrawing {
        std::vector<DrawingPiece> pieces;
        std::string rels, html;
        bool lifted = false;  // shown before its paragraph, not inside it
    };
    std::vector<PlacedDrawing> drawings;
    // Tracked changes: shown as Word marks them (insertions and deletions in
    // their author's colour, a bar beside their paragraph, the author and
    // date on hover), or, when off, the text as it would be with every change
    // accepted. The marked changes of the body and its stories, by the index
    // their markers name.
    bool showChanges = true;
    struct TrackedChange {
        enum Kind { Inserted, Deleted, MovedTo, MovedFrom } kind = Inserted;
        std::string author, date;
        std::size_t authorPlace = 0;  // among the authors, in the order of their first change
    };
    std::vector<TrackedChange> trackedChanges;
    bool listLabels = false;
    // The page's sheets print their own left and right margins (the print
    // layout then leaves those to the page).
    bool sheetMargins = false;

    // Full Fidelity: the parts its steps read, parsed once (docx2html/model/:
    // styles, numbering, theme, fonts, settings, sections, the story parts);
    // null with the option off. Then the references the body makes to notes
    // and comments, the first section's header and footer relationships,
    // and the finished HTML of the stories that assembleHtml places.
    std::unique_ptr<model::DocumentModel> model;
    std::vector<StoryReference> footnoteRefs, endnoteRefs, commentRefs;
    std::string headerId, footerId;
    std::string headerHtml, notesHtml, footerHtml;
    // With page boxes: the markup of each header and footer the sections
    // name, by relationship id, for the sheets.
    std::unordered_map<std::string, std::string> sheetStories;
    // The addresses (as img src values, entities decoded) of the pictures
    // Full Fidelity converted from formats a web engine cannot show and
    // wrote into the work folder: only these are shown as SVG.
    std::vector<std::string> convertedPictures;

    std::vector<Pos> spliceBounds;
    std::vector<std::string> spliceTexts;

    // Page values and character set; they keep their values between runs.
    std::string pageWidth, pageHeight;
    std::string marginTop, marginRight, marginBottom, marginLeft;
    std::string charset;

    std::vector<styleEntry> styleTable;

    bool listItemsFound = false;
    std::string currentListTag;

    // Case-insensitive, "." matching line breaks, no empty matches.
    TWSRegEx sharedRegex;

    // The bytes of text read since the context was made: what the pattern
    // engine searched and spliced, and what the hand-written walks over the
    // text scanned. It depends on the documents alone, so tests can bound
    // the work of a conversion by its size. Bookkeeping, counted from const
    // steps too.
    mutable std::uint64_t workBytes = 0;

    // Progress: called with a step name before each named conversion step.
    std::function<void(const std::string&)> showStep;
    void step(const std::string& name) {
        if (showStep) showStep(name);
    }
};

// Reads the parts of an extracted package folder (workFolder) and sets the
// conversion constants. The document part is the one the package
// relationships name; its absence is an error. Other missing parts are
// empty text. Parts stored as UTF-16 are read as UTF-8.
void loadParts(ConversionContext& ctx);

// The parts of a document as stored in a package (UTF-8 or UTF-16), for
// a document that does not lie in a folder; a missing part is empty text.
struct PartTexts {
    std::string document;
    std::string relationships;
    std::string styles;
    std::string numbering;
    std::string theme;      // read with Full Fidelity only
    std::string fontTable;  // read with Full Fidelity only
};

// Prepares the parts as loadParts prepares the ones it reads (UTF-16 read
// as UTF-8, compact empty-element tags, "w:" removed inside the tags of all
// but the document, theme fonts resolved with Full Fidelity) and sets the
// conversion constants. Story parts come only from a package folder.
void loadPartsFromText(ConversionContext& ctx, PartTexts parts);

// What the user chose for a conversion, and the page's title.
struct ConvertOptions {
    std::string title;
    bool showPageMargin = true;
    bool optimizeHtml = true;
    bool fullFidelity = true;
    // With Full Fidelity: tracked changes marked (true) or the final text.
    bool showChanges = true;
    // Start the page values empty: true for a document opened; false only
    // for a conversion again of the document the context converted last.
    bool freshPageValues = true;
};

// The whole conversion of an extracted package folder, as every program
// runs it: options into the context, loadParts, convert. Afterwards
// workingText is the page and documentFolder the document part's folder.
void convertPackage(ConversionContext& ctx, const std::string& folder, const ConvertOptions& options);

// Empties the page values and the character set, as for a context that
// has converted nothing yet: done for every document opened, so that no
// page takes values from the document before it.
void resetPageValues(ConversionContext& ctx);

// The text with every "w:" removed inside tags (from "<" to the next ">");
// character data keeps it.
std::string removePrefixInTags(std::string_view text);

// Runs every conversion step; afterwards workingText is the whole HTML page.
void convert(ConversionContext& ctx);

void initRun(ConversionContext& ctx);
void preprocess(ConversionContext& ctx);

// Brings empty-element tags written with blanks before "/>" to the compact form.
void normalizeEmptyTags(ConversionContext& ctx, std::string& text);

// The page title of a document: the file or folder name of path (a
// trailing slash ignored) with every ".docx" removed.
std::string titleFromPath(const std::string& path);

}  // namespace tavin

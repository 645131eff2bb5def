// Notes, comments, headers and footers: the stories shown beside the body.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"

namespace tavin {

// Reads the settings part named by the document's relationships into the
// model (ctx.model, made with Full Fidelity on), and the theme's fonts of
// the languages it names; without one, the settings are the defaults.
void loadSettings(ConversionContext& ctx);

// Reads the footnotes, endnotes and comments parts, every header and footer
// part and their relationships named by the document's relationships into
// the model. Missing parts are left out.
void loadStoryParts(ConversionContext& ctx);

// On the preprocessed body: each footnote, endnote and comment reference
// becomes a superscript link to its note or comment (running numbers, a
// custom mark, or "[initials and number]" for a comment), recorded in
// ctx.footnoteRefs, endnoteRefs and commentRefs; the first section's header
// and footer are chosen (the first-page ones when it has a title page).
void markStoryReferences(ConversionContext& ctx);

// A fragment of WordprocessingML converted by the body's steps (preprocess,
// tables, lists, paragraphs, runs, tabs, links, pictures, fields) with the
// story's own relationships; the context's working text and relationships
// are as they were afterwards.
std::string convertStory(ConversionContext& ctx, std::string xml, const std::string& rels);

// The header and footer of the first section and the notes section
// (footnotes, endnotes, comments), converted into ctx.headerHtml,
// ctx.footerHtml and ctx.notesHtml for assembleHtml to place.
void convertStories(ConversionContext& ctx);

// A sheet of the page: its number (from 1), its section, whether it is the
// first of its section, and how many sheets the page and its section have.
struct SheetPlace {
    int number = 1;
    std::size_t section = 0;
    bool firstOfSection = true;
    int sheets = 1, sectionSheets = 1;
    int storedPages = 0;  // the page count the document stored, 0 when none
    std::string format;   // of its page numbers ("lowerRoman"...; "" decimal)
};

// The markup of the header (or footer) that sheet shows, its page fields
// still markers; "" for none.
std::string sheetHeaderOrFooter(const ConversionContext& ctx, const SheetPlace& place, bool header);
// What a page field ("PAGE", "NUMPAGES", "SECTIONPAGES") shows on a sheet:
// counted from the sheets where they are the document's pages, else what
// the document stored (shown; NUMPAGES its stored page count); in a span
// of class "tvfield tvpage" (tvnumpages, tvsectionpages), so that a print
// layout that breaks sheets over several papers can number them again.
std::string pageFieldValue(std::string_view field, std::string_view shown, const SheetPlace& place);
// The page count of the package's extended properties, 0 when none.
int storedPageCount(const ConversionContext& ctx);

// A note number in any of the number formats (numbers.h), numbers in words
// in the document's language.
std::string noteNumber(int n, std::string_view format, std::string_view language = {});

}  // namespace tavin

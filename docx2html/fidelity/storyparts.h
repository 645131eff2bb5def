// What the story files (stories.cpp, notes.cpp, headers.cpp) share.
#pragma once

#include <string>
#include <string_view>

#include "docx2html/context.h"
#include "docx2html/model/sections.h"

namespace tavin {

// The first tag of element name at or after from in a text the body's steps
// read (a whole name: "<footnote" does not find "<footnoteRef"), or npos.
std::size_t findTag(std::string_view t, std::string_view name, std::size_t from);

// notes.cpp: the references of the body to footnotes, endnotes (numbered as
// the first section, else the settings, say) and comments; the notes
// section of the page.
void markNotes(ConversionContext& ctx, const model::Section& first);
std::string notesSections(ConversionContext& ctx);

// headers.cpp: the header and footer the first section shows on its first
// page, and their markup; with page boxes the markup of every header and
// footer the sections name, for the sheets.
void chooseHeaderAndFooter(ConversionContext& ctx, const model::Section& first);
void convertHeaderAndFooter(ConversionContext& ctx);

}  // namespace tavin

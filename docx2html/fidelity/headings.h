// Headings: a paragraph whose style chain gives it an outline level from 0
// to 5 (a "heading N" style, or w:outlineLvl) is shown as h1-h6, first
// read like the page's paragraphs, its style's look then added. Reads the
// paragraphs' resolved properties; on the page, the heading markers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "docx2html/fidelity/edits.h"

namespace tavin::headings {

// The outline level a style's name gives ("heading 1" ... "heading 9", in
// lower case).
std::optional<int> levelOfStyleName(const std::string& name);

// The marker of a paragraph of that outline level; "" for none or a level
// HTML has no heading for.
std::string mark(const std::optional<int>& outline);

// On the page: the paragraph from start (its "<p") to end (its "</p>"),
// whose heading marker is marker, becomes the heading. False when the
// marker names no heading.
bool apply(std::string_view marker, std::size_t start, std::size_t end, EditList& edits);

// The rules headings need on the page.
const char* rules();

}  // namespace tavin::headings

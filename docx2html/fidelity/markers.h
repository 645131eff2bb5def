// The markers the Full Fidelity steps leave in the working text for the
// assembled page: small elements whose name begins with the byte 0x1F,
// which every part is cleaned of before it is read (removeMarkerBytes), so
// that no document can write one. The classic steps carry them through
// untouched; finishFidelity (finish.cpp) turns them into markup.
#pragma once

#include <string>
#include <string_view>

namespace tavin::marker {

inline constexpr std::string_view kStart = "<\x1Ftv";
// A page break between top-level blocks; what follows it belongs to the
// section of that index (0 for the first).
inline constexpr std::string_view kPageStart = "<\x1FtvPage";
inline std::string page(std::size_t section) { return "<\x1FtvPage val=\"" + std::to_string(section) + "\"/>"; }
// Between top-level blocks: what follows, on the same sheet, belongs to the
// section of that index (a section that continues the page), or, at the
// start of the body, to the first section. Left only when a section has
// columns.
inline constexpr std::string_view kSectionStart = "<\x1FtvSection";
inline std::string section(std::size_t index) { return "<\x1FtvSection val=\"" + std::to_string(index) + "\"/>"; }
// A column break inside a section of columns: what follows starts the next column.
inline constexpr std::string_view kColumnBreak = "<\x1FtvColumn/>";
// The paragraph, or the table, it stands in reads right to left.
inline constexpr std::string_view kRtl = "<\x1FtvRtl/>";
inline constexpr std::string_view kRtlTable = "<\x1FtvRtlTable/>";
// The table it stands in shows no border.
inline constexpr std::string_view kPlainTable = "<\x1FtvPlainTable/>";
// The table it stands in shows some sides of its borders only: outer, the
// declarations of its own four sides; rows and columns, the borders
// between its rows and between its columns ("none" for none); rtl, whether
// its columns run right to left.
inline constexpr std::string_view kTableSidesStart = "<\x1FtvTableSides";
inline std::string tableSides(std::string_view outer, std::string_view rows, std::string_view columns, bool rtl) {
    return "<\x1FtvTableSides val=\"" + std::string(outer) + "\" rows=\"" + std::string(rows) + "\" columns=\"" +
           std::string(columns) + "\" rtl=\"" + (rtl ? "1" : "0") + "\"/>";
}
// CSS declarations for the table it stands in.
inline constexpr std::string_view kTableCssStart = "<\x1FtvTableCss";
inline std::string tableCss(std::string_view declarations) {
    return "<\x1FtvTableCss val=\"" + std::string(declarations) + "\"/>";
}
// The end of a span a run look opened.
inline constexpr std::string_view kSpanEnd = "<\x1FtvSpanEnd/>";

// The tab after it goes to a stop of that alignment ("right", "center")
// and leader ("dot", "hyphen"... or "").
inline std::string tab(std::string_view align, std::string_view leader) {
    return "<\x1FtvTab val=\"" + std::string(align) + "\" leader=\"" + std::string(leader) + "\"/>";
}
// A page field of a header or footer: "PAGE", "NUMPAGES", "SECTIONPAGES".
inline constexpr std::string_view kFieldStart = "<\x1FtvField";
// shown is what the document stored as its result, attribute-safe.
inline std::string field(std::string_view name, std::string_view shown) {
    return "<\x1FtvField val=\"" + std::string(name) + "\" shown=\"" + std::string(shown) + "\"/>";
}
// The paragraph it stands in is a heading of that level (1-6).
inline std::string heading(int level) { return "<\x1FtvH val=\"" + std::to_string(level) + "\"/>"; }
// CSS declarations for the paragraph it stands in.
inline std::string css(std::string_view declarations) {
    return "<\x1FtvCss val=\"" + std::string(declarations) + "\"/>";
}
// The place of drawing number index (ctx.drawings), in the document's own markup.
inline constexpr std::string_view kDrawingStart = "<\x1FtvDrawing";
inline std::string drawing(std::size_t index) {
    return "<w:\x1FtvDrawing w:val=\"" + std::to_string(index) + "\"/>";
}
// After the start tag of the ins or del element of tracked change number
// index (ctx.trackedChanges), in the document's own markup.
inline constexpr std::string_view kChangeStart = "<\x1FtvChange";
inline std::string change(std::size_t index) {
    return "<w:\x1FtvChange w:val=\"" + std::to_string(index) + "\"/>";
}
// Before each footnote of the notes section (the note of that anchor id),
// and empty after the last, in the story's markup.
inline constexpr std::string_view kNoteStart = "<\x1FtvNote";
inline std::string note(std::string_view id) { return "<\x1FtvNote val=\"" + std::string(id) + "\"/>"; }
// The place of equation number index, in the document's own markup.
inline std::string math(std::size_t index) { return "<w:\x1FtvMath w:val=\"" + std::to_string(index) + "\"/>"; }

}  // namespace tavin::marker

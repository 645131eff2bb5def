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
// A page break between top-level blocks.
inline constexpr std::string_view kPage = "<\x1FtvPage/>";
// The paragraph, or the table, it stands in reads right to left.
inline constexpr std::string_view kRtl = "<\x1FtvRtl/>";
inline constexpr std::string_view kRtlTable = "<\x1FtvRtlTable/>";
// The table it stands in shows no border.
inline constexpr std::string_view kPlainTable = "<\x1FtvPlainTable/>";
// The end of a span a run look opened.
inline constexpr std::string_view kSpanEnd = "<\x1FtvSpanEnd/>";

// The paragraph it stands in is a heading of that level (1-6).
inline std::string heading(int level) { return "<\x1FtvH val=\"" + std::to_string(level) + "\"/>"; }
// CSS declarations for the paragraph it stands in.
inline std::string css(std::string_view declarations) {
    return "<\x1FtvCss val=\"" + std::string(declarations) + "\"/>";
}
// The place of equation number index, in the document's own markup.
inline std::string math(std::size_t index) { return "<w:\x1FtvMath w:val=\"" + std::to_string(index) + "\"/>"; }

}  // namespace tavin::marker

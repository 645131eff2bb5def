// Inputs found by the fuzz targets (fuzz/), minimized, each with the fault
// it showed. Faults of the string utilities are covered in
// tests/core/ustr_test.cpp (StrFind.ExtremePositions).
#include <gtest/gtest.h>

#include "docx2html/docx2html.h"

using namespace tavin;

namespace {

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + part.size())) ++n;
    return n;
}

}  // namespace

// A drop-cap marker whose paragraph end search lands on an end tag in front
// of the marker found the same marker again and again, adding insertions
// until memory ran out (convert target, three inputs).
TEST(FuzzRegression, DropCapMarkerAfterItsParagraphEnd) {
    const std::string div = "<div style=\"float:left\">";
    ConversionContext ctx;
    // The end lies between the paragraph start and the marker...
    ctx.workingText = "<p></p><framePr dropCap=\"drop\"/>";
    wrapDropCaps(ctx);
    EXPECT_EQ(ctx.workingText, div + "<p></p></div><framePr dropCap=\"drop\"/>");
    // ... or within the division's length in front of the marker.
    ctx.workingText = "<p>" + std::string(30, 'x') + "</p><framePr dropCap=\"drop\"/><p>y</p>";
    wrapDropCaps(ctx);
    EXPECT_EQ(ctx.workingText, div + "<p>" + std::string(30, 'x') + "</p></div><framePr dropCap=\"drop\"/><p>y</p>");
    // Two such markers: each wrapped once, in order.
    ctx.workingText = "<p></p><framePr dropCap=\"a\"/><p></p><framePr dropCap=\"b\"/>";
    wrapDropCaps(ctx);
    EXPECT_EQ(count(ctx.workingText, div), 2u);
    EXPECT_EQ(count(ctx.workingText, "</div>"), 2u);

    // The whole conversion of such a document.
    ConversionContext whole;
    whole.docTitle = "t";
    whole.workingText = "<w:body><w:p></w:p><w:framePr w:dropCap=\"drop\"/><w:p><w:r><w:t>x</w:t></w:r></w:p></w:body>";
    convert(whole);
    EXPECT_EQ(whole.workingText.rfind("<html>", 0), 0u);
}

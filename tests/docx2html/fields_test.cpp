// Complex fields keep what they show, and spaces after ":" in the text stay.
#include <gtest/gtest.h>

#include "docx2html/docx2html.h"

using namespace tavin;

namespace {

std::string withoutFields(const std::string& text) {
    ConversionContext ctx;
    ctx.workingText = text;
    removeFieldCodes(ctx);
    return ctx.workingText;
}

const std::string B = "<fldChar fldCharType=\"begin\"/>";
const std::string S = "<fldChar fldCharType=\"separate\"/>";
const std::string E = "<fldChar fldCharType=\"end\"/>";

}  // namespace

TEST(Fields, TheResultStaysAndTheInstructionGoes) {
    EXPECT_EQ(withoutFields("a" + B + "<instrText> PAGEREF _Toc1 </instrText>" + S + "<span>3</span>" + E + "z"),
              "a<span>3</span>z");
    // No separate mark: everything through the end mark is instruction.
    EXPECT_EQ(withoutFields("a" + B + " PAGE " + E + "z"), "az");
    // A TOC: the field's result spans paragraphs, with nested PAGEREF fields.
    EXPECT_EQ(withoutFields(B + "TOC" + S + "<p>Intro " + B + "PAGEREF x" + S + "1" + E + "</p><p>End " + B +
                            "PAGEREF y" + S + "2" + E + "</p>" + E),
              "<p>Intro 1</p><p>End 2</p>");
    // A field nested in another's instruction goes with it.
    EXPECT_EQ(withoutFields("a" + B + "IF " + B + "REF x" + S + "v" + E + " = 1" + S + "yes" + E + "z"), "ayesz");
}

TEST(Fields, MarksWithOtherAttributesOrChildren) {
    // A form field's begin mark has children; a lock attribute may stand first.
    EXPECT_EQ(withoutFields("a<fldChar fldCharType=\"begin\"><ffData><name val=\"T\"/></ffData></fldChar>"
                            "<instrText> FORMTEXT </instrText><fldChar fldLock=\"1\" fldCharType=\"separate\"/>"
                            "typed<FLDCHAR FLDCHARTYPE=\"END\"/>z"),
              "atypedz");
    // Other elements of a similar name are not marks.
    EXPECT_EQ(withoutFields("<fldCharX fldCharType=\"begin\"/>t"), "<fldCharX fldCharType=\"begin\"/>t");
}

TEST(Fields, UnmatchedMarksAreDeletedAlone) {
    EXPECT_EQ(withoutFields("a" + B + "kept" + S + "also"), "akeptalso");
    EXPECT_EQ(withoutFields("a" + E + "b" + S + "c"), "abc");
    EXPECT_EQ(withoutFields("x" + B + B + "inner" + E + "y"), "xy");
    // A mark whose children never end is the tag alone.
    EXPECT_EQ(withoutFields("a<fldChar fldCharType=\"begin\">" + S + "r" + E), "ar");
}

TEST(CollapseSpaces, TextKeepsOneSpaceAfterColonsInTheBody) {
    TWSRegEx rx;
    TWordHTM html(rx);
    std::string text = "<head>a:   b</head><body><p style=\"a:   b\">Goal:   Baseline;    x  y</p></body>";
    html.collapseSpaces(text);
    EXPECT_EQ(text, "<head>a:b</head><body><p style=\"a:b\">Goal: Baseline; x y</p></body>");
    // Without a body the whole text follows the head's rule.
    text = "x:   y";
    html.collapseSpaces(text);
    EXPECT_EQ(text, "x:y");
}

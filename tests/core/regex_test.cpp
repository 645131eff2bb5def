#include <gtest/gtest.h>

#include "core/WSRegEx3.h"

#include "support/testutil.h"

using namespace tavin;
using testutil::errorOf;

namespace {

// An engine set up as the conversion uses it.
struct Shared : TWSRegEx {
    Shared() { setOptions(preCaseLess | preSingleLine); }
};

std::string expand(const std::string& pattern, const std::string& subject, const std::string& templ) {
    Shared rx;
    rx.setPattern(pattern);
    rx.setSubject(subject);
    EXPECT_TRUE(rx.Match());
    rx.setReplacement(templ);
    return rx.ExpandTemplate();
}

}  // namespace

TEST(RegexMatching, CaselessDotAllAndNoMultiline) {
    Shared rx;
    rx.setPattern("A.B");
    rx.setSubject("a\nb");
    EXPECT_TRUE(rx.Match());
    rx.setPattern("^x");
    rx.setSubject("y\nx");
    EXPECT_FALSE(rx.Match());
    // A pattern that can only match empty text never matches.
    std::string text = "abc";
    regexReplace(rx, text, "x*", "-");
    EXPECT_EQ(text, "abc");
}

TEST(RegexMatching, PositionsGroupsAndWalk) {
    Shared rx;
    rx.setPattern("(a)|(b)");
    rx.setSubject("xbxa");
    ASSERT_TRUE(rx.Match());
    EXPECT_EQ(rx.SubmatchCount(), 2);
    EXPECT_EQ(rx.SubmatchText(1), "");
    EXPECT_EQ(rx.MatchedOffset(), 2);
    EXPECT_EQ(rx.MatchedLength(), 1);
    ASSERT_TRUE(rx.MatchNext());
    EXPECT_EQ(rx.SubmatchCount(), 1);
    EXPECT_EQ(rx.SubmatchOffset(1), 4);
    EXPECT_EQ(rx.SubmatchText(5), "");
    EXPECT_FALSE(rx.MatchNext());
    // A match that ended at the very end keeps Match failing until the
    // subject is set again.
    EXPECT_FALSE(rx.Match());
    rx.setSubject("a");
    EXPECT_TRUE(rx.Match());
}

TEST(RegexMatching, ErrorsCarryTheirMessages) {
    Shared rx;
    EXPECT_EQ(errorOf([&] { rx.Match(); }), "TWSRegEx.Compile() - Please specify a regular expression in RegEx first");
    rx.setPattern("(unclosed");
    EXPECT_EQ(errorOf([&] { rx.Match(); }), "(unclosed");
    rx.setPattern("a");
    rx.setSubject("b");
    EXPECT_FALSE(rx.Match());
    EXPECT_EQ(errorOf([&] { rx.MatchedText(); }), "REQUIRE: There must be a successful match first");
    rx.setSubject("a");
    ASSERT_TRUE(rx.Match());
    EXPECT_EQ(errorOf([&] { rx.SubmatchOffset(1); }), "REQUIRE: Index <= SubmatchCount");
    EXPECT_EQ(errorOf([&] { rx.SubmatchLength(-1); }), "REQUIRE: Index <= SubmatchCount");
}

TEST(RegexMatching, ResourceLimitIsAnErrorNotNoMatch) {
    Shared rx;
    rx.setMatchLimit(20);
    rx.setPattern("<li>.+?</li>");
    rx.setSubject("<li>" + std::string(1000, 'x') + "</li>");
    EXPECT_THROW(rx.Match(), Error);
}

TEST(RegexTemplate, DollarAndBackslashSequences) {
    EXPECT_EQ(expand("(ab)", "ab", "$1$1"), "abab");
    EXPECT_EQ(expand("(ab)", "ab", "$2"), "");
    EXPECT_EQ(expand("(ab)", "ab", "$$1"), "$1");
    EXPECT_EQ(expand("(ab)", "ab", "\\$1"), "$1");
    EXPECT_EQ(expand("(ab)", "ab", "\\\\"), "\\");
    EXPECT_EQ(expand("(ab)", "ab", "x$"), "x$");
    EXPECT_EQ(expand("(ab)", "ab", "x\\"), "x\\");
    EXPECT_EQ(expand("(ab)", "ab", "$x$&"), "$x$&");
    EXPECT_EQ(expand("(ab)", "ab", "$0!"), "ab!");
    EXPECT_EQ(expand("(ab)", "ab", "${1}x"), "abx");
    EXPECT_EQ(expand("(ab)", "ab", "\\1"), "ab");
    EXPECT_EQ(expand("(ab)", "ab", "\\n\\t"), "\\n\\t");
    EXPECT_EQ(expand("(ab)", "ab", "\\Lx"), "\\Lx");
}

TEST(RegexTemplate, TwoDigitGroupsOnlyWhenTheyExist) {
    EXPECT_EQ(expand("(a)", "a", "$12"), "a2");
    const std::string twelve = "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)(k)(l)";
    EXPECT_EQ(expand(twelve, "abcdefghijkl", "$12"), "l");
    EXPECT_EQ(expand(twelve, "abcdefghijkl", "$123"), "l3");
}

TEST(RegexTemplate, NamedGroupsAndCaseConversion) {
    EXPECT_EQ(expand("(?<word>hello)", "hello", "[${word}]"), "[hello]");
    EXPECT_EQ(expand("(?<word>hello)", "hello", "[${nope}]"), "[${nope}]");
    EXPECT_EQ(expand("(?<word>hello)", "hello", "[\\g<nope>]"), "[]");
    EXPECT_EQ(expand("(?<word>hello)", "hello", "[\\g<word>]"), "[hello]");
    EXPECT_EQ(expand("(?<word>hello)", "hello", "\\g<word"), "\\g<word");
    EXPECT_EQ(expand("(hello)", "hello", "\\U1"), "HELLO");
    EXPECT_EQ(expand("(hello)", "hELLO", "\\F1"), "Hello");
    EXPECT_EQ(expand("(hello)", "HeLLo", "\\l1"), "hello");
}

TEST(RegexReplace, AllMatchesLiteralUnlessDollar) {
    Shared rx;
    rx.setPattern("x");
    EXPECT_EQ(rx.ReplaceAllMatches("axbxc", "-"), "a-b-c");
    EXPECT_EQ(rx.ReplaceAllMatches("abc", "-"), "abc");
    rx.setPattern("(x)");
    EXPECT_EQ(rx.ReplaceAllMatches("axb", "\\1"), "a\\1b");
    EXPECT_EQ(rx.ReplaceAllMatches("axb", "[$1]"), "a[x]b");
    // Replace always expands.
    rx.setSubject("axb");
    ASSERT_TRUE(rx.Match());
    EXPECT_EQ(rx.Replace("\\1\\1"), "axxb");
    EXPECT_FALSE(rx.HasMatch());
}

TEST(RegexReplace, WalkResumesAfterInsertedText) {
    Shared rx;
    rx.setPattern("a");
    rx.setSubject("aXa");
    std::vector<std::string> seen;
    bool ok = rx.Match();
    while (ok) {
        rx.Replace("aa");
        seen.push_back(rx.Subject());
        ok = rx.MatchNext();
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"aaXa", "aaXaa"}));
}

TEST(RegexReplace, ReplaceEachEqualsTheMatchReplaceWalk) {
    const std::string subject = "<h>one</h> mid <h>two</h><h>$3</h> end";
    auto templ = [](TWSRegEx& e) { return "[" + e.SubmatchText(1) + "|$1|\\$]"; };

    Shared walk;
    walk.setPattern("<h>(.+?)</h>");
    walk.setSubject(subject);
    bool ok = walk.Match();
    while (ok) {
        walk.Replace(templ(walk));
        ok = walk.MatchNext();
    }
    Shared each;
    each.setPattern("<h>(.+?)</h>");
    EXPECT_EQ(each.ReplaceEach(subject, templ), walk.Subject());
}

TEST(RegexReplace, AllMatchesAndDelete) {
    Shared rx;
    rx.setPattern("<b>.+?</b>");
    EXPECT_EQ(rx.AllMatches("<b>1</b><B>2</B>"), (std::vector<std::string>{"<b>1</b>", "<B>2</B>"}));
    EXPECT_TRUE(rx.AllMatches("none").empty());
    std::string t = "a<x/>b<X/>";
    regexDelete(rx, t, "<x/>");
    EXPECT_EQ(t, "ab");
}

TEST(RegexWork, CountsTheBytesEachSearchReadsAndEachSpliceMoves) {
    Shared rx;
    std::uint64_t work = 0;
    rx.countWorkIn(&work);
    const std::string text = std::string(100, 'x') + "ab" + std::string(98, 'y');
    // A walk over every match reads the subject once: up to each match's
    // end, and from the last one to the end.
    rx.setPattern("ab|zz");
    rx.ReplaceAllMatches(text, "-");
    EXPECT_EQ(work, 200u);
    work = 0;
    rx.AllMatches(std::string(1000, 'q'));
    EXPECT_EQ(work, 1000u);
    // The search reads up to the match's end; the splice writes the
    // replacement and moves the rest of the subject.
    work = 0;
    rx.setSubject(text);
    ASSERT_TRUE(rx.Match());
    EXPECT_EQ(work, 102u);
    rx.Replace("--");
    EXPECT_EQ(work, 102u + 2u + 100u);
    // Without a counter nothing is counted, and nothing breaks.
    rx.countWorkIn(nullptr);
    rx.AllMatches(text);
    EXPECT_EQ(work, 204u);
}

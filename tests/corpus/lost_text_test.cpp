// Public documents that once lost text, or converted to an empty page: what
// a reader must see is on their pages.
#include <gtest/gtest.h>

#include <regex>

#include "corpus/corpus_page.h"
#include "support/testutil.h"

namespace {

using corpuspage::pageOf;

// The words a reader sees: the body without its tags.
std::string visibleText(const std::string& page) {
    const std::size_t body = page.find("<body");
    const std::string text = std::regex_replace(page.substr(body == std::string::npos ? 0 : body), std::regex("<[^>]*>"), " ");
    return std::regex_replace(text, std::regex("[ \r\n\t]+"), " ");
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

std::size_t words(const std::string& text) {
    std::size_t n = 0;
    bool in = false;
    for (char c : text) {
        const bool blank = c == ' ';
        if (!blank && !in) ++n;
        in = !blank;
    }
    return n;
}

class LostText : public ::testing::Test {
protected:
    void SetUp() override {
        if (testutil::corpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent";
    }
};

}  // namespace

TEST_F(LostText, ABookmarkNameWithAHyphenNoLongerSwallowsTheArticle) {
    const std::string text = visibleText(pageOf("poi/bug59058.docx"));
    EXPECT_NE(text.find("postpartum"), std::string::npos);
    EXPECT_GT(words(text), 18000u);  // the document holds 19,811 words
}

TEST_F(LostText, LinksKeepTheirTextsAndAddresses) {
    const std::string page = pageOf("pandoc/golden_links.docx");
    const std::string text = visibleText(page);
    for (const char* part : {"An external link to a popular website.", "An internal link to a section header.",
                             "An internal link to a bookmark.", "A bookmark right here"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_NE(page.find("<a href=\"http://google.com\""), std::string::npos);
    EXPECT_NE(page.find("<a href=\"#my_bookmark\""), std::string::npos);
}

TEST_F(LostText, TitleAndParagraphOfABookmarkedHeading) {
    const std::string text = visibleText(pageOf("poi/61991.docx"));
    EXPECT_NE(text.find("Next Generation Clinical Trial Transparency"), std::string::npos);
    EXPECT_NE(text.find("LabKey has begun work"), std::string::npos);
}

TEST_F(LostText, FieldsShowTheirResultsNeverTheirInstructions) {
    const std::string citations = visibleText(pageOf("pandoc/mendeley_citations.docx"));
    EXPECT_EQ(citations.find("CSL_CITATION"), std::string::npos);
    EXPECT_EQ(citations.find("\"citationItems\""), std::string::npos);
    const std::string forms = visibleText(pageOf("poi/form_footnotes.docx"));
    EXPECT_EQ(forms.find("FORMTEXT"), std::string::npos);
    const std::string links = visibleText(pageOf("pandoc/instrText_hyperlink.docx"));
    EXPECT_EQ(links.find("HYPERLINK"), std::string::npos);
}

TEST_F(LostText, ATextBoxShowsOnce) {
    EXPECT_EQ(count(visibleText(pageOf("pandoc/text_in_shape_format.docx")), "Last update:"), 1u);
}

TEST_F(LostText, RunsAfterEmptyPropertiesKeepTheirText) {
    const std::string page = pageOf("mammoth/endnotes.docx");
    EXPECT_NE(page.find(">Ouch<"), std::string::npos);
}

TEST_F(LostText, DocumentsWithUnitsOrAnotherDocumentPartConvert) {
    EXPECT_NE(visibleText(pageOf("mammoth/strict-format.docx")).find("Test"), std::string::npos);
    EXPECT_NE(pageOf("pandoc/alternate_document_path.docx").find("</body></html>"), std::string::npos);
}

TEST_F(LostText, FootnotesFollowTheBodyAndLinkBothWays) {
    const std::string page = pageOf("poi/stress008.docx", true);
    const std::string note = "Philippe Aries, Geschichte des Todes";
    EXPECT_NE(visibleText(page).find(note), std::string::npos);
    // Every reference links to its note and the note back to it.
    for (const char* part : {"<a href=\"#fn1\" name=\"fnref1\"><sup>1</sup></a>",
                             "<a href=\"#fnref1\" name=\"fn1\"><sup>1</sup></a> Philippe Aries"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
    EXPECT_EQ(count(page, "href=\"#fn"), 2 * count(page, "href=\"#fnref"));
    EXPECT_GT(count(page, "href=\"#fnref"), 100u);
    EXPECT_LT(page.find("name=\"fnref1\""), page.find("<div class=footnotes>"));
    EXPECT_EQ(visibleText(pageOf("poi/stress008.docx")).find(note), std::string::npos);
}

TEST_F(LostText, TheFooterStandsAtTheBottomOfThePage) {
    const std::string page = pageOf("poi/bug57031.docx", true);
    const std::size_t footer = page.find("<div class=footer>");
    ASSERT_NE(footer, std::string::npos);
    const std::string text = visibleText(page.substr(footer));
    for (const char* part : {"VDPAM 527_S. Azeem_HW13", "Page 14 of 14"})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_EQ(page.find("PAGE"), std::string::npos);
    EXPECT_EQ(pageOf("poi/bug57031.docx").find("of 14"), std::string::npos);
}

TEST_F(LostText, CommentsShowWithTheirAuthors) {
    const std::string page = pageOf("mammoth/comments.docx", true);
    const std::string text = visibleText(page);
    for (const char* part : {"[MW1] Michael Williamson 2016-07-03 15:10 A tachyon walks into a bar.", "Fin."})
        EXPECT_NE(text.find(part), std::string::npos) << part;
    EXPECT_NE(page.find("<a href=\"#cm0\" name=\"cmref0\"><sup>[MW1]</sup></a>"), std::string::npos);
    EXPECT_EQ(visibleText(pageOf("mammoth/comments.docx")).find("tachyon"), std::string::npos);
}

TEST_F(LostText, EndnotesAndHeadersOfOtherDocuments) {
    const std::string endnotes = pageOf("mammoth/endnotes.docx", true);
    EXPECT_NE(endnotes.find("<div class=endnotes>"), std::string::npos);
    EXPECT_NE(endnotes.find("href=\"#en"), std::string::npos);
    const std::string header = pageOf("poi/60329.docx", true);
    EXPECT_NE(header.find("<div class=header>"), std::string::npos);
}

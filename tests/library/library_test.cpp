// libtavin through its public header only: the same pages and texts as
// the docx2html program, for files, folders and bytes, on several threads;
// failures as values.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tavin/tavin.h"

namespace {

const std::string kBuild = TAVIN_BINARY_DIR;
const std::string kCorpus = TAVIN_CORPUS_DIR;

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What docx2html writes to standard output for these arguments.
std::string docx2html(const std::string& arguments) {
    std::string out;
    FILE* pipe = ::popen((kBuild + "/docx2html " + arguments + " 2>/dev/null").c_str(), "r");
    if (!pipe) return out;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

std::vector<std::string> documents() {
    std::vector<std::string> out{kBuild + "/sample.docx"};
    for (const char* name : {"pandoc/golden_lists.docx", "pandoc/golden_notes.docx", "mammoth/tables.docx",
                             "mammoth/tiny-picture.docx"}) {
        if (std::ifstream(kCorpus + "/" + name)) out.push_back(kCorpus + "/" + name);
    }
    return out;
}

struct OptionCase {
    const char* flags;
    tavin::PageOptions options;
};

std::vector<OptionCase> optionCases() {
    tavin::PageOptions classic, bare, embed;
    classic.fidelity = false;
    bare.pageMargin = false;
    bare.optimize = false;
    embed.embedMedia = true;
    return {{"", {}}, {"--no-fidelity", classic}, {"--no-page-margin --no-optimize", bare}, {"--embed-media", embed}};
}

TEST(Library, PagesAndTextsAreDocx2html) {
    for (const std::string& doc : documents()) {
        for (const OptionCase& c : optionCases()) {
            SCOPED_TRACE(doc + " " + c.flags);
            const tavin::ConversionResult file = tavin::convertFile(doc, c.options);
            ASSERT_TRUE(file.ok) << file.error;
            EXPECT_EQ(file.html, docx2html(std::string(c.flags) + " '" + doc + "'"));
            const tavin::ConversionResult bytes = tavin::convertBytes(readFile(doc), c.options);
            ASSERT_TRUE(bytes.ok) << bytes.error;
            EXPECT_EQ(bytes.html, docx2html(std::string(c.flags) + " - < '" + doc + "'"));
            EXPECT_EQ(file.text, docx2html(std::string(c.flags) + " --text '" + doc + "'"));
        }
    }
    const tavin::ConversionResult folder = tavin::convertFolder(kBuild + "/sample");
    ASSERT_TRUE(folder.ok) << folder.error;
    EXPECT_EQ(folder.html, docx2html("'" + kBuild + "/sample'"));
}

TEST(Library, PicturesAndPropertiesOfTheSample) {
    const tavin::ConversionResult r = tavin::convertFile(kBuild + "/sample.docx");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_EQ(r.pictures.size(), 1u);
    EXPECT_EQ(r.pictures[0].name, "media/image1.png");
    EXPECT_EQ(r.pictures[0].type, "image/png");
    EXPECT_EQ(r.pictures[0].bytes, readFile(kBuild + "/sample/word/media/image1.png"));
    EXPECT_EQ(r.properties.title, "Tavin sample document");
    EXPECT_EQ(r.properties.creator, "The Tavin team");
    EXPECT_NE(r.text.find("Two columns wide\tHeader\n"), std::string::npos) << r.text;

    tavin::PageOptions embed;
    embed.embedMedia = true;
    const tavin::ConversionResult e = tavin::convertFile(kBuild + "/sample.docx", embed);
    EXPECT_EQ(e.html.find("src=\"media/"), std::string::npos);
    EXPECT_NE(e.html.find("<img src=\"data:image/png;base64,iVBORw0KGgo"), std::string::npos);
}

TEST(Library, FailuresAreValues) {
    const struct {
        tavin::ConversionResult result;
        const char* error;
    } cases[] = {
        {tavin::convertBytes("not a zip"), "The document is not a Word document (.docx)"},
        {tavin::convertBytes(""), "The document is empty"},
        {tavin::convertFile(kBuild + "/no such file.docx"), "No such file or directory"},
        {tavin::convertFolder(kBuild + "/man"), "This package holds no document part"},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(c.result.ok);
        EXPECT_EQ(c.result.error, c.error);
        EXPECT_TRUE(c.result.html.empty());
    }
}

// Four threads at once give what one gives.
TEST(Library, ThreadsConvertSideBySide) {
    const std::vector<std::string> docs = documents();
    std::vector<std::string> alone;
    for (const std::string& doc : docs) alone.push_back(tavin::convertFile(doc).html);
    std::vector<std::vector<std::string>> pages(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < pages.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < 3; ++round)
                for (std::size_t i = 0; i < docs.size(); ++i)
                    pages[t].push_back(tavin::convertFile(docs[(i + t) % docs.size()]).html);
        });
    }
    for (auto& thread : threads) thread.join();
    for (std::size_t t = 0; t < pages.size(); ++t)
        for (std::size_t k = 0; k < pages[t].size(); ++k)
            EXPECT_EQ(pages[t][k], alone[(k % docs.size() + t) % docs.size()]) << "thread " << t << " page " << k;
}

}  // namespace

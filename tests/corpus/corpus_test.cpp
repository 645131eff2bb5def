// Every public test document converts, or stops with a clear message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "docx2html/docx2html.h"
#include "package/workfolder.h"
#include "support/testutil.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> corpusDocuments() {
    std::vector<std::string> docs;
    const fs::path root = testutil::corpusDir();
    if (root.empty()) return docs;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file() && e.path().extension() == ".docx") docs.push_back(e.path().string());
    }
    std::sort(docs.begin(), docs.end());
    return docs;
}

class CorpusDocument : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST(Corpus, Present) {
    if (testutil::corpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent; corpus documents not checked";
    EXPECT_FALSE(corpusDocuments().empty());
}

TEST_P(CorpusDocument, ConvertsOrStopsWithAMessage) {
    testutil::TempDir dir;
    const std::string folder = dir.str() + "/";
    // The classic page, then with Full Fidelity: both convert, or both stop
    // with the same message.
    std::string message[2];
    for (const bool fidelity : {false, true}) {
        tavin::ConversionContext ctx;
        ctx.fullFidelity = fidelity;
        try {
            if (!fidelity) tavin::extractPackage(GetParam(), folder);
            ctx.workFolder = folder;
            ctx.docTitle = tavin::titleFromPath(GetParam());
            tavin::loadParts(ctx);
            tavin::convert(ctx);
        } catch (const tavin::Error& e) {
            message[fidelity] = e.what();
            EXPECT_GT(message[fidelity].size(), 0u);
            if (!fidelity) return;
            continue;
        }
        EXPECT_EQ(ctx.workingText.rfind("<html>\r\n<head>", 0), 0u);
        EXPECT_NE(ctx.workingText.find("</body></html>"), std::string::npos);
        // No marker of the fidelity steps is left on a page.
        EXPECT_EQ(ctx.workingText.find("<tv"), std::string::npos) << fidelity;
    }
    EXPECT_EQ(message[0], message[1]);
}

INSTANTIATE_TEST_SUITE_P(Documents, CorpusDocument, ::testing::ValuesIn(corpusDocuments()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = fs::path(info.param).parent_path().filename().string() + "_" +
                                                fs::path(info.param).stem().string();
                             for (auto& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name + "_" + std::to_string(info.index);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusDocument);

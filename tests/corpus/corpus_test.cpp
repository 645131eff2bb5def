// Every public test document converts, or stops with a clear message.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "docx2html/docx2html.h"
#include "package/fileKind.h"
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

// The documents that do not convert, by corpus folder and name, with the
// message each stops with: encrypted packages, and damaged archives of the
// fuzzing collections. Every other document makes a page.
const std::map<std::string, std::string> kFailing = {
    {"poi/bug53475-password-is-pass.docx",
     "bug53475-password-is-pass.docx is encrypted (password-protected); Tavin cannot open it"},
    {"poi/bug53475-password-is-solrcell.docx",
     "bug53475-password-is-solrcell.docx is encrypted (password-protected); Tavin cannot open it"},
    {"poi/poifs_protected_agile.docx",
     "poifs_protected_agile.docx is encrypted (password-protected); Tavin cannot open it"},
    {"poi/clusterfuzz-testcase-minimized-POIXWPFFuzzer-5166796835258368.docx", "This package holds no document part"},
    {"poi/clusterfuzz-testcase-minimized-POIXWPFFuzzer-6120975439364096.docx", "This package holds no document part"},
    {"poi/clusterfuzz-testcase-minimized-POIXWPFFuzzer-5313273089884160.docx", "Incomplete Zip File"},
    {"poi/clusterfuzz-testcase-minimized-POIXWPFFuzzer-5564805011079168.docx", "Incomplete Zip File"},
    {"poi/clusterfuzz-testcase-minimized-POIXWPFFuzzer-5569740188549120.docx", "Incomplete Zip File"},
    {"poi/clusterfuzz-testcase-minimized-POIXWPFFuzzer-6061520554164224.docx", "Incomplete Zip File"},
    {"poi/crash-517626e815e0afa9decd0ebb6d1dee63fb9907dd.docx", "Incomplete Zip File"},
    {"poi/truncated62886.docx", "Incomplete Zip File"},
    // A Deflate stream that does not end within its entry.
    {"poi/clusterfuzz-testcase-minimized-POIXWPFFuzzer-6442791109263360.docx", "error"},
};

// "poi/name.docx" for a document of the corpus.
std::string corpusName(const std::string& path) {
    const fs::path p(path);
    return p.parent_path().filename().string() + "/" + p.filename().string();
}

class CorpusDocument : public ::testing::TestWithParam<std::string> {};

}  // namespace

TEST(Corpus, Present) {
    if (testutil::corpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent; corpus documents not checked";
    EXPECT_FALSE(corpusDocuments().empty());
}

TEST_P(CorpusDocument, ConvertsOrStopsWithItsMessage) {
    testutil::TempDir dir;
    const std::string folder = dir.str() + "/";
    const auto failing = kFailing.find(corpusName(GetParam()));
    const std::string expected = failing == kFailing.end() ? std::string() : failing->second;
    // As the programs do it: the file's kind, the extraction, then the
    // classic page and the page with Full Fidelity.
    std::string message = tavin::notDocxMessage(GetParam());
    if (message.empty()) message = testutil::errorOf([&] { tavin::extractConversionParts(GetParam(), folder); });
    if (!message.empty()) {
        EXPECT_EQ(message, expected);
        return;
    }
    for (const bool fidelity : {false, true}) {
        SCOPED_TRACE(fidelity ? "Full Fidelity" : "classic");
        tavin::ConversionContext ctx;
        tavin::ConvertOptions options;
        options.title = tavin::titleFromPath(GetParam());
        options.fullFidelity = fidelity;
        EXPECT_EQ(testutil::errorOf([&] { tavin::convertPackage(ctx, folder, options); }), expected);
        if (!expected.empty()) continue;
        // The Full Fidelity page in standards mode.
        EXPECT_EQ(ctx.workingText.rfind(fidelity ? "<!DOCTYPE html>\r\n<html>\r\n<head>" : "<html>\r\n<head>", 0), 0u);
        EXPECT_NE(ctx.workingText.find("</body></html>"), std::string::npos);
        // No marker of the fidelity steps is left on a page.
        EXPECT_EQ(ctx.workingText.find(tavin::kMarkerStart), std::string::npos);
    }
}

TEST(Corpus, EveryFailingDocumentIsThere) {
    if (testutil::corpusDir().empty()) GTEST_SKIP() << "../shared/corpus is absent; corpus documents not checked";
    for (const auto& [name, message] : kFailing) {
        EXPECT_TRUE(fs::is_regular_file(testutil::corpusDir() / name)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Documents, CorpusDocument, ::testing::ValuesIn(corpusDocuments()),
                         [](const ::testing::TestParamInfo<std::string>& param) {
                             std::string name = fs::path(param.param).parent_path().filename().string() + "_" +
                                                fs::path(param.param).stem().string();
                             for (auto& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name + "_" + std::to_string(param.index);
                         });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusDocument);

// Linear growth on real documents: the body of a document repeated k times
// must take about k times as long to convert.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <unistd.h>

#include "core/allocator.h"
#include "docx2html/docx2html.h"
#include "package/workfolder.h"

namespace fs = std::filesystem;

namespace {

struct Parts {
    std::string head, body, tail;  // document.xml split around the body's content
    std::string rels, styles, numbering;
    bool ok = false;
};

// The parts of a corpus document (or of the sample), extracted once.
const Parts& partsOf(const std::string& path) {
    static std::map<std::string, Parts> cache;
    auto it = cache.find(path);
    if (it != cache.end()) return it->second;
    Parts& p = cache[path];
    std::string dir = fs::temp_directory_path().string() + "/tavin-bench-XXXXXX";
    if (!::mkdtemp(dir.data())) return p;
    try {
        tavin::extractPackage(path, dir + "/");
        const std::string doc = tavin::readTextFile(dir + "/word/document.xml");
        const std::size_t b = doc.find("<w:body>");
        const std::size_t s = doc.rfind("<w:sectPr");
        if (b != std::string::npos && s != std::string::npos && s > b) {
            p.head = doc.substr(0, b + 8);
            p.body = doc.substr(b + 8, s - b - 8);
            p.tail = doc.substr(s);
            p.rels = tavin::readTextFile(dir + "/word/_rels/document.xml.rels");
            p.styles = tavin::readTextFile(dir + "/word/styles.xml");
            p.numbering = tavin::readTextFile(dir + "/word/numbering.xml");
            p.ok = true;
        }
    } catch (const tavin::Error&) {
    }
    fs::remove_all(dir);
    return p;
}

void repeated(benchmark::State& state, const std::string& path) {
    tavin::keepLargeBuffers();  // as docx2html runs the engine
    const Parts& p = partsOf(path);
    if (!p.ok) {
        state.SkipWithError(("cannot read " + path).c_str());
        return;
    }
    std::string doc = p.head;
    for (int i = 0; i < state.range(0); ++i) doc += p.body;
    doc += p.tail;
    for (auto _ : state) {
        tavin::ConversionContext ctx;
        tavin::PartTexts parts;
        parts.document = doc;
        parts.relationships = p.rels;
        parts.styles = p.styles;
        parts.numbering = p.numbering;
        tavin::loadPartsFromText(ctx, std::move(parts));
        tavin::convert(ctx);
        benchmark::DoNotOptimize(ctx.workingText.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(doc.size()));
}

void BM_Stress004Repeated(benchmark::State& state) {
    repeated(state, std::string(TAVIN_CORPUS_DIR) + "/poi/stress004.docx");
}
BENCHMARK(BM_Stress004Repeated)->Arg(1)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_SampleRepeated(benchmark::State& state) {
    repeated(state, std::string(TAVIN_BINARY_DIR) + "/sample.docx");
}
BENCHMARK(BM_SampleRepeated)->Arg(1)->Arg(32)->Arg(1024)->Unit(benchmark::kMillisecond);

}  // namespace

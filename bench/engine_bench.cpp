// Scaling of the conversion passes: the time per item must stay flat as
// documents grow (each pass is one linear rebuild of the working text).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <utility>

#include "core/uStr.h"
#include "docx2html/docx2html.h"

namespace {

using tavin::ConversionContext;

const char* kNumbering =
    "<numbering><abstractNum abstractNumId=\"0\"><lvl ilvl=\"0\"><numFmt val=\"decimal\"/></lvl></abstractNum>"
    "<num numId=\"1\"><abstractNumId val=\"0\"/></num></numbering>";

// n list items in lists of ten, levels 0 and 1 alternating in each list.
std::string listBody(int n) {
    std::string body = "<body>";
    for (int i = 0; i < n; ++i) {
        body += "<p><pPr><numPr><ilvl val=\"" + std::to_string(i % 10 == 3 ? 1 : 0) +
                "\"/><numId val=\"1\"/></numPr></pPr><r><rPr><b/></rPr>Item " + std::to_string(i) + "</r></p>";
        if (i % 10 == 9) body += "<p><r>Between lists</r></p>";
    }
    return body + "</body>";
}

// n hyperlinks (half to bookmarks) and n / 5 pictures.
std::string linkBody(int n, std::string& rels) {
    std::string body = "<body>";
    rels = "<Relationships>";
    for (int i = 0; i < n; ++i) {
        const std::string id = "rId" + std::to_string(i);
        rels += "<Relationship Id=\"" + id + "\" Type=\"h\" Target=\"https://example.org/" + std::to_string(i) + "\"/>";
        body += "<p><bookmarkStart id=\"" + std::to_string(i) + "\" name=\"b" + std::to_string(i) + "\"/>";
        if (i % 2 == 0) {
            body += "<hyperlink r:id=\"" + id + "\"><r><rPr><color val=\"0000FF\"/></rPr>link</r></hyperlink>";
        } else {
            body += "<hyperlink anchor=\"b" + std::to_string(i - 1) + "\"><r>back</r></hyperlink>";
        }
        if (i % 5 == 0) {
            body += "<r><drawing><wp:inline><wp:extent cx=\"952500\" cy=\"952500\"/><a:blip r:embed=\"" + id +
                    "\"/></wp:inline></drawing></r>";
        }
        body += "<bookmarkEnd id=\"" + std::to_string(i) + "\"/></p>";
    }
    rels += "</Relationships>";
    return body + "</body>";
}

void runConvert(benchmark::State& state, const std::string& body, const std::string& rels, const char* numbering) {
    for (auto _ : state) {
        ConversionContext ctx;
        tavin::PartTexts parts;
        parts.document = body;
        parts.relationships = rels;
        parts.numbering = numbering;
        tavin::loadPartsFromText(ctx, std::move(parts));
        tavin::convert(ctx);
        benchmark::DoNotOptimize(ctx.workingText.data());
    }
    // Microseconds per item: the inverted rate of range(0) millionths.
    state.counters["us_per_item"] =
        benchmark::Counter(static_cast<double>(state.range(0)) * 1e-6,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Lists(benchmark::State& state) {
    runConvert(state, listBody(static_cast<int>(state.range(0))), "", kNumbering);
}
BENCHMARK(BM_Lists)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_LinksAndPictures(benchmark::State& state) {
    std::string rels;
    const std::string body = linkBody(static_cast<int>(state.range(0)), rels);
    runConvert(state, body, rels, "");
}
BENCHMARK(BM_LinksAndPictures)->Arg(500)->Arg(5000)->Unit(benchmark::kMillisecond);

// The tag searches of the passes over a part of range(0) kilobytes of runs,
// a "<" every 20 bytes or so: a search for a tag that is not there, and
// the removal of one that is in every run. Bytes per second of the part.
void BM_TagSearch(benchmark::State& state) {
    std::string part;
    while (part.size() < static_cast<std::size_t>(state.range(0)) * 1024)
        part += "<r><rPr><sz val=\"24\"/></rPr><t>Some text</t></r>";
    for (auto _ : state) {
        benchmark::DoNotOptimize(tavin::findFrom(part, "</tc>", 1));
        std::string t = part;
        tavin::replaceAllInPlace(t, "<t>", "");
        benchmark::DoNotOptimize(t.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(part.size()));
}
BENCHMARK(BM_TagSearch)->Arg(1024)->Arg(16384)->Unit(benchmark::kMillisecond);

}  // namespace

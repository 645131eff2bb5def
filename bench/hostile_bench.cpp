// Hostile documents whose cost once grew with the square of their size: each
// is converted at n and 4n items, and the fitted complexity should read
// O(N) (a quadratic pass shows as a 16-fold time for the 4-fold size).
#include <benchmark/benchmark.h>

#include <functional>
#include <string>
#include <utility>

#include "docx2html/docx2html.h"

namespace {

struct Parts {
    std::string document, styles, numbering;
};

std::string repeat(const std::string& s, std::int64_t n) {
    std::string out;
    out.reserve(s.size() * static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) out += s;
    return out;
}

std::string body(const std::string& inner) {
    return "<w:document><w:body>" + inner + "<w:p><w:r><w:t>end</w:t></w:r></w:p></w:body></w:document>";
}

const std::string kBulletNumbering =
    "<w:numbering><w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"bullet\"/></w:lvl>"
    "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num></w:numbering>";

Parts paragraphsWithoutEnds(std::int64_t n) { return {body(repeat("<w:p><w:r><w:t>open</w:t></w:r>", n)), "", ""}; }

Parts listMarkersWithoutStarts(std::int64_t n) {
    return {body("<w:p>" + repeat("<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:p>", n)), "",
            kBulletNumbering};
}

Parts listTagsWithoutEnds(std::int64_t n) {
    return {body("<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr><w:r><w:t>i</w:t>"
                 "</w:r></w:p>" +
                 repeat("<w:li>x", n)),
            "", kBulletNumbering};
}

Parts listsOfTheirOwnNumbering(std::int64_t n) {
    std::string abstracts, nums, items;
    for (std::int64_t i = 0; i < n; ++i) {
        const std::string id = std::to_string(i);
        abstracts += "<w:abstractNum w:abstractNumId=\"" + id +
                     "\"><w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"decimal\"/></w:lvl></w:abstractNum>";
        nums += "<w:num w:numId=\"" + id + "\"><w:abstractNumId w:val=\"" + id + "\"/></w:num>";
        items += "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"" + id +
                 "\"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p><w:p><w:r><w:t>x</w:t></w:r></w:p>";
    }
    return {body(items), "", "<w:numbering>" + abstracts + nums + "</w:numbering>"};
}

Parts runMarksWithoutPropertyEnds(std::int64_t n) {
    return {body("<w:p>" + repeat("<w:r><w:rPr><w:b/></w:r>x", n) + "</w:rPr></w:p>"), "", ""};
}

Parts manyStyles(std::int64_t n) {
    std::string styles = "<w:styles>", items;
    for (std::int64_t i = 0; i < n; ++i) {
        styles += "<w:style w:type=\"paragraph\" w:styleId=\"S" + std::to_string(i) + "\"><w:basedOn w:val=\"S" +
                  std::to_string(i + 1) + "\"/></w:style>";
        items += "<w:p><w:pPr><w:pStyle w:val=\"S" + std::to_string(i) + "\"/></w:pPr><w:r><w:t>p</w:t></w:r></w:p>";
    }
    return {body(items), styles + "</w:styles>", ""};
}

Parts cellPropertiesWithoutEnds(std::int64_t n) {
    return {body("<w:tbl><w:tr><w:tc>" + repeat("<w:tcPr><w:shd w:fill=\"auto\"/>", n) +
                 "</w:tcPr><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"),
            "", ""};
}

Parts tablesOfTheirOwnStyle(std::int64_t n) {
    std::string styles = "<w:styles>", tables;
    for (std::int64_t i = 0; i < n; ++i) {
        const std::string id = "T" + std::to_string(i);
        styles += "<w:style w:type=\"table\" w:styleId=\"" + id + "\"><w:rPr><w:sz w:val=\"20\"/></w:rPr></w:style>";
        tables += "<w:tbl><w:tblPr><w:tblStyle w:val=\"" + id +
                  "\"/></w:tblPr><w:tr><w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
    }
    return {body(tables), styles + "</w:styles>", ""};
}

void convertHostile(benchmark::State& state, const std::function<Parts(std::int64_t)>& make) {
    const Parts parts = make(state.range(0));
    for (auto _ : state) {
        tavin::ConversionContext ctx;
        ctx.docTitle = "bench";
        tavin::PartTexts texts;
        texts.document = parts.document;
        texts.styles = parts.styles;
        texts.numbering = parts.numbering;
        tavin::loadPartsFromText(ctx, std::move(texts));
        tavin::convert(ctx);
        benchmark::DoNotOptimize(ctx.workingText.data());
    }
    state.SetComplexityN(state.range(0));
}

#define HOSTILE_BENCH(name, small)                                                         \
    BENCHMARK_CAPTURE(convertHostile, name, name)                                          \
        ->Arg(small)                                                                       \
        ->Arg(4 * (small))                                                                 \
        ->Complexity(benchmark::oN)                                                        \
        ->Unit(benchmark::kMillisecond)

HOSTILE_BENCH(paragraphsWithoutEnds, 20000);
HOSTILE_BENCH(listMarkersWithoutStarts, 20000);
HOSTILE_BENCH(listTagsWithoutEnds, 20000);
HOSTILE_BENCH(listsOfTheirOwnNumbering, 2500);
HOSTILE_BENCH(runMarksWithoutPropertyEnds, 20000);
HOSTILE_BENCH(manyStyles, 10000);
HOSTILE_BENCH(cellPropertiesWithoutEnds, 20000);
HOSTILE_BENCH(tablesOfTheirOwnStyle, 5000);

}  // namespace

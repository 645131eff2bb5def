// The table step on a large synthetic document: its cost should grow in
// proportion to the document, however many tables, merges and styles it has.
#include <benchmark/benchmark.h>

#include <string>

#include "docx2html/context.h"
#include "docx2html/tables.h"

namespace {

std::string cell(const std::string& props, const std::string& text) {
    return "<tc><tcPr><tcW w=\"2880\" type=\"dxa\"/>" + props + "</tcPr><p><r><rPr><b/></rPr>" + text +
           "</r></p></tc>";
}

// n tables of four rows and three grid columns, with a row height, a
// vertical merge over three rows, a column span, shading, margins and a
// table style; every tenth table holds a nested table in its first cell.
std::string syntheticBody(int n) {
    std::string body = "<document><body>";
    const std::string restart = "<vMerge val=\"restart\"/>";
    const std::string cont = "<vMerge/>";
    for (int i = 0; i < n; ++i) {
        const std::string nested =
            i % 10 == 0 ? "<tbl><tblPr><tblW w=\"0\" type=\"auto\"/></tblPr><tr>" + cell("", "inner") + "</tr></tbl>" : "";
        body += "<p><r>Table " + std::to_string(i) + "</r></p>";
        body += "<tbl><tblPr><tblStyle val=\"Grid" + std::to_string(i % 5) +
                "\"/><tblW w=\"5000\" type=\"pct\"/><jc val=\"center\"/><tblCellSpacing w=\"15\" type=\"dxa\"/>"
                "</tblPr><tblGrid><gridCol w=\"2880\"/><gridCol w=\"2880\"/><gridCol w=\"2880\"/></tblGrid>";
        body += "<tr><trPr><trHeight val=\"400\"/></trPr><tc><tcPr><tcW w=\"2880\" type=\"dxa\"/></tcPr>" + nested +
                "<p/></tc>" + cell(restart, "a") + cell("<shd val=\"clear\" color=\"auto\" fill=\"FFFF00\"/>", "b") +
                "</tr>";
        body += "<tr><trPr><cantSplit/></trPr>" + cell("", "c") + cell(cont, "") + cell("<vAlign val=\"center\"/>", "d") +
                "</tr>";
        body += "<tr>" + cell("", "e") + cell(cont, "") +
                cell("<tcMar><left w=\"108\" type=\"dxa\"/><right w=\"108\" type=\"dxa\"/></tcMar>", "f") + "</tr>";
        body += "<tr>" + cell("<gridSpan val=\"2\"/>", "g") + cell("", "h") + "</tr></tbl>";
    }
    body += "</body></document>";
    return body;
}

std::string syntheticStyles() {
    std::string styles;
    for (int i = 0; i < 5; ++i) {
        styles += "<style type=\"table\" styleId=\"Grid" + std::to_string(i) +
                  "\"><tblPr><tblBorders><top val=\"single\" sz=\"4\" color=\"000000\"/>"
                  "<left val=\"single\" sz=\"4\" color=\"000000\"/><bottom val=\"single\" sz=\"4\" color=\"000000\"/>"
                  "<right val=\"single\" sz=\"4\" color=\"000000\"/><insideH val=\"single\" sz=\"4\" color=\"000000\"/>"
                  "</tblBorders></tblPr></style>";
    }
    return styles;
}

void BM_ConvertTables(benchmark::State& state) {
    const std::string body = syntheticBody(static_cast<int>(state.range(0)));
    tavin::ConversionContext ctx;
    ctx.stylesText = syntheticStyles();
    for (auto _ : state) {
        ctx.workingText = body;
        tavin::convertTables(ctx);
        benchmark::DoNotOptimize(ctx.workingText.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(body.size()));
    state.counters["MB"] = static_cast<double>(body.size()) / 1e6;
}
BENCHMARK(BM_ConvertTables)->Arg(1000)->Arg(4000)->Arg(16000)->Unit(benchmark::kMillisecond);

}  // namespace

// The clean-up pass on a large synthetic page: its cost should grow in
// proportion to the page size, however many distinct styles the page holds.
#include <benchmark/benchmark.h>

#include <string>

#include "docx2html/MSWordHTM.h"
#include "docx2html/context.h"

namespace {

// A page of n paragraphs and table cells; about one paragraph in three has a
// style of its own, the rest share a few.
std::string syntheticPage(int n) {
    std::string page =
        "<html><head><style>\r\n<!--\r\n /* Font Definitions */\r\n@font-face\r\n\t{font-family:Calibri;}\r\n"
        "/* Style Definitions */\r\n p.MsoNormal\r\n\t{margin-top:0in;\r\n\tmargin-right:0in;\r\n"
        "\tmargin-bottom:8pt;\r\n\tmargin-left:0in;}\r\n-->\r\n</style></head><body>\r\n";
    for (int i = 0; i < n; ++i) {
        const std::string style = (i % 3 == 0) ? "margin-left:" + std::to_string(i) + "px"
                                               : "font-size:" + std::to_string(10 + i % 5);
        page += "<p class=MsoNormal style=\"page-break-after:avoid\">x</p>\n";
        page += "<p\nstyle=\"" + style + ";color:#333333\">Some  text:   with  spaces\tand\ttabs.</p>\n";
        page += "<table class=MsoNormalTable width=600 style='width:450pt;border:none'><tr>"
                "<td width=300 style='width:225pt;height:12pt;padding:0'>";
        page += "<p class=x><span lang=EN>&nbsp;</span></p></td></tr></table>\n";
    }
    page += "</body></html>";
    return page;
}

void BM_Optimize(benchmark::State& state) {
    const std::string page = syntheticPage(static_cast<int>(state.range(0)));
    tavin::ConversionContext ctx;
    for (auto _ : state) {
        ctx.workingText = page;
        tavin::optimize(ctx);
        benchmark::DoNotOptimize(ctx.workingText.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_Optimize)->Arg(1000)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

void BM_Reformat(benchmark::State& state) {
    const std::string page = syntheticPage(static_cast<int>(state.range(0)));
    tavin::ConversionContext ctx;
    for (auto _ : state) {
        ctx.workingText = page;
        tavin::reformat(ctx);
        benchmark::DoNotOptimize(ctx.workingText.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(page.size()));
}
BENCHMARK(BM_Reformat)->Arg(10000)->Arg(50000)->Unit(benchmark::kMillisecond);

}  // namespace

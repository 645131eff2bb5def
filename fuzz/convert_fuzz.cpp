// The whole conversion on fuzzed part texts. The input holds the document,
// styles, numbering, relationships, theme and font table parts in that
// order, separated by kSeparator; missing parts are empty. The parts go through
// loadPartsFromText, as the programs' parts go through loadParts.
// tavin::Error is an allowed outcome.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>

#include "docx2html/docx2html.h"

namespace {

constexpr std::string_view kSeparator = "\n--8<--\n";

std::string_view nextPart(std::string_view& rest) {
    const std::size_t cut = rest.find(kSeparator);
    std::string_view part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + kSeparator.size());
    return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view document = nextPart(rest);
    const std::string_view styles = nextPart(rest);
    const std::string_view numbering = nextPart(rest);
    const std::string_view rels = nextPart(rest);
    const std::string_view theme = nextPart(rest);
    const std::string_view fontTable = nextPart(rest);

    tavin::ConversionContext ctx;
    ctx.docTitle = "fuzz";
    // The viewer's three options, taken from the input's length so that
    // every input keeps its meaning.
    ctx.showPageMargin = (size & 1) == 0;
    ctx.optimizeHtml = (size & 2) == 0;
    ctx.fullFidelity = (size & 4) == 0;
    try {
        tavin::PartTexts parts;
        parts.document = document;
        parts.relationships = rels;
        parts.styles = styles;
        parts.numbering = numbering;
        parts.theme = theme;
        parts.fontTable = fontTable;
        tavin::loadPartsFromText(ctx, std::move(parts));
        tavin::convert(ctx);
    } catch (const tavin::Error&) {
        return 0;
    }
    // A finished conversion is always a whole page that the active-content
    // pass leaves as it is (what it left cannot join into anything active),
    // with no marker of the fidelity steps.
    const std::string page = ctx.workingText;
    const std::string_view start = ctx.fullFidelity ? "<!DOCTYPE html>\r\n<html>" : "<html>";
    if (page.rfind(start, 0) != 0) std::abort();
    tavin::removeActiveContent(ctx);
    if (ctx.workingText != page) std::abort();
    // (No document can write one: the parts are cleaned of their byte.)
    if (ctx.fullFidelity && page.find(tavin::kMarkerStart) != std::string::npos) std::abort();
    return 0;
}

// Symbols and toggles of runs: a w:sym element becomes its character as
// text (mapped out of the symbol fonts where it has a Unicode one), and a
// bold or italic toggle written on ("<w:b w:val=\"true\"/>", "1", "on")
// reads as the classic steps read "<w:b/>". Reads the runs of the document
// part.
#include <charconv>
#include <optional>
#include <string>

#include "core/html.h"
#include "core/uStr.h"
#include "docx2html/fidelity.h"
#include "docx2html/fidelity/edits.h"
#include "docx2html/symbols.h"
#include "docx2html/xmlscan.h"
#include "package/docxParts.h"

namespace tavin {

namespace {

// The text a symbol of font with the hexadecimal code shows; nothing when
// the code is none.
std::optional<std::string> symbolText(std::string_view font, std::string_view hex) {
    std::uint32_t code = 0;
    const auto r = std::from_chars(hex.data(), hex.data() + hex.size(), code, 16);
    if (r.ec != std::errc() || r.ptr != hex.data() + hex.size() || code == 0) return std::nullopt;
    std::uint32_t u = symbolToUnicode(font, code);
    if (u == 0) u = code < 0x100 ? 0xF000 + code : code;  // shown in its own font, if the reader has it
    std::string text;
    appendUtf8(text, u);
    return text;
}

// The length of a "<w:b w:val=\"...\"/>" or "<w:i ...>" toggle at p whose
// value is on, or 0.
std::size_t toggleOnAt(std::string_view t, std::size_t p) {
    const std::size_t name = p + 3;
    if (t.compare(name, 1, "b") != 0 && t.compare(name, 1, "i") != 0) return 0;
    if (t.compare(name + 1, 8, " w:val=\"") != 0) return 0;
    const std::size_t value = name + 9;
    const std::size_t quote = t.find('"', value);
    if (quote == std::string_view::npos || t.compare(quote, 3, "\"/>") != 0) return 0;
    return isTrue(t.substr(value, quote - value)) ? quote + 3 - p : 0;
}

}  // namespace

void symbolsToText(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    if (findText(t, "<w:sym") == std::string_view::npos) return;
    EditList edits;
    for (const Element& e : elements(t, "w:sym")) {
        const auto text = symbolText(tagAttribute(e.tag, "w:font"), tagAttribute(e.tag, "w:char"));
        if (text) edits.replace(e.begin, e.end - e.begin, "<w:t>" + escapeHtml(*text) + "</w:t>");
    }
    edits.applyTo(ctx.workingText);
}

void directToggles(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    ctx.workBytes += t.size();
    EditList edits;
    for (std::size_t p = t.find("<w:"); p != std::string_view::npos; p = t.find("<w:", p + 3)) {
        if (const std::size_t length = toggleOnAt(t, p); length != 0)
            edits.replace(p, length, std::string("<w:") + t[p + 3] + "/>");
    }
    edits.applyTo(ctx.workingText);
}

}  // namespace tavin

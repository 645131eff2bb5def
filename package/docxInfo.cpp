#include "package/docxInfo.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "core/fileio.h"
#include "core/uStr.h"

namespace tavin {

std::string elementContent(std::string_view text, std::string_view name) {
    const std::string start = "<" + std::string(name) + ">";
    const std::string end = "</" + std::string(name) + ">";
    return textBetween(text, start, end);
}

TdocxInfo readCoreProperties(const std::string& workFolder) {
    const std::string text = readFileInFolder(workFolder, "docProps/core.xml");
    TdocxInfo info;
    info.title = elementContent(text, "dc:title");
    info.creator = elementContent(text, "dc:creator");
    info.lastModifiedBy = elementContent(text, "cp:lastModifiedBy");
    info.keywords = elementContent(text, "cp:keywords");
    info.keywords2 = elementContent(text, "cp:keywords");
    info.created = textBetween(text, "dcterms:created xsi:type=\"dcterms:W3CDTF\">", "</dcterms:created");
    info.modified = textBetween(text, "dcterms:modified xsi:type=\"dcterms:W3CDTF\">", "</dcterms:modified");
    return info;
}

TdocxMoreInfo readMoreProperties(const std::string& workFolder) {
    const std::string core = readFileInFolder(workFolder, "docProps/core.xml");
    const std::string app = readFileInFolder(workFolder, "docProps/app.xml");
    TdocxMoreInfo info;
    info.subject = elementContent(core, "dc:subject");
    info.description = elementContent(core, "dc:description");
    info.revision = elementContent(core, "cp:revision");
    info.pages = elementContent(app, "Pages");
    info.words = elementContent(app, "Words");
    return info;
}

std::string xmlText(std::string_view stored) {
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    std::string out;
    out.reserve(stored.size());
    std::size_t at = 0;
    while (at < stored.size()) {
        const std::size_t amp = stored.find('&', at);
        const std::size_t semi = amp == std::string_view::npos ? amp : stored.find(';', amp);
        if (semi == std::string_view::npos) break;
        out.append(stored.substr(at, amp - at));
        const std::string_view name = stored.substr(amp + 1, semi - amp - 1);
        if (name.size() > 10 || name.find('&') != std::string_view::npos) {
            out += '&';  // no reference: the next "&" may start one
            at = amp + 1;
            continue;
        }
        bool decoded = false;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x';
            const std::string_view digits = name.substr(hex ? 2 : 1);
            std::uint32_t code = 0;
            bool ok = !digits.empty() && digits.size() <= 8;
            for (char c : digits) {
                const int d = c >= '0' && c <= '9'                  ? c - '0'
                              : hex && c >= 'a' && c <= 'f'         ? c - 'a' + 10
                              : hex && c >= 'A' && c <= 'F'         ? c - 'A' + 10
                                                                    : -1;
                if (d < 0) ok = false;
                if (ok) code = code * (hex ? 16u : 10u) + static_cast<std::uint32_t>(d);
            }
            // Characters XML allows: no NUL, no surrogate, nothing past U+10FFFF.
            if (ok && code != 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                appendUtf8(out, code);
                decoded = true;
            }
        } else {
            for (const auto& [entity, c] : kNamed) {
                if (name == entity) {
                    out += c;
                    decoded = true;
                }
            }
        }
        if (!decoded) out.append(stored.substr(amp, semi + 1 - amp));
        at = semi + 1;
    }
    out.append(stored.substr(std::min(at, stored.size())));
    return out;
}

}  // namespace tavin

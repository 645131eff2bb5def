#include "core/html.h"

#include "core/uStr.h"

namespace tavin {

namespace {

bool isAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The length of the character reference at text[i] ("&amp;", "&#65;",
// "&#x41;"), or 0 when none starts there.
std::size_t referenceAt(std::string_view text, std::size_t i) {
    std::size_t j = i + 1;
    if (j < text.size() && text[j] == '#') {
        ++j;
        const bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
        if (hex) ++j;
        const std::size_t digits = j;
        while (j < text.size() && j - digits < 8 &&
               ((text[j] >= '0' && text[j] <= '9') ||
                (hex && ((text[j] >= 'a' && text[j] <= 'f') || (text[j] >= 'A' && text[j] <= 'F')))))
            ++j;
        if (j == digits) return 0;
    } else {
        const std::size_t name = j;
        while (j < text.size() && j - name < 32 && isAlnum(text[j])) ++j;
        if (j == name) return 0;
    }
    return j < text.size() && text[j] == ';' ? j + 1 - i : 0;
}

void appendEscaped(std::string& out, char c) {
    switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out.push_back(c);
    }
}

}  // namespace

std::string escapeHtml(std::string_view text) {
    std::string out;
    reserveText(out, text.size());
    for (const char c : text) appendEscaped(out, c);
    return out;
}

std::string escapeStoredText(std::string_view text) {
    std::string out;
    reserveText(out, text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '&') {
            if (const std::size_t n = referenceAt(text, i); n != 0) {
                out.append(text.substr(i, n));
                i += n - 1;
                continue;
            }
        }
        appendEscaped(out, c);
    }
    return out;
}

}  // namespace tavin

// Removing active content from the finished page. The scan reads tags as a
// browser's tokenizer does (quoted values may hold ">", "/" separates
// attributes, a tag without its ">" is no tag), so that what it leaves is
// what the browser sees.
#include "docx2html/sanitize.h"

#include <array>
#include <cstdint>
#include <vector>

namespace tavin {

namespace {

constexpr std::array<std::string_view, 24> kActiveElements = {
    "script", "style",  "iframe", "frame",  "frameset", "object",   "embed",  "applet",
    "meta",   "link",   "base",   "form",   "input",    "button",   "select", "textarea",
    "svg",    "audio",  "video",  "source", "track",    "portal",   "noscript", "template"};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (lowerAscii(c) >= 'a' && lowerAscii(c) <= 'f'); }
int hexValue(char c) { return isDigit(c) ? c - '0' : lowerAscii(c) - 'a' + 10; }

bool isActiveElement(std::string_view name) {
    const std::string lower = lowerCase(name);
    for (std::string_view e : kActiveElements)
        if (lower == e) return true;
    return false;
}

// Named references that can spell a scheme or hide its letters.
struct NamedReference {
    std::string_view name;
    char value;
};
constexpr std::array<NamedReference, 9> kNamedReferences = {{{"colon", ':'},
                                                             {"Tab", '\t'},
                                                             {"NewLine", '\n'},
                                                             {"amp", '&'},
                                                             {"sol", '/'},
                                                             {"semi", ';'},
                                                             {"lpar", '('},
                                                             {"rpar", ')'},
                                                             {"bsol", '\\'}}};

}  // namespace

std::string decodeCharacterReferences(std::string_view v) {
    std::string out;
    out.reserve(v.size());
    std::size_t i = 0;
    while (i < v.size()) {
        if (v[i] != '&') {
            out.push_back(v[i++]);
            continue;
        }
        std::size_t j = i + 1;
        if (j < v.size() && v[j] == '#') {
            ++j;
            const bool hex = j < v.size() && (v[j] == 'x' || v[j] == 'X');
            if (hex) ++j;
            const std::size_t digits = j;
            std::uint32_t c = 0;
            for (; j < v.size() && (hex ? isHex(v[j]) : isDigit(v[j])); ++j) {
                c = c * (hex ? 16 : 10) + static_cast<std::uint32_t>(hex ? hexValue(v[j]) : v[j] - '0');
                if (c > 0x10FFFF) c = 0x110000;
            }
            if (j == digits) {
                out.push_back(v[i++]);
                continue;
            }
            if (j < v.size() && v[j] == ';') ++j;
            appendUtf8(out, c == 0 ? 0xFFFD : c);
            i = j;
            continue;
        }
        bool found = false;
        for (const NamedReference& r : kNamedReferences) {
            if (v.substr(j, r.name.size()) == r.name && j + r.name.size() < v.size() && v[j + r.name.size()] == ';') {
                out.push_back(r.value);
                i = j + r.name.size() + 1;
                found = true;
                break;
            }
        }
        if (!found) out.push_back(v[i++]);
    }
    return out;
}

bool isActiveAddress(std::string_view value) {
    std::string s;
    for (char c : decodeCharacterReferences(value))
        if (static_cast<unsigned char>(c) > 0x20) s.push_back(lowerAscii(c));
    for (std::string_view scheme : {"javascript:", "vbscript:", "data:", "file:"})
        if (s.compare(0, scheme.size(), scheme) == 0) return true;
    return false;
}

bool isActiveCss(std::string_view css) {
    std::string s;
    for (std::size_t i = 0; i < css.size(); ++i) {
        const char c = css[i];
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            const std::size_t end = css.find("*/", i + 2);
            if (end == std::string_view::npos) break;
            i = end + 1;
            continue;
        }
        if (c == '\\' && i + 1 < css.size()) {
            // A CSS escape: up to six hex digits and one blank, or the next
            // character as itself.
            std::size_t j = i + 1;
            std::uint32_t v = 0;
            while (j < css.size() && j < i + 7 && isHex(css[j])) v = v * 16 + static_cast<std::uint32_t>(hexValue(css[j++]));
            if (j > i + 1) {
                if (j < css.size() && isBlank(css[j])) ++j;
                if (v < 0x80) s.push_back(lowerAscii(static_cast<char>(v)));
                i = j - 1;
            } else {
                s.push_back(lowerAscii(css[j]));
                i = j;
            }
            continue;
        }
        if (static_cast<unsigned char>(c) > 0x20) s.push_back(lowerAscii(c));
    }
    return s.find("url(") != std::string::npos || s.find("@import") != std::string::npos ||
           s.find("expression(") != std::string::npos;
}

namespace {

// A style attribute's value without its active declarations; the value as
// it stands when it has none.
std::string filteredStyle(std::string_view raw, bool& changed) {
    const std::string decoded = decodeCharacterReferences(raw);
    changed = false;
    std::string kept;
    for (const std::string& decl : splitText(decoded, ";")) {
        if (isActiveCss(decl)) {
            changed = true;
            continue;
        }
        if (!kept.empty()) kept += ';';
        kept += decl;
    }
    if (!changed) return std::string(raw);
    std::string out;
    for (char c : kept) {
        if (c == '&') out += "&amp;";
        else if (c == '"') out += "&quot;";
        else out.push_back(c);
    }
    return out;
}

// One attribute of a start tag: [blanks, start) the blanks before it,
// [start, end) the attribute, [valueFrom, valueTo) its value without quotes.
struct Attribute {
    std::size_t blanks, start, nameEnd, valueFrom, valueTo, end;
    char quote;  // '"', '\'' or 0 for an unquoted or missing value
    bool hasValue;
};

// Rewrites one start tag [from, to) (to just past its ">") into out,
// leaving out the attributes that could run or load something.
void copyStartTag(std::string_view t, std::size_t from, std::size_t to,
                  const std::vector<Attribute>& attrs, std::string& out) {
    std::size_t copied = from;
    for (const Attribute& a : attrs) {
        const std::string name = lowerCase(t.substr(a.start, a.nameEnd - a.start));
        const std::string_view value = t.substr(a.valueFrom, a.valueTo - a.valueFrom);
        bool drop = name.compare(0, 2, "on") == 0 || name == "srcdoc";
        if (!drop && a.hasValue && (name == "href" || name == "src")) drop = isActiveAddress(value);
        if (drop) {
            out.append(t.substr(copied, a.blanks - copied));
            copied = a.end;
            continue;
        }
        if (name == "style" && a.hasValue) {
            bool changed = false;
            const std::string style = filteredStyle(value, changed);
            if (changed) {
                out.append(t.substr(copied, a.start - copied));
                out.append(t.substr(a.start, a.nameEnd - a.start));
                out += "=\"" + style + "\"";
                copied = a.end;
            }
        }
    }
    out.append(t.substr(copied, to - copied));
}

// Reads the attributes of a start tag whose name ends at p; returns the
// offset just past the tag's ">", or npos when the text ends first.
std::size_t readAttributes(std::string_view t, std::size_t p, std::vector<Attribute>& attrs) {
    attrs.clear();
    const std::size_t n = t.size();
    for (;;) {
        std::size_t blanks = p;
        while (p < n && (isBlank(t[p]) || t[p] == '/')) {
            if (t[p] == '/') blanks = p + 1;
            ++p;
        }
        if (p >= n) return std::string_view::npos;
        if (t[p] == '>') return p + 1;
        Attribute a{};
        a.blanks = blanks;
        a.start = p;
        ++p;  // the first character belongs to the name, even an "="
        while (p < n && !isBlank(t[p]) && t[p] != '/' && t[p] != '>' && t[p] != '=') ++p;
        a.nameEnd = p;
        std::size_t q = p;
        while (q < n && isBlank(t[q])) ++q;
        a.valueFrom = a.valueTo = a.end = p;
        if (q < n && t[q] == '=') {
            ++q;
            while (q < n && isBlank(t[q])) ++q;
            if (q >= n) return std::string_view::npos;
            a.hasValue = true;
            if (t[q] == '"' || t[q] == '\'') {
                a.quote = t[q];
                const std::size_t close = t.find(a.quote, q + 1);
                if (close == std::string_view::npos) return std::string_view::npos;
                a.valueFrom = q + 1;
                a.valueTo = close;
                p = close + 1;
            } else if (t[q] == '>') {
                a.valueFrom = a.valueTo = q;
                p = q;
            } else {
                a.valueFrom = q;
                while (q < n && !isBlank(t[q]) && t[q] != '>') ++q;
                a.valueTo = q;
                p = q;
            }
            a.end = p;
        }
        attrs.push_back(a);
    }
}

// The generated rules without their active pieces: each piece between ";",
// "{" and "}" that could load or run something, or that holds a "<" (which
// could end the style element), is dropped with the ";" after it.
std::string filteredRules(std::string_view rules) {
    std::string out;
    out.reserve(rules.size());
    std::size_t i = 0;
    while (i < rules.size()) {
        std::size_t d = rules.find_first_of(";{}", i);
        if (d == std::string_view::npos) d = rules.size();
        const std::string_view piece = rules.substr(i, d - i);
        bool active = isActiveCss(piece);
        active = active || piece.find('<') != std::string_view::npos;
        if (active) {
            if (d < rules.size() && rules[d] != ';') out.push_back(rules[d]);
        } else {
            out.append(piece);
            if (d < rules.size()) out.push_back(rules[d]);
        }
        i = d + 1;
    }
    return out;
}

}  // namespace

std::string removeActiveContent(std::string_view t, std::size_t bodyFrom, std::size_t rulesFrom, std::size_t rulesTo) {
    std::string out;
    out.reserve(t.size());
    std::size_t i = 0;
    if (rulesFrom < rulesTo && rulesTo <= bodyFrom) {
        out.append(t.substr(0, rulesFrom));
        out += filteredRules(t.substr(rulesFrom, rulesTo - rulesFrom));
        i = rulesTo;
    }
    out.append(t.substr(i, bodyFrom - i));
    i = bodyFrom;
    std::vector<Attribute> attrs;
    const std::size_t n = t.size();
    while (i < n) {
        const std::size_t lt = t.find('<', i);
        if (lt == std::string_view::npos) break;
        out.append(t.substr(i, lt - i));
        const bool endTag = lt + 1 < n && t[lt + 1] == '/';
        const std::size_t nameFrom = lt + (endTag ? 2 : 1);
        if (nameFrom >= n || !isLetter(t[nameFrom])) {
            out.push_back('<');
            i = lt + 1;
            continue;
        }
        std::size_t nameEnd = nameFrom;
        while (nameEnd < n && !isBlank(t[nameEnd]) && t[nameEnd] != '/' && t[nameEnd] != '>') ++nameEnd;
        const std::size_t tagEnd = readAttributes(t, nameEnd, attrs);
        if (tagEnd == std::string_view::npos) {
            // No tag to a browser either: the rest is copied as it stands,
            // once (the text before it is already out).
            i = lt;
            break;
        }
        if (isActiveElement(t.substr(nameFrom, nameEnd - nameFrom))) {
            // A "<" left just before the deleted tag must not start a tag
            // with the text after it ("<<script>script>").
            if (!out.empty() && out.back() == '<') {
                out.pop_back();
                out += "&lt;";
            } else if (out.size() >= 2 && out.compare(out.size() - 2, 2, "</") == 0) {
                out.resize(out.size() - 2);
                out += "&lt;/";
            }
            i = tagEnd;
            continue;
        }
        if (endTag) {
            out.append(t.substr(lt, tagEnd - lt));
        } else {
            copyStartTag(t, lt, tagEnd, attrs, out);
        }
        i = tagEnd;
    }
    out.append(t.substr(i));
    return out;
}

void removeActiveContent(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    std::size_t body = t.find("<body");
    // A document without a body start tag has its text right after the head.
    if (body == std::string_view::npos) {
        body = t.find("</head>");
        body = body == std::string_view::npos ? 0 : body + 7;
    }
    std::size_t rulesFrom = t.find("/* Generated by Gleswick */");
    std::size_t rulesTo = 0;
    if (rulesFrom != std::string_view::npos && rulesFrom < body) {
        rulesFrom += 27;
        rulesTo = t.find("-->", rulesFrom);
        if (rulesTo == std::string_view::npos || rulesTo > body) rulesTo = rulesFrom;
    } else {
        rulesFrom = 0;
    }
    ctx.workingText = removeActiveContent(t, body, rulesFrom, rulesTo);
}

}  // namespace tavin

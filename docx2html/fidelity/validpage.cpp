// Full Fidelity: the page as a browser in standards mode reads it
// (validpage.h). Reads the assembled page only.
#include "docx2html/fidelity/validpage.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <vector>

#include "docx2html/fidelity/edits.h"
#include "docx2html/fidelity/memo.h"
#include "docx2html/model/model.h"

namespace tavin {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

bool among(std::string_view v, std::initializer_list<std::string_view> list) {
    return std::find(list.begin(), list.end(), v) != list.end();
}

// A number without a unit: "12", "-3.5".
bool isNumber(std::string_view t) {
    if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
    bool digit = false, dot = false;
    for (char c : t) {
        if (isDigit(c)) digit = true;
        else if (c == '.' && !dot) dot = true;
        else return false;
    }
    return digit;
}

bool isZero(std::string_view t) { return t.find_first_not_of("+-0.") == std::string_view::npos; }

bool isHex(std::string_view v) {
    return (v.size() == 3 || v.size() == 6) && v.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

std::vector<std::string_view> tokens(std::string_view v) {
    std::vector<std::string_view> out;
    std::size_t i = 0;
    while (i < v.size()) {
        while (i < v.size() && isBlank(v[i])) ++i;
        std::size_t j = i;
        while (j < v.size() && !isBlank(v[j])) ++j;
        if (j > i) out.push_back(v.substr(i, j - i));
        i = j;
    }
    return out;
}

// Every number without a unit in a list of lengths gets "px" (0 needs none).
std::string withUnits(std::string_view value) {
    std::string out;
    for (std::string_view t : tokens(value)) {
        if (!out.empty()) out += ' ';
        out.append(t);
        if (isNumber(t) && !isZero(t)) out += "px";
    }
    return out;
}

// A colour as CSS; "auto" is autoColour. Empty for none a browser knows.
std::string colourValue(std::string_view value, std::string_view autoColour) {
    const std::string v = lower(trimmed(value));
    if (v == "#auto" || v == "auto") return std::string(autoColour);
    if (isHex(v)) return "#" + std::string(trimmed(value));
    if (!v.empty() && v[0] == '#') return isHex(std::string_view(v).substr(1)) ? std::string(trimmed(value)) : std::string();
    // Word's highlight colours are CSS names but for these two.
    if (v == "darkyellow") return "#808000";
    if (v == "none") return "transparent";
    if (!v.empty() && std::all_of(v.begin(), v.end(), isAlpha)) return std::string(trimmed(value));
    if (v.compare(0, 4, "rgb(") == 0) return std::string(trimmed(value));
    return {};
}

// A border style of the file format as the CSS style nearest to it.
std::string_view borderStyle(const std::string& word) {
    if (among(word, {"none", "nil", "hidden"})) return "none";
    if (among(word, {"dotted", "dashed", "solid", "double", "groove", "ridge", "inset", "outset"})) return word;
    if (among(word, {"dotdotdash", "dotdash"})) return "dotted";
    if (word.find("dash") != std::string::npos) return "dashed";
    if (word == "triple" || word.find("thick") != std::string::npos) return "double";
    if (word == "threedemboss") return "ridge";
    if (word == "threedengrave") return "groove";
    return "solid";
}

// A colour word of a border: the names the steps write, and those of
// Word's highlights (never the name of a border style).
bool isColourName(const std::string& word) {
    return among(word, {"black", "white", "gray", "grey", "silver", "red", "green", "blue", "yellow", "cyan", "magenta",
                        "navy", "maroon", "olive", "purple", "teal", "lime", "aqua", "fuchsia", "orange",
                        "currentcolor", "transparent"}) ||
           word.compare(0, 4, "dark") == 0 || word.compare(0, 5, "light") == 0;
}

// A border shorthand: width, style and colour; "auto" is the text's colour
// (CSS's own default), a border of no style none.
std::string borderValue(std::string_view value) {
    std::string width, style, colour;
    for (std::string_view t : tokens(value)) {
        if (isDigit(t[0]) || t[0] == '.') width = withUnits(t);
        else if (t[0] == '#' || isColourName(lower(t))) colour = colourValue(t, "");
        else style = borderStyle(lower(t));
    }
    if (style == "none" || (style.empty() && width.empty())) return "none";
    // A width alone draws nothing, as before.
    std::string out = width.empty() || style.empty() ? width + style : width + " " + style;
    if (!colour.empty()) out += " " + colour;
    return out;
}

std::string textAlign(const std::string& v) {
    if (among(v, {"left", "right", "center", "justify", "start", "end"})) return v;
    if (v == "both" || v == "distribute" || v == "thaidistribute" || v.find("kashida") != std::string::npos) return "justify";
    return {};
}

std::string verticalAlign(const std::string& v) {
    if (v == "center" || v == "both") return "middle";
    if (among(v, {"top", "middle", "bottom", "baseline", "sub", "super", "text-top", "text-bottom"})) return v;
    return withUnits(v);
}

// A family name that CSS reads unquoted: identifiers separated by blanks.
bool isIdentifiers(std::string_view name) {
    for (std::string_view word : tokens(name)) {
        if (isDigit(word[0]) || (word[0] == '-' && (word.size() == 1 || isDigit(word[1])))) return false;
        for (char c : word)
            if (!isAlpha(c) && !isDigit(c) && c != '-' && c != '_' && static_cast<unsigned char>(c) < 0x80) return false;
    }
    return !name.empty();
}

bool isGeneric(std::string_view name) {
    return among(name, {"serif", "sans-serif", "monospace", "cursive", "fantasy", "system-ui", "inherit", "initial"});
}

std::string unquoted(std::string_view name) {
    std::string out;
    for (char c : name)
        if (c != '\'' && c != '"' && c != '\\') out.push_back(c);
    return out;
}

// Family names in quotes where CSS reads them otherwise, and the generic
// family of the first last, where families are known.
std::string familyList(std::string_view value, const model::FontFamilies* families) {
    std::string out, first, lastName;
    std::size_t from = 0;
    while (from <= value.size()) {
        std::size_t comma = from;
        for (char quote = 0; comma < value.size() && (quote || value[comma] != ','); ++comma) {
            if (quote && value[comma] == quote) quote = 0;
            else if (!quote && (value[comma] == '\'' || value[comma] == '"')) quote = value[comma];
        }
        const std::string_view name = trimmed(value.substr(from, comma - from));
        if (!out.empty()) out += ',';
        if (isIdentifiers(name) || (!name.empty() && (name[0] == '\'' || name[0] == '"'))) out.append(name);
        else out += "'" + unquoted(name) + "'";
        lastName = lower(trimmed(unquoted(name)));
        if (first.empty()) first = trimmed(unquoted(name));
        from = comma + 1;
    }
    if (families && !first.empty() && !isGeneric(lastName)) out += "," + std::string(families->kind(first));
    return out;
}

bool isLengthProperty(const std::string& n) {
    return among(n, {"font-size", "width", "height", "min-height", "max-height", "min-width", "max-width", "margin",
                     "margin-top", "margin-right", "margin-bottom", "margin-left", "padding", "padding-top",
                     "padding-right", "padding-bottom", "padding-left", "text-indent", "letter-spacing",
                     "word-spacing", "top", "left", "right", "bottom", "border-width", "border-spacing"});
}

// The valid value of a declaration; empty to leave it out.
std::string validValue(const std::string& name, std::string_view value, const model::FontFamilies* families) {
    if (name.empty() || name[0] == '_' || name[0] == '*' || name == "disply") return {};
    if (isLengthProperty(name)) return withUnits(value);
    if (among(name, {"border", "border-top", "border-right", "border-bottom", "border-left"})) return borderValue(value);
    if (name == "color") return colourValue(value, kAutoTextColour);
    if (name == "background-color" || name == "background") return colourValue(value, "transparent");
    if (name == "border-color") return colourValue(value, "currentcolor");
    if (name == "text-align") return textAlign(lower(trimmed(value)));
    if (name == "vertical-align") return verticalAlign(lower(trimmed(value)));
    if (name == "font-family") return familyList(value, families);
    return std::string(trimmed(value));
}

// The end of the declaration that starts at from: its ";" (outside quotes
// and brackets) or the end.
std::size_t declarationEnd(std::string_view css, std::size_t from) {
    char quote = 0;
    int depth = 0;
    for (std::size_t i = from; i < css.size(); ++i) {
        const char c = css[i];
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')') {
            depth = std::max(depth - 1, 0);
        } else if (c == ';' && depth == 0) {
            return i;
        }
    }
    return css.size();
}

// One declaration of a list, as it stays.
std::string validDeclaration(std::string_view piece, bool last, const model::FontFamilies* families) {
    const std::size_t colon = piece.find(':');
    if (trimmed(piece).empty()) return {};
    if (colon == std::string_view::npos) return std::string(piece) + (last ? "" : ";");
    const std::string name = lower(trimmed(piece.substr(0, colon)));
    const std::string_view value = trimmed(piece.substr(colon + 1));
    const std::string valid = validValue(name, value, families);
    if (valid.empty() || value.empty()) return {};
    if (valid == value) return std::string(piece) + (last ? "" : ";");
    return name + ":" + valid + ";";
}

// The first position of a "{...}" block's end, with nested blocks.
std::size_t blockEnd(std::string_view sheet, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < sheet.size(); ++i) {
        if (sheet[i] == '{') ++depth;
        else if (sheet[i] == '}' && --depth == 0) return i;
    }
    return std::string_view::npos;
}

struct Attribute {
    std::string name;          // in lower case
    std::string_view text;     // as written, with the blanks before it
    std::string_view value;    // without its quotes
    char quote = 0;
};

bool endsName(char c) { return isBlank(c) || c == '=' || c == '>' || c == '/'; }

// The position after a tag's name.
std::size_t nameEnd(std::string_view tag) {
    std::size_t i = 1;
    while (i < tag.size() && !endsName(tag[i])) ++i;
    return i;
}

// The end of an attribute value that starts at v (after its quote q, if
// any), within the tag's end.
std::size_t valueEnd(std::string_view tag, std::size_t v, char q, std::size_t end) {
    std::size_t close = q ? tag.find(q, v) : v;
    if (!q)
        while (close < end && !isBlank(tag[close])) ++close;
    return close == std::string_view::npos || close > end ? end : close;
}

// The attribute that starts at i (blanks before it); i moves past it.
// Empty name: none is left.
Attribute attributeAt(std::string_view tag, std::size_t& i, std::size_t end) {
    const std::size_t start = i;
    while (i < end && (isBlank(tag[i]) || tag[i] == '/')) ++i;
    const std::size_t n = i;
    while (i < end && !endsName(tag[i])) ++i;
    Attribute a{lower(tag.substr(n, i - n)), {}, {}, 0};
    if (i < end && tag[i] == '=' && !a.name.empty()) {
        ++i;
        a.quote = i < end && (tag[i] == '"' || tag[i] == '\'') ? tag[i] : 0;
        const std::size_t v = a.quote ? i + 1 : i;
        const std::size_t close = valueEnd(tag, v, a.quote, end);
        a.value = tag.substr(v, close - v);
        i = a.quote && close < end ? close + 1 : close;
    }
    a.text = tag.substr(start, i - start);
    return a;
}

// The attributes of a start tag (after its name) and whether it ends "/>".
std::vector<Attribute> attributesOf(std::string_view tag, bool& selfClosing) {
    std::vector<Attribute> out;
    const std::size_t end = tag.size() - 1;  // the ">"
    selfClosing = end > 0 && tag[end - 1] == '/';
    for (std::size_t i = nameEnd(tag); i < end;) {
        Attribute a = attributeAt(tag, i, end);
        if (a.name.empty()) break;
        out.push_back(std::move(a));
    }
    return out;
}

// validDeclarations of style values. A page repeats few distinct values
// many times, so a page's walk remembers each answer (up to a bound, so a
// page of distinct values costs no more than one without memory).
class StyleValues {
public:
    explicit StyleValues(const model::FontFamilies* families, bool remember = false)
        : families_(families), remember_(remember) {}

    std::string valid(std::string_view css) {
        if (!remember_) return validDeclarations(css, families_);
        return memo_.get(css, [&] { return validDeclarations(css, families_); });
    }

private:
    const model::FontFamilies* families_;
    bool remember_;
    BoundedMemo<std::string, std::string> memo_;
};

// The attributes with one of each name: style values joined (later
// declarations win), of the other names the last; the style made valid.
std::string rewrittenTag(std::string_view tag, const std::vector<Attribute>& attrs, bool selfClosing,
                         StyleValues& styles) {
    std::vector<std::pair<std::string, std::string>> kept;  // name, value
    for (const Attribute& a : attrs) {
        auto it = std::find_if(kept.begin(), kept.end(), [&](const auto& k) { return k.first == a.name; });
        if (it == kept.end()) kept.emplace_back(a.name, std::string(a.value));
        else if (a.name == "style") it->second += (it->second.empty() || it->second.back() == ';' ? "" : ";") + std::string(a.value);
        else it->second = std::string(a.value);
    }
    std::string out(tag.substr(0, nameEnd(tag)));
    for (auto& [name, value] : kept) {
        if (name == "style") value = styles.valid(value);
        if (name == "style" && value.empty()) continue;
        const char q = value.find('"') == std::string::npos ? '"' : '\'';
        out += " " + name + "=" + q + value + q;
    }
    return out + (selfClosing ? "/>" : ">");
}

bool hasDuplicate(const std::vector<Attribute>& attrs) {
    for (std::size_t i = 0; i < attrs.size(); ++i)
        for (std::size_t j = i + 1; j < attrs.size(); ++j)
            if (attrs[i].name == attrs[j].name) return true;
    return false;
}

}  // namespace

std::string validDeclarations(std::string_view css, const model::FontFamilies* families) {
    std::string out;
    for (std::size_t from = 0; from < css.size();) {
        const std::size_t end = declarationEnd(css, from);
        out += validDeclaration(css.substr(from, end - from), end == css.size(), families);
        from = end + 1;
    }
    return out;
}

std::string validRules(std::string_view sheet, const model::FontFamilies* families) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t open = sheet.find('{'); open != std::string_view::npos; open = sheet.find('{', copied)) {
        const std::size_t selector = sheet.find_last_of("}", open);
        const std::string_view head = trimmed(sheet.substr(selector == std::string_view::npos ? copied : selector + 1,
                                                           open - (selector == std::string_view::npos ? copied : selector + 1)));
        const std::size_t close = blockEnd(sheet, open);
        if (close == std::string_view::npos) break;
        out.append(sheet.substr(copied, open + 1 - copied));
        const std::string_view body = sheet.substr(open + 1, close - open - 1);
        // At-rules (our font faces) and comments stay as they are.
        if (head.find('@') != std::string_view::npos || body.find("/*") != std::string_view::npos) out.append(body);
        else out += validDeclarations(body, families);
        copied = close;
    }
    out.append(sheet.substr(copied));
    return out;
}

namespace {

std::string validStartTagOf(std::string_view tag, StyleValues& styles) {
    if (tag.size() < 3 || tag.find('=') == std::string_view::npos) return std::string(tag);
    bool selfClosing = false;
    const std::vector<Attribute> attrs = attributesOf(tag, selfClosing);
    // A bookmark: an anchor of its own, closed where it stands.
    if (selfClosing && attrs.size() == 1 && attrs[0].name == "name" && lower(tag.substr(0, 3)) == "<a ")
        return "<a id=\"" + std::string(attrs[0].value) + "\"></a>";
    const bool styled = std::any_of(attrs.begin(), attrs.end(), [](const Attribute& a) { return a.name == "style"; });
    if (!styled && !hasDuplicate(attrs)) return std::string(tag);
    if (!hasDuplicate(attrs)) {
        // Only the style changes: the rest of the tag stays as written.
        for (const Attribute& a : attrs) {
            if (a.name != "style") continue;
            const std::string valid = styles.valid(a.value);
            if (valid == a.value) return std::string(tag);
            const std::size_t at = static_cast<std::size_t>(a.text.data() - tag.data());
            const char q = a.quote ? a.quote : '"';
            const std::string replaced = valid.empty() ? std::string() : " style=" + std::string(1, q) + valid + q;
            return std::string(tag.substr(0, at)) + replaced + std::string(tag.substr(at + a.text.size()));
        }
    }
    return rewrittenTag(tag, attrs, selfClosing, styles);
}

}  // namespace

std::string validStartTag(std::string_view tag, const model::FontFamilies* families) {
    StyleValues styles(families);
    return validStartTagOf(tag, styles);
}

namespace {

// validStartTagOf for the start tags of one page, which repeat (the page is
// not optimised yet): each distinct one is read once, up to a bound. Tags
// are views of the page, which outlives this.
class StartTags {
public:
    explicit StartTags(const model::FontFamilies* families) : styles_(families, true) {}

    // The valid form of the tag at lt into edits, where it differs.
    void validate(std::string_view tag, std::size_t lt, EditList& edits) {
        const std::optional<std::string>& valid = tags_.get(tag, [&] {
            std::string v = validStartTagOf(tag, styles_);
            return v == tag ? std::nullopt : std::optional<std::string>(std::move(v));
        });
        if (valid) edits.replace(lt, tag.size(), *valid);
    }

private:
    StyleValues styles_;
    BoundedMemo<std::string_view, std::optional<std::string>> tags_;  // the valid form where it differs
};

}  // namespace

void validatePage(ConversionContext& ctx) {
    const std::string_view t = ctx.workingText;
    const model::FontFamilies* families = ctx.model ? &ctx.model->fontFamilies : nullptr;
    StartTags tags(families);
    EditList edits;
    if (t.compare(0, 9, "<!DOCTYPE") != 0) edits.insert(0, "<!DOCTYPE html>\r\n");
    ctx.workBytes += t.size();
    for (std::size_t lt = t.find('<'); lt != std::string_view::npos; lt = t.find('<', lt + 1)) {
        if (t.compare(lt, 4, "<!--") == 0) {
            lt = t.find("-->", lt);
            if (lt == std::string_view::npos) break;
            continue;
        }
        const std::size_t gt = t.find('>', lt);
        if (gt == std::string_view::npos) break;
        if (lt + 1 >= t.size() || !isAlpha(t[lt + 1])) continue;
        const std::string_view tag = t.substr(lt, gt + 1 - lt);
        if (lower(tag.substr(0, 7)) == "<style>") {
            const std::size_t close = t.find("</style>", gt);
            if (close == std::string_view::npos) break;
            const std::string_view sheet = t.substr(gt + 1, close - gt - 1);
            if (std::string rules = validRules(sheet, families); rules != sheet) edits.replace(gt + 1, sheet.size(), std::move(rules));
            lt = close;
            continue;
        }
        tags.validate(tag, lt, edits);
        lt = gt;
    }
    edits.applyTo(ctx.workingText);
}

}  // namespace tavin
